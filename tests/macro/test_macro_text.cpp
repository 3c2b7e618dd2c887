// Age wording and the name rules.

#include "macro/age.h"
#include "macro/macro_text.h"
#include "macro/pick_script.h"

#include <QTest>

class TestMacroText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void agePhrases_data()
    {
        QTest::addColumn<QDate>("born");
        QTest::addColumn<QDate>("at");
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<int>("years");
        QTest::newRow("borrow from a 31-day month") << QDate(2023, 1, 31) << QDate(2023, 3, 1) << "1 month 1 day old" << 0;
        QTest::newRow("born that day") << QDate(2024, 5, 5) << QDate(2024, 5, 5) << "0 day old" << 0;
        QTest::newRow("days") << QDate(2024, 5, 5) << QDate(2024, 5, 25) << "20 day old" << 0;
        QTest::newRow("months") << QDate(2024, 1, 5) << QDate(2024, 5, 25) << "4 month old" << 0;
        QTest::newRow("18 months") << QDate(2022, 12, 15) << QDate(2024, 6, 15) << "18 month old" << 1;
        QTest::newRow("3 years 4 months") << QDate(2021, 2, 15) << QDate(2024, 6, 15) << "3 year 4 month old" << 3;
        QTest::newRow("5 years exactly") << QDate(2019, 6, 15) << QDate(2024, 6, 15) << "5 year old" << 5;
        QTest::newRow("day before a birthday") << QDate(2006, 6, 16) << QDate(2024, 6, 15) << "17 year old" << 17;
        QTest::newRow("borrow in the birth month") << QDate(2023, 6, 20) << QDate(2024, 6, 5) << "11 month old" << 0;
        QTest::newRow("leap-year birth month") << QDate(2024, 2, 29) << QDate(2024, 3, 1) << "1 day old" << 0;
        QTest::newRow("dates swapped") << QDate(2024, 6, 15) << QDate(2021, 2, 15) << "3 year 4 month old" << 3;
        QTest::newRow("110 years and more") << QDate(1899, 12, 30) << QDate(2010, 1, 1) << "" << 110;
    }
    void agePhrases()
    {
        QFETCH(QDate, born);
        QFETCH(QDate, at);
        QFETCH(QString, phrase);
        QFETCH(int, years);
        QCOMPARE(agePhrase(born, at), phrase);
        QCOMPARE(ageInYears(born, at), years);
    }

    void lastNames_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("proper");
        QTest::newRow("Mc") << "MCDONALD" << "McDonald ";
        QTest::newRow("Mac with III") << "MACARTHUR III" << "MacArthur III";
        QTest::newRow("lower-case iii") << "macarthur iii" << "MacArthur Iii";
        QTest::newRow("IV kept") << "smith IV" << "Smith IV";
        QTest::newRow("van, two words") << "van buren" << "Van Buren";
        QTest::newRow("van in one word") << "vanderbilt" << "VanDerbilt ";
        QTest::newRow("suffix") << "smith jr" << "Smith Jr";
        QTest::newRow("Mc alone") << "mc" << "Mc ";
        QTest::newRow("empty") << "" << " ";
    }
    void lastNames()
    {
        QFETCH(QString, stored);
        QFETCH(QString, proper);
        QCOMPARE(MacroText::properLastName(stored).value_or(QStringLiteral("<none>")), proper);
    }

    void tooLongNamesAreNotSplit()
    {
        QCOMPARE(MacroText::properLastName(QString(255, QLatin1Char('a'))), std::nullopt);
        QCOMPARE(MacroText::properFirstName(QStringLiteral("mary ann")), QStringLiteral("Mary"));
    }

    void pickScripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("selection");
        QTest::newRow("item") << "3" << true << int(PickAction::Kind::DoubleClick) << QList<int>{2};
        QTest::newRow("line") << "line:1,3" << true << int(PickAction::Kind::PasteInLine) << QList<int>{0, 2};
        QTest::newRow("perline") << "perline:2" << true << int(PickAction::Kind::PastePerLine) << QList<int>{1};
        QTest::newRow("everyother") << "everyother:1,2" << true << int(PickAction::Kind::PasteEveryOtherLine)
                                    << QList<int>{0, 1};
        QTest::newRow("skip") << "skip" << true << int(PickAction::Kind::Skip) << QList<int>{};
        QTest::newRow("zero") << "0" << false << 0 << QList<int>{};
        QTest::newRow("bad mode") << "all:1" << false << 0 << QList<int>{};
        QTest::newRow("bad number") << "line:1,x" << false << 0 << QList<int>{};
    }
    void pickScripts()
    {
        QFETCH(QString, script);
        QFETCH(bool, valid);
        QFETCH(int, kind);
        QFETCH(QList<int>, selection);
        const auto action = parsePickScript(script);
        QCOMPARE(action.has_value(), valid);
        if (action) {
            QCOMPARE(int(action->kind), kind);
            QCOMPARE(action->selection, selection);
        }
    }
};

QTEST_GUILESS_MAIN(TestMacroText)
#include "test_macro_text.moc"
