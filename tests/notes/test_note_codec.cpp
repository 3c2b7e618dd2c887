#include "notes/note_codec.h"
#include "platform/errors.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <zlib.h>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QString errorOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const MedrovaError& e) {
        return e.text();
    }
    return QString();
}
} // namespace

class TestNoteCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void savedNoteIsOneZlibStreamOfRtf()
    {
        QTemporaryDir dir;
        QTextDocument doc;
        QTextCursor c(&doc);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral("Visit Date: 12/8/2026 \u00a7 "));
        c.insertText(QStringLiteral("bold"), bold);
        const QString path = dir.filePath(QStringLiteral("Doe, Mary  DOB 01-02-50.RTE"));
        NoteCodec::saveCompressed(doc, path);
        const QByteArray file = readAll(path);
        QCOMPARE(file.left(2), QByteArray("\x78\x01"));
        const QByteArray rtf = NoteCodec::decompress(file);
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi"));
        // Byte for byte what zlib's own level-1 compression of the RTF gives.
        QByteArray expected(qsizetype(compressBound(uLong(rtf.size()))), '\0');
        uLongf len = uLongf(expected.size());
        QCOMPARE(compress2(reinterpret_cast<Bytef*>(expected.data()), &len,
                           reinterpret_cast<const Bytef*>(rtf.constData()), uLong(rtf.size()), 1),
                 Z_OK);
        expected.resize(qsizetype(len));
        QCOMPARE(file, expected);

        QTextDocument back;
        NoteCodec::loadCompressed(path, &back);
        QCOMPARE(back.toPlainText(), doc.toPlainText());
        QVERIFY(back.find(QStringLiteral("bold")).charFormat().fontWeight() >= QFont::Bold);
    }

    void plainTextInside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.rte"));
        writeAll(path, NoteCodec::compress("just text\r\nline two"));
        QTextDocument doc;
        NoteCodec::loadCompressed(path, &doc);
        QCOMPARE(doc.toPlainText(), QStringLiteral("just text\nline two"));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<QString>("error");
        const QByteArray good = NoteCodec::compress("{\\rtf1 hello}");
        const QString damaged = QStringLiteral("The file is not a valid compressed note.");
        QTest::newRow("empty") << QByteArray() << NoteCodec::kMaxNoteSize << damaged;
        QTest::newRow("truncated") << good.left(good.size() - 5) << NoteCodec::kMaxNoteSize << damaged;
        QTest::newRow("not zlib") << QByteArray("{\\rtf1 plain}") << NoteCodec::kMaxNoteSize << damaged;
        QByteArray badSum = good;
        badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 1);
        QTest::newRow("adler mismatch") << badSum << NoteCodec::kMaxNoteSize << damaged;
        // Ten megabytes of zeros compress to a few kilobytes: the limit stops them.
        QTest::newRow("beyond the limit") << NoteCodec::compress(QByteArray(10 * 1024 * 1024, '\0'))
                                          << qsizetype(1024 * 1024)
                                          << QStringLiteral("The compressed note is too large to open.");
        QTest::newRow("at the limit") << NoteCodec::compress(QByteArray(1024 * 1024, 'x')) << qsizetype(1024 * 1024)
                                      << QString();
    }
    void failures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, limit);
        QFETCH(QString, error);
        QCOMPARE(errorOf([&] { NoteCodec::decompress(bytes, limit); }), error);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("kept"));
        QCOMPARE(errorOf([&] { NoteCodec::loadCompressed(dir.filePath(QStringLiteral("gone.rte")), &doc); }),
                 QStringLiteral("The file cannot be opened as it does not exist."));
        QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    }

    void toolPackUnpackText()
    {
        QTemporaryDir dir;
        const QByteArray rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\b Chest\\b0  pain \\'a7 3\\par second}");
        writeAll(dir.filePath("n.rtf"), rtf);
        const auto tool = [&](const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr) {
            QProcess p;
            p.start(QStringLiteral(MEDROVA_TOOL_PATH), QStringList{QStringLiteral("note")} + args);
            p.waitForFinished(60000);
            if (out)
                *out = p.readAllStandardOutput();
            if (err)
                *err = p.readAllStandardError();
            return p.exitCode();
        };
        QCOMPARE(tool({"pack", dir.filePath("n.rtf"), dir.filePath("n.rte")}), 0);
        QCOMPARE(readAll(dir.filePath("n.rte")).left(2), QByteArray("\x78\x01"));
        QCOMPARE(tool({"unpack", dir.filePath("n.rte"), dir.filePath("back.rtf")}), 0);
        QCOMPARE(readAll(dir.filePath("back.rtf")), rtf);
        QByteArray out;
        QCOMPARE(tool({"text", dir.filePath("n.rte")}, &out), 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("Chest pain \u00a7 3\nsecond\n"));
        QCOMPARE(tool({"text", dir.filePath("n.rtf")}, &out), 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("Chest pain \u00a7 3\nsecond\n"));
        QByteArray err;
        QCOMPARE(tool({"text", dir.filePath("none.rte")}, nullptr, &err), 1);
        QCOMPARE(err, QByteArray("The file cannot be opened as it does not exist.\n"));
        QCOMPARE(tool({"unpack", dir.filePath("n.rtf"), dir.filePath("x.rtf")}, nullptr, &err), 1);
        QCOMPARE(err, QByteArray("The file is not a valid compressed note.\n"));
        QVERIFY(!QFile::exists(dir.filePath("x.rtf")));
        QCOMPARE(tool({"frobnicate"}), 2);
    }
};

QTEST_MAIN(TestNoteCodec)
#include "test_note_codec.moc"
