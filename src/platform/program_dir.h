#pragma once
// The program directory: the folder every data file lives in, Main.ini included. It is the
// executable's folder unless `--dir PATH` or the environment variable MEDROVA_HOME names
// another (for installs whose binary folder is read-only, and for tests). Fixed for a run.

#include <QString>
#include <QStringList>

namespace ProgramDir {
// Chooses the directory: `--dir PATH` / `--dir=PATH` in args, then MEDROVA_HOME, then the
// executable's folder. Returns the arguments with the --dir option taken out.
QStringList initFromArguments(const QStringList& args);
// Sets the directory directly (tests and tools).
void set(const QString& folder);
// The directory with a trailing '/'.
QString path();
// path() + name.
QString file(const QString& name);
} // namespace ProgramDir
