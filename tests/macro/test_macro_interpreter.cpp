// Macro text + patient + picks -> note text and messages, through the fake host.

#include "macro/macro_interpreter.h"
#include "platform/clock.h"
#include "support/fake_macro_host.h"

#include <QLocale>
#include <QTest>

using Fields = QVariantMap;

namespace {

const QString kUnrec = QStringLiteral("[warning] Unrecognized macro command: ");
const QString kIncomplete = QStringLiteral(
    "[warning] The patient data is incomplete. Do you want to enter a first name, last name, sex and date of "
    "birth before \r\nproceding.");
const QString kInterrupted = QStringLiteral("[error] The macro was interrupted due to an exception");
const QString kNoSelection = QStringLiteral("[information] You have not made any selection(s).");

// The lists shown, each as its items joined with "|".
QStringList shownLists(const FakeMacroHost& host)
{
    QStringList out;
    for (const PickRequest& r : host.requests)
        out << r.items.join(QLatin1Char('|'));
    return out;
}

void run(FakeMacroHost& host, const QString& macro, MacroSession& session)
{
    MacroInterpreter(host, session).run(macro);
}

} // namespace

class TestMacroInterpreter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_clock.set(QDateTime(QDate(2024, 6, 15), QTime(14, 5)));
        Clock::install(&m_clock);
    }
    void cleanupTestCase() { Clock::install(nullptr); }

    void runs_data();
    void runs();
    void lists_data();
    void lists();
    void doubleClickPastesOnlyTheClickedItem();
    void boldCarriesIntoLaterRuns();
    void slotKeepsCutTextOfLongItems();
    void formattingAndPrinterGoToTheHost();
    void failedPasteInSpliceResumesInsideTheConditional();
    void fieldPasteFailureKeepsTheList();

private:
    FixedClock m_clock{QDateTime()};
};

