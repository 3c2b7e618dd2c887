#include "app/main_options.h"
#include "notes/patient_finder.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "store/data_module.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void addPatient(TDataModule1& dm, const QString& last, const QString& first, const QDate& dob = QDate(1960, 3, 4),
                const QString& sex = QStringLiteral("F"))
{
    Table& p = dm.kbmTablePatient();
    QVERIFY(p.insert());
    p.setValue("LastName", last);
    p.setValue("FirstName", first);
    p.setValue("DateOfBirth", Dates::toDayCount(dob));
    p.setValue("Sex", sex);
    QVERIFY(p.post());
}

// A started data module in a fresh program directory holding a small register.
struct Register {
    TempProgramDir dir;
    ScriptedPrompter prompter;
    TDataModule1 dm;
    Register()
    {
        dm.startUp();
        for (const auto& [last, first] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"Smyth", "Carl"}, {"smith", "Bob"}, {"Smith", "Ann"}, {"SMITHERS", "Dan"}, {"Doe", "Mary"},
                 {"Doe", "Alice"}, {"DOE JR", "Martin"}, {"Doeman", "Mark"}, {"Zeller", "Ed"}})
            addPatient(dm, QString::fromLatin1(last), QString::fromLatin1(first));
        table().first();
    }
    Table& table() { return dm.kbmTablePatient(); }
    QString current() { return table().text("LastName") + QLatin1Char('/') + table().text("FirstName"); }
};

// Types into the finder as its line edit does: keys it consumes are not typed.
void type(PatientFinder& f, const QString& keys)
{
    for (const QChar c : keys) {
        const QString text(c);
        const int key = c == QLatin1Char(' ') ? int(Qt::Key_Space) : int(c.toUpper().unicode());
        if (!f.keyPress(key, text))
            f.setText(f.text() + text);
        f.keyRelease(key, text);
    }
}

QDate d(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }
} // namespace

