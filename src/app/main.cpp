#include "app/application.h"
#include "app/main_window.h"
#include "app/splash_window.h"
#include "platform/crash_reporter.h"
#include "platform/errors.h"
#include "platform/program_dir.h"
#include "platform/prompter.h"
#include "platform/qt_printers.h"
#include "platform/qt_prompter.h"
#include "store/data_module.h"

#include <QDir>
#include <cstdio>
#include <cstring>
#include <optional>

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
    // is created; a second instance has asked the first to come forward and ends here. The data
    // module is opened after that check but outlives the window, whose panes show its tables.
    std::optional<TDataModule1> dataModule;
    TMainForm mainForm;
    if (!mainForm.isPrimaryInstance()) {
        Prompter::install(nullptr);
        PrinterList::install(nullptr);
        return 0;
    }
    auto* splash = new TFormSplash;
    splash->show();
    QCoreApplication::processEvents();
    // The data module opens the tables; the splash closes as the last act of loading them.
    dataModule.emplace();
    QObject::connect(&*dataModule, &TDataModule1::startUpFinished, splash, &QWidget::close);
    try {
        dataModule->startUp();
    } catch (const MedrovaError& e) {
        splash->close();
        prompter.error(e.text());
        delete splash;
        Prompter::install(nullptr);
        PrinterList::install(nullptr);
        return 1;
    }
    delete splash;

    mainForm.SetupProgram();
    // The panes, the note tabs and the long-lived macro windows over the opened tables.
    mainForm.attachDataModule(*dataModule);
    QCoreApplication::processEvents();

    mainForm.showMaximized();
    const int rc = app.exec();
    // The tables are written as the data module goes.
    try {
        dataModule->shutDown();
    } catch (const MedrovaError& e) {
        prompter.error(e.text());
    }
    Prompter::install(nullptr);
    PrinterList::install(nullptr);
    return rc;
}
