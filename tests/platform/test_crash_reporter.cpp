#include "platform/crash_reporter.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestCrashReporter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void childCrashWritesReport_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("failure");
        QTest::newRow("segv") << "segv" << "SIGSEGV";
        QTest::newRow("abort") << "abort" << "SIGABRT";
        QTest::newRow("terminate") << "terminate" << "thrown on purpose";
    }
    void childCrashWritesReport()
    {
        QFETCH(QString, how);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The sanitizers would otherwise take the signals first.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   QStringLiteral("handle_segv=0:handle_abort=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0"));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(CRASH_CHILD_PATH), {dir.path(), how});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList reports = QDir(dir.path()).entryList({QStringLiteral("crash-*.txt")});
        QCOMPARE(reports.size(), 1);
        QFile f(dir.filePath(reports.first()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QLatin1String("Program version: test-version")), qPrintable(text));
        QVERIFY2(text.contains(failure), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("Call stack:")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("crashOnPurpose")), qPrintable(text));

        // The next start is told about the report once.
        CrashReporter::install(dir.path(), QStringLiteral("x"));
        QCOMPARE(CrashReporter::takePendingReport(), dir.filePath(reports.first()));
        QCOMPARE(CrashReporter::takePendingReport(), QString());
    }
};

QTEST_GUILESS_MAIN(TestCrashReporter)
#include "test_crash_reporter.moc"
