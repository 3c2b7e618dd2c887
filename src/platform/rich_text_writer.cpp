#include "platform/rich_text_writer.h"

#include "platform/code_page.h"
#include "platform/rich_text_format.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QImage>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>
#include <QVariant>
#include <cctype>
#include <cmath>
#include <vector>

namespace {

// The character attributes RTF carries, resolved against the document's default font.
struct CharAttrs {
    int font = -1;
    int halfPoints = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int colour = 0; // 0: automatic
    int valign = 0; // 0 normal, 1 super, 2 sub
    int offset = 0; // twips, positive up
    bool operator==(const CharAttrs&) const = default;
};

struct ListEntry {
    int id;
    bool bullet;
};

class Writer {
public:
    explicit Writer(const QTextDocument& doc) : m_doc(doc)
    {
        const QFont df = doc.defaultFont();
        m_defaultFamily = df.families().isEmpty() ? df.family() : df.families().first();
        if (m_defaultFamily.isEmpty())
            m_defaultFamily = QStringLiteral("Arial");
        m_defaultSize = df.pointSizeF() > 0 ? df.pointSizeF() : (df.pixelSize() > 0 ? df.pixelSize() * 0.75 : 12.0);
        m_defaultBold = df.weight() >= QFont::DemiBold;
        m_defaultItalic = df.italic();
        m_defaultUnderline = df.underline();
        fontIndex(m_defaultFamily);
    }

    QByteArray run()
    {
        collect();
        m_out.reserve(m_doc.characterCount() * 2 + 1024);
        m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033\r\n{\\fonttbl";
        for (qsizetype i = 0; i < m_fonts.size(); ++i) {
            m_out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
            writeText(m_fonts[i], false);
            m_out += ";}";
        }
        m_out += "}\r\n{\\colortbl ;";
        for (QRgb c : m_colours)
            m_out += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c)) + "\\blue" +
                     QByteArray::number(qBlue(c)) + ';';
        m_out += "}\r\n";
        writeListTables();
        m_out += "\\viewkind4\\uc1";
        m_pendingSpace = true;
        m_state = CharAttrs{};
        writeFrame(m_doc.rootFrame());
        m_out += "}\r\n";
        return m_out;
    }

private:
    int fontIndex(const QString& family)
    {
        auto it = m_fontIndex.constFind(family);
        if (it != m_fontIndex.constEnd())
            return *it;
        const int i = int(m_fonts.size());
        m_fonts.append(family);
        m_fontIndex.insert(family, i);
        return i;
    }

    int colourIndex(QRgb rgb)
    {
        rgb |= 0xff000000u;
        auto it = m_colourIndex.constFind(rgb);
        if (it != m_colourIndex.constEnd())
            return *it;
        m_colours.append(rgb);
        const int i = int(m_colours.size());
        m_colourIndex.insert(rgb, i);
        return i;
    }

