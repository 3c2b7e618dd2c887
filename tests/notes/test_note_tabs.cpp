#include "app/macro_commands.h"
#include "macro/macro_runner.h"
#include "macro/pick_list_dialog.h"
#include "notes/note_tab_rules.h"
#include "notes/note_tabs.h"
#include "platform/note_editor.h"
#include "support/main_window_fixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

namespace {
// Ann's tab, then Bob's, which is active.
std::pair<int, int> openTabsOfTwoPatients(MainWindowFixture& f)
{
    const int ann = f.addPatient("Smith", "Ann");
    const int bob = f.addPatient("Jones", "Bob", "M");
    f.selectPatient(ann);
    f.form->noteTabControl()->FileNewCmdExecute();
    f.selectPatient(bob);
    f.form->noteTabControl()->FileNewCmdExecute();
    return {ann, bob};
}
} // namespace

class TestNoteTabs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<bool>("asks");
        QTest::newRow("fresh empty") << "Doe, Mary" << false << "Untitled" << true << false;
        QTest::newRow("untitled with text") << "Doe, Mary" << false << "UNTITLED" << false << true;
        QTest::newRow("saved unchanged") << "Doe, Mary" << false << "/n/doe.rtf" << false << false;
        QTest::newRow("star") << "Doe, Mary(P)*" << false << "/n/doe.rtf" << false << true;
        QTest::newRow("modified") << "Doe, Mary" << true << "/n/doe.rtf" << true << true;
    }
    void rules()
    {
        QFETCH(QString, caption);
        QFETCH(bool, modified);
        QFETCH(QString, file);
        QFETCH(bool, empty);
        QFETCH(bool, asks);
        QCOMPARE(NoteTabRules::needsSaveQuestion(caption, modified, file, empty), asks);
    }

    void captions()
    {
        QCOMPARE(NoteTabRules::caption("Doe", "Mary Ann"), QString("Doe, Mary"));
        QCOMPARE(NoteTabRules::caption("Van Buren", "  Martin\tX"), QString("Van Buren, Martin"));
        QCOMPARE(NoteTabRules::rebuiltCaption("Doe", "Mary Ann", "Old, X(P)*", false), QString("Doe, Mary(P)"));
        QCOMPARE(NoteTabRules::rebuiltCaption("Doe", "Mary", "Doe, Mary", true), QString("Doe, Mary*"));
        QCOMPARE(NoteTabRules::recentEntry("/n/a.rtf", 12), QString("/n/a.rtf12"));
        QCOMPARE(NoteTabRules::recentEntry("Untitled", 12), QString());
    }

    void newNoteAndChangeMark()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "Mary Ann");
        TNoteTabs& tabs = *f.form->noteTabControl();
        f.form->action("NewNote")->trigger();
        f.form->action("NewNote")->trigger();
        QCOMPARE(tabs.count(), 2);
        QCOMPARE(tabs.captionOf(0), QString("Doe, Mary"));
        QCOMPARE(tabs.captionOf(1), QString("Doe, Mary"));
        QCOMPARE(tabs.activeIndex(), 1);
        QCOMPARE(f.form->windowTitle(), QString("Medrova - Untitled"));
        QCOMPARE(tabs.OpenNoteFiles(), QStringList({"Untitled", "Untitled"}));
        NoteEditor* editor = tabs.editorAt(1);
        QCOMPARE(f.form->activeEditor(), editor);
        QCOMPARE(editor->defaultFontSize(), 10.0);
        QCOMPARE(editor->defaultFontName(), QString("Arial"));
        QVERIFY(!editor->isModified());
        QCOMPARE(f.form->statusPanel(3)->text(), QString("Hints"));

        // The first change the user makes marks the tab once.
        QTest::keyClicks(editor, "ab");
        QCOMPARE(tabs.captionOf(1), QString("Doe, Mary*"));
        QCOMPARE(tabs.captionOf(0), QString("Doe, Mary"));
        editor->setModified(false);
        tabs.SetCaptions();
        QCOMPARE(tabs.captionOf(1), QString("Doe, Mary"));
    }

    void newNoteWithoutPatients()
    {
        MainWindowFixture f;
        f.form->action("NewNote")->trigger();
        QCOMPARE(f.form->noteTabControl()->count(), 0);
        QCOMPARE(f.form->statusPanel(3)->text(), QString("Choose a patient & Dx then click \"New\""));
    }

    void tabChangeFollowsRegister()
    {
        MainWindowFixture f;
        const auto [ann, bob] = openTabsOfTwoPatients(f);
        TNoteTabs& tabs = *f.form->noteTabControl();
        QTabBar* bar = f.form->noteTabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(tabs.activeIndex(), 0);
        QCOMPARE(f.dm.kbmTablePatient().value("ID").toInt(), ann);
        QCOMPARE(f.dm.rememberedPatient.lastName, QString("Smith"));
        QCOMPARE(f.form->activeEditor(), tabs.editorAt(0));

        // SynchToActiveTab brings the register back and gives the patient a history row.
        f.selectPatient(bob);
        tabs.SynchToActiveTab();
        QCOMPARE(f.dm.kbmTablePatient().value("ID").toInt(), ann);
        QCOMPARE(f.dm.kbmTablePtHistory().value("ID").toInt(), ann);
        QVERIFY(!f.dm.tabSync);
    }

    void missingPatientWarns()
    {
        MainWindowFixture f;
        const auto [ann, bob] = openTabsOfTwoPatients(f);
        TNoteTabs& tabs = *f.form->noteTabControl();
        f.selectPatient(ann);
        f.dm.kbmTablePatient().deleteRow();
        QTabBar* bar = f.form->noteTabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(f.prompter.texts().last(), QString("This patient can not be found in the database."));
        QCOMPARE(f.form->activeEditor(), tabs.editorAt(1)); // the lost patient's editor is not taken
        QVERIFY(!tabs.tabChangeInProgress());
    }

    void closeGuards()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "Mary");
        TNoteTabs& tabs = *f.form->noteTabControl();
        QAction* close = f.form->action("CloseActiveTab");

        // An untouched, empty note closes without a question.
        tabs.FileNewCmdExecute();
        close->trigger();
        QCOMPARE(tabs.count(), 0);
        QVERIFY(f.prompter.shown().isEmpty());
        QCOMPARE(f.form->windowTitle(), QString("Medrova"));

        // Text never saved: asked even when nothing was typed; Cancel keeps it, No closes it.
        tabs.FileNewCmdExecute();
        tabs.editorAt(0)->setPlainText("Seen today.");
        tabs.editorAt(0)->setModified(false);
        f.form->setPickPanelShown(false);
        f.prompter.queueAnswer(Answer::Cancel);
        close->trigger();
        QCOMPARE(tabs.count(), 1);
        QCOMPARE(f.prompter.shown().last().text, QString("Save changes to Untitled?"));
        QVERIFY(f.form->statusTimerEnabled());
        QVERIFY(!tabs.closeInProgress());
        f.prompter.queueAnswer(Answer::No);
        close->trigger();
        QCOMPARE(tabs.count(), 0);
        QVERIFY(f.form->pickPanelShown());

        // Nothing open: the instruction.
        close->trigger();
        QCOMPARE(f.form->statusPanel(3)->text(), QString("Choose a patient & Dx then click \"New\""));
    }

    void shutdownAsksAndCanBeCancelled()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "Mary");
        TNoteTabs& tabs = *f.form->noteTabControl();
        tabs.FileNewCmdExecute();
        QTest::keyClicks(tabs.editorAt(0), "x");
        f.prompter.queueAnswer(Answer::Cancel);
        QVERIFY(!f.form->FormClose());
        QCOMPARE(tabs.count(), 1);
        f.prompter.queueAnswer(Answer::No);
        QVERIFY(f.form->FormClose());
        QCOMPARE(tabs.count(), 0);
        QCOMPARE(f.form->windowTitle(), QString("Medrova"));
    }

    void macroRunBlocksTabsAndClose()
    {
        MainWindowFixture f;
        const int ann = f.addPatient("Smith", "Ann");
        const int bob = f.addPatient("Jones", "Bob", "M");
        f.addDx("Cough", "Acute", "Cough {List dry,wet} end");
        TNoteTabs& tabs = *f.form->noteTabControl();
        f.selectPatient(ann);
        tabs.FileNewCmdExecute();
        f.selectPatient(bob);
        f.form->runMacroButton()->click(); // opens Bob's tab and runs
        TMacroCommands& m = *f.form->macroCommands();
        QTRY_VERIFY(m.pickList().isVisible());
        QCOMPARE(tabs.count(), 2);
        QVERIFY(m.MacroRunning());

        QTabBar* bar = f.form->noteTabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(tabs.activeIndex(), 1);
        f.form->action("CloseActiveTab")->trigger();
        QCOMPARE(tabs.count(), 2);

        QSignalSpy done(&m.runner(), &MacroRunner::finished);
        Q_EMIT m.pickList().actionChosen(PickAction::doubleClick(1, {1}));
        QVERIFY(done.wait(5000));
        QCOMPARE(tabs.editorAt(1)->toPlainText(), QString("Cough wet end"));
        QCOMPARE(tabs.captionOf(1), QString("Jones, Bob*"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(tabs.activeIndex(), 0);
    }
};

QTEST_MAIN(TestNoteTabs)
#include "test_note_tabs.moc"