// Columns: macro, patient fields that differ from the default patient (Jane Doe, F,
// born 10 March 1980; note date 15 June 2024), history fields ("-" as a key: no history row),
// scripted picks, answers to boxes ("yes"/"no"), expected note, expected messages.
void TestMacroInterpreter::runs_data()
{
    QTest::addColumn<QString>("macro");
    QTest::addColumn<Fields>("patient");
    QTest::addColumn<Fields>("history");
    QTest::addColumn<QStringList>("picks");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QStringList>("messages");

    const Fields none;
    const Fields noHistory{{QStringLiteral("-"), true}};
    const auto born = [](QDate d) { return Fields{{QStringLiteral("DateOfBirth"), d}}; };
    const QStringList quiet;

    // Language
    QTest::newRow("empty macro") << "" << none << none << quiet << quiet << "" << quiet;
    QTest::newRow("plain text keeps blanks and breaks") << "a \tb\r\nc" << none << none << quiet << quiet << "a \tb\r\nc" << quiet;
    QTest::newRow("keyword any case") << "{Age}/{age}/{AGE}" << none << none << quiet << quiet
                                      << "44 year old/44 year old/44 year old" << quiet;
    QTest::newRow("exact keyword with trailing blank") << "x{Age }y" << none << none << quiet << quiet << "xy"
                                                       << QStringList{kUnrec + "{Age ."};
    QTest::newRow("unrecognized cut to seven") << "{Hello world}" << none << none << quiet << quiet << ""
                                               << QStringList{kUnrec + "{Hello w."};
    QTest::newRow("prefix keyword without its blank") << "{IfMale}" << none << none << quiet << quiet << ""
                                                      << QStringList{kUnrec + "{IfMale."};
    QTest::newRow("stray closing brace blocks later conditional")
        << "a}b{IfAge>5 x}c" << none << none << quiet << quiet << "a}b" << quiet;
    QTest::newRow("unclosed command swallows the rest") << "abc{List x,y" << none << none << quiet << quiet << "abc" << quiet;
    QTest::newRow("unclosed conditional")
        << "x{IfAge>5 abc" << none << none << quiet << quiet << "x"
        << QStringList{"[error] The macro terminated as it is missing a \"}\" to close \"{IfAge>5 ab\" function."};

    // Conditionals
    QTest::newRow("IfAge holds at 17") << "{IfAge<18 Parents were present.}" << born(QDate(2007, 1, 1)) << none
                                       << quiet << quiet << "Parents were present." << quiet;
    QTest::newRow("IfAge fails at 18") << "{IfAge<18 Parents were present.}" << born(QDate(2006, 1, 1)) << none
                                       << quiet << quiet << "" << quiet;
    QTest::newRow("IfAge not-equal") << "{IfAge~44 no}{IfAge=44 yes}" << none << none << quiet << quiet << "yes" << quiet;
    QTest::newRow("IfAge splices a list") << "{IfAge>5 {List a,b}} rest" << born(QDate(2014, 1, 1)) << none
                                          << QStringList{"2"} << quiet << "b rest" << quiet;
    QTest::newRow("IfAge without blank at the end") << "A{IfAge>12}" << none << none << quiet << quiet << "A"
                                                    << QStringList{kInterrupted};
    QTest::newRow("IfAge without blank mid-text") << "Before {IfAge>12} after" << none << none << quiet << quiet
                                                  << "Before  after" << QStringList{kInterrupted};
    QTest::newRow("IfAge without digit")
        << "{IfAge>x1 a}b" << none << none << quiet << quiet << "b"
        << QStringList{"[error] An integer between 0 and 9 must follow \"IfAge\" and a logical operator.", kInterrupted};
    QTest::newRow("IfAge bad operator") << "{IfAge?5 a}b" << none << none << quiet << quiet << "b"
                                        << QStringList{"[error] A logical operator =, ~, <, or > must follow \"IfAge\"."};
    QTest::newRow("IfListR by position") << "{ListR3 left,right}{IfListR3=2  on the right}" << none << none
                                         << QStringList{"2"} << quiet << "right on the right" << quiet;
    QTest::newRow("IfListR position not chosen") << "{ListR3 left,right}{IfListR3=2  on the right}" << none << none
                                                 << QStringList{"1"} << quiet << "left" << quiet;
    QTest::newRow("IfListR quoted any case") << "{ListR3 Left,RIGHT}{IfListR3='right' !}{IfListR3~'left' ?}"
                                             << none << none << QStringList{"2"} << quiet << "RIGHT!?" << quiet;
    QTest::newRow("IfListR greater and smaller") << "{ListR0 a,b,c}{IfListR0>1 G}{IfListR0<2 S}{IfListR0<3 T}"
                                                 << none << none << QStringList{"line:2"} << quiet << "bGT" << quiet;
    QTest::newRow("IfListR empty slot is false") << "{IfListR5~1 x}y" << none << none << quiet << quiet << "y" << quiet;
    QTest::newRow("IfListR without slot digit")
        << "{IfListRx=1 a}b" << none << none << quiet << quiet << "b"
        << QStringList{"[error] An integer between 0 and 9 must follow \"IfListR\".", kInterrupted};
    QTest::newRow("IfListR bad operator")
        << "{ListR2 a,b}{IfListR2?1 x}" << none << none << QStringList{"1"} << quiet << "a"
        << QStringList{"[error] A logical operator =, ~, <, or > must follow \"IfListRn\"."};
    QTest::newRow("IfListR illegal value") << "{ListR2 a,b}{IfListR2=abc x}" << none << none << QStringList{"1"}
                                           << quiet << "a" << QStringList{"[error] Illegal Value follwing \"IfListRn\"."};
    QTest::newRow("slot memory survives a splice")
        << "{ListR1 a,b}{IfListR1=1 [{ListR1 x,y}]}{IfListR1=1 !}" << none << none << QStringList{"1"} << quiet
        << "a[x]!" << quiet;

    // Nesting
    QTest::newRow("nested first name") << "{List {FirstNameProper} is improving,{FirstNameProper} is unchanged}"
                                        << none << none << QStringList{"2"} << quiet << "Jane is unchanged" << quiet;
    QTest::newRow("nesting two deep") << "{List {FirstNameProper{Sex}} is here,absent}" << none << none
                                      << QStringList{"1"} << quiet << "Jane is here"
                                      << QStringList{"[error] Nesting is only supported one level deep."};
    QTest::newRow("list within list") << "{List {List a},b}" << none << none << QStringList{"2"} << quiet << "b"
                                      << QStringList{"[error] A List within a list may not be used."};
    QTest::newRow("nested outside a list")
        << "{FHx {Age}}" << none << Fields{{"FHx", "father with gout"}} << quiet << quiet << "father with gout"
        << QStringList{"[error] A Nested function may only be used inside a 'List' function"};
    QTest::newRow("nested unrecognized cut to eight") << "{List {Foo bar baz},b}" << none << none
                                                      << QStringList{"1"} << quiet << ""
                                                      << QStringList{kUnrec + "Foo bar ."};
    QTest::newRow("nested sex keeps odd values") << "{Sex}/{List {Sex}}" << Fields{{"Sex", "Unk"}} << none
                                                 << QStringList{"1"} << quiet << "female/unk" << quiet;
    QTest::newRow("nested F and top-level F") << "{Sex}/{List {Sex}}" << none << none << QStringList{"1"} << quiet
                                              << "female/female" << quiet;
    QTest::newRow("nested history texts")
        << "{List {FHx};{SHx};{PMHx};{Allergies};{IfSmoker smokes};{IfMale he}{IfFemale she}}" << none
        << Fields{{"FHx", "F"}, {"SHx", "S"}, {"PMHx", "P"}, {"Allergies", "A"}, {"Smoker", true}}
        << QStringList{"1"} << quiet << "F;S;P;A;smokes;she" << quiet;

    // Errors, cancel, incomplete patient
    QTest::newRow("three errors stop the run")
        << "a{x}b{y}c{z}d" << none << none << quiet << quiet << "abc"
        << QStringList{kUnrec + "{x.", kUnrec + "{y.", kUnrec + "{z.", "[warning] Too many errors to continue macro."};
    QTest::newRow("ListR without slot digit counts")
        << "{ListRx a}" << none << none << quiet << quiet << ""
        << QStringList{"[warning] Character following 'ListR' is not an integer between 0 and 9"};
    QTest::newRow("cancel keeps earlier text") << "A {List a,b} B {List c} C" << none << none
                                               << QStringList{"cancel"} << quiet << "A " << quiet;
    QTest::newRow("incomplete patient, yes") << "text{Age}" << Fields{{"LastName", ""}} << none << quiet
                                             << QStringList{"yes"} << "" << QStringList{kIncomplete};
    QTest::newRow("incomplete patient, no") << "text" << born(QDate()) << none << quiet << QStringList{"no"}
                                            << "text" << QStringList{kIncomplete};

    // Pick lists and paste modes
    QTest::newRow("per line") << "{List a,b,c}|{List a,b,c}" << none << none << QStringList{"perline:1,2", "perline:1,3"}
                              << quiet << "a\nb\n|a\nc" << quiet;
    QTest::newRow("every other line") << "{List a,b,c}" << none << none << QStringList{"everyother:1,3"} << quiet
                                      << "a\n\nc" << quiet;
    QTest::newRow("in a line") << "{List a,b,c,d}/{List a,b,c}/{List a,b}" << none << none
                               << QStringList{"line:1,2,3,4", "line:1,2,3", "line:2,1"} << quiet
                               << "a, b, c, and d/a, b, and c/a and b" << quiet;
    QTest::newRow("close box acts as skip") << "A{List a,b}B{List c}C" << none << none << QStringList{"close", "skip"}
                                            << quiet << "ABC" << quiet;
    QTest::newRow("paste with nothing selected") << "{List a,b}" << none << none << QStringList{"perline:", "line:", "2"}
                                                 << quiet << "b" << QStringList{kNoSelection, kNoSelection};
    QTest::newRow("ListR recall by position") << "{ListR3 left,right} {ListR3 left-sided,right-sided}" << none << none
                                              << QStringList{"2"} << quiet << "right right-sided" << quiet;
    QTest::newRow("ListR recall after a paste in a line")
        << "{ListR1 a,b,c,d}-{ListR1 w,x,y,z}" << none << none << QStringList{"line:1,2,4"} << quiet
        << "a, b, and d-w, x, and z" << quiet;
    QTest::newRow("ListR shorter list")
        << "{ListR1 a,b,c}{ListR1 x,y}{IfListR1=1 one}{IfListR1=3 three}" << none << none << QStringList{"3", "1"}
        << quiet << "cxonethree"
        << QStringList{"[warning] Macro error. The original ListRn instance has more choices than this one. It will "
                       "be treated as 'List' function"};

    // Patient data
    QTest::newRow("names and dates")
        << "{Header}|{LastName}|{FirstName}|{DOB}|{Date}|{UserName}|{Time}|{Enter}|{Tab}|"
        << Fields{{"LastName", "MCDONALD"}, {"FirstName", "mary ann"}} << none << quiet << quiet
        << "MCDONALD, mary ann  DOB: 3/10/1980  Visit Date: 6/15/2024|MCDONALD|mary ann|3/10/1980|6/15/2024|drsmith|2:5 "
           "PM|\n|\t|"
        << quiet;
    QTest::newRow("proper names") << "{LastNameProper}|{FirstNameProper}|{List {LastNameProper}}"
                                  << Fields{{"LastName", "macarthur iii"}, {"FirstName", "mary ann"}} << none
                                  << QStringList{"1"} << quiet << "MacArthur Iii|Mary|MacArthur Iii" << quiet;
    QTest::newRow("IfFemale with empty sex") << "{IfFemale her}{IfMale him}" << Fields{{"Sex", ""}} << none << quiet
                                             << QStringList{"no"} << "her" << QStringList{kIncomplete};
    QTest::newRow("IfMale") << "{IfMale him}{IfFemale her}" << Fields{{"Sex", "male"}} << none << quiet << quiet
                            << "him" << quiet;
    QTest::newRow("history fields")
        << "{Allergies}|{PSHxHosp}|{SSNum}|{IfSmoker smokes}|{Smoker}|{FHx}|{SHx}|{PMHx}"
        << Fields{{"Diagnosies", "appendectomy"}, {"SSNum", "123-45-6789"}}
        << Fields{{"Allergies", "PCN"}, {"Smoker", true}, {"FHx", "f"}, {"SHx", "s"}, {"PMHx", "p"}} << quiet << quiet
        << "PCN|appendectomy|123-45-6789|smokes||f|s|p" << quiet;
    QTest::newRow("no history row") << "{FHx}{SHx}{PMHx}{Allergies}{PSHxHosp}{SSNum}{IfSmoker s}{ListChronicMeds}x"
                                    << none << noHistory << quiet << quiet << "x" << quiet;
    QTest::newRow("FHx empty asks for a relative") << "{FHx}" << none << none << QStringList{"2"} << quiet
                                                   << "Is remarkable for a brother with" << quiet;
    QTest::newRow("SHx for a male") << "{SHx}" << Fields{{"Sex", "M"}} << none << QStringList{"1", "1"} << quiet
                                    << "The patient smokes. He uses alcohol in moderation." << quiet;
    QTest::newRow("SHx cancelled on tobacco") << "{SHx}after" << none << none << QStringList{"cancel"} << quiet
                                              << "The patient " << quiet;
    QTest::newRow("PMHx empty shows the problems") << "{PMHx}" << none << none << QStringList{"line:26,20"} << quiet
                                                   << "type II DM and hypertension" << quiet;
}