    CharAttrs attrs(const QTextCharFormat& f)
    {
        CharAttrs a;
        QString family;
        const QVariant fams = f.property(QTextFormat::FontFamilies);
        if (fams.isValid() && !fams.toStringList().isEmpty())
            family = fams.toStringList().first();
        else if (f.hasProperty(QTextFormat::FontFamily))
            family = f.stringProperty(QTextFormat::FontFamily);
        if (family.isEmpty())
            family = m_defaultFamily;
        a.font = fontIndex(family);
        qreal pt = m_defaultSize;
        if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
            pt = f.fontPointSize();
        else if (f.hasProperty(QTextFormat::FontPixelSize) && f.intProperty(QTextFormat::FontPixelSize) > 0)
            pt = f.intProperty(QTextFormat::FontPixelSize) * 0.75;
        a.halfPoints = qBound(1, int(std::lround(pt * 2)), 3276);
        a.bold = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : m_defaultBold;
        a.italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : m_defaultItalic;
        a.underline = (f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline))
                          ? f.fontUnderline()
                          : m_defaultUnderline;
        a.strike = f.fontStrikeOut();
        const QBrush fg = f.foreground();
        if (fg.style() != Qt::NoBrush)
            a.colour = colourIndex(fg.color().rgb());
        switch (f.verticalAlignment()) {
        case QTextCharFormat::AlignSuperScript: a.valign = 1; break;
        case QTextCharFormat::AlignSubScript: a.valign = 2; break;
        default: break;
        }
        a.offset = RichText::verticalOffset(f);
        return a;
    }

    // First pass: fonts, colours and lists, so the tables can precede the text.
    void collect()
    {
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            attrs(b.charFormat());
            for (auto it = b.begin(); !it.atEnd(); ++it)
                attrs(it.fragment().charFormat());
            if (QTextList* list = b.textList()) {
                if (!m_lists.contains(list)) {
                    const auto style = list->format().style();
                    const bool bullet = style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
                                        style == QTextListFormat::ListSquare;
                    m_lists.insert(list, ListEntry{int(m_lists.size()) + 1, bullet});
                    m_listOrder.push_back(list);
                }
            }
        }
    }

    void writeListTables()
    {
        if (m_listOrder.empty())
            return;
        m_out += "{\\*\\listtable";
        for (QTextList* list : m_listOrder) {
            const ListEntry e = m_lists.value(list);
            m_out += "\r\n{\\list\\listtemplateid" + QByteArray::number(e.id) + "\\listsimple1{\\listlevel";
            if (e.bullet)
                m_out += "\\levelnfc23\\levelnfcn23\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0"
                         "\\levelindent0{\\leveltext\\'01\\'95;}{\\levelnumbers;}";
            else
                m_out += "\\levelnfc0\\levelnfcn0\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0"
                         "\\levelindent0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}";
            m_out += "\\f0\\fi-360\\li720\\jclisttab\\tx720}{\\listname ;}\\listid" + QByteArray::number(e.id) + '}';
        }
        m_out += "}\r\n{\\*\\listoverridetable";
        for (QTextList* list : m_listOrder) {
            const QByteArray id = QByteArray::number(m_lists.value(list).id);
            m_out += "{\\listoverride\\listid" + id + "\\listoverridecount0\\ls" + id + '}';
        }
        m_out += "}\r\n";
    }

    void word(const char* w)
    {
        m_out += w;
        m_pendingSpace = true;
    }
    void word(const char* w, long long n)
    {
        m_out += w;
        m_out += QByteArray::number(n);
        m_pendingSpace = true;
    }

    void switchTo(const CharAttrs& a)
    {
        CharAttrs& s = m_state;
        if (a.font != s.font)
            word("\\f", a.font);
        if (a.halfPoints != s.halfPoints)
            word("\\fs", a.halfPoints);
        if (a.bold != s.bold)
            word(a.bold ? "\\b" : "\\b0");
        if (a.italic != s.italic)
            word(a.italic ? "\\i" : "\\i0");
        if (a.underline != s.underline)
            word(a.underline ? "\\ul" : "\\ulnone");
        if (a.strike != s.strike)
            word(a.strike ? "\\strike" : "\\strike0");
        if (a.colour != s.colour)
            word("\\cf", a.colour);
        if (a.valign != s.valign)
            word(a.valign == 1 ? "\\super" : a.valign == 2 ? "\\sub" : "\\nosupersub");
        if (a.offset != s.offset) {
            if (a.offset >= 0)
                word("\\up", a.offset);
            else
                word("\\dn", -qint64(a.offset));
        }
        s = a;
    }

    // Text as 7-bit RTF: code-page escapes where Windows-1252 has the character, \u otherwise.
    void writeText(const QString& text, bool body)
    {
        static const char hex[] = "0123456789abcdef";
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            if (c == '\\' || c == '{' || c == '}') {
                m_out += '\\';
                m_out += char(c);
                m_pendingSpace = false;
                continue;
            }
            if (body) {
                if (c == '\t') {
                    word("\\tab");
                    continue;
                }
                if (c == QChar::LineSeparator || c == '\n' || c == '\r') {
                    word("\\line");
                    continue;
                }
                if (c == QChar::Nbsp) {
                    m_out += "\\~";
                    m_pendingSpace = false;
                    continue;
                }
                if (c == QChar::ObjectReplacementCharacter || c == 0xFDD0 || c == 0xFDD1 ||
                    c == QChar::ParagraphSeparator)
                    continue;
            }
            if (c < 0x20)
                continue;
            if (c < 0x80) {
                if (m_pendingSpace && (std::isalnum(int(c)) || c == ' ' || c == '-'))
                    m_out += ' ';
                m_out += char(c);
                m_pendingSpace = false;
                continue;
            }
            const int b = CodePage::cp1252Byte(c);
            if (b >= 0 && !(b >= 0x80 && b < 0xA0 && c == b)) {
                m_out += "\\'";
                m_out += hex[b >> 4];
                m_out += hex[b & 15];
            } else {
                m_out += "\\u";
                m_out += QByteArray::number(int(qint16(c)));
                m_out += '?';
            }
            m_pendingSpace = false;
        }
    }

    void writeBlockFormat(const QTextBlock& block, bool inTable)
    {
        m_out += "\\pard";
        if (inTable)
            m_out += "\\intbl";
        m_pendingSpace = true;
        const QTextBlockFormat bf = block.blockFormat();
        const Qt::Alignment al = bf.alignment();
        if (al & Qt::AlignHCenter)
            word("\\qc");
        else if (al & Qt::AlignRight)
            word("\\qr");
        else if (al & Qt::AlignJustify)
            word("\\qj");
        const auto tw = [](qreal px) { return std::lround(px * RichText::kTwipsPerPixel); };
        if (bf.rightMargin() != 0)
            word("\\ri", tw(bf.rightMargin()));
        if (bf.topMargin() != 0)
            word("\\sb", tw(bf.topMargin()));
        if (bf.bottomMargin() != 0)
            word("\\sa", tw(bf.bottomMargin()));
        for (const QTextOption::Tab& t : bf.tabPositions()) {
            if (t.type == QTextOption::RightTab)
                word("\\tqr");
            else if (t.type == QTextOption::CenterTab)
                word("\\tqc");
            word("\\tx", tw(t.position));
        }
        if (QTextList* list = block.textList()) {
            const ListEntry e = m_lists.value(list);
            const int level = qBound(1, list->format().indent(), 9);
            const long long li = 360LL * (level + 1) + tw(bf.leftMargin());
            word("\\fi", -360);
            word("\\li", li);
            word("\\ls", e.id);
            if (level > 1)
                word("\\ilvl", level - 1);
            // Readers without list support show this text in front of the paragraph.
            const CharAttrs a = attrs(block.charFormat());
            m_out += "{\\listtext\\f" + QByteArray::number(a.font) + "\\fs" + QByteArray::number(a.halfPoints);
            if (e.bullet) {
                m_out += " \\'95";
            } else {
                m_out += ' ';
                m_pendingSpace = false;
                writeText(list->itemText(block), false);
            }
            m_out += "\\tab}";
            m_pendingSpace = false;
        } else {
            if (bf.leftMargin() != 0)
                word("\\li", tw(bf.leftMargin()));
            if (bf.textIndent() != 0)
                word("\\fi", tw(bf.textIndent()));
        }
    }

    void writeImage(const QTextImageFormat& f)
    {
        QByteArray data = f.property(RichText::ImageDataProperty).toByteArray();
        QByteArray type = f.property(RichText::ImageTypeProperty).toByteArray();
        QImage image;
        if (data.isEmpty() || (type != "png" && type != "jpeg")) {
            const QVariant res = m_doc.resource(QTextDocument::ImageResource, QUrl(f.name()));
            if (res.userType() == QMetaType::QImage)
                image = res.value<QImage>();
            else if (res.userType() == QMetaType::QPixmap)
                image = res.value<QPixmap>().toImage();
            else if (res.userType() == QMetaType::QByteArray)
                image.loadFromData(res.toByteArray());
            if (image.isNull())
                return;
            data.clear();
            QBuffer buf(&data);
            buf.open(QIODevice::WriteOnly);
            if (!image.save(&buf, "PNG"))
                return;
            type = "png";
        } else {
            image.loadFromData(data, type.constData());
        }
        const int pw = image.isNull() ? 1 : image.width();
        const int ph = image.isNull() ? 1 : image.height();
        const double w = f.width() > 0 ? f.width() : pw;
        const double h = f.height() > 0 ? f.height() : ph;
        m_out += type == "png" ? "{\\pict\\pngblip" : "{\\pict\\jpegblip";
        m_out += "\\picw" + QByteArray::number(pw) + "\\pich" + QByteArray::number(ph) + "\\picwgoal" +
                 QByteArray::number(std::lround(w * RichText::kTwipsPerPixel)) + "\\pichgoal" +
                 QByteArray::number(std::lround(h * RichText::kTwipsPerPixel)) + "\r\n";
        const QByteArray hexed = data.toHex();
        for (qsizetype i = 0; i < hexed.size(); i += 128) {
            m_out += QByteArrayView(hexed).sliced(i, qMin<qsizetype>(128, hexed.size() - i));
            m_out += "\r\n";
        }
        m_out += '}';
        m_pendingSpace = false;
    }

    void writeBlockText(const QTextBlock& block)
    {
        bool any = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            switchTo(attrs(f));
            any = true;
            if (f.isImageFormat()) {
                const QString t = frag.text();
                for (QChar c : t)
                    if (c == QChar::ObjectReplacementCharacter)
                        writeImage(f.toImageFormat());
            } else {
                writeText(frag.text(), true);
            }
        }
        if (!any) // an empty paragraph keeps its own size
            switchTo(attrs(block.charFormat()));
    }

    void writeFrame(QTextFrame* frame)
    {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child)) {
                    if (m_needPar)
                        m_out += "\\par\r\n";
                    writeTable(table);
                    m_needPar = false;
                } else {
                    writeFrame(child);
                }
                continue;
            }
            if (m_needPar)
                m_out += "\\par\r\n";
            writeBlockFormat(it.currentBlock(), false);
            writeBlockText(it.currentBlock());
            m_needPar = true;
        }
    }

    void writeTable(QTextTable* table)
    {
        const int rows = table->rows();
        const int cols = table->columns();
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        for (int r = 0; r < rows; ++r) {
            m_out += "\\trowd\\trgaph108\\trleft0";
            long long x = 0;
            for (int c = 0; c < cols; ++c) {
                long long w = 9000 / qMax(cols, 1);
                if (c < widths.size() && widths[c].type() == QTextLength::FixedLength)
                    w = std::lround(widths[c].rawValue() * RichText::kTwipsPerPixel);
                else if (c < widths.size() && widths[c].type() == QTextLength::PercentageLength)
                    w = std::lround(9000 * widths[c].rawValue() / 100.0);
                x += qMax(w, 100LL);
                m_out += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr"
                         "\\brdrs\\brdrw10\\cellx" +
                         QByteArray::number(x);
            }
            m_out += "\r\n";
            m_pendingSpace = true;
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c) {
                    bool first = true;
                    writeCellContent(cell.begin(), first);
                    if (first)
                        m_out += "\\pard\\intbl";
                } else {
                    m_out += "\\pard\\intbl"; // covered by a merged cell
                }
                m_out += "\\cell\r\n";
                m_pendingSpace = false;
            }
            m_out += "\\row\r\n";
            m_pendingSpace = false;
        }
        m_out += "\\pard";
        m_pendingSpace = true;
    }

    // A nested frame inside a cell is flattened into the cell's paragraphs.
    void writeCellContent(QTextFrame::iterator it, bool& first)
    {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                writeCellContent(child->begin(), first);
                continue;
            }
            if (!first)
                m_out += "\\par\r\n";
            writeBlockFormat(it.currentBlock(), true);
            writeBlockText(it.currentBlock());
            first = false;
        }
    }

    const QTextDocument& m_doc;
    QByteArray m_out;
    QString m_defaultFamily;
    qreal m_defaultSize = 12;
    bool m_defaultBold = false, m_defaultItalic = false, m_defaultUnderline = false;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndex;
    QHash<QTextList*, ListEntry> m_lists;
    std::vector<QTextList*> m_listOrder;
    CharAttrs m_state;
    bool m_pendingSpace = false;
    bool m_needPar = false;
};

} // namespace

QByteArray RtfWriter::write(const QTextDocument& document)
{
    return Writer(document).run();
}

bool RtfWriter::write(const QTextDocument& document, QIODevice* device)
{
    const QByteArray bytes = write(document);
    return device && device->write(bytes) == bytes.size();
}
