#include "app/main_options.h"
#include "notes/patient_pane.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "store/data_module.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QVBoxLayout>
#include <QToolButton>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QDate d(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }

// A pane over a small register in a fresh program directory, shown and active, with "today"
// fixed at 1 June 2024.
struct Pane {
    TempProgramDir dir;
    ScriptedPrompter prompter;
    FixedClock clock{QDateTime(QDate(2024, 6, 1), QTime(9, 0))};
    TDataModule1 dm;
    std::unique_ptr<DefaultNoteDate> noteDate;
    QWidget window;
    TPatientPane* pane = nullptr;
    QLineEdit* other = nullptr; // somewhere else in the window for the focus to go

    Pane()
    {
        Clock::install(&clock);
        dm.startUp();
        Table& t = dm.kbmTablePatient();
        int n = 0;
        for (const char* name : {"Smyth,Carl", "smith,Bob", "Smith,Ann", "Doe,Mary", "Doe,Alice", "DOE JR,Martin",
                                 "Doeman,Mark", "Zeller,Ed"}) {
            const QStringList parts = QString::fromLatin1(name).split(QLatin1Char(','));
            t.insert();
            t.setValue("LastName", parts[0]);
            t.setValue("FirstName", parts[1]);
            t.setValue("DateOfBirth", Dates::toDayCount(QDate(1950 + n, 1 + n, 10)));
            t.setValue("Sex", n % 2 ? "M" : "F");
            t.setValue("SSNum", QStringLiteral("123-45-67%1").arg(n, 2, 10, QLatin1Char('0')));
            t.post();
            ++n;
        }
        t.first();
        noteDate = std::make_unique<DefaultNoteDate>();
        pane = new TPatientPane(dm, *noteDate, &window);
        other = new QLineEdit(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(pane);
        layout->addWidget(other);
        window.resize(290, 490);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    ~Pane() { Clock::install(nullptr); }
    Table& table() { return dm.kbmTablePatient(); }
    QString current() { return table().text("LastName") + QLatin1Char('/') + table().text("FirstName"); }
    // Keys go where the focus is, as the user's do (a cell editor opens on the first).
    static void typeAtFocus(const QString& keys)
    {
        for (const QChar c : keys)
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    QDate dob() { return Dates::dateFromDayCount(table().value("DateOfBirth").toDouble()); }
    void focusFinder()
    {
        pane->finder()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(pane->finder()->hasFocus());
    }
    void leaveTo(QWidget* w)
    {
        w->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(w->hasFocus());
    }
};

QColor textColour(const QLabel* l) { return l->palette().color(QPalette::WindowText); }
} // namespace

class TestPatientPane : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAndTheirTexts()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        QCOMPARE(pane.reminderField()->toolTip(), QStringLiteral("Reminders For \r\nSelected Patient"));
        QCOMPARE(pane.finder()->toolTip(), QStringLiteral("Enter Last Name until selected\r\nthen ','  First Name.\r\n'.' will clear.\r\nUp & Down keys also change selection."));
        QCOMPARE(pane.grid()->toolTip(), QStringLiteral("To select a patient scroll or\r\nuse the Finder Box Below this grid.\r\n\r\nTo add a patient first click on the '+' below.\r\nTo edit a patient first click on the delta symbol below.\r\n"));
        QCOMPARE(pane.dateField()->toolTip(), QStringLiteral("Patient's Date of Birth"));
        const QStringList tips = {"Add a Patient", "Delete Patient Permanently", "Edit Patient Record", "Save Changes",
                                  "Cancel changes since last saved"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(pane.navigatorButton(NavigatorButton(i))->toolTip(), tips[i]);
        QCOMPARE(pane.maleButton()->text(), QStringLiteral("Male"));
        QCOMPARE(pane.femaleButton()->text(), QStringLiteral("Female"));
        QCOMPARE(pane.dateGroup()->title(), QStringLiteral("Date of Birth"));
        QCOMPARE(pane.lastNameLabel()->text(), QStringLiteral("Last Name,"));
        QCOMPARE(pane.firstNameLabel()->text(), QStringLiteral("First Name"));
        QVERIFY(pane.findChild<QGroupBox*>("PatientGroup")->title() == QStringLiteral("Patient"));
        QVERIFY(pane.findChild<QGroupBox*>("SexGroup")->title() == QStringLiteral("Sex"));

        QTableView* names = pane.grid()->frozenView();
        QTableView* scrolling = pane.grid()->scrollingView();
        QCOMPARE(names->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Last Name"));
        QCOMPARE(names->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("First Name"));
        QCOMPARE(names->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("SS Number"));
        QVERIFY(!names->isColumnHidden(0) && !names->isColumnHidden(1) && names->isColumnHidden(2));
        QVERIFY(scrolling->isColumnHidden(0) && scrolling->isColumnHidden(1) && !scrolling->isColumnHidden(2));
        QCOMPARE(names->palette().color(QPalette::Base), QColor(0xBC, 0xFD, 0xB5));
        QCOMPARE(names->palette().color(QPalette::AlternateBase), QColor(0xBC, 0xE4, 0xED));
        QCOMPARE(names->palette().color(QPalette::Highlight), QColor(Qt::white));
        QCOMPARE(names->palette().color(QPalette::HighlightedText), QColor(Qt::black));
        QVERIFY(names->alternatingRowColors());

        // The record is shown: first row Doe Alice, female, born 1 May 1954 (fifth added).
        QCOMPARE(names->currentIndex().row(), 0);
        QVERIFY(pane.femaleButton()->isChecked());
        QCOMPARE(pane.dateField()->text(), PatientFields::dateFieldText(Dates::toDayCount(d("1954-05-10"))));

        // Column titles are bold while the grid has the focus.
        QVERIFY(!names->horizontalHeader()->font().bold());
        names->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(names->horizontalHeader()->font().bold());
        QVERIFY(scrolling->horizontalHeader()->font().bold());
        p.leaveTo(p.other);
        QVERIFY(!names->horizontalHeader()->font().bold());
    }

    void finderKeys()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        QSignalSpy resets(&pane, &TPatientPane::finderReset);
        QSignalSpy hints(&pane, &TPatientPane::hintRequested);
        QSignalSpy enter(&pane, &TPatientPane::diagnosisFinderRequested);
        p.table().last();
        p.focusFinder();
        QCOMPARE(resets.count(), 1);
        QCOMPARE(hints.last().at(0).toString(), PatientFinder::toolTip());
        QCOMPARE(textColour(pane.lastNameLabel()), QColor(Qt::red));
        QCOMPARE(textColour(pane.firstNameLabel()), QColor(Qt::black));

        QTest::keyClicks(pane.finder(), "smi");
        QCOMPARE(p.current(), QStringLiteral("Smith/Ann"));
        QCOMPARE(pane.grid()->frozenView()->currentIndex().row(), p.table().recNo());

        QTest::keyClicks(pane.finder(), ".");
        QTest::keyClicks(pane.finder(), "Doe,ma");
        QCOMPARE(pane.finder()->text(), QStringLiteral("ma"));
        QCOMPARE(textColour(pane.lastNameLabel()), QColor(Qt::black));
        QCOMPARE(textColour(pane.firstNameLabel()), QColor(Qt::red));
        QCOMPARE(pane.grid()->frozenView()->model()->rowCount(), 3);
        QCOMPARE(p.current(), QStringLiteral("Doe/Mary"));

        QTest::keyClick(pane.finder(), Qt::Key_Period);
        QCOMPARE(pane.finder()->text(), QString());
        QVERIFY(!p.table().filtered());
        QCOMPARE(pane.grid()->frozenView()->model()->rowCount(), 8);
        QCOMPARE(textColour(pane.lastNameLabel()), QColor(Qt::red));
        QCOMPARE(resets.count(), 3);

        QTest::keyClick(pane.finder(), Qt::Key_Space);
        QCOMPARE(pane.finder()->text(), QString());

        QTest::keyClicks(pane.finder(), "zel");
        QCOMPARE(p.current(), QStringLiteral("Zeller/Ed"));
        QTest::keyClick(pane.finder(), Qt::Key_Down);
        QCOMPARE(p.current(), QStringLiteral("Zeller/Ed"));
        QCOMPARE(pane.finder()->text(), QStringLiteral("zel"));
        QTest::keyClick(pane.finder(), Qt::Key_Up);
        QCOMPARE(p.current(), QStringLiteral("Smyth/Carl"));
        QCOMPARE(pane.finder()->text(), QStringLiteral("Smyth"));

        QTest::keyClick(pane.finder(), Qt::Key_Return);
        QCOMPARE(enter.count(), 1);

        // Leaving after a search shows the whole name and "Hints".
        QTest::keyClick(pane.finder(), Qt::Key_Escape);
        QTest::keyClicks(pane.finder(), "doem");
        p.leaveTo(p.other);
        QCOMPARE(pane.finder()->text(), QStringLiteral("Doeman"));
        QCOMPARE(hints.last().at(0).toString(), QStringLiteral("Hints"));
    }

    void focusDoesNothingWhileAMacroRuns()
    {
        Pane p;
        p.pane->macroRunning = [] { return true; };
        p.table().setFiltered(true);
        QSignalSpy resets(p.pane, &TPatientPane::finderReset);
        p.focusFinder();
        QCOMPARE(resets.count(), 0);
        QVERIFY(p.table().filtered());
    }

    void addAPatientDuringAnEdit()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Edit), Qt::LeftButton);
        QCOMPARE(p.table().state(), TableState::Edit);
        QVERIFY(!pane.finder()->isEnabled());
        QVERIFY(pane.navigatorButton(NavigatorButton::Insert)->isHidden());
        QVERIFY(pane.grid()->tabMovesBetweenColumns());
        QTRY_VERIFY(pane.grid()->frozenView()->hasFocus());
        pane.addPatient();
        QCOMPARE(p.prompter.texts(), QStringList{"Finish editing the current patient then try again."});
        QCOMPARE(p.prompter.shown()[0].type, MessageType::Information);
        QCOMPARE(p.table().state(), TableState::Edit);
        QCOMPARE(p.table().totalRowCount(), 8);

        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Cancel), Qt::LeftButton);
        QVERIFY(!pane.navigatorButton(NavigatorButton::Insert)->isHidden());
        QVERIFY(!pane.grid()->tabMovesBetweenColumns());
        pane.addPatient();
        QCOMPARE(p.table().state(), TableState::Insert);
        QCOMPARE(pane.grid()->currentColumn(), 0);
        QTRY_VERIFY(pane.grid()->frozenView()->hasFocus());

        // Typing goes into the new row's cells; Tab moves across to the SS number editor.
        Pane::typeAtFocus("Young");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        Pane::typeAtFocus("Amy");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(pane.ssEditor()->isVisible());
        QVERIFY(pane.ssEditor()->hasFocus());
        QTableView* scrolling = pane.grid()->scrollingView();
        QCOMPARE(pane.ssEditor()->geometry(), scrolling->visualRect(scrolling->currentIndex()));
        QTest::keyClicks(pane.ssEditor(), "987654321");
        QCOMPARE(p.table().text("LastName"), QStringLiteral("Young"));
        QCOMPARE(p.table().text("FirstName"), QStringLiteral("Amy"));
        QCOMPARE(p.table().text("SSNum"), QStringLiteral("987-65-4321"));
    }

    void dateOfBirthCenturyOnLeavingTheField_data()
    {
        QTest::addColumn<QDate>("typed");
        QTest::addColumn<QDate>("after");
        QTest::newRow("2030-12-24") << d("2030-12-24") << d("1930-12-24");
        QTest::newRow("2024-06-08") << d("2024-06-08") << d("2024-06-08");
        QTest::newRow("2024-06-09") << d("2024-06-09") << d("1924-06-09");
    }
    void dateOfBirthCenturyOnLeavingTheField()
    {
        QFETCH(QDate, typed);
        QFETCH(QDate, after);
        Pane p;
        TPatientPane& pane = *p.pane;
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Edit), Qt::LeftButton);
        pane.dateField()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(pane.dateField()->hasFocus());
        pane.dateField()->selectAll();
        QTest::keyClicks(pane.dateField(), typed.toString(PatientFields::dateFieldFormat()).remove(QRegularExpression("[^0-9]")));
        QCOMPARE(p.dob(), typed);
        p.leaveTo(p.other);
        QCOMPARE(p.dob(), after);
        QCOMPARE(pane.dateField()->text(), after.toString(PatientFields::dateFieldFormat()));
        QCOMPARE(p.table().state(), TableState::Edit);
    }

    void unreadableDateIsRejected()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Edit), Qt::LeftButton);
        const QDate before = p.dob();
        pane.dateField()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(pane.dateField()->hasFocus());
        pane.dateField()->selectAll();
        QTest::keyClicks(pane.dateField(), "1345");
        p.leaveTo(p.other);
        QCOMPARE(p.prompter.shown().size(), 1);
        QCOMPARE(p.prompter.shown()[0].type, MessageType::Error);
        QTRY_VERIFY(pane.dateField()->hasFocus());
        QCOMPARE(p.dob(), before);
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Post), Qt::LeftButton);
        QCOMPARE(p.table().state(), TableState::Edit); // not saved with a date it cannot read
    }

    void saveChangesCorrectsAgainstTheNoteDate()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        p.clock.set(QDateTime(d("2031-01-01"), QTime(8, 0))); // "today" would accept 2030
        p.noteDate->chooseDate(d("2024-06-01"));
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Edit), Qt::LeftButton);
        pane.dateField()->setText(d("2030-05-01").toString(PatientFields::dateFieldFormat()));
        QTest::mouseClick(pane.navigatorButton(NavigatorButton::Post), Qt::LeftButton);
        QCOMPARE(p.table().state(), TableState::Edit);
        QCOMPARE(p.dob(), d("1930-05-01"));
        QCOMPARE(pane.dateField()->text(), d("1930-05-01").toString(PatientFields::dateFieldFormat()));
        QVERIFY(pane.navigatorButton(NavigatorButton::Post)->isEnabled());
    }

    void enterInTheDateFieldNeedsASex()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        pane.addPatient();
        p.table().setValue("LastName", "New");
        p.table().setValue("FirstName", "Person");
        pane.dateField()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(pane.dateField()->hasFocus());
        QTest::keyClicks(pane.dateField(), "01021970");
        const QByteArray file = readAll(p.dir.file("Patient.bin"));
        QTest::keyClick(pane.dateField(), Qt::Key_Return);
        QCOMPARE(p.table().state(), TableState::Insert);
        QCOMPARE(readAll(p.dir.file("Patient.bin")), file);
        QVERIFY(p.prompter.shown().isEmpty());

        QTest::keyClick(pane.dateField(), Qt::Key_Up);
        QVERIFY(pane.maleButton()->isChecked());
        QTest::keyClick(pane.dateField(), Qt::Key_Down);
        QVERIFY(pane.femaleButton()->isChecked());
        QCOMPARE(p.table().text("Sex"), QStringLiteral("F"));
        QTest::keyClick(pane.dateField(), Qt::Key_Return);
        QCOMPARE(p.table().state(), TableState::Browse);
        QCOMPARE(p.current(), QStringLiteral("New/Person"));
        QVERIFY(readAll(p.dir.file("Patient.bin")) != file);
    }

    void sexAndReminderFollowTheEditingRules()
    {
        Pane p;
        TPatientPane& pane = *p.pane;
        QVERIFY(pane.femaleButton()->isChecked());
        QTest::mouseClick(pane.maleButton(), Qt::LeftButton); // browsing: refused
        QVERIFY(pane.femaleButton()->isChecked());
        QCOMPARE(p.table().text("Sex"), QStringLiteral("F"));

        pane.reminderField()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(pane.reminderField()->hasFocus());
        QTest::keyClicks(pane.reminderField(), "Mammogram");
        QCOMPARE(p.table().state(), TableState::Edit);
        p.leaveTo(p.other);
        QCOMPARE(p.table().state(), TableState::Browse);
        QCOMPARE(p.table().text("Reminders"), QStringLiteral("Mammogram"));
    }
};

QTEST_MAIN(TestPatientPane)
#include "test_patient_pane.moc"
