#include "app/application.h"

#include "platform/crash_reporter.h"
#include "platform/errors.h"
#include "platform/prompter.h"

#include <QDir>

MedrovaApplication::MedrovaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MedrovaApplication::notify(QObject* receiver, QEvent* event)
{
    QString failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const MedrovaError& e) {
        failure = e.text();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    } catch (...) {
        failure = QStringLiteral("unknown exception");
    }
    const QString report = CrashReporter::writeReport(QStringLiteral("unhandled exception: ") + failure);
    QString text = QStringLiteral("An unexpected error occurred: %1").arg(failure);
    if (!report.isEmpty())
        text += QStringLiteral("\n\nA report was written to %1").arg(QDir::toNativeSeparators(report));
    Prompter::current().error(text);
    return false;
}
