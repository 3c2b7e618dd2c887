#include "platform/rich_text_format.h"
#include "platform/rich_text_reader.h"
#include "platform/rich_text_writer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QtTest>
#include <zlib.h>

namespace {

QByteArray fixture(const QString& name)
{
    QFile f(QStringLiteral(MEDROVA_RTF_DATA "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return f.readAll();
}

QTextCharFormat fmt(const QString& family = QStringLiteral("Arial"), qreal size = 10)
{
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(size);
    return f;
}

QString attrText(const QTextDocument& doc, const QTextCharFormat& f)
{
    const QFont df = doc.defaultFont();
    const QStringList fams = f.fontFamilies().toStringList();
    const QString family = fams.isEmpty() ? df.family() : fams.first();
    const qreal size = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : df.pointSizeF();
    QString s = QStringLiteral("%1/%2").arg(family).arg(size);
    if (f.fontWeight() >= QFont::DemiBold)
        s += QStringLiteral("/b");
    if (f.fontItalic())
        s += QStringLiteral("/i");
    if (f.fontUnderline())
        s += QStringLiteral("/u");
    if (f.fontStrikeOut())
        s += QStringLiteral("/s");
    if (f.foreground().style() != Qt::NoBrush)
        s += QLatin1Char('/') + f.foreground().color().name();
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        s += QStringLiteral("/super");
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        s += QStringLiteral("/sub");
    if (RichText::verticalOffset(f))
        s += QStringLiteral("/off%1").arg(RichText::verticalOffset(f));
    if (f.isImageFormat())
        s += QStringLiteral("/img%1x%2").arg(f.toImageFormat().width()).arg(f.toImageFormat().height());
    return s;
}

// Everything the notes carry, block by block, so two documents can be compared as text.
QStringList describe(const QTextDocument& doc)
{
    QStringList out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString line;
        const QTextBlockFormat bf = b.blockFormat();
        line += QStringLiteral("[a%1").arg(int(bf.alignment() & Qt::AlignHorizontal_Mask));
        if (QTextList* l = b.textList())
            line += QStringLiteral(" list%1.%2").arg(int(l->format().style())).arg(l->format().indent());
        if (QTextTable* t = QTextCursor(b).currentTable())
            line += QStringLiteral(" cell%1,%2").arg(t->cellAt(b.position()).row()).arg(t->cellAt(b.position()).column());
        for (const QTextOption::Tab& t : bf.tabPositions())
            line += QStringLiteral(" tab%1").arg(qRound(t.position));
        line += QStringLiteral("] ");
        if (b.text().isEmpty())
            line += QStringLiteral("{") + attrText(doc, b.charFormat()) + QStringLiteral("}");
        for (auto it = b.begin(); !it.atEnd(); ++it)
            line += QStringLiteral("<") + attrText(doc, it.fragment().charFormat()) + QStringLiteral(">") +
                    it.fragment().text();
        out << line;
    }
    return out;
}

QByteArray pngBytes(int w, int h, const char* format = "PNG")
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(10, 200, 30));
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return data;
}

QByteArray rtfWithPicture(const QByteArray& kind, const QByteArray& data, const QByteArray& extra = {})
{
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard A{\\pict\\" + kind + extra + " " + data.toHex() + "}B\\par}";
}

} // namespace

