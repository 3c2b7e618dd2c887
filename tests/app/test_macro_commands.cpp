#include <QToolButton>
#include "app/macro_commands.h"
#include "macro/macro_runner.h"
#include "macro/paste_macro_form.h"
#include "macro/pick_list_dialog.h"
#include "notes/note_tabs.h"
#include "notes/patient_pane.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "platform/note_editor.h"
#include "support/main_window_fixture.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
void waitForRun(TMacroCommands& m)
{
    QTRY_VERIFY_WITH_TIMEOUT(!m.MacroRunning(), 5000);
    QCoreApplication::processEvents();
}
} // namespace

class TestMacroCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runMacroOpensTabAndDisablesControls()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "John", "M", QDate(1950, 1, 1));
        f.addDx("Back pain", "Acute", "{Age} {Sex} with {List lumbar,thoracic} pain.");
        TMacroCommands& m = *f.form->macroCommands();
        f.form->runMacroButton()->click();
        QTRY_VERIFY(m.pickList().isVisible());
        // While the list waits, the run's controls are off.
        QVERIFY(!f.form->runMacroButton()->isEnabled());
        QVERIFY(!f.form->runMacroPartButton()->isEnabled());
        QVERIFY(!f.form->menu("InsertMenu")->isEnabled());
        QVERIFY(!f.form->action("PMHx1")->isEnabled());
        QVERIFY(!f.form->action("AddAPatient")->isEnabled());
        QVERIFY(!f.form->statusTimerEnabled());
        QVERIFY(f.form->noteTabControl()->macroRunFlag);
        TPatientPane& pane = *f.form->patientPane();
        QVERIFY(!pane.navigatorButton(NavigatorButton::Insert)->isEnabled());
        QVERIFY(!pane.navigatorButton(NavigatorButton::Edit)->isEnabled());
        Q_EMIT m.pickList().actionChosen(PickAction::doubleClick(0, {0}));
        waitForRun(m);
        NoteEditor* editor = f.form->noteTabControl()->editorAt(0);
        QVERIFY(editor->toPlainText().endsWith(" with lumbar pain."));
        QVERIFY(editor->toPlainText().contains("male"));
        QVERIFY(f.form->runMacroButton()->isEnabled());
        QVERIFY(f.form->menu("InsertMenu")->isEnabled());
        QVERIFY(f.form->action("AddAPatient")->isEnabled());
        QVERIFY(f.form->statusTimerEnabled());
        // The navigator follows the register again: nothing is being edited, so no Post.
        QVERIFY(pane.navigatorButton(NavigatorButton::Insert)->isEnabled());
        QVERIFY(pane.navigatorButton(NavigatorButton::Edit)->isEnabled());
        QVERIFY(!pane.navigatorButton(NavigatorButton::Post)->isEnabled());
        QVERIFY(!pane.navigatorButton(NavigatorButton::Cancel)->isEnabled());
    }

    void runMacroWithoutPresentations()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "John", "M");
        TMacroCommands& m = *f.form->macroCommands();
        f.form->runMacroButton()->click();
        QVERIFY(!m.MacroRunning());
        QCOMPARE(f.form->noteTabControl()->count(), 1); // the tab is opened all the same
        QVERIFY(f.form->runMacroButton()->isEnabled());
        QVERIFY(f.form->menu("InsertMenu")->isEnabled());
        QVERIFY(f.form->statusTimerEnabled());
    }

    void runMacroWithoutPatient()
    {
        MainWindowFixture f;
        f.addDx("Cough", "Acute", "Cough.");
        f.form->runMacroButton()->click();
        QCOMPARE(f.prompter.texts(), QStringList({"You must open a patient tab"}));
        QCOMPARE(f.form->statusPanel(3)->text(), QString("Choose a patient & Dx then click \"New\""));
        QVERIFY(!f.form->macroCommands()->MacroRunning());
    }

    void runSelectedPartOfTheActivePage()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "Jane");
        f.addDx("Alpha", "Acute", "first part|second part");
        f.addDx("Beta", "Acute", "other text");
        TMacroCommands& m = *f.form->macroCommands();
        Table& dx = f.dm.kbmTableDx();
        QVERIFY(dx.locate({"Dx"}, {"Alpha"}));
        f.form->runMacroPartButton()->click();
        QVERIFY(dx.locate({"Dx"}, {"Beta"}));
        f.form->runMacroPartButton()->click();
        TPasteMacroForm& form = m.pasteMacroForm();
        QCOMPARE(form.pageCount(), 2);
        QCOMPARE(form.pages()->tabText(0), QString("Alpha"));
        QVERIFY(form.isVisible());
        // A selection on each page; the first page is active when the part is run.
        QTextCursor c = form.pageEditor(1)->textCursor();
        c.select(QTextCursor::Document);
        form.pageEditor(1)->setTextCursor(c);
        c = form.pageEditor(0)->textCursor();
        c.setPosition(0);
        c.setPosition(10, QTextCursor::KeepAnchor);
        form.pageEditor(0)->setTextCursor(c);
        form.pages()->setCurrentIndex(0);
        form.BtnTransferClick();
        waitForRun(m);
        QCOMPARE(f.form->noteTabControl()->editorAt(0)->toPlainText(), QString("first part"));

        // A new tab empties and closes the window.
        f.form->noteTabControl()->FileNewCmdExecute();
        QCOMPARE(form.pageCount(), 0);
        QVERIFY(!form.isVisible());
    }

    void insertEntries()
    {
        MainWindowFixture f;
        f.addPatient("Doe", "jane", "F", QDate(1980, 3, 1));
        TMacroCommands& m = *f.form->macroCommands();
        // Without a tab the entries do nothing.
        f.form->action("FirstNameProper1")->trigger();
        QVERIFY(!m.MacroRunning());
        f.form->noteTabControl()->FileNewCmdExecute();
        f.form->action("FirstNameProper1")->trigger();
        waitForRun(m);
        NoteEditor* editor = f.form->noteTabControl()->editorAt(0);
        QCOMPARE(editor->toPlainText(), QString("Jane"));

        // "Default Date" with Today ticked pastes today even after another day was set.
        f.form->defaultNoteDate().chooseDate(QDate(2020, 1, 2));
        f.form->defaultNoteDate().chooseToday();
        f.form->action("TodaysDate1")->trigger();
        QCOMPARE(editor->toPlainText(), "Jane" + Dates::shortDate(Clock::current().today()));
    }
};

QTEST_MAIN(TestMacroCommands)
#include "test_macro_commands.moc"