void TestMacroInterpreter::runs()
{
    QFETCH(QString, macro);
    QFETCH(Fields, patient);
    QFETCH(Fields, history);
    QFETCH(QStringList, picks);
    QFETCH(QStringList, answers);
    QFETCH(QString, note);
    QFETCH(QStringList, messages);

    FakeMacroHost host;
    for (auto it = patient.cbegin(); it != patient.cend(); ++it)
        host.patientRow.fields[it.key()] = it.value();
    if (history.contains(QStringLiteral("-")))
        host.historyRow.reset();
    else
        host.historyRow->fields = history;
    host.queuePicks(picks);
    for (const QString& a : answers)
        host.answers.enqueue(a == QLatin1String("yes") ? Answer::Yes : Answer::No);

    MacroSession session;
    run(host, macro, session);
    QCOMPARE(host.note, note);
    QCOMPARE(host.messageLines(), messages);
    QCOMPARE(host.resetCount, 1);
    QVERIFY2(host.picks.isEmpty(), "every scripted pick is used");
}

// Columns: macro, text already in the note before the insertion point, history, picks,
// expected lists shown (items joined with "|"), expected note.
void TestMacroInterpreter::lists_data()
{
    QTest::addColumn<QString>("macro");
    QTest::addColumn<QString>("before");
    QTest::addColumn<Fields>("history");
    QTest::addColumn<QStringList>("picks");
    QTest::addColumn<QStringList>("lists");
    QTest::addColumn<QString>("note");

    const QString units = " hour| hours| day| days| week| weeks| month| months| year| years";
    QTest::newRow("doubled commas") << "{List a,,b,c}" << "" << Fields{} << QStringList{"1"} << QStringList{"a,b|c"} << "a,b";
    QTest::newRow("trailing comma") << "{List a,b,}" << "" << Fields{} << QStringList{"3"} << QStringList{"a|b|"} << "";
    QTest::newRow("doubled comma at the end") << "{List a,b,,}" << "" << Fields{} << QStringList{"2"}
                                              << QStringList{"a|b,"} << "b,";
    QTest::newRow("blank after comma") << "{List a, b}" << "" << Fields{} << QStringList{"2"} << QStringList{"a| b"} << " b";
    QTest::newRow("chronic meds") << "{ListChronicMeds}" << "" << Fields{{"MedList", "aspirin\r\nlisinopril\r\nmetformin\r\n"}}
                                  << QStringList{"2"} << QStringList{"aspirin|lisinopril|metformin"} << "lisinopril";
    QTest::newRow("chronic meds with blank line") << "{ListChronicMeds}" << "" << Fields{{"MedList", "a\r\n\r\nb"}}
                                                  << QStringList{"3"} << QStringList{"a||b"} << "b";
    QTest::newRow("no chronic meds") << "{ListChronicMeds}x" << "" << Fields{} << QStringList{} << QStringList{} << "x";
    QTest::newRow("interval rule E") << "{Interval} or if" << "improved in " << Fields{} << QStringList{"10"}
                                     << QStringList{"a few hours|a few days|about a week|a few weeks|a few months|about a "
                                                    "year|a few years|many|a|a 2|a 3|a 4|a 5|a 6|a 7|a 8|a 9|a 10|a "
                                                    "11|a 12",
                                                    units}
                                     << "improved in a 2 or if";
    QTest::newRow("interval rule E before ago")
        << "{Interval} ago" << "started " << Fields{} << QStringList{"10", "6"}
        << QStringList{"a few hours|a few days|about a week|a few weeks|a few months|about a year|a few "
                       "years|many|a|2|3|4|5|6|7|8|9|10|11|12",
                       units}
        << "started 2 weeks ago";
    QTest::newRow("interval rule D plain for") << "{Interval} ago" << "pain for " << Fields{} << QStringList{"6"}
                                               << QStringList{"a few hours|a few days|about a week|a few weeks|a few "
                                                              "months|about a year|a few years|many|1|2|3|4|5|6|7|8|9|"
                                                              "10|11|12"}
                                               << "pain for about a year ago";
    QTest::newRow("interval many shows units") << "{Interval}" << "pain for " << Fields{} << QStringList{"8", "10"}
                                               << QStringList{"a few hours|a few days|about a week|a few weeks|a few "
                                                              "months|about a year|a few years|many|1|2|3|4|5|6|7|8|9|"
                                                              "10|11|12",
                                                              units}
                                               << "pain for many years";
    QTest::newRow("interval skip still shows units") << "{Interval}" << "pain for " << Fields{} << QStringList{"skip", "skip"}
                                                     << QStringList{"a few hours|a few days|about a week|a few weeks|a "
                                                                    "few months|about a year|a few years|many|1|2|3|4|5|"
                                                                    "6|7|8|9|10|11|12",
                                                                    units}
                                                     << "pain for ";
    QTest::newRow("interval rule A") << "{Interval}" << "for a " << Fields{} << QStringList{"2"}
                                     << QStringList{"few hour|few day|week|few week|month|few month|few "
                                                    "year|1|2|3|4|5|6|7|8|9|10|11|12"}
                                     << "for a few day";
    QTest::newRow("interval rule B") << "{Interval}" << "since last " << Fields{} << QStringList{"3"}
                                     << QStringList{"few hours|few days|week|few weeks|month|few months|few "
                                                    "years|1|2|3|4|5|6|7|8|9|10|11|12"}
                                     << "since last week";
    QTest::newRow("interval rule C") << "{Interval}" << "seen with " << Fields{} << QStringList{"3"}
                                     << QStringList{"a few hour|a few day|a week|a few week|a month|a few month|a few "
                                                    "year|a 1|a 2|a 3|a 4|a 5|a 6|a 7|a 8|a 9|a 10|a 11|a 12"}
                                     << "seen with a week";
    QTest::newRow("whole word only") << "{Interval}" << "banana " << Fields{} << QStringList{"1"}
                                     << QStringList{"a few hours|a few days|about a week|a few weeks|a few "
                                                    "months|about a year|a few years|many|a|a 2|a 3|a 4|a 5|a 6|a "
                                                    "7|a 8|a 9|a 10|a 11|a 12"}
                                     << "banana a few hours";
    QTest::newRow("future F1") << "{Future}" << "follow up for a " << Fields{} << QStringList{"2"}
                               << QStringList{"1 day|1 week|1 month|3 month|4 month|6 month|1 year|1|2|3|4|5|6|7|8|9|10|11|12"}
                               << "follow up for a 1 week";
    QTest::newRow("future F2") << "{Future}" << "in a " << Fields{} << QStringList{"2"}
                               << QStringList{"few days|week|few weeks|month|few months|year|few years|1|2|3|4|5|6|7|8|9|10|11|12"}
                               << "in a week";
    QTest::newRow("future F3") << "{Future}" << "return in " << Fields{} << QStringList{"8", "2"}
                               << QStringList{"a few days|1 week|a few weeks|1 month|3 months|6 months|1 "
                                              "year|1|2|3|4|5|6|7|8|9|10|11|12",
                                              units}
                               << "return in 1 hours";
    QTest::newRow("future F4") << "{Future}" << "" << Fields{} << QStringList{"1"}
                               << QStringList{"as needed|in 1 week|in 1 month|in 3 months|in 6 months|in 1 year|when "
                                              "able|in 1|in 2|in 3|in 4|in 5|in 6|in 7|in 8|in 9|in 10|in 11|in 12"}
                               << "as needed";
}

