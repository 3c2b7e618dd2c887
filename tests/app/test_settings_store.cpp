#include "app/settings_store.h"
#include "app/window_placement.h"
#include "platform/errors.h"
#include "platform/printers.h"
#include "support/read_only_folder.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QFile>
#include <QtTest>

namespace {
void writeIni(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsWithoutFile()
    {
        TempProgramDir dir;
        QCOMPARE(IniReadText("User", "LastUserName", "Guest"), QString("Guest"));
        QCOMPARE(IniReadNumber("Backup", "Starts", 0), 0);
        QCOMPARE(IniReadFlag("PtDataFile", "ENCRYPTED", true), true);
        QCOMPARE(IniLoadList("MenuUserList"), QStringList());
        QVERIFY(!QFile::exists(dir.file("Main.ini")));
        IniWriteText("User", "LastUserName", "Smith");
        QFile f(dir.file("Main.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[User]\r\nLastUserName=Smith\r\n"));
    }

    void valueParsing_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("flag");
        QTest::newRow("empty") << QByteArray("") << "dflt" << 7 << false;
        QTest::newRow("TRUE") << QByteArray("TRUE") << "TRUE" << 7 << true;
        QTest::newRow("true") << QByteArray("true") << "true" << 7 << true;
        QTest::newRow("True") << QByteArray("True") << "True" << 7 << true;
        QTest::newRow("False") << QByteArray("False") << "False" << 7 << false;
        QTest::newRow("one") << QByteArray("1") << "1" << 1 << false;
        QTest::newRow("yes") << QByteArray("yes") << "yes" << 7 << false;
        QTest::newRow("digits then letters") << QByteArray("12ab") << "12ab" << 7 << false;
        QTest::newRow("negative, blanks") << QByteArray("  -42  ") << "-42" << -42 << false;
    }
    void valueParsing()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(bool, flag);
        TempProgramDir dir;
        writeIni(dir.file("Main.ini"), "[s]\r\nk=" + stored + "\r\n");
        QCOMPARE(IniReadText("s", "k", "dflt"), text);
        QCOMPARE(IniReadNumber("s", "k", 7), number);
        QCOMPARE(IniReadFlag("s", "k", true), flag);
    }

    void caseInsensitiveAndInPlace()
    {
        TempProgramDir dir;
        writeIni(dir.file("Main.ini"), "[Queue]\r\nSetting=Off\r\nOther=1\r\n\r\n[User]\r\nLastUser=3\r\n");
        QCOMPARE(IniReadText("QUEUE", "setting", "x"), QString("Off"));
        IniWriteText("queue", "SETTING", "NewPage");
        IniWriteFlag("User", "Flag", false);
        QFile f(dir.file("Main.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 QByteArray("[Queue]\r\nSetting=NewPage\r\nOther=1\r\n\r\n[User]\r\nLastUser=3\r\nFlag=False\r\n"));
        QCOMPARE(IniReadFlag("User", "Flag", true), false);
    }

    void readLimit()
    {
        TempProgramDir dir;
        writeIni(dir.file("Main.ini"), "[s]\r\nk=" + QByteArray(3000, 'x') + "\r\n");
        QCOMPARE(IniReadText("s", "k", "").size(), 2047);
    }

    void lists()
    {
        TempProgramDir dir;
        IniSaveList("MenuUserList", {"Smith", "Jones", ""});
        QCOMPARE(IniLoadList("MenuUserList"), (QStringList{"Smith", "Jones", ""}));
        QCOMPARE(IniReadText("MenuUserList", "1", ""), QString("~Jones"));
        IniSaveList("MenuUserList", {"Only"});
        QCOMPARE(IniLoadList("MenuUserList"), QStringList{"Only"});
        QCOMPARE(IniReadText("MenuUserList", "1", "gone"), QString("gone"));
    }

    void failedWriteRaisesAndKeepsFile()
    {
        TempProgramDir dir;
        IniWriteText("s", "k", "v");
        {
            ReadOnlyFolder readOnly(dir.path());
            if (!readOnly.held())
                QSKIP("no way here to stop file creation in a folder");
            try {
                IniWriteText("s", "k", "w");
                QFAIL("no error raised");
            } catch (const MedrovaError& e) {
                QCOMPARE(e.text(), "Unable to write to " + dir.file("Main.ini"));
            }
        }
        QCOMPARE(IniReadText("s", "k", ""), QString("v"));
    }

    void dates()
    {
        TempProgramDir dir;
        const QDateTime dflt(QDate(2026, 9, 1), QTime(0, 0));
        QCOMPARE(IniReadDate("u", "LastBackup", dflt), dflt);
        IniWriteText("u", "LastBackup", "12/10/2026");
        QCOMPARE(IniReadDate("u", "LastBackup", dflt).date(), QDate(2026, 12, 10));
        IniWriteText("u", "LastBackup", "not a date");
        QVERIFY_THROWS_EXCEPTION(MedrovaError, IniReadDate("u", "LastBackup", dflt));
    }

    void registry()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        QCOMPARE(RegReadText("PASSWORD", "PWRD", "none"), QString("none"));
        RegWriteText("PASSWORD", "PWRD", ComplementBytes(QString("abc")));
        QCOMPARE(ComplementBytes(RegReadText("PASSWORD", "PWRD", "")), QString("abc"));
        RegDeleteValue("PASSWORD", "PWRD");
        QCOMPARE(RegReadText("PASSWORD", "PWRD", "none"), QString("none"));
        QVERIFY(prompter.shown().isEmpty());

        qputenv("MEDROVA_REGISTRY", "/proc/medrova-cannot-write/registry.ini");
        RegWriteText("USERS", "SmithPWRD", "x");
        QCOMPARE(prompter.shown().size(), 1);
        QCOMPARE(prompter.shown().first().type, MessageType::Warning);
        QCOMPARE(prompter.shown().first().text, QString("Unable to write to registry key Medrova\\USERS\\SmithPWRD"));
    }

    void helpers()
    {
        QCOMPARE(ComplementBytes(QByteArray("abc")), QByteArray("\x9E\x9D\x9C"));
        QCOMPARE(ComplementBytes(ComplementBytes(QString("Pass word!"))), QString("Pass word!"));
        QCOMPARE(StripPathChars("a/b:c?d"), QString("abc?d"));
        QCOMPARE(StripPathChars("\\x*\"<>|"), QString("x|"));
        QCOMPARE(NthWord("  Van  Buren", 2), QString("Buren"));
        QCOMPARE(NthWord("  Van  Buren", 3), QString());
        QCOMPARE(NthWord(QString("a\tb") + QChar(20) + "c", 3), QString("c"));
        QCOMPARE(NthWord(QString(300, 'x') + " last", 2), QString("last"));
        QVERIFY_THROWS_EXCEPTION(MedrovaError, DriveHasDisk('1'));
    }

    void drives()
    {
        TempProgramDir dir;
        QVERIFY(!DriveHasDisk('a'));
        QDir().mkpath(dir.file("floppy"));
        IniWriteText("Drives", "A", dir.file("floppy"));
        QVERIFY(DriveHasDisk('a'));
        IniWriteText("Drives", "B", dir.file("missing"));
        QVERIFY(!DriveHasDisk('B'));
    }

    void pickPrinter()
    {
        StaticPrinterList list({"HP LaserJet", "Epson Dot", "hp deskjet"}, 0);
        PrinterList::install(&list);
        QVERIFY(PickPrinter("ep"));
        QCOMPARE(list.currentIndex(), 1);
        QVERIFY(!PickPrinter("nothing"));
        QCOMPARE(list.currentIndex(), 1);
        QVERIFY(PickPrinter("0"));
        QVERIFY(!PickPrinter("HP"));
        QVERIFY_THROWS_EXCEPTION(MedrovaError, PickPrinter("5"));
        PrinterList::install(nullptr);
    }

    void placement()
    {
        TempProgramDir dir;
        const QRect current(5, 5, 300, 200);
        QCOMPARE(restoredWindowRect("MenuPosition", current, 96, false), std::nullopt);
        WindowPlacement p;
        p.normal = QRect(100, 50, 400, 300);
        saveWindowPlacement("MenuPosition", p);
        QCOMPARE(IniReadText("MenuPosition", "NormPos", ""), QString("100,50,500,350"));
        QCOMPARE(restoredWindowRect("MenuPosition", current, 96, false), QRect(100, 50, 400, 300));
        QCOMPARE(restoredWindowRect("MenuPosition", current, 96, true), QRect(100, 50, 300, 200));
        QCOMPARE(restoredWindowRect("MenuPosition", current, 120, false), std::nullopt);
        IniWriteText("MenuPosition", "NormPos", "100,x");
        QCOMPARE(restoredWindowRect("MenuPosition", current, 96, false), QRect(100, 5, 205, 200));
        IniWriteText("MenuPosition", "NormPos", "600,50,500,350");
        QCOMPARE(restoredWindowRect("MenuPosition", current, 96, false), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
