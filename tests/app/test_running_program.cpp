// The program as a physician uses it. The visit made many times a day, through the window the
// way the hands do it: find the patient by name, open a note, find the presentation, run its
// macro and answer its lists. And the pick panel's grids, which grow with the window.
#include "app/frame_rules.h"
#include "app/macro_commands.h"
#include "library/diagnosis_pane.h"
#include "macro/pick_list_dialog.h"
#include "notes/note_tabs.h"
#include "notes/patient_pane.h"
#include "platform/note_editor.h"
#include "support/main_window_fixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

class TestRunningProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findPatientOpenNoteRunMacro()
    {
        MainWindowFixture f;
        f.addPatient("Smith", "Robert", "M", QDate(1948, 3, 2));
        const int anna = f.addPatient("Smith", "Anna", "F", QDate(1961, 7, 15));
        f.addPatient("Smithers", "Andrew", "M", QDate(1990, 1, 9));
        f.addPatient("Adams", "Ann", "F", QDate(1975, 4, 4));
        f.addDx("Asthma", "Chronic", "Asthma follow-up.");
        f.addDx("Otitis media", "Acute",
                "{IfFemale She}{IfMale He} has {List right,left,both} ear pain"
                " for {List one day,two days,a week}.");
        f.addDx("Pharyngitis", "Acute", "Sore throat.");
        f.selectPatient(1);

        // 1. Part of the last name, a comma and part of the first name.
        QLineEdit* patientFinder = f.form->patientPane()->finder();
        patientFinder->setFocus();
        QTest::keyClicks(patientFinder, "smi,an");
        QCOMPARE(f.dm.kbmTablePatient().value("ID").toInt(), anna);

        // 2. Ctrl+N opens a note tab for her.
        QTest::keyClick(patientFinder, Qt::Key_N, Qt::ControlModifier);
        TNoteTabs& tabs = *f.form->noteTabControl();
        QCOMPARE(tabs.count(), 1);
        QCOMPARE(tabs.patientIdOf(0), anna);
        QVERIFY(tabs.captionOf(0).startsWith("Smith"));

        // 3. The presentation, by typing in the diagnosis finder.
        QLineEdit* dxFinder = f.form->diagnosisPane()->finder();
        dxFinder->setFocus();
        QTest::keyClicks(dxFinder, "oti");
        QCOMPARE(f.dm.kbmTableDx().text("Dx"), QStringLiteral("Otitis media"));

        // 4. Run Macro; 5. two lists, one answered with the keyboard, one with a double click.
        TMacroCommands& macros = *f.form->macroCommands();
        QTest::mouseClick(f.form->runMacroButton(), Qt::LeftButton);
        TDlgMenu& dialog = macros.pickList();
        QTRY_VERIFY(dialog.isVisible());
        QCOMPARE(dialog.ListBoxSelect()->count(), 3);
        dialog.ListBoxSelect()->setCurrentRow(1);
        QTest::keyClick(dialog.ListBoxSelect(), Qt::Key_Return);
        QTRY_VERIFY(dialog.isVisible());
        QCOMPARE(dialog.ListBoxSelect()->item(2)->text(), QStringLiteral("a week"));
        QListWidget* list = dialog.ListBoxSelect();
        const QPoint third = list->visualItemRect(list->item(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third);
        QTRY_VERIFY_WITH_TIMEOUT(!macros.MacroRunning(), 5000);

        // 6. The note holds the text, and the tab shows it is changed.
        QCOMPARE(tabs.editorAt(0)->toPlainText(), QStringLiteral("She has left ear pain for a week."));
        QVERIFY(tabs.captionOf(0).endsWith("*"));
        QVERIFY(f.form->runMacroButton()->isEnabled());
    }

    void gridsGrowByWholeRows()
    {
        MainWindowFixture f;
        QWidget* patientGrid = f.form->patientPane()->grid();
        QWidget* dxGrid = f.form->diagnosisPane()->grid();
        f.form->resize(1000, 700);
        QTRY_COMPARE(f.form->height(), 700);
        QCoreApplication::processEvents();
        const int patient = patientGrid->height();
        const int dx = dxGrid->height();
        const FrameRules::GridRows before = f.form->gridRows();

        // Three rows more: two for the patient grid, one for the presentations.
        f.form->resize(1000, 700 + 3 * 17);
        QTRY_COMPARE(f.form->height(), 700 + 3 * 17);
        QCoreApplication::processEvents();
        QCOMPARE(f.form->gridRows().patient - before.patient + f.form->gridRows().diagnosis - before.diagnosis, 3);
        QCOMPARE(patientGrid->height() - patient, 17 * (f.form->gridRows().patient - before.patient));
        QCOMPARE(dxGrid->height() - dx, 17 * (f.form->gridRows().diagnosis - before.diagnosis));
        QVERIFY(f.form->gridRows().patient >= f.form->gridRows().diagnosis);

        // As small as it goes: both grids have shrunk, and nothing is cut off.
        f.form->resize(1000, 100);
        QTRY_VERIFY(f.form->height() < 700);
        QCoreApplication::processEvents();
        QVERIFY(patientGrid->height() < patient && patientGrid->height() >= 40);
        QVERIFY(dxGrid->height() < dx && dxGrid->height() >= 40);
        QWidget* buttons = f.form->runMacroButton();
        QVERIFY(buttons->mapTo(f.form.get(), QPoint(0, buttons->height())).y() <= f.form->height());
    }
};

QTEST_MAIN(TestRunningProgram)
#include "test_running_program.moc"
