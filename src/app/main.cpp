#include "app/application.h"
#include "app/main_window.h"
#include "app/splash_window.h"
#include "macro/pick_list_dialog.h"
#include "platform/crash_reporter.h"
#include "platform/program_dir.h"
#include "platform/prompter.h"
#include "platform/qt_printers.h"
#include "platform/qt_prompter.h"

#include <QDir>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Medrova %s\n", MEDROVA_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: medrova [--dir PROGRAM_DIRECTORY] [--version]\n");
            return 0;
        }
    }

    MedrovaApplication app(argc, argv);
    app.setApplicationName(TMainForm::title());
    app.setApplicationVersion(QStringLiteral(MEDROVA_VERSION));
    ProgramDir::initFromArguments(app.arguments());
    CrashReporter::install(ProgramDir::file(QStringLiteral("CrashReports")), app.applicationVersion());

    QtPrompter prompter;
    Prompter::install(&prompter);
    QtPrinterList printers;
    PrinterList::install(&printers);

    const QString pending = CrashReporter::takePendingReport();
    if (!pending.isEmpty())
        prompter.information(QStringLiteral("Medrova ended unexpectedly last time. A crash report was "
                                            "written to %1").arg(QDir::toNativeSeparators(pending)));

    // Start-up, in its fixed order. The main window runs the single-instance check while it
    // is created; a second instance has asked the first to come forward and ends here.
    TMainForm mainForm;
    if (!mainForm.isPrimaryInstance()) {
        Prompter::install(nullptr);
        PrinterList::install(nullptr);
        return 0;
    }
    auto* splash = new TFormSplash;
    splash->show();
    QCoreApplication::processEvents();
    // The tables are opened here; the splash closes as the last act of loading them.
    splash->close();
    delete splash;

    mainForm.SetupProgram();
    QCoreApplication::processEvents();

    // Long-lived windows, created once and hidden between uses.
    TDlgMenu pickList(&mainForm);

    mainForm.showMaximized();
    const int rc = app.exec();
    Prompter::install(nullptr);
    PrinterList::install(nullptr);
    return rc;
}