void TestMacroInterpreter::lists()
{
    QFETCH(QString, macro);
    QFETCH(QString, before);
    QFETCH(Fields, history);
    QFETCH(QStringList, picks);
    QFETCH(QStringList, lists);
    QFETCH(QString, note);

    FakeMacroHost host;
    host.note = before;
    host.historyRow->fields = history;
    host.queuePicks(picks);
    MacroSession session;
    run(host, macro, session);
    QCOMPARE(shownLists(host), lists);
    QCOMPARE(host.note, note);
    QVERIFY(host.messages.isEmpty());
}

void TestMacroInterpreter::doubleClickPastesOnlyTheClickedItem()
{
    FakeMacroHost host;
    host.picks.enqueue(PickAction::doubleClick(1, {0, 1, 2}));
    MacroSession session;
    run(host, QStringLiteral("{ListR4 a,b,c}{IfListR4=1 first}{IfListR4=3 third}"), session);
    // The selected items are remembered all the same.
    QCOMPARE(host.note, QStringLiteral("bfirstthird"));
    QCOMPARE(session.slots.marker[4], 1);
}

void TestMacroInterpreter::boldCarriesIntoLaterRuns()
{
    FakeMacroHost host;
    MacroSession session;
    run(host, QStringLiteral("plain{BoldOn}bold"), session);
    run(host, QStringLiteral("still bold{BoldOff}plain"), session);
    QCOMPARE(host.pastes.size(), 4);
    const QList<bool> bold = {host.pastes[0].bold, host.pastes[1].bold, host.pastes[2].bold, host.pastes[3].bold};
    QCOMPARE(bold, (QList<bool>{false, true, true, false}));
    QCOMPARE(host.note, QStringLiteral("plainboldstill boldplain"));
}