class TestRichText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // Each attribute the note editor can set survives write and read, and is written with the
    // control word word processors know.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("font name and size") << "font" << QByteArray("\\fs29");
        QTest::newRow("bold") << "bold" << QByteArray("\\b ");
        QTest::newRow("italic") << "italic" << QByteArray("\\i ");
        QTest::newRow("underline") << "underline" << QByteArray("\\ul ");
        QTest::newRow("strike") << "strike" << QByteArray("\\strike ");
        QTest::newRow("colour") << "colour" << QByteArray("\\red200\\green16\\blue32;");
        QTest::newRow("superscript") << "super" << QByteArray("\\super ");
        QTest::newRow("subscript") << "sub" << QByteArray("\\sub ");
        QTest::newRow("raised 50 twips") << "up" << QByteArray("\\up50 ");
        QTest::newRow("lowered 50 twips") << "down" << QByteArray("\\dn50 ");
        QTest::newRow("alignment") << "align" << QByteArray("\\qc");
        QTest::newRow("bullets") << "bullets" << QByteArray("\\ls1{\\listtext\\f1\\fs20 \\'95\\tab}");
        QTest::newRow("numbers") << "numbers" << QByteArray("\\levelnfc0");
        QTest::newRow("tabs and tab stops") << "tabs" << QByteArray("\\tab ");
        QTest::newRow("line break") << "line" << QByteArray("\\line ");
        QTest::newRow("paragraphs, empty one kept") << "paras" << QByteArray("\\par");
        QTest::newRow("section sign") << "section" << QByteArray("\\'a7");
        QTest::newRow("code page characters") << "cp1252" << QByteArray("\\'80 caf\\'e9 \\'95");
        QTest::newRow("unicode beyond the code page") << "unicode" << QByteArray("\\u1046?");
        QTest::newRow("outside the BMP") << "astral" << QByteArray("\\u-10179?\\u-8704?");
        QTest::newRow("braces and backslash") << "escape" << QByteArray("\\{\\\\\\}");
        QTest::newRow("default font") << "default" << QByteArray("\\f0\\fs22");
        QTest::newRow("table") << "table" << QByteArray("\\cellx");
        QTest::newRow("picture") << "picture" << QByteArray("\\pngblip");
    }
    void roundTrip()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, written);
        QTextDocument doc;
        QTextCursor c(&doc);
        QTextCharFormat f = fmt();
        if (kind == "font") {
            c.insertText(QStringLiteral("plain "), f);
            c.insertText(QStringLiteral("Times"), fmt(QStringLiteral("Times New Roman"), 14.5));
        } else if (kind == "bold" || kind == "italic" || kind == "underline" || kind == "strike") {
            c.insertText(QStringLiteral("a "), f);
            if (kind == "bold")
                f.setFontWeight(QFont::Bold);
            if (kind == "italic")
                f.setFontItalic(true);
            if (kind == "underline")
                f.setFontUnderline(true);
            if (kind == "strike")
                f.setFontStrikeOut(true);
            c.insertText(QStringLiteral("styled"), f);
            c.insertText(QStringLiteral(" back"), fmt());
        } else if (kind == "colour") {
            f.setForeground(QColor(200, 16, 32));
            c.insertText(QStringLiteral("red"), f);
            c.insertText(QStringLiteral(" auto"), fmt());
        } else if (kind == "super" || kind == "sub") {
            c.insertText(QStringLiteral("x"), f);
            f.setVerticalAlignment(kind == "super" ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignSubScript);
            c.insertText(QStringLiteral("2"), f);
            c.insertText(QStringLiteral(" y"), fmt());
        } else if (kind == "up" || kind == "down") {
            c.insertText(QStringLiteral("m"), fmt(QStringLiteral("Arial"), 12));
            QTextCharFormat s = fmt(QStringLiteral("Arial"), 8);
            RichText::setVerticalOffset(s, kind == "up" ? 50 : -50, 8);
            c.insertText(QStringLiteral("2"), s);
            c.insertText(QStringLiteral(" n"), fmt(QStringLiteral("Arial"), 12));
        } else if (kind == "align") {
            QTextBlockFormat bf;
            c.insertText(QStringLiteral("left"), f);
            bf.setAlignment(Qt::AlignHCenter);
            c.insertBlock(bf, f);
            c.insertText(QStringLiteral("centre"), f);
            bf.setAlignment(Qt::AlignRight);
            c.insertBlock(bf, f);
            c.insertText(QStringLiteral("right"), f);
            bf.setAlignment(Qt::AlignJustify);
            c.insertBlock(bf, f);
            c.insertText(QStringLiteral("justified"), f);
        } else if (kind == "bullets" || kind == "numbers") {
            c.insertText(QStringLiteral("intro"), f);
            c.insertBlock(QTextBlockFormat(), f);
            c.createList(kind == "bullets" ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
            c.insertText(QStringLiteral("one"), f);
            c.insertBlock(c.blockFormat(), f);
            c.insertText(QStringLiteral("two"), f);
            QTextBlockFormat plain;
            c.insertBlock(plain, f);
            c.insertText(QStringLiteral("after"), f);
        } else if (kind == "tabs") {
            QTextBlockFormat bf;
            bf.setTabPositions({QTextOption::Tab(96, QTextOption::LeftTab), QTextOption::Tab(300, QTextOption::RightTab)});
            c.setBlockFormat(bf);
            c.insertText(QStringLiteral("BP\t120/80\tmmHg"), f);
        } else if (kind == "line") {
            c.insertText(QStringLiteral("first") + QChar(QChar::LineSeparator) + QStringLiteral("second"), f);
        } else if (kind == "paras") {
            c.insertText(QStringLiteral("one"), f);
            c.insertBlock(QTextBlockFormat(), fmt(QStringLiteral("Arial"), 18));
            c.insertBlock(QTextBlockFormat(), f);
            c.insertText(QStringLiteral("three"), f);
            c.insertBlock(QTextBlockFormat(), f);
        } else if (kind == "section") {
            c.insertText(QStringLiteral("\u00a7 12 and \u00a7\u00a7"), f);
        } else if (kind == "cp1252") {
            c.insertText(QStringLiteral("\u20ac caf\u00e9 \u2022 \u00fc\u00df"), f);
        } else if (kind == "unicode") {
            c.insertText(QStringLiteral("\u0416\u044b \u03a9 \u2192 \u65e5\u672c"), f);
        } else if (kind == "astral") {
            c.insertText(QStringLiteral("smile \U0001F600 end"), f);
        } else if (kind == "escape") {
            c.insertText(QStringLiteral("{\\} \\par not a word"), f);
        } else if (kind == "default") {
            doc.setDefaultFont(QFont(QStringLiteral("Courier New"), 11));
            c.insertText(QStringLiteral("no own format"));
        } else if (kind == "table") {
            c.insertText(QStringLiteral("before"), f);
            QTextTableFormat tf;
            tf.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100), QTextLength(QTextLength::FixedLength, 200)});
            QTextTable* t = c.insertTable(2, 2, tf);
            t->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("Name"), f);
            t->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("Value"), f);
            t->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("Pulse"), f);
            QTextCursor cc = t->cellAt(1, 1).firstCursorPosition();
            cc.insertText(QStringLiteral("72"), f);
            cc.insertBlock(QTextBlockFormat(), f);
            cc.insertText(QStringLiteral("per minute"), f);
            c = t->lastCursorPosition();
            c.movePosition(QTextCursor::NextBlock);
            c.insertText(QStringLiteral("after"), f);
        } else if (kind == "picture") {
            doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("mem:1")), QImage::fromData(pngBytes(4, 3)));
            c.insertText(QStringLiteral("pic "), f);
            QTextImageFormat img;
            img.merge(f);
            img.setName(QStringLiteral("mem:1"));
            img.setWidth(40);
            img.setHeight(30);
            c.insertImage(img);
            c.insertText(QStringLiteral(" end"), f);
        }
        const QByteArray rtf = RtfWriter::write(doc);
        QVERIFY2(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"), rtf.constData());
        QVERIFY2(rtf.contains(written), rtf.constData());
        for (char ch : rtf)
            QVERIFY2(static_cast<unsigned char>(ch) < 0x80, "RTF must be 7-bit");
        QTextDocument back;
        RtfReader::read(rtf, &back);
        QCOMPARE(describe(back), describe(doc));
        QCOMPARE(back.toPlainText(), doc.toPlainText());
        // A second pass changes nothing: what we write we read back the same.
        QTextDocument again;
        RtfReader::read(RtfWriter::write(back), &again);
        QCOMPARE(describe(again), describe(doc));
    }

    void codePages()
    {
        QTextDocument doc;
        RtfReader::read(fixture(QStringLiteral("codepages.rtf")), &doc);
        QCOMPARE(doc.toPlainText(), QStringLiteral("\u0410\u0431\u0432\n\u0105\u0107\n\u3042\u3044\n\u00a7\u20ac\n"));
        QCOMPARE(doc.begin().begin().fragment().charFormat().fontFamilies().toStringList(), QStringList{"Arial"});
    }

    void unicodeAndSkipping()
    {
        QTextDocument doc;
        RtfReader::read(fixture(QStringLiteral("unicode.rtf")), &doc);
        QCOMPARE(doc.toPlainText().split(QLatin1Char('\n')),
                 QStringList({QStringLiteral("\u0416\u044b one"), QStringLiteral("\u20ac two"),
                              QStringLiteral("\u20ac three"), QStringLiteral("\u20acfour"),
                              QStringLiteral("\U0001F600 five"), QStringLiteral("\u03a9\u00d8 six"), QString()}));
    }

    void lists()
    {
        QTextDocument doc;
        RtfReader::read(fixture(QStringLiteral("lists.rtf")), &doc);
        QStringList text;
        QList<int> styles;
        QList<QTextList*> lists;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            text << b.text();
            styles << (b.textList() ? int(b.textList()->format().style()) : 0);
            lists << b.textList();
        }
        QCOMPARE(text, QStringList({"Intro", "Apple", "Pear", "First", "Second", "Between", "Legacy bullet",
                                    "Legacy number", "Outro"}));
        const int disc = QTextListFormat::ListDisc, dec = QTextListFormat::ListDecimal;
        QCOMPARE(styles, QList<int>({0, disc, disc, dec, dec, 0, disc, dec, 0}));
        QCOMPARE(lists[1], lists[2]);
        QCOMPARE(lists[3], lists[4]);
        QCOMPARE(lists[4]->itemText(doc.findBlockByNumber(4)), QStringLiteral("2."));
    }

    void tables()
    {
        QTextDocument doc;
        RtfReader::read(fixture(QStringLiteral("table.rtf")), &doc);
        QTextTable* table = nullptr;
        for (QTextFrame* f : doc.rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable*>(f);
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        const auto cellText = [&](int r, int c) {
            QTextCursor cur = table->cellAt(r, c).firstCursorPosition();
            cur.setPosition(table->cellAt(r, c).lastCursorPosition().position(), QTextCursor::KeepAnchor);
            return cur.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
        };
        QCOMPARE(cellText(0, 0), QStringLiteral("Name"));
        QCOMPARE(cellText(0, 1), QStringLiteral("Value"));
        QCOMPARE(cellText(1, 0), QStringLiteral("Pulse"));
        QCOMPARE(cellText(1, 1), QStringLiteral("72|per minute"));
        QVERIFY(table->cellAt(0, 0).firstCursorPosition().charFormat().fontWeight() >= QFont::Bold);
        QCOMPARE(doc.begin().text(), QStringLiteral("Before"));
        QCOMPARE(doc.lastBlock().previous().text(), QStringLiteral("After"));
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        QCOMPARE(widths.size(), 2);
        QCOMPARE(widths[1].rawValue(), 3000 / RichText::kTwipsPerPixel);
    }

    void destinationsAndFields()
    {
        QTextDocument doc;
        RtfReader::read(fixture(QStringLiteral("destinations.rtf")), &doc);
        QCOMPARE(doc.toPlainText(), QStringLiteral("See the chart now. done\u2014okkept\n"));
        QVERIFY(doc.toRawText().contains(QStringLiteral("\u00a0done")));
        // The field's display text keeps its own formatting.
        QTextCursor c = doc.find(QStringLiteral("chart"));
        QVERIFY(c.charFormat().fontUnderline());
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 255));
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QSize>("size");
        QTest::newRow("png") << rtfWithPicture("pngblip", pngBytes(5, 4)) << true << QSize(5, 4);
        QTest::newRow("jpeg, goal size") << rtfWithPicture("jpegblip", pngBytes(8, 8, "JPEG"), "\\picwgoal300\\pichgoal150")
                                         << true << QSize(20, 10);
        QTest::newRow("png, scaled") << rtfWithPicture("pngblip", pngBytes(10, 10), "\\picscalex50\\picscaley200")
                                     << true << QSize(5, 20);
        QTest::newRow("metafile skipped") << rtfWithPicture("wmetafile8", QByteArray("\x01\x00\x09\x00", 4)) << false
                                          << QSize();
        QTest::newRow("corrupt png skipped") << rtfWithPicture("pngblip", QByteArray("\x89PNG garbage")) << false << QSize();
        QTest::newRow("binary data") << QByteArray("{\\rtf1\\ansi\\pard A{\\pict\\pngblip\\bin" +
                                                   QByteArray::number(pngBytes(3, 3).size()) + " " + pngBytes(3, 3) +
                                                   "}B\\par}")
                                     << true << QSize(3, 3);
        // A header claiming a huge picture is refused before anything is allocated for it.
        QByteArray huge = pngBytes(2, 2);
        const quint32 side = qToBigEndian<quint32>(200000);
        memcpy(huge.data() + 16, &side, 4);
        memcpy(huge.data() + 20, &side, 4);
        const quint32 crc = qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(huge.constData() + 12), 17)));
        memcpy(huge.data() + 29, &crc, 4);
        QTest::newRow("huge dimensions") << rtfWithPicture("pngblip", huge) << false << QSize();
    }
    void pictures()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(bool, image);
        QFETCH(QSize, size);
        QTextDocument doc;
        RtfReader::read(rtf, &doc);
        QTextImageFormat found;
        for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                found = it.fragment().charFormat().toImageFormat();
        QCOMPARE(!found.name().isEmpty(), image);
        QCOMPARE(doc.begin().text().remove(QChar::ObjectReplacementCharacter), QStringLiteral("AB"));
        if (!image)
            return;
        QCOMPARE(QSize(qRound(found.width()), qRound(found.height())), size);
        const QVariant res = doc.resource(QTextDocument::ImageResource, QUrl(found.name()));
        QVERIFY(!res.value<QImage>().isNull());
        // The original bytes are written back unchanged.
        const QByteArray again = RtfWriter::write(doc);
        QVERIFY(again.contains(found.property(RichText::ImageDataProperty).toByteArray().toHex().left(128)));
    }

    void plainTextFallback_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii, CRLF") << QByteArray("Hello\r\nWorld") << "Hello\nWorld";
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9 \xc2\xa7") << "caf\u00e9 \u00a7";
        QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80") << "caf\u00e9 \u20ac";
        QTest::newRow("braces but not rtf") << QByteArray("{\\rt not rtf}") << "{\\rt not rtf}";
        QTest::newRow("rtf after blanks is rtf") << QByteArray("\r\n {\\rtf1 ok}") << "ok";
    }
    void plainTextFallback()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QTextDocument doc;
        RtfReader::read(bytes, &doc);
        QCOMPARE(doc.toPlainText(), text);
    }

    // Broken and hostile input ends in a best-effort document, quickly.
    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("deep nesting") << "{\\rtf1 a" + QByteArray(200000, '{') + "x" + QByteArray(200000, '}') + "b}"
                                      << "ab";
        QTest::newRow("unclosed groups") << "{\\rtf1 a{\\b b{\\i c" + QByteArray(5000, '{') << "abc";
        QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}} after") << "a";
        QTest::newRow("truncated control word") << QByteArray("{\\rtf1 a\\") << "a";
        QTest::newRow("truncated hex escape") << QByteArray("{\\rtf1 a\\'4") << "a";
        QTest::newRow("bad hex escape") << QByteArray("{\\rtf1 a\\'zzb}") << "azzb";
        QTest::newRow("huge bin length") << QByteArray("{\\rtf1 a\\bin99999999999 xyz}") << "a";
        QTest::newRow("negative bin length") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab";
        QTest::newRow("huge parameters") << QByteArray("{\\rtf1\\fs999999999999\\uc99999999\\cf88888\\f77777 a\\u99999999 b}")
                                         << "a";
        QTest::newRow("huge unicode skip count") << QByteArray("{\\rtf1\\uc-7\\u65 b}") << "Ab";
        QTest::newRow("long control word") << "{\\rtf1 a\\" + QByteArray(100000, 'x') + " b}" << "ab";
        QTest::newRow("many cells, no row") << "{\\rtf1 " + QByteArray("\\intbl x\\cell ").repeated(300) + "}"
                                            << QString();
        QTest::newRow("many cellx") << "{\\rtf1\\trowd" + QByteArray("\\cellx100").repeated(5000) + "\\intbl y\\cell\\row}"
                                    << "\ny\n"; // a table cannot open a document: an empty paragraph precedes it
        QTest::newRow("row without cells") << QByteArray("{\\rtf1 a\\row\\cell\\row b}") << QString();
        QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b}", 11) << QString();
        QTest::newRow("font table chaos") << QByteArray("{\\rtf1{\\fonttbl\\f1\\fcharset999;{\\f;;;}\\f-5 x}\\f1 a}") << "a";
    }
    void hostileInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QElapsedTimer timer;
        timer.start();
        QTextDocument doc;
        RtfReader::read(bytes, &doc);
        QVERIFY(timer.elapsed() < 5000);
        if (!text.isNull())
            QVERIFY2(doc.toPlainText().startsWith(text), qPrintable(doc.toPlainText().left(100)));
    }

    // Random damage to a document full of features never crashes the reader.
    void damagedDocuments()
    {
        QByteArrayList seeds;
        for (const char* name : {"lists.rtf", "table.rtf", "destinations.rtf", "unicode.rtf", "codepages.rtf"})
            seeds << fixture(QString::fromLatin1(name));
        seeds << rtfWithPicture("pngblip", pngBytes(3, 3));
        QRandomGenerator rng(12345);
        const char tokens[] = "{}\\'*0123456789-; ";
        for (int round = 0; round < 600; ++round) {
            QByteArray bytes = seeds[round % seeds.size()];
            const int edits = 1 + rng.bounded(8);
            for (int e = 0; e < edits; ++e) {
                const int pos = rng.bounded(int(bytes.size()));
                switch (rng.bounded(3)) {
                case 0: bytes[pos] = tokens[rng.bounded(int(sizeof tokens - 1))]; break;
                case 1: bytes.remove(pos, rng.bounded(20)); break;
                default: bytes.insert(pos, bytes.mid(rng.bounded(int(bytes.size())), rng.bounded(40))); break;
                }
            }
            QTextDocument doc;
            RtfReader::read(bytes, &doc);
            RtfWriter::write(doc); // whatever was read can be written
        }
    }

    void deviceOverload()
    {
        QByteArray bytes("{\\rtf1 device}");
        QBuffer buf(&bytes);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QTextDocument doc;
        QVERIFY(RtfReader::read(&buf, &doc));
        QCOMPARE(doc.toPlainText(), QStringLiteral("device"));
        QBuffer closed;
        QVERIFY(!RtfReader::read(&closed, &doc));
        QCOMPARE(doc.toPlainText(), QStringLiteral("device"));
    }
};

QTEST_MAIN(TestRichText)
#include "test_rich_text.moc"