class TestPatientFinder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Clock::install(nullptr); }

    void centuryRule_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QDate>("reference");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("far ahead") << d("2030-12-24") << d("2024-06-01") << d("1930-12-24");
        QTest::newRow("exactly 7 days") << d("2024-06-08") << d("2024-06-01") << d("2024-06-08");
        QTest::newRow("8 days") << d("2024-06-09") << d("2024-06-01") << d("1924-06-09");
        QTest::newRow("past") << d("1950-01-01") << d("2024-06-01") << d("1950-01-01");
        QTest::newRow("29 Feb, leap year back") << d("2028-02-29") << d("2024-06-01") << d("1928-02-29");
        QTest::newRow("29 Feb, no leap year back") << d("2000-02-29") << d("1999-01-01") << d("1900-02-28");
        QTest::newRow("invalid") << QDate() << d("2024-06-01") << QDate();
    }
    void centuryRule()
    {
        QFETCH(QDate, date);
        QFETCH(QDate, reference);
        QFETCH(QDate, expected);
        QCOMPARE(PatientFields::centuryCorrected(date, reference), expected);
    }

    void masksAndFieldTexts()
    {
        const QString ss = QStringLiteral("000\\-00\\-0000;1;_");
        QCOMPARE(PatientFields::inputMask(ss), QStringLiteral("999-99-9999;_"));
        QCOMPARE(PatientFields::maskedValue("123-45-6789", ss), QVariant(QStringLiteral("123-45-6789")));
        QCOMPARE(PatientFields::maskedValue("12_-__-____", ss), QVariant(QStringLiteral("12 -  -    ")));
        QVERIFY(PatientFields::maskedValue("___-__-____", ss).isNull());
        QVERIFY(PatientFields::maskedValue(QString(), ss).isNull());
        QCOMPARE(PatientFields::maskedValue("123-45-6789", "000\\-00\\-0000;0;_"), QVariant(QStringLiteral("123456789")));

        if (Dates::shortDateFormat() == QLatin1String("M/d/yyyy")) {
            QCOMPARE(PatientFields::dateFieldFormat(), QStringLiteral("MM/dd/yyyy"));
            QCOMPARE(PatientFields::dateFieldMask(), QStringLiteral("99/99/9999;_"));
            QCOMPARE(PatientFields::dateFieldText(Dates::toDayCount(d("2024-06-01"))), QStringLiteral("06/01/2024"));
            QVERIFY(PatientFields::readDateField("__/__/____")->empty);
            QCOMPARE(PatientFields::readDateField("12/24/2030")->date, d("2030-12-24"));
            QVERIFY(!PatientFields::readDateField("13/45/2024"));
            QVERIFY(!PatientFields::readDateField("12/2_/2024"));
        }
        const QString text = PatientFields::dateFieldText(Dates::toDayCount(d("1987-11-30")));
        QCOMPARE(PatientFields::readDateField(text)->date, d("1987-11-30"));
        QVERIFY(PatientFields::dateFieldText(QVariant()).isEmpty());
    }

    void searchesFromTheFirstRecordInAnyCase_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("smi") << "smi" << "Smith/Ann";
        QTest::newRow("SMI") << "SMI" << "Smith/Ann";
        QTest::newRow("smithe") << "smithe" << "SMITHERS/Dan";
        QTest::newRow("no match stays") << "smx" << "Smith/Ann"; // "sm" found Smith, "smx" none
        QTest::newRow("leading space ignored") << " doe" << "Doe/Alice";
        QTest::newRow("space after letters kept") << "doe " << "DOE JR/Martin";
    }
    void searchesFromTheFirstRecordInAnyCase()
    {
        Register r;
        r.table().last();
        PatientFinder f(r.dm);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        type(f, typed);
        QCOMPARE(r.current(), expected);
        QVERIFY(!f.text().startsWith(QLatin1Char(' ')));
    }

    void emptyFinderAndNoMatchLeaveTheRegister()
    {
        Register r;
        r.table().moveTo(4);
        const QString before = r.current();
        PatientFinder f(r.dm);
        f.setText(QString());
        QVERIFY(!f.search());
        f.setText("qq");
        QVERIFY(!f.search());
        QCOMPARE(r.current(), before);
    }

    void commaSearchesTheFamilyThenFullStopResets()
    {
        Register r;
        PatientFinder f(r.dm);
        QSignalSpy modes(&f, &PatientFinder::modeChanged);
        QSignalSpy resets(&f, &PatientFinder::finderReset);
        QSignalSpy hints(&f, &PatientFinder::hintRequested);
        type(f, "Doe,ma");
        QCOMPARE(f.mode(), PatientFinder::Mode::FirstName);
        QCOMPARE(f.searchField(), QStringLiteral("FirstName"));
        QCOMPARE(r.dm.rememberedPatient.lastName, QStringLiteral("Doe"));
        QCOMPARE(r.dm.rememberedPatient.firstName, QStringLiteral("Alice")); // the record found by "Doe"
        QVERIFY(r.table().filtered());
        QVERIFY(!r.dm.firstNameFilter);
        QCOMPARE(r.table().rowCount(), 3); // Doe Alice, Doe Mary, DOE JR Martin; not Doeman
        QCOMPARE(r.current(), QStringLiteral("Doe/Mary")); // first "ma" of the family in name order
        QCOMPARE(f.text(), QStringLiteral("ma"));
        QCOMPARE(modes.count(), 1);
        QCOMPARE(resets.count(), 0);

        r.dm.firstNameFilter = true;
        type(f, ".");
        QCOMPARE(f.mode(), PatientFinder::Mode::LastName);
        QCOMPARE(f.text(), QString());
        QVERIFY(!r.table().filtered());
        QVERIFY(!r.dm.firstNameFilter);
        QCOMPARE(r.table().rowCount(), 9);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(hints.last().at(0).toString(), PatientFinder::toolTip());
    }

    void arrowsEnterAndEscape()
    {
        Register r;
        PatientFinder f(r.dm);
        QSignalSpy focus(&f, &PatientFinder::focusRequested);
        QSignalSpy enter(&f, &PatientFinder::diagnosisFinderRequested);

        QVERIFY(!f.keyPress(Qt::Key_Up, QString())); // at the first record
        QCOMPARE(r.table().recNo(), 0);
        QVERIFY(f.keyPress(Qt::Key_Down, QString()));
        QCOMPARE(r.table().recNo(), 1);
        QCOMPARE(f.text(), r.table().text("LastName"));
        QCOMPARE(focus.count(), 1);

        r.table().last();
        type(f, "zel");
        const QString before = f.text();
        QVERIFY(!f.keyPress(Qt::Key_Down, QString()));
        QCOMPARE(r.table().recNo(), r.table().rowCount() - 1);
        QCOMPARE(f.text(), before);
        QVERIFY(f.keyPress(Qt::Key_Up, QString()));
        QCOMPARE(r.table().recNo(), r.table().rowCount() - 2);

        QVERIFY(f.keyPress(Qt::Key_Return, "\r"));
        QVERIFY(f.keyPress(Qt::Key_Enter, "\r"));
        QCOMPARE(enter.count(), 2);
        QVERIFY(f.keyPress(Qt::Key_Escape, QString(QChar(27))));
        QCOMPARE(f.text(), QString());
    }

    void focusRules()
    {
        Register r;
        PatientFinder f(r.dm);
        QSignalSpy hints(&f, &PatientFinder::hintRequested);
        type(f, "Doe,");
        f.entered(true); // a macro runs: nothing happens
        QVERIFY(r.table().filtered());
        QCOMPARE(f.mode(), PatientFinder::Mode::FirstName);
        f.entered(false);
        QVERIFY(!r.table().filtered());
        QCOMPARE(f.mode(), PatientFinder::Mode::LastName);

        type(f, "smi");
        f.left();
        QCOMPARE(f.text(), QStringLiteral("Smith"));
        QCOMPARE(hints.last().at(0).toString(), PatientFinder::leftHint());
        QCOMPARE(PatientFinder::leftHint(), QStringLiteral("Hints"));
    }

    void followsTheRegisterAndIsDisabledWhileEditing()
    {
        Register r;
        PatientFinder f(r.dm);
        QSignalSpy text(&f, &PatientFinder::textChanged);
        QSignalSpy enabled(&f, &PatientFinder::enabledChanged);
        r.table().moveTo(8);
        QCOMPARE(f.text(), QStringLiteral("Zeller"));
        QVERIFY(text.count() >= 1);
        QVERIFY(r.table().edit());
        QVERIFY(!f.enabled());
        QCOMPARE(enabled.last().at(0).toBool(), false);
        f.setText("d");
        QVERIFY(!f.search()); // never posts the record being edited
        QCOMPARE(r.table().state(), TableState::Edit);
        r.table().cancel();
        QVERIFY(f.enabled());
    }

    void addAPatientIsRefusedWhileEditing()
    {
        Register r;
        DefaultNoteDate date;
        PatientActions a(r.dm, date);
        QSignalSpy grid(&a, &PatientActions::gridEditRequested);
        QVERIFY(r.table().edit());
        QVERIFY(!a.addPatient());
        QCOMPARE(r.prompter.shown().size(), 1);
        QCOMPARE(r.prompter.shown()[0].type, MessageType::Information);
        QCOMPARE(r.prompter.shown()[0].buttons, Buttons::Ok);
        QCOMPARE(r.prompter.shown()[0].text, QStringLiteral("Finish editing the current patient then try again."));
        QCOMPARE(r.table().state(), TableState::Edit);
        QCOMPARE(r.table().totalRowCount(), 9);
        QCOMPARE(grid.count(), 0);

        r.table().cancel();
        QVERIFY(a.addPatient());
        QCOMPARE(r.table().state(), TableState::Insert);
        QCOMPARE(r.table().value("ID").toInt(), 10);
        QCOMPARE(grid.count(), 1);
    }

    void saveChangesCorrectsTheCenturyAgainstTheNoteDate_data()
    {
        QTest::addColumn<QDate>("dob");
        QTest::addColumn<QDate>("after");
        QTest::addColumn<bool>("editing");
        QTest::newRow("2030") << d("2030-05-01") << d("1930-05-01") << true;
        QTest::newRow("7 days") << d("2024-06-08") << d("2024-06-08") << false;
    }
    void saveChangesCorrectsTheCenturyAgainstTheNoteDate()
    {
        QFETCH(QDate, dob);
        Register r;
        FixedClock clock(QDateTime(d("2031-01-01"), QTime(9, 0))); // today would accept 2030
        Clock::install(&clock);
        DefaultNoteDate date;
        date.chooseDate(d("2024-06-01"));
        PatientActions a(r.dm, date);
        a.navigatorClicked(NavigatorButton::Edit);
        r.table().setValue("DateOfBirth", Dates::toDayCount(dob));
        a.navigatorClicked(NavigatorButton::Post);
        QFETCH(bool, editing);
        QFETCH(QDate, after);
        QCOMPARE(a.editing(), editing);
        QCOMPARE(Dates::dateFromDayCount(r.table().value("DateOfBirth").toDouble()), after);
        QCOMPARE(date.date(), d("2024-06-01")); // a chosen date stays
    }

    void navigatorRefreshesTodaysNoteDate()
    {
        Register r;
        FixedClock clock(QDateTime(d("2024-06-01"), QTime(9, 0)));
        Clock::install(&clock);
        DefaultNoteDate date;
        PatientActions a(r.dm, date);
        clock.set(QDateTime(d("2024-06-02"), QTime(0, 1)));
        a.navigatorClicked(NavigatorButton::Cancel);
        QCOMPARE(date.date(), d("2024-06-02"));
    }

    void leavingTheDateFieldCorrectsAgainstToday_data()
    {
        QTest::addColumn<QDate>("dob");
        QTest::addColumn<QDate>("after");
        QTest::newRow("2030-12-24") << d("2030-12-24") << d("1930-12-24");
        QTest::newRow("2024-06-08") << d("2024-06-08") << d("2024-06-08");
        QTest::newRow("2024-06-09") << d("2024-06-09") << d("1924-06-09");
    }
    void leavingTheDateFieldCorrectsAgainstToday()
    {
        QFETCH(QDate, dob);
        QFETCH(QDate, after);
        Register r;
        FixedClock clock(QDateTime(d("2024-06-01"), QTime(9, 0)));
        Clock::install(&clock);
        DefaultNoteDate date;
        date.chooseDate(d("2040-01-01")); // the note date plays no part here
        r.table().edit();
        r.table().setValue("DateOfBirth", Dates::toDayCount(dob));
        QVERIFY(r.table().post());
        PatientActions a(r.dm, date);
        a.dateFieldLeft();
        QCOMPARE(a.editing(), after != dob);
        QCOMPARE(Dates::dateFromDayCount(r.table().value("DateOfBirth").toDouble()), after);
    }

    void enterInTheDateFieldSavesOnlyWithASex()
    {
        Register r;
        DefaultNoteDate date;
        PatientActions a(r.dm, date);
        QVERIFY(a.addPatient());
        r.table().setValue("LastName", "New");
        r.table().setValue("FirstName", "Person");
        QVERIFY(a.setDateOfBirth({false, d("1970-01-02")}));
        const QByteArray file = readAll(r.dir.file("Patient.bin"));
        QVERIFY(!a.dateFieldEnter());
        QCOMPARE(r.table().state(), TableState::Insert);
        QCOMPARE(readAll(r.dir.file("Patient.bin")), file);
        QVERIFY(r.prompter.shown().isEmpty()); // no save attempted, so no refusal either

        QVERIFY(a.setSex("M"));
        QVERIFY(a.dateFieldEnter());
        QCOMPARE(r.table().state(), TableState::Browse);
        QCOMPARE(r.table().totalRowCount(), 10);
        QVERIFY(readAll(r.dir.file("Patient.bin")) != file);
        QVERIFY(!a.setSex("F")); // browsing: the choice is refused
        QCOMPARE(r.table().text("Sex"), QStringLiteral("M"));
    }

    void deleteAsksFirst()
    {
        Register r;
        DefaultNoteDate date;
        PatientActions a(r.dm, date);
        r.prompter.queueAnswer(Answer::No);
        a.navigatorClicked(NavigatorButton::Delete);
        QCOMPARE(r.table().totalRowCount(), 9);
        r.prompter.queueAnswer(Answer::Yes);
        a.navigatorClicked(NavigatorButton::Delete);
        QCOMPARE(r.table().totalRowCount(), 8);
        QCOMPARE(r.prompter.shown().size(), 2);
        QCOMPARE(r.prompter.shown()[0].type, MessageType::Confirmation);
        QCOMPARE(r.prompter.shown()[0].buttons, Buttons::YesNo);
        QCOMPARE(r.prompter.shown()[0].text, QStringLiteral("Are you sure you want to Delete the Record(s) ?"));
    }

    void reminderEditsOnlyWhileFocused()
    {
        Register r;
        DefaultNoteDate date;
        PatientActions a(r.dm, date);
        QVERIFY(!a.reminderEdited("x")); // automatic editing is off
        QCOMPARE(r.table().state(), TableState::Browse);

        a.reminderEntered();
        a.reminderLeft(); // nothing changed: nothing saved, no edit started
        QCOMPARE(r.table().state(), TableState::Browse);

        const QByteArray file = readAll(r.dir.file("Patient.bin"));
        a.reminderEntered();
        QVERIFY(a.autoEdit());
        QVERIFY(a.reminderEdited("Flu shot due"));
        QCOMPARE(r.table().state(), TableState::Edit);
        a.reminderLeft();
        QVERIFY(!a.autoEdit());
        QCOMPARE(r.table().state(), TableState::Browse);
        QCOMPARE(r.table().text("Reminders"), QStringLiteral("Flu shot due"));
        QVERIFY(readAll(r.dir.file("Patient.bin")) != file);
    }

    void reminderNeverCreatesAPatient()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        TDataModule1 dm;
        dm.startUp();
        DefaultNoteDate date;
        PatientActions a(dm, date);
        a.reminderEntered();
        QVERIFY(!a.reminderEdited("x"));
        QCOMPARE(dm.kbmTablePatient().state(), TableState::Browse);
        a.reminderLeft();
        QCOMPARE(dm.kbmTablePatient().totalRowCount(), 0);
        QVERIFY(prompter.shown().isEmpty());
    }

    void navigatorButtonStates()
    {
        using B = NavigatorButton;
        QVERIFY(PatientActions::navigatorEnabled(B::Insert, TableState::Browse, true));
        QVERIFY(!PatientActions::navigatorEnabled(B::Delete, TableState::Browse, true));
        QVERIFY(!PatientActions::navigatorEnabled(B::Edit, TableState::Browse, true));
        QVERIFY(PatientActions::navigatorEnabled(B::Edit, TableState::Browse, false));
        QVERIFY(!PatientActions::navigatorEnabled(B::Post, TableState::Browse, false));
        QVERIFY(!PatientActions::navigatorEnabled(B::Edit, TableState::Edit, false));
        QVERIFY(PatientActions::navigatorEnabled(B::Post, TableState::Insert, true));
        QVERIFY(PatientActions::navigatorEnabled(B::Cancel, TableState::Edit, false));
        QVERIFY(!PatientActions::navigatorEnabled(B::Insert, TableState::Inactive, true));
    }
};

QTEST_GUILESS_MAIN(TestPatientFinder)
#include "test_patient_finder.moc"