void TestMacroInterpreter::slotKeepsCutTextOfLongItems()
{
    const QString longItem = QString(300, QLatin1Char('x'));
    const QString cut = QString(255, QLatin1Char('x'));
    FakeMacroHost host;
    host.queuePicks({QStringLiteral("line:1")});
    MacroSession session;
    run(host, QStringLiteral("{ListR2 %1}{IfListR2='%2' =cut}{IfListR2='%1' =full}").arg(longItem, cut), session);
    QCOMPARE(host.note, longItem + QStringLiteral("=cut"));
}

void TestMacroInterpreter::formattingAndPrinterGoToTheHost()
{
    FakeMacroHost host;
    MacroSession session;
    run(host, QStringLiteral("{FontSize 14}{FontSize big}{Font Courier New}{ChngPrinter Laser}{ChngPrinter 1}"),
        session);
    QCOMPARE(host.fontSize, 14);
    QCOMPARE(host.fontName, QStringLiteral("Courier New"));
    QCOMPARE(host.printerArguments, (QStringList{"Laser", "1"}));
    QVERIFY(host.messages.isEmpty());
}

void TestMacroInterpreter::failedPasteInSpliceResumesInsideTheConditional()
{
    FakeMacroHost host;
    host.failPastes = true;
    MacroSession session;
    run(host, QStringLiteral("a{IfAge>5 {Tab}}"), session);
    QCOMPARE(host.messages.first().text, QStringLiteral("The macro halted in IfListR containing a nested function"));
    QCOMPARE(host.resetCount, 1); // the run still ends, it does not restart the conditional forever
}

void TestMacroInterpreter::fieldPasteFailureKeepsTheList()
{
    FakeMacroHost host;
    host.inFieldMode = true;
    host.historyRow->fields = {{QStringLiteral("PMHx"), QStringLiteral("stored")}};
    host.failPastes = true;
    host.queuePicks({QStringLiteral("2"), QStringLiteral("skip")});
    MacroSession session;
    run(host, QStringLiteral("{PMHx}"), session);
    // In field mode the stored text is ignored and the list is offered.
    QCOMPARE(host.requests.size(), 2);
    QVERIFY(host.requests[1].repeated);
    QCOMPARE(host.messageLines(), QStringList{QStringLiteral("[warning] Unable to paste the diagnosies")});
}

QTEST_GUILESS_MAIN(TestMacroInterpreter)
#include "test_macro_interpreter.moc"
