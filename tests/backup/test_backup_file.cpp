#include "archive_bytes.h"
#include "backup/archive_flag_store.h"
#include "backup/backup_file.h"
#include "backup/packed_date.h"
#include "platform/errors.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace ArchiveBytes;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = QDateTime())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
    f.flush();
    if (modified.isValid())
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray out(n, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(out.data()), n / 4);
    for (qsizetype i = n / 4 * 4; i < n; ++i)
        out[i] = char(rng.generate());
    return out;
}

QByteArray tableText(qsizetype n)
{
    QByteArray out;
    for (int row = 0; out.size() < n; ++row)
        out += "patient " + QByteArray::number(row) + "\tSmith\tJohn\t01/02/1950\tM\t" + QByteArray::number(row * 7 % 91)
            + "\r\n";
    out.truncate(n);
    return out;
}

// Collects the errors a run reports instead of showing them.
struct Errors {
    QStringList texts;
    void attach(TBackupFile& b)
    {
        b.OnError = [this](TBackupFile::ErrorCode, const QString& text) { texts << text; };
    }
};

const QDateTime storedDate(QDate(2021, 3, 4), QTime(10, 20, 30));

// An archive holding one file under `name` with `contents`, written by hand.
QByteArray oneFileArchive(const QByteArray& name, const QByteArray& contents, const QByteArray& blocks = QByteArray())
{
    return header("T", qint32(contents.size()), 1)
        + entry(name, PackedDate::pack(storedDate), sequence(blocks.isNull() ? storedBlock(contents) : blocks))
        + endMark();
}

QStringList filesIn(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

} // namespace

class TestBackupFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void packedDateRoundTrip()
    {
        const qint32 p = PackedDate::pack(storedDate);
        // 2021-03-04 10:20:30: years 41, month 3, day 4; hour 10, minute 20, 15 two-second units.
        QCOMPARE(quint32(p), quint32((41u << 9 | 3u << 5 | 4u) << 16 | (10u << 11 | 20u << 5 | 15u)));
        QCOMPARE(PackedDate::unpack(p), storedDate);
        QVERIFY(!PackedDate::unpack(qint32((13u << 5 | 1u) << 16)).isValid()); // month 13
    }

    void emptyFileLayout()
    {
        TempProgramDir dir;
        const QString file = dir.file("Empty.bin");
        writeFile(file, {}, storedDate);
        TBackupFile b;
        b.BackupTitle = "Title";
        QVERIFY(b.WriteArchive({file}, dir.file("a.bck")));
        const QByteArray name = QFileInfo(file).absoluteFilePath().toLatin1();
        const QByteArray expected = header("Title", 0, 1) + le32(qint32(name.size())) + name
            + le32(PackedDate::pack(storedDate)) + QByteArray("EC2\0", 4) + le32(0) + le32(0);
        QCOMPARE(readAll(dir.file("a.bck")), expected);
        QCOMPARE(b.FilesCount(), 1);
        QCOMPARE(b.CompressionRate(), 0); // nothing to compress
    }

    void blockLayout_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<int>>("plainSizes");
        QTest::addColumn<QList<bool>>("stored");
        QTest::newRow("40000 bytes, default") << int(clDefault) << tableText(40000) << QList<int>{16384, 16384, 7232}
                                              << QList<bool>{false, false, false};
        QTest::newRow("clNone stores full blocks") << int(clNone) << tableText(40000)
                                                   << QList<int>{16384, 16384, 7232} << QList<bool>{true, true, false};
        QTest::newRow("incompressible, max") << int(clMax) << randomBytes(32768, 1) << QList<int>{16384, 16384}
                                             << QList<bool>{true, true};
        QTest::newRow("one byte, fastest") << int(clFastest) << QByteArray("x") << QList<int>{1} << QList<bool>{false};
    }
    void blockLayout()
    {
        QFETCH(int, level);
        QFETCH(QByteArray, data);
        QFETCH(QList<int>, plainSizes);
        QFETCH(QList<bool>, stored);
        TempProgramDir dir;
        writeFile(dir.file("f.bin"), data);
        TBackupFile b;
        b.CompressionLevel = TCompressionLevel(level);
        QVERIFY(b.WriteArchive({dir.file("f.bin")}, dir.file("a.bck")));
        const QByteArray bytes = readAll(dir.file("a.bck"));
        const auto parsed = parse(bytes);
        QVERIFY(parsed);
        QCOMPARE(parsed->total, qint32(data.size()));
        QCOMPARE(parsed->entries.size(), 1);
        const Entry& e = parsed->entries.first();
        QCOMPARE(e.blocks.size(), plainSizes.size());
        qint64 dataBytes = 8;
        for (int i = 0; i < plainSizes.size(); ++i) {
            QCOMPARE(e.blocks[i].data.size(), plainSizes[i]);
            QCOMPARE(e.blocks[i].length < 0, stored[i]);
            dataBytes += 4 + qAbs(e.blocks[i].length);
        }
        QCOMPARE(e.contents(), data);
        QCOMPARE(b.ArchiveDataBytes(), dataBytes);
        QCOMPARE(b.CompressionRate(), 100 - qRound(100.0 * double(dataBytes) / double(data.size())));

        // And back through the reader.
        QVERIFY(b.RestoreArchive(dir.file("a.bck"), dir.file("out")));
        QCOMPARE(readAll(dir.file("out/f.bin")), data);
    }

    void fileIdListAndContents_data()
    {
        QTest::addColumn<bool>("saveFileId");
        QTest::newRow("with FILE:LIST") << true;
        QTest::newRow("without") << false;
    }
    void fileIdListAndContents()
    {
        QFETCH(bool, saveFileId);
        TempProgramDir dir;
        writeFile(dir.file("Main.ini"), "[User]\r\n", storedDate);
        writeFile(dir.file("Patient.bin"), tableText(1000), storedDate.addDays(-1));
        TBackupFile b;
        b.BackupTitle = "Medrova PtData Config 03-04-21";
        b.SaveFileID = saveFileId;
        QVERIFY(b.WriteArchive({dir.file("Main.ini"), dir.file("Patient.bin")}, dir.file("a.bck")));
        QCOMPARE(b.FilesCount(), 2);

        const QString ini = QFileInfo(dir.file("Main.ini")).absoluteFilePath();
        const QString pat = QFileInfo(dir.file("Patient.bin")).absoluteFilePath();
        const QByteArray listText = (ini + "\t" + QString::number(PackedDate::pack(storedDate)) + "=8\r\n" + pat + "\t"
                                     + QString::number(PackedDate::pack(storedDate.addDays(-1))) + "=1000\r\n")
                                        .toLatin1();
        const auto parsed = parse(readAll(dir.file("a.bck")));
        QVERIFY(parsed);
        QCOMPARE(parsed->count, 2);
        QCOMPARE(parsed->entries.size(), saveFileId ? 3 : 2);
        QCOMPARE(parsed->total, 1008 + (saveFileId ? listText.size() : 0));
        if (saveFileId) {
            QCOMPARE(parsed->entries[0].name, QByteArray("FILE:LIST"));
            QCOMPARE(parsed->entries[0].contents(), listText);
        }

        const auto contents = b.ReadArchiveContents(dir.file("a.bck"));
        QVERIFY(contents);
        QCOMPARE(contents->title, QString("Medrova PtData Config 03-04-21"));
        QCOMPARE(contents->fileCount, 2);
        QCOMPARE(contents->total, parsed->total);
        QCOMPARE(contents->hasFileList, saveFileId);
        QCOMPARE(contents->files.size(), saveFileId ? 2 : 0);
        if (saveFileId) {
            QCOMPARE(contents->files[1].path, pat);
            QCOMPARE(contents->files[1].size, 1000);
            QCOMPARE(contents->files[1].packedDate, PackedDate::pack(storedDate.addDays(-1)));
        }

        // The list is never restored as a file.
        QVERIFY(b.RestoreArchive(dir.file("a.bck"), dir.file("out")));
        QCOMPARE(b.FilesCount(), 2);
        QCOMPARE(QDir(dir.file("out")).entryList(QDir::Files), (QStringList{"Main.ini", "Patient.bin"}));
    }

    void brokenContents_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("title longer than file") << (le32(1000) + "abc");
        QTest::newRow("list block past end") << (header("T", 0, 0) + le32(9) + "FILE:LIST" + le32(0) + "EC2" + '\0'
                                                 + le32(500) + "xx");
        QTest::newRow("bad mark") << (header("T", 0, 0) + entry("FILE:LIST", 0, "EC3" + le32(0)));
    }
    void brokenContents()
    {
        QFETCH(QByteArray, bytes);
        TempProgramDir dir;
        writeFile(dir.file("x.bck"), bytes);
        TBackupFile b;
        Errors errors;
        errors.attach(b);
        QVERIFY(!b.ReadArchiveContents(dir.file("x.bck")));
        QCOMPARE(errors.texts, QStringList{"Invalid archive type"});
    }

    void volumes()
    {
        TempProgramDir dir;
        const QByteArray data = randomBytes(3 * 1024 * 1024, 7);
        writeFile(dir.file("big.bin"), data);
        TBackupFile b;
        b.MaxSize = 1400000;
        b.SaveFileID = true;
        QList<int> asked;
        b.OnNeedDisk = [&](int disk) {
            asked << disk;
            return true;
        };
        QVERIFY(b.WriteArchive({dir.file("big.bin")}, dir.file("x.bck")));
        QCOMPARE(asked, (QList<int>{2, 3}));
        for (const char* name : {"x.bck", "x.002", "x.003"}) {
            QVERIFY2(QFile::exists(dir.file(name)), name);
            QVERIFY2(QFileInfo(dir.file(name)).size() < 1400000, name);
        }
        QVERIFY(!QFile::exists(dir.file("x.004")));
        const auto first = parse(readAll(dir.file("x.bck")));
        QVERIFY(first);
        QCOMPARE(first->nextDisk, QByteArray("NEXT:DISK002"));
        QVERIFY(readAll(dir.file("x.002")).startsWith(QByteArray("EC2\0", 4)));

        // Without a need-disk handler the user is asked for disks 2 and 3.
        ScriptedPrompter prompter;
        TBackupFile r;
        QVERIFY(r.RestoreArchive(dir.file("x.bck"), dir.file("out")));
        QCOMPARE(prompter.texts(), (QStringList{"Please insert disk 2 and click OK to continue.",
                                                "Please insert disk 3 and click OK to continue."}));
        QCOMPARE(prompter.shown().first().buttons, Buttons::OkCancel);
        QCOMPARE(r.FilesCount(), 1);
        QVERIFY(readAll(dir.file("out/big.bin")) == data);

        // A cancelled disk prompt stops without an error and leaves no half file behind.
        prompter.queueAnswer(Answer::Ok);
        prompter.queueAnswer(Answer::Cancel);
        TBackupFile c;
        QVERIFY(!c.RestoreArchive(dir.file("x.bck"), dir.file("cancelled")));
        QVERIFY(c.Cancelled());
        QCOMPARE(prompter.texts().size(), 4);
        QVERIFY(!QFile::exists(dir.file("cancelled/big.bin")));

        // A cancelled prompt while writing ends the backup as failed, without a message.
        TBackupFile w;
        w.MaxSize = 1400000;
        w.OnNeedDisk = [](int) { return false; };
        QVERIFY(!w.WriteArchive({dir.file("big.bin")}, dir.file("y.bck")));
        QCOMPARE(prompter.texts().size(), 4);
    }

    void restoreModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("targetAgeDays"); // relative to the stored date; 0 = no target
        QTest::addColumn<bool>("written");
        QTest::newRow("all, newer target") << int(rmAll) << 5 << true;
        QTest::newRow("all, no target") << int(rmAll) << 0 << true;
        QTest::newRow("no overwrite, target") << int(rmNoOverwrite) << -5 << false;
        QTest::newRow("no overwrite, no target") << int(rmNoOverwrite) << 0 << true;
        QTest::newRow("newer, newer target") << int(rmNewer) << 5 << false;
        QTest::newRow("newer, older target") << int(rmNewer) << -5 << true;
        QTest::newRow("newer, no target") << int(rmNewer) << 0 << true;
        QTest::newRow("existing, target") << int(rmExisting) << 5 << true;
        QTest::newRow("existing, no target") << int(rmExisting) << 0 << false;
    }
    void restoreModes()
    {
        QFETCH(int, mode);
        QFETCH(int, targetAgeDays);
        QFETCH(bool, written);
        TempProgramDir dir;
        writeFile(dir.file("src/Dx.dxm"), "archived copy", storedDate);
        TBackupFile b;
        QVERIFY(b.WriteArchive({dir.file("src/Dx.dxm")}, dir.file("a.bck")));
        const QString target = dir.file("out/Dx.dxm");
        if (targetAgeDays != 0)
            writeFile(target, "current copy", storedDate.addDays(targetAgeDays));

        TBackupFile r;
        r.RestoreMode = TRestoreMode(mode);
        QVERIFY(r.RestoreArchive(dir.file("a.bck"), dir.file("out")));
        QCOMPARE(r.FilesCount(), written ? 1 : 0);
        if (written) {
            QCOMPARE(readAll(target), QByteArray("archived copy"));
            QCOMPARE(QFileInfo(target).lastModified(), storedDate);
        } else {
            QCOMPARE(QFile::exists(target), targetAgeDays != 0);
            if (targetAgeDays != 0)
                QCOMPARE(readAll(target), QByteArray("current copy"));
        }
    }

    void targetFolderRules()
    {
        TempProgramDir dir;
        writeFile(dir.file("data/sub/Patient.bin"), "rows", storedDate);
        writeFile(dir.file("data/Main.ini"), "[User]", storedDate);
        TBackupFile b;
        QVERIFY(b.WriteArchive({dir.file("data/*.* /s")}, dir.file("a.bck")));
        QCOMPARE(b.FilesCount(), 2);

        // Original paths: back where they came from (inside the program directory).
        writeFile(dir.file("data/sub/Patient.bin"), "changed");
        QVERIFY(b.RestoreArchive(dir.file("a.bck"), QString()));
        QCOMPARE(readAll(dir.file("data/sub/Patient.bin")), QByteArray("rows"));

        // A target folder takes the bare names, or the stored path below it.
        QTemporaryDir other;
        QVERIFY(b.RestoreArchive(dir.file("a.bck"), other.path()));
        QCOMPARE(readAll(other.filePath("Patient.bin")), QByteArray("rows"));
        b.RestoreFullPath = true;
        QVERIFY(b.RestoreArchive(dir.file("a.bck"), other.path() + "/full"));
        const QString stored = QFileInfo(dir.file("data/sub/Patient.bin")).absoluteFilePath();
        QCOMPARE(readAll(other.path() + "/full" + stored), QByteArray("rows"));
    }

    void refusals_data()
    {
        // `name` (with "@" for the program directory and "@outside" for a folder outside it)
        // makes a one-file archive; otherwise `archive` is used as it stands.
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<bool>("toTarget"); // restore into a target folder, or to the stored paths
        QTest::addColumn<bool>("fullPath");
        QTest::addColumn<QString>("error");
        const QString unsafe = "Refused to restore a file outside the restore folder: ";
        QTest::newRow("dot-dot, bare name") << QByteArray("..") << QByteArray() << true << false << unsafe + "..";
        QTest::newRow("dot-dot, full path") << QByteArray("c:\\medrova\\..\\..\\evil.bin") << QByteArray() << true
                                            << true << unsafe + "c:\\medrova\\..\\..\\evil.bin";
        QTest::newRow("dot-dot, original path")
            << QByteArray("@/../evil.bin") << QByteArray() << false << false << unsafe + "@/../evil.bin";
        QTest::newRow("outside the program directory")
            << QByteArray("@outside/evil.bin") << QByteArray() << false << false << unsafe + "@outside/evil.bin";
        QTest::newRow("relative stored path")
            << QByteArray("evil.bin") << QByteArray() << false << false << unsafe + "evil.bin";
        QTest::newRow("name length past end") << QByteArray() << (header("T", 1, 1) + le32(0x7FFFFFFF) + "abc")
                                              << true << false << QString("Invalid archive type");
        QTest::newRow("block length past end")
            << QByteArray() << (header("T", 1, 1) + le32(5) + "f.bin" + le32(0) + "EC2" + '\0' + le32(-100000) + "abc")
            << true << false << QString("Invalid archive type");
        QTest::newRow("block length INT_MIN")
            << QByteArray() << (header("T", 1, 1) + le32(5) + "f.bin" + le32(0) + "EC2" + '\0' + le32(INT_MIN) + "abc")
            << true << false << QString("Invalid archive type");
        QTest::newRow("zlib block expanding past 16384")
            << QByteArray() << oneFileArchive("f.bin", {}, compressedBlock(QByteArray(20000, 'a'))) << true << false
            << QString("Compression error");
        QTest::newRow("corrupt zlib block") << QByteArray() << oneFileArchive("f.bin", {}, le32(6) + "garbag") << true
                                            << false << QString("Compression error");
        QTest::newRow("bad sequence mark") << QByteArray() << (header("T", 1, 1) + entry("f.bin", 0, "EC3" + le32(0)))
                                           << true << false << QString("Invalid archive type");
        QTest::newRow("no end mark") << QByteArray()
                                     << (header("T", 1, 1) + entry("f.bin", 0, sequence(storedBlock("x")))) << true
                                     << false << QString("Cannot read archive");
        QTest::newRow("bad continuation record")
            << QByteArray()
            << (header("T", 1, 1) + entry("f.bin", 0, sequence(storedBlock("x"))) + le32(12) + "NEXT:DISKab2") << true
            << false << QString("Invalid archive type");
    }
    void refusals()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, archive);
        QFETCH(bool, toTarget);
        QFETCH(bool, fullPath);
        QFETCH(QString, error);
        QTemporaryDir outside;
        TempProgramDir dir;
        const QByteArray prog = QDir(dir.path()).absolutePath().toLatin1();
        const QByteArray out = QDir(outside.path()).absolutePath().toLatin1();
        if (!name.isEmpty()) {
            name.replace("@outside", out);
            name.replace("@", prog);
            archive = oneFileArchive(name, "x");
            error.replace("@outside", out);
            error.replace("@", prog);
        }
        writeFile(dir.file("x.bck"), archive);
        const QStringList before = filesIn(dir.path());

        TBackupFile r;
        r.RestoreFullPath = fullPath;
        Errors errors;
        errors.attach(r);
        QVERIFY(!r.RestoreArchive(dir.file("x.bck"), toTarget ? dir.file("target") : QString()));
        QCOMPARE(errors.texts, QStringList{error});
        QCOMPARE(r.FilesCount(), 0);
        QCOMPARE(filesIn(dir.path()), before);
        QCOMPARE(filesIn(outside.path()), QStringList());
        QVERIFY(!QFile::exists(QFileInfo(prog).absolutePath() + "/evil.bin"));
    }

    void unreadableHeaderThrows()
    {
        TempProgramDir dir;
        writeFile(dir.file("x.bck"), le32(50) + "short");
        TBackupFile r;
        try {
            r.RestoreArchive(dir.file("x.bck"), dir.file("out"));
            QFAIL("no error raised");
        } catch (const MedrovaError& e) {
            QCOMPARE(e.text(), QString("Cannot read archive"));
        }
        QVERIFY(!r.IsBusy());
        // A missing archive is simply false.
        ScriptedPrompter prompter;
        QVERIFY(!r.RestoreArchive(dir.file("missing.bck"), dir.file("out")));
        QVERIFY(prompter.texts().isEmpty());
    }

    void writerErrorsAndCancel()
    {
        TempProgramDir dir;
        writeFile(dir.file("f.bin"), tableText(50000));
        ScriptedPrompter prompter;
        TBackupFile b;
        // Without an error handler the error is a message box with OK.
        QVERIFY(!b.WriteArchive({dir.file("f.bin")}, dir.file("no/such/folder/a.bck")));
        QCOMPARE(prompter.texts(), QStringList{"Cannot write to archive"});
        QCOMPARE(prompter.shown().first().type, MessageType::Error);
        QCOMPARE(prompter.shown().first().buttons, Buttons::Ok);

        // Clearing the continue flag stops the run: no end mark, no message, false.
        QList<int> percents;
        b.OnProgress = [&](const QString& name, int percent, bool& go) {
            QCOMPARE(name, QFileInfo(dir.file("f.bin")).absoluteFilePath());
            percents << percent;
            go = percent < 30;
        };
        QVERIFY(!b.WriteArchive({dir.file("f.bin")}, dir.file("a.bck")));
        QVERIFY(b.Cancelled());
        QCOMPARE(prompter.texts().size(), 1);
        QCOMPARE(percents, (QList<int>{0, 32})); // stopped after the first block of 16384 bytes
        QVERIFY(!parse(readAll(dir.file("a.bck"))));
        QCOMPARE(b.FilesCount(), 0);

        // A limit too small for a single block would never end: refused.
        TBackupFile small;
        small.MaxSize = 1000;
        QVERIFY(!small.WriteArchive({dir.file("f.bin")}, dir.file("s.bck")));
        QCOMPARE(prompter.texts().last(), QString("Cannot write to archive"));
        QVERIFY(!QFile::exists(dir.file("s.002")));
    }

    void listing()
    {
        TempProgramDir dir;
        writeFile(dir.file("Patient.bin"), "p");
        writeFile(dir.file("PtHistory.bin"), "h");
        writeFile(dir.file(".hidden.bin"), "x");
        writeFile(dir.file("notes.txt"), "n");
        writeFile(dir.file("sub/a.bin"), "a");
        writeFile(dir.file("sub/deeper/b.bin"), "b");
        writeFile(dir.file("a.bin"), "self"); // the archive itself is never listed
        QVERIFY(QFile::link(dir.file("sub"), dir.file("sub/deeper/loop")));
        const QString p = QDir(dir.path()).absolutePath() + "/";
        TBackupFile b;
        // Cases as the program's lists spell them still find the files.
        QCOMPARE(b.ListFiles({dir.file("Pthistory.Bin"), dir.file("PATIENT.BIN"), dir.file("patient.bin")}),
                 (QStringList{p + "PtHistory.bin", p + "Patient.bin"}));
        QCOMPARE(b.ListFiles({dir.file("*.bin /s")}, dir.file("a.bin")),
                 (QStringList{p + ".hidden.bin", p + "Patient.bin", p + "PtHistory.bin", p + "sub/a.bin",
                              p + "sub/deeper/b.bin"}));
        QCOMPARE(b.ListFiles({dir.file("sub/?.bin"), dir.file("sub/*.bin")}), (QStringList{p + "sub/a.bin"}));
        QCOMPARE(b.ListFiles({dir.file("missing.bin")}), QStringList());
    }

    void incrementalUsesArchiveFlags()
    {
        TempProgramDir dir;
        writeFile(dir.file("Patient.bin"), "p1");
        writeFile(dir.file("Main.ini"), "m1");
        const QStringList patterns{dir.file("Patient.bin"), dir.file("Main.ini")};
        TBackupFile b;
        b.SetArchiveFlag = true;
        QVERIFY(b.WriteArchive(patterns, dir.file("full.bck")));
        QCOMPARE(b.FilesCount(), 2);
        QVERIFY(QFile::exists(dir.file(ArchiveFlagStore::FileName)));

        TBackupFile inc;
        inc.BackupMode = bmIncremental;
        QVERIFY(inc.WriteArchive(patterns, dir.file("inc1.bck"))); // nothing changed: an empty archive
        QCOMPARE(inc.FilesCount(), 0);
        QCOMPARE(parse(readAll(dir.file("inc1.bck")))->entries.size(), 0);

        writeFile(dir.file("Main.ini"), "m2 longer");
        QVERIFY(inc.WriteArchive(patterns, dir.file("inc2.bck")));
        QCOMPARE(inc.FilesCount(), 1);
        QCOMPARE(parse(readAll(dir.file("inc2.bck")))->entries.first().contents(), QByteArray("m2 longer"));
        QVERIFY(inc.SetArchiveFlag); // turned on by the incremental mode
        QVERIFY(inc.WriteArchive(patterns, dir.file("inc3.bck")));
        QCOMPARE(inc.FilesCount(), 0);

        // A restored file counts as changed again.
        QVERIFY(inc.RestoreArchive(dir.file("full.bck"), QString()));
        QVERIFY(inc.WriteArchive(patterns, dir.file("inc4.bck")));
        QCOMPARE(inc.FilesCount(), 2);

        // A damaged store only sets flags.
        writeFile(dir.file(ArchiveFlagStore::FileName), "garbage\nmore\t\t\n");
        QVERIFY(ArchiveFlagStore().isSet(dir.file("Main.ini")));
    }
};

QTEST_GUILESS_MAIN(TestBackupFile)
#include "test_backup_file.moc"
