#pragma once
// Records unhandled failures (exceptions that reach the event loop, std::terminate and the
// fatal signals) as text reports with a call stack in the program directory's CrashReports
// folder. The signal path writes with async-signal-safe calls only.

#include <QString>
#include <exception>

namespace CrashReporter {
// Installs the terminate handler and the signal handlers; reports go to `folder`.
void install(const QString& folder, const QString& version);
// Writes a report for a failure caught by the program itself (for example an exception in an
// event handler) and returns its path; empty when nothing could be written.
QString writeReport(const QString& failure);
// The report written by an earlier run that the user has not been told about yet, and forgets
// it; empty when there is none.
QString takePendingReport();
} // namespace CrashReporter
