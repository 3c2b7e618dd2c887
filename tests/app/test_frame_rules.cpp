#include "app/frame_rules.h"
#include "app/help_topics.h"
#include "app/key_locks.h"
#include "app/main_options.h"
#include "app/recent_files.h"
#include "app/screen_saver.h"
#include "app/settings_store.h"
#include "platform/clock.h"
#include "support/temp_program_dir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestFrameRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void optionsWithoutMainIni()
    {
        TempProgramDir dir;
        const MainOptions o = MainOptions::read(QString());
        QCOMPARE(o.noteFolder, QString("C:\\My Documents"));
        QCOMPARE(o.fontSize, QString("10"));
        QVERIFY(o.patientDataEncrypted);
        QVERIFY(!o.autoToggle);
        QVERIFY(o.showHints);
        QVERIFY(!o.showPatientHints);
        QVERIFY(!o.flickerReduction);
        QCOMPARE(o.queueMode, QueueMode::Off);
    }

    void optionsArePerUserOrShared()
    {
        TempProgramDir dir;
        MainOptions::writeAutoToggle("Smith", true);
        MainOptions::writeShowHints("Smith", false);
        MainOptions::writeFlickerReduction(true);
        QVERIFY(MainOptions::read("Smith").autoToggle);
        QVERIFY(!MainOptions::read("Smith").showHints);
        QVERIFY(!MainOptions::read("Jones").autoToggle); // user keys belong to their user
        QVERIFY(MainOptions::read("Jones").flickerReduction); // one value for all users
    }

    void queueMode_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("mode");
        QTest::newRow("Off") << "Off" << int(QueueMode::Off);
        QTest::newRow("Continuous") << "Continuous" << int(QueueMode::Continuous);
        QTest::newRow("NewPage") << "NewPage" << int(QueueMode::NewSheet);
        QTest::newRow("other") << "whatever" << int(QueueMode::NewSheet);
        QTest::newRow("case counts") << "off" << int(QueueMode::NewSheet);
    }
    void queueMode()
    {
        QFETCH(QString, setting);
        QFETCH(int, mode);
        QCOMPARE(int(queueModeFromSetting(setting)), mode);
    }

    void defaultNoteDate()
    {
        FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
        Clock::install(&clock);
        DefaultNoteDate d;
        QCOMPARE(d.date(), QDate(2024, 3, 5));
        clock.set(QDateTime(QDate(2024, 3, 6), QTime(9, 0)));
        d.refreshIfToday();
        QCOMPARE(d.date(), QDate(2024, 3, 6));
        d.chooseDate(QDate(2024, 1, 2));
        clock.set(QDateTime(QDate(2024, 3, 7), QTime(9, 0)));
        d.refreshIfToday(); // a chosen date stays
        QCOMPARE(d.date(), QDate(2024, 1, 2));
        d.chooseToday();
        QCOMPARE(d.date(), QDate(2024, 3, 7));
        Clock::install(nullptr);
    }

    void captions_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no note") << false << "/x/a.rtf" << "Medrova";
        QTest::newRow("new note") << true << "" << "Medrova - Untitled";
        QTest::newRow("unix path") << true << "/home/d/Smith John 01-02-24.rte" << "Medrova - Smith John 01-02-24.rte";
        QTest::newRow("windows path") << true << "C:\\My Documents\\a.rtf" << "Medrova - a.rtf";
    }
    void captions()
    {
        QFETCH(bool, open);
        QFETCH(QString, file);
        QFETCH(QString, caption);
        QCOMPARE(FrameRules::windowCaption("Medrova", open, file), caption);
    }

    void pickPanelCaption()
    {
        const QString once = FrameRules::nextPickPanelCaption("Hide Pick Panel");
        QCOMPARE(once, QString("Show Pick Panel"));
        QCOMPARE(FrameRules::nextPickPanelCaption(once), QString("Hide Pick Panel"));
        QCOMPARE(FrameRules::nextPickPanelCaption("anything"), QString("Show Pick Panel"));
    }

    void gridRows_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("patient");
        QTest::addColumn<int>("diagnosis");
        QTest::newRow("design") << 412 << 0 << 0;
        QTest::newRow("part row") << 428 << 0 << 0;
        QTest::newRow("one row") << 429 << 1 << 0;
        QTest::newRow("two rows") << 446 << 1 << 1;
        QTest::newRow("three rows") << 463 << 2 << 1;
        QTest::newRow("smaller") << 378 << -1 << -1;
        QTest::newRow("odd negative") << 395 << 0 << 0;
    }
    void gridRows()
    {
        QFETCH(int, height);
        QFETCH(int, patient);
        QFETCH(int, diagnosis);
        const auto r = FrameRules::extraGridRows(height);
        QCOMPARE(r.patient, patient);
        QCOMPARE(r.diagnosis, diagnosis);
    }

    void gridHeights()
    {
        // Our own layout's design height stands in for the classic 412 pixels.
        QCOMPARE(FrameRules::extraGridRows(600 + 3 * 17, 600).patient, 2);
        QCOMPARE(FrameRules::gridHeight(120, 2), 154);
        QCOMPARE(FrameRules::gridHeight(120, -3), 69);
        QCOMPARE(FrameRules::gridHeight(120, -10), 40); // a header and one row stay
        QCOMPARE(FrameRules::gridHeight(30, -5), 30);
        // Nine rows fewer take four from each grid (110 - 68 = 42); ten would cut the patient grid.
        QCOMPARE(FrameRules::smallestPickPanelHeight(600, 110, 160), 600 - 9 * 17);
    }

    void backupReminder_data()
    {
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("due");
        const QDate today(2024, 6, 10);
        QTest::newRow("today, interval 1") << today << 1 << 1 << true;
        QTest::newRow("today, interval 2") << today << 2 << 1 << false;
        QTest::newRow("no key: 100 days") << today.addDays(-100) << 101 << 101 << true;
        QTest::newRow("no key, 102") << today.addDays(-100) << 102 << 101 << false;
        QTest::newRow("future date") << today.addDays(5) << 1 << 0 << false;
    }
    void backupReminder()
    {
        QFETCH(QDate, last);
        QFETCH(int, interval);
        QFETCH(int, days);
        QFETCH(bool, due);
        const QDate today(2024, 6, 10);
        QCOMPARE(FrameRules::daysSinceBackup(last, today), days);
        QCOMPARE(FrameRules::backupDue(last, today, interval), due);
    }

    void startupUser()
    {
        TempProgramDir dir;
        QCOMPARE(FrameRules::startupUser(), QString());
        IniWriteText("User", "LastUserName", "Smith");
        QCOMPARE(FrameRules::startupUser(), QString()); // no section of his own yet
        IniWriteText("Smith", "FontSize", "12");
        QCOMPARE(FrameRules::startupUser(), QString("Smith"));
    }

    void recentFiles()
    {
        TempProgramDir dir;
        RecentFileList list;
        for (int i = 0; i < 28; ++i)
            list.add(QString("/n/note%1.rte%2").arg(i).arg(i));
        list.add("/n/NOTE3.rte3"); // again, other case: moves to the top
        QCOMPARE(list.entries().size(), 28);
        QCOMPARE(list.entries().first(), QString("/n/NOTE3.rte3"));
        list.add("/n/new.rte99"); // full list: the oldest goes
        QCOMPARE(list.entries().size(), 28);
        QVERIFY(!list.entries().contains("/n/note0.rte0"));
        list.save();
        QFile f(dir.file("Main.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray ini = f.readAll();
        QVERIFY(ini.startsWith("[MRU Items]\r\nF0=/n/new.rte99\r\nF1=/n/NOTE3.rte3\r\n"));
        RecentFileList again;
        again.load();
        QCOMPARE(again.entries(), list.entries());
        again.clear();
        again.save();
        RecentFileList empty;
        empty.load();
        QVERIFY(empty.entries().isEmpty());
    }

    void keyLocks()
    {
        QTemporaryDir leds;
        QCOMPARE(readKeyLocks(leds.path() + "/missing").capsLock, false);
        auto led = [&](const QString& name, const char* value) {
            QDir(leds.path()).mkpath(name);
            QFile f(leds.path() + "/" + name + "/brightness");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(value);
        };
        led("input3::capslock", "0\n");
        led("input3::numlock", "1\n");
        led("input7::capslock", "garbage");
        KeyLockState s = readKeyLocks(leds.path());
        QVERIFY(!s.capsLock);
        QVERIFY(s.numLock);
        led("input9::capslock", "1\n"); // a second keyboard with the lock lit
        QVERIFY(readKeyLocks(leds.path()).capsLock);
        QCOMPARE(FrameRules::capsLockText(true), QString("Caps On"));
        QCOMPARE(FrameRules::numLockText(false), QString("Num Off"));
        QCOMPARE(FrameRules::numLockText(true), QString("Num ON"));
    }

    // Every context number a window opens must be in the shipped help file, with text.
    void shippedHelpHasEveryTopic()
    {
        QFile f(MEDROVA_SHIPPED_DATA "/Medrova.HLP");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        using namespace HelpContext;
        for (int n : {WritingMacros, NoteArea, AddPatient, PatientFinder, PatientGrid, Contents, MacroFunctions,
                      SpellCheck, PickPanel, SearchMacros, ProgramHints, PatientHints, PrintQueue, Backup, Restore,
                      ImportMacros, ProgramFiles, UserOptions, MacroFiles, Disclaimers}) {
            QVERIFY2(HelpFile::hasTopic(html, n), qPrintable(QString::number(n)));
            const qsizetype at = html.indexOf(QLatin1String("name=\"") + HelpFile::anchor(n) + QLatin1Char('"'));
            const qsizetype next = html.indexOf(QLatin1String("<a name=\"topic-"), at + 1);
            QVERIFY2((next < 0 ? html.size() : next) - at > 200, qPrintable(QString::number(n)));
        }
        QVERIFY(!HelpFile::hasTopic(html, 999));
        QVERIFY(HelpFile::hasTopic(QStringLiteral("<A NAME=\"topic-7\">"), 7));
        QVERIFY(!HelpFile::hasTopic(QStringLiteral("<a name=\"topic-70\">"), 7));
    }

    void screenSaverSettings()
    {
        QTemporaryDir bin;
        auto tool = [&](const QString& name) {
            QFile f(bin.path() + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        };
        QVERIFY(!findScreenSaverSettings("GNOME", {bin.path()}));
        tool("xscreensaver-settings");
        tool("mate-screensaver-preferences");
        // The running desktop's own tool wins over another one that happens to be there.
        auto c = findScreenSaverSettings("MATE", {bin.path()});
        QVERIFY(c);
        QVERIFY(c->program.endsWith("mate-screensaver-preferences"));
        c = findScreenSaverSettings("ubuntu:GNOME", {bin.path()});
        QVERIFY(c);
        QVERIFY(c->program.endsWith("mate-screensaver-preferences")); // nothing of GNOME's: the first found
    }
};

QTEST_GUILESS_MAIN(TestFrameRules)
#include "test_frame_rules.moc"
