#include "app/about_dialog.h"
#include "app/choose_date_dialog.h"
#include "app/help_topics.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "platform/clock.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QScopeGuard>
#include <QtTest>

namespace {
// A unique instance name per window, so tests never meet a running program or each other.
QString instanceName()
{
    static int n = 0;
    return QStringLiteral("MedrovaTest%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs `act` on the next modal dialog of type D once it is shown.
template <class D, class F>
void onNextDialog(F act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) {
                act(d);
                return;
            }
    });
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("new") << "NewNote" << "&New Note" << "Ctrl+N" << "Select a new patient" << false;
        QTest::newRow("open") << "OpenOldNote" << "&Open Old Note..." << "Ctrl+O"
                              << "Open an Old Note \r\nin the current patient tab\r\n" << false;
        QTest::newRow("toolbar open") << "OpenPatientTabAndNote" << "" << "" << "Open Patient Tab\r\nand Old Note" << false;
        QTest::newRow("save as") << "SaveAs" << "Save &As..." << "Ctrl+Alt+S" << "" << false;
        QTest::newRow("close tab") << "CloseActiveTab" << "Close Active Tab" << "Ctrl+Q" << "Close Pateint Tab" << false;
        QTest::newRow("print") << "Print" << "&Print" << "Ctrl+P" << "" << false;
        QTest::newRow("exit") << "Exit" << "E&xit" << "Alt+X" << "" << true;
        QTest::newRow("find") << "FindAndReplace" << "Find and Replace" << "Ctrl+F" << "" << false;
        QTest::newRow("toggle case") << "ToggleCase" << "tOGGLE cASE" << "" << "" << false;
        QTest::newRow("default date") << "TodaysDate1" << "Default Date" << "Ctrl+Alt+T" << "" << false;
        QTest::newRow("pick panel") << "PickPanelMenu" << "Hide Pick Panel" << "F6" << "" << true;
        QTest::newRow("spell") << "SpellCheck" << "&Spell Check" << "F7" << "Spell Check" << false;
        QTest::newRow("blanker") << "ConfigureScreenBlanker" << "Configure Sreen Blanker" << "" << "" << true;
        QTest::newRow("encrypted") << "PtDataEncryptedMenu" << "Patient Data Encrypted" << "" << "" << true;
        QTest::newRow("view") << "ViewAndEdit" << "View and Edit" << "Ctrl+D" << "" << false;
        QTest::newRow("add patient") << "AddAPatient" << "Add A Patient" << "F8" << "" << false;
        QTest::newRow("help") << "ShowHelp" << "Show &Help" << "" << "" << true;
        QTest::newRow("about") << "About" << "&About..." << "" << "" << true;
    }
    void commandTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(QString, hint);
        QFETCH(bool, enabled);
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        QAction* a = w.action(name);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), QKeySequence(shortcut));
        QCOMPARE(a->property("hint").toString(), hint);
        QCOMPARE(a->isEnabled(), enabled);
    }

    void menuOrder()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        QStringList titles;
        for (QAction* a : w.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"File", "Edit", "&Insert", "Users", "Functions", "Program Files", "Options",
                                      "Patient &Data", "Help"}));
        QStringList insert;
        for (QAction* a : w.menu("InsertMenu")->actions())
            insert << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(insert, QStringList({"Edit Insert Menu", "-", "{Age} {Sex}", "Allergies", "Chronic Med List",
                                      "Default Date", "First Line", "{FirstNameProper}", "{Interval}", "PMHx",
                                      "PMHx, FHx, SHx", "Surg-Hosp Hx", "-"}));
    }

    void startWithoutMainIni()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        TMainForm w(nullptr, instanceName());
        w.SetupProgram();
        QCOMPARE(w.currentUser(), QString());
        QCOMPARE(w.noteFolder(), QString("C:\\My Documents"));
        QCOMPARE(w.fontSizeBox()->currentText(), QString("10"));
        QVERIFY(w.action("QueueOff")->isChecked());
        for (const char* name : {"PrintQueue", "ClearQueue", "TransferQueue"})
            QVERIFY(!w.action(name)->isVisible());
        QVERIFY(w.action("ShowHints")->isChecked());
        QVERIFY(w.hintsEnabled());
        QVERIFY(!w.action("ShowPatientHints")->isChecked());
        QVERIFY(!w.action("FlickerReduction")->isChecked());
        QVERIFY(w.action("DefaultDateToday")->isChecked());
        QVERIFY(w.action("PtDataEncryptedMenu")->isChecked());
        QCOMPARE(w.statusPanel(0)->text(), QString("      Font"));
        QCOMPARE(w.statusPanel(3)->text(), QString("Choose a patient & Dx then click \"New\""));
        QCOMPARE(w.windowTitle(), QString("Medrova"));
        QVERIFY(prompter.shown().isEmpty());
    }

    void startWithSettings_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<QString>("checked");
        QTest::newRow("continuous") << "Continuous" << "QueueContinuous";
        QTest::newRow("new page") << "NewPage" << "QueueNewSheet";
        QTest::newRow("unknown") << "Sometimes" << "QueueNewSheet";
    }
    void startWithSettings()
    {
        QFETCH(QString, queue);
        QFETCH(QString, checked);
        TempProgramDir dir;
        writeFile(dir.file("Main.ini"), "[User]\r\nLastUserName=Smith\r\n[Smith]\r\nFontSize=14\r\nNoteFolder=/srv/notes\r\n"
                                        "ShowHints=False\r\nAutotoggle=TRUE\r\n[Queue]\r\nSetting=" + queue.toLatin1() +
                                            "\r\n[MRU Items]\r\nF0=/srv/notes/a.rte12\r\n");
        TMainForm w(nullptr, instanceName());
        w.SetupProgram();
        QCOMPARE(w.currentUser(), QString("Smith"));
        QCOMPARE(w.noteFolder(), QString("/srv/notes"));
        QCOMPARE(w.fontSizeBox()->currentText(), QString("14"));
        QVERIFY(w.action(checked)->isChecked());
        QVERIFY(w.action("PrintQueue")->isVisible());
        QVERIFY(!w.hintsEnabled());
        QVERIFY(w.action("AutoTogglePickPanel")->isChecked());
        QCOMPARE(w.recentFiles().entries(), QStringList({"/srv/notes/a.rte12"}));
    }

    void optionsWriteAtOnce()
    {
        TempProgramDir dir;
        writeFile(dir.file("Main.ini"), "[User]\r\nLastUserName=Smith\r\n[Smith]\r\nFontSize=12\r\n");
        TMainForm w(nullptr, instanceName());
        w.SetupProgram();
        w.action("AutoTogglePickPanel")->trigger();
        QCOMPARE(IniReadText("Smith", "Autotoggle", "?"), QString("TRUE"));
        w.action("ShowHints")->trigger();
        QCOMPARE(IniReadText("Smith", "ShowHints", "?"), QString("False"));
        QVERIFY(!w.hintsEnabled());
        w.action("ShowPatientHints")->trigger();
        QCOMPARE(IniReadText("Smith", "ShowPatientHints", "?"), QString("TRUE"));
        w.action("FlickerReduction")->trigger();
        QCOMPARE(IniReadText("EditorOptions", "FlickerReduction", "?"), QString("TRUE"));
        w.action("PtDataEncryptedMenu")->trigger();
        QCOMPARE(IniReadText("PtDataFile", "ENCRYPTED", "?"), QString("False"));
    }

    void pickPanelToggle()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QAction* a = w.action("PickPanelMenu");
        QTest::keyClick(&w, Qt::Key_F6);
        QVERIFY(!w.pickPanelShown());
        QCOMPARE(a->text(), QString("Show Pick Panel"));
        // An automatic show leaves the caption alone.
        w.setPickPanelShown(true);
        QCOMPARE(a->text(), QString("Show Pick Panel"));
        QTest::keyClick(&w, Qt::Key_F6);
        QVERIFY(!w.pickPanelShown());
        QCOMPARE(a->text(), QString("Hide Pick Panel"));
        QTest::keyClick(&w, Qt::Key_F6);
        QVERIFY(w.pickPanelShown());
        QCOMPARE(a->text(), QString("Show Pick Panel"));
    }

    void defaultNoteDateDialog()
    {
        TempProgramDir dir;
        FixedClock clock(QDateTime(QDate(2024, 5, 20), QTime(8, 0)));
        Clock::install(&clock);
        TMainForm w(nullptr, instanceName());
        w.SetupProgram();
        onNextDialog<TChooseDateDialog>([](TChooseDateDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Choose A Date"));
            QCOMPARE(d->date(), QDate(2024, 5, 20));
            d->dateEdit()->setDate(QDate(2024, 5, 1));
            d->findChild<QPushButton*>("CancelButton")->click();
        });
        w.action("DefaultDateSet")->trigger();
        QCOMPARE(w.defaultNoteDate().date(), QDate(2024, 5, 20));
        QVERIFY(w.action("DefaultDateToday")->isChecked());

        onNextDialog<TChooseDateDialog>([](TChooseDateDialog* d) {
            d->dateEdit()->setDate(QDate(2024, 5, 1));
            d->findChild<QPushButton*>("OkButton")->click();
        });
        w.action("DefaultDateSet")->trigger();
        QCOMPARE(w.defaultNoteDate().date(), QDate(2024, 5, 1));
        QVERIFY(w.action("DefaultDateSet")->isChecked());
        w.action("DefaultDateToday")->trigger();
        QCOMPARE(w.defaultNoteDate().date(), QDate(2024, 5, 20));
        Clock::install(nullptr);
    }

    void screenBlanker()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        TMainForm w(nullptr, instanceName());
        QStringList launched;
        w.setShellLauncher([&](const ShellCommand& c) {
            launched << c.program;
            return true;
        });
        const QByteArray oldPath = qgetenv("PATH");
        auto restorePath = qScopeGuard([&] { qputenv("PATH", oldPath); });
        qputenv("PATH", dir.path().toLocal8Bit()); // an empty folder: nothing to be found
        w.action("ConfigureScreenBlanker")->trigger();
        QCOMPARE(prompter.shown().size(), 2);
        QCOMPARE(prompter.shown().at(0).type, MessageType::Warning);
        QCOMPARE(prompter.shown().at(0).text, QString("If your PC is in public view autominimize < 1 minute\r\n"
                                                      "and/or a screen saver with a password is suggested."));
        QCOMPARE(prompter.shown().at(1).type, MessageType::Information);
        QVERIFY(launched.isEmpty());

        writeFile(dir.file("xscreensaver-settings"), "#!/bin/sh\n");
        QFile::setPermissions(dir.file("xscreensaver-settings"), QFile::ReadOwner | QFile::ExeOwner);
        w.action("ConfigureScreenBlanker")->trigger();
        QCOMPARE(prompter.shown().size(), 3);
        QCOMPARE(launched, QStringList({dir.file("xscreensaver-settings")}));
    }

    void statusBarTick()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        QVERIFY(w.statusTimerEnabled());
        QCOMPARE(w.findChild<QTimer*>("TimerUpdateStatusBar")->interval(), 950);
        w.setKeyLockReader([] { return KeyLockState{true, false}; });
        QTextEdit editor;
        editor.setCurrentFont(QFont("DejaVu Serif"));
        w.setActiveEditor(&editor);
        QTRY_COMPARE_WITH_TIMEOUT(w.statusPanel(1)->text(), QString("Caps On"), 3000);
        QCOMPARE(w.statusPanel(2)->text(), QString("Num Off"));
        QCOMPARE(w.statusPanel(0)->text(), editor.currentFont().family());
        w.setStatusTimerEnabled(false);
        w.setKeyLockReader([] { return KeyLockState{false, true}; });
        QTest::qWait(1100);
        QCOMPARE(w.statusPanel(1)->text(), QString("Caps On")); // stopped: no tick
    }

    void helpContexts()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        QByteArray html = "<html><body>";
        for (int n : {3, 100, 200})
            html += "<h2><a name=\"topic-" + QByteArray::number(n) + "\"></a>T" + QByteArray::number(n) + "</h2><p>x</p>";
        html += "</body></html>";
        writeFile(dir.file("Medrova.HLP"), html);
        TMainForm w(nullptr, instanceName());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.noteTabs()->setFocus();
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(THelpWindow::instance()->currentTopic(), 3);
        QCOMPARE(TMainForm::helpContextOf(w.pickPanel()), 200);
        w.action("ShowHelp")->trigger();
        QCOMPARE(THelpWindow::instance()->currentTopic(), 100);
        QVERIFY(prompter.shown().isEmpty());
        // A topic the file lacks is said so, and the contents are shown instead.
        QVERIFY(!THelpWindow::instance()->showTopic(HelpContext::Disclaimers));
        QCOMPARE(THelpWindow::instance()->currentTopic(), 100);
        QCOMPARE(prompter.shown().size(), 1);
        THelpWindow::instance()->hide();
    }

    void helpInsideMenu()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        writeFile(dir.file("Medrova.HLP"), "<a name=\"topic-100\"></a>c<a name=\"topic-202\"></a>hints<a name=\"topic-3\"></a>notes");
        TMainForm w(nullptr, instanceName());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMenu* options = w.menu("OptionsMenu");
        options->popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(options));
        options->setActiveAction(w.action("ShowHints"));
        QTest::keyClick(options, Qt::Key_F1);
        QCOMPARE(THelpWindow::instance()->currentTopic(), 202);
        QVERIFY(!options->isVisible());
        options->popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(options));
        options->setActiveAction(nullptr);
        QTest::keyClick(options, Qt::Key_F1); // no item under the cursor: the window's topic
        QCOMPARE(THelpWindow::instance()->currentTopic(), 3);
        QVERIFY(prompter.shown().isEmpty());
        THelpWindow::instance()->hide();
    }

    void gridRowsFollowPanelHeight()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        QSignalSpy spy(&w, &TMainForm::gridRowsChanged);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1000, 700);
        QTRY_VERIFY(w.pickPanel()->height() > 0);
        const auto expected = FrameRules::extraGridRows(w.pickPanel()->height());
        QCOMPARE(w.gridRows().patient, expected.patient);
        QCOMPARE(w.gridRows().diagnosis, expected.diagnosis);
        const int before = spy.size();
        w.resize(1000, 700 + 3 * 17);
        QTRY_COMPARE(w.gridRows().patient + w.gridRows().diagnosis, expected.patient + expected.diagnosis + 3);
        QVERIFY(spy.size() > before);
    }

    void aboutBox()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        QStringList lines;
        onNextDialog<TAboutBox>([&lines](TAboutBox* d) {
            lines << d->windowTitle();
            for (QLabel* l : d->findChildren<QLabel*>())
                lines << l->text();
            d->findChild<QPushButton*>()->click();
        });
        w.action("About")->trigger();
        QCOMPARE(lines, QStringList({"About", "Medrova  v2.0", "A Medical Documentation", "Macro System"}));
    }

    void secondInstance()
    {
        TempProgramDir dir;
        const QString name = instanceName();
        TMainForm first(nullptr, name);
        QVERIFY(first.isPrimaryInstance());
        QSignalSpy raised(&first, &TMainForm::raisedByOtherInstance);
        TMainForm second(nullptr, name);
        QVERIFY(!second.isPrimaryInstance());
        QTRY_COMPARE_WITH_TIMEOUT(raised.size(), 1, 3000);
    }

    void shutdownWritesRecentFiles()
    {
        TempProgramDir dir;
        TMainForm w(nullptr, instanceName());
        w.SetupProgram();
        w.recentFiles().add("/n/b.rte7");
        w.setActiveNote(true, "/n/b.rte");
        QCOMPARE(w.windowTitle(), QString("Medrova - b.rte"));
        QVERIFY(w.close());
        QVERIFY(!w.statusTimerEnabled());
        QCOMPARE(w.windowTitle(), QString("Medrova"));
        QCOMPARE(IniReadText("MRU Items", "F0", ""), QString("/n/b.rte7"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
