#include "archive_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run tool(const QString& programDir, const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(MEDROVA_TOOL_PATH), QStringList{"--dir", programDir} + args);
    if (!p.waitForFinished(120000))
        return {-1, {}, QStringLiteral("timed out")};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestArchiveTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createListRestore()
    {
        QTemporaryDir dir;
        const QString d = QDir(dir.path()).absolutePath() + "/";
        QByteArray big(200000, Qt::Uninitialized);
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(big.data()), big.size() / 4);
        writeFile(d + "data/Patient.bin", big);
        writeFile(d + "data/Main.ini", "[User]\r\nLastUserName=Smith\r\n");

        Run r = tool(d, {"archive", "create", d + "x.bck", d + "data/*.* /s", "--title", "Medrova Test",
                         "--max-size", "100000"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith("Archived 2 files, "));
        QVERIFY(QFile::exists(d + "x.002") && QFile::exists(d + "x.003"));

        r = tool(d, {"archive", "list", d + "x.bck"});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.mid(0, 2), (QStringList{"Title: Medrova Test", "Files: 2"}));
        QVERIFY(lines[2].startsWith("Total: 2001")); // the files plus the file-ID list
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[3].startsWith(d + "data/Main.ini\t"));
        QVERIFY(lines[4].startsWith(d + "data/Patient.bin\t") && lines[4].endsWith("\t200000"));

        r = tool(d, {"archive", "restore", d + "x.bck", "--to", d + "out"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString("Restored 2 files\n"));
        QVERIFY(readAll(d + "out/Patient.bin") == big);

        writeFile(d + "out/Main.ini", "local");
        r = tool(d, {"archive", "restore", d + "x.bck", "--to", d + "out", "--mode", "no-overwrite"});
        QCOMPARE(r.out, QString("Restored 0 files\n"));
        QCOMPARE(readAll(d + "out/Main.ini"), QByteArray("local"));

        // Only files changed since the last create.
        writeFile(d + "data/Main.ini", "[User]\r\nLastUserName=Jones\r\n");
        r = tool(d, {"archive", "create", d + "inc.bck", d + "data/*.* /s", "--changed-only"});
        QVERIFY(r.out.startsWith("Archived 1 files, "));

        // A missing volume ends the restore with a message.
        QFile::remove(d + "x.003");
        r = tool(d, {"archive", "restore", d + "x.bck", "--to", d + "out2"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("Missing volume " + d + "x.003"));
        QVERIFY(!QFile::exists(d + "out2/Patient.bin"));
    }

    void errors()
    {
        using namespace ArchiveBytes;
        QTemporaryDir dir;
        const QString d = QDir(dir.path()).absolutePath() + "/";
        writeFile(d + "plain.bck", header("No list", 1, 1) + entry("a.bin", 0, sequence(storedBlock("x"))) + endMark());
        Run r = tool(d, {"archive", "list", d + "plain.bck"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.endsWith("No extended file information in this archive\n"));

        writeFile(d + "evil.bck", header("T", 1, 1) + entry("/etc/evil.bin", 0, sequence(storedBlock("x"))) + endMark());
        r = tool(d, {"archive", "restore", d + "evil.bck"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("Refused to restore a file outside the restore folder: /etc/evil.bin\n"));

        writeFile(d + "junk.bck", "junk");
        r = tool(d, {"archive", "list", d + "junk.bck"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("Invalid archive type\n"));
        r = tool(d, {"archive", "restore", d + "junk.bck"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QString("Cannot read archive\n"));

        r = tool(d, {"archive", "restore", d + "x.bck", "--mode", "sometimes"});
        QCOMPARE(r.exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestArchiveTool)
#include "test_archive_tool.moc"
