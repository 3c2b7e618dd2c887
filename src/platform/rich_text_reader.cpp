#include "platform/rich_text_reader.h"

#include "platform/code_page.h"
#include "platform/rich_text_format.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QUrl>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kMaxColumns = 64;
constexpr int kMaxTableEntries = 8192; // fonts, colours, lists
constexpr int kMaxTabStops = 32;
constexpr int kMaxPictureSide = 12000;
constexpr qint64 kMaxPicturePixels = 40'000'000;

enum class Dest : quint8 {
    Text,
    Skip,
    FontTable,
    ColorTable,
    Pict,
    ListTable,
    List,
    ListLevel,
    ListOverrideTable,
    ListOverride,
    Pn,
};

struct CharState {
    int font = -1; // -1: the default font
    int fs = 24;   // half points
    int cf = 0;
    int offset = 0; // twips, positive up
    quint8 valign = 0;
    bool b = false, i = false, ul = false, strike = false, hidden = false;
    bool operator==(const CharState&) const = default;
};

size_t qHash(const CharState& c, size_t seed = 0)
{
    return qHashMulti(seed, c.font, c.fs, c.cf, c.offset, c.valign, c.b, c.i, c.ul, c.strike);
}

struct TabStop {
    int pos;
    quint8 type; // 0 left, 1 centre, 2 right, 3 decimal
};

struct ParaState {
    int align = 0; // 0 left, 1 centre, 2 right, 3 justify
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0;
    int ls = 0, ilvl = 0;
    int pn = 0; // legacy list: 0 none, else a QTextListFormat::Style + 100
    bool intbl = false;
    quint8 tabCount = 0;
    quint8 nextTabType = 0;
    TabStop tabs[kMaxTabStops];
};

struct Group {
    Dest dest;
    int uc;
    CharState ch;
    ParaState pa;
};

struct Run {
    QString text;
    int format = 0; // index into the char formats, or the image with image >= 0
    int image = -1;
};

struct Para {
    ParaState pa;
    CharState endChar;
    std::vector<Run> runs;
    bool empty() const { return runs.empty(); }
};

struct FontDef {
    QString name;
    int codePage = 0; // 0: the document's; -2: symbol
};

struct Picture {
    int type = 0; // 1 png, 2 jpeg, 0 anything else
    int picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
    QByteArray data;
    int nibble = -1;
};

enum Kw : int {
    K_unknown,
    // destinations
    K_rtf, K_fonttbl, K_colortbl, K_pict, K_shppict, K_listtable, K_list, K_listlevel, K_listoverridetable,
    K_listoverride, K_pn, K_fldrslt, K_field, K_object, K_result, K_skipdest,
    // document
    K_ansicpg, K_ansi, K_mac, K_pc, K_pca, K_deff, K_fcharset, K_cpg, K_red, K_green, K_blue,
    K_listid, K_levelnfc, K_pngblip, K_jpegblip, K_otherblip, K_picw, K_pich, K_picwgoal, K_pichgoal,
    K_picscalex, K_picscaley, K_bin, K_u, K_uc,
    // character
    K_plain, K_f, K_fs, K_b, K_i, K_ul, K_ulnone, K_strike, K_cf, K_super, K_sub, K_nosupersub, K_up, K_dn, K_v,
    // paragraph
    K_pard, K_ql, K_qc, K_qr, K_qj, K_li, K_ri, K_fi, K_sb, K_sa, K_intbl, K_itap, K_ls, K_ilvl, K_tx, K_tqc,
    K_tqr, K_tqdec, K_pnlvlblt, K_pnlvlbody, K_pnlvlcont, K_pndec, K_pnucltr, K_pnlcltr, K_pnucrm, K_pnlcrm,
    // breaks and special characters
    K_par, K_line, K_tab, K_cell, K_nestcell, K_row, K_nestrow, K_trowd, K_cellx, K_emdash, K_endash,
    K_bullet, K_lquote, K_rquote, K_ldblquote, K_rdblquote, K_emspace, K_enspace, K_qmspace,
};

const QHash<QByteArray, Kw>& keywords()
{
    static const QHash<QByteArray, Kw> table = [] {
        QHash<QByteArray, Kw> t;
        const std::pair<const char*, Kw> list[] = {
            {"rtf", K_rtf}, {"fonttbl", K_fonttbl}, {"colortbl", K_colortbl}, {"pict", K_pict},
            {"shppict", K_shppict}, {"listtable", K_listtable}, {"list", K_list}, {"listlevel", K_listlevel},
            {"listoverridetable", K_listoverridetable}, {"listoverride", K_listoverride}, {"pn", K_pn},
            {"fldrslt", K_fldrslt}, {"field", K_field}, {"object", K_object}, {"result", K_result},
            {"ansicpg", K_ansicpg}, {"ansi", K_ansi}, {"mac", K_mac}, {"pc", K_pc}, {"pca", K_pca},
            {"deff", K_deff}, {"fcharset", K_fcharset}, {"cpg", K_cpg}, {"red", K_red}, {"green", K_green},
            {"blue", K_blue}, {"listid", K_listid}, {"levelnfc", K_levelnfc}, {"levelnfcn", K_levelnfc},
            {"pngblip", K_pngblip}, {"jpegblip", K_jpegblip}, {"emfblip", K_otherblip},
            {"wmetafile", K_otherblip}, {"macpict", K_otherblip}, {"dibitmap", K_otherblip},
            {"wbitmap", K_otherblip}, {"pmmetafile", K_otherblip}, {"picw", K_picw}, {"pich", K_pich},
            {"picwgoal", K_picwgoal}, {"pichgoal", K_pichgoal}, {"picscalex", K_picscalex},
            {"picscaley", K_picscaley}, {"bin", K_bin}, {"u", K_u}, {"uc", K_uc}, {"plain", K_plain}, {"f", K_f},
            {"fs", K_fs}, {"b", K_b}, {"i", K_i}, {"ul", K_ul}, {"uld", K_ul}, {"uldb", K_ul}, {"ulw", K_ul},
            {"ulwave", K_ul}, {"uldash", K_ul}, {"uldashd", K_ul}, {"uldashdd", K_ul}, {"ulth", K_ul},
            {"ulhwave", K_ul}, {"ululdbwave", K_ul}, {"ulldash", K_ul}, {"ulnone", K_ulnone},
            {"strike", K_strike}, {"striked", K_strike}, {"cf", K_cf}, {"super", K_super}, {"sub", K_sub},
            {"nosupersub", K_nosupersub}, {"up", K_up}, {"dn", K_dn}, {"v", K_v}, {"pard", K_pard}, {"ql", K_ql},
            {"qc", K_qc}, {"qr", K_qr}, {"qj", K_qj}, {"li", K_li}, {"lin", K_li}, {"ri", K_ri}, {"rin", K_ri},
            {"fi", K_fi}, {"sb", K_sb}, {"sa", K_sa}, {"intbl", K_intbl}, {"itap", K_itap}, {"ls", K_ls},
            {"ilvl", K_ilvl}, {"tx", K_tx}, {"tqc", K_tqc}, {"tqr", K_tqr}, {"tqdec", K_tqdec},
            {"pnlvlblt", K_pnlvlblt}, {"pnlvlbody", K_pnlvlbody}, {"pnlvlcont", K_pnlvlcont}, {"pndec", K_pndec},
            {"pnucltr", K_pnucltr}, {"pnlcltr", K_pnlcltr}, {"pnucrm", K_pnucrm}, {"pnlcrm", K_pnlcrm},
            {"par", K_par}, {"sect", K_par}, {"page", K_par}, {"line", K_line}, {"lbr", K_line}, {"tab", K_tab},
            {"cell", K_cell}, {"nestcell", K_nestcell}, {"row", K_row}, {"nestrow", K_nestrow},
            {"trowd", K_trowd}, {"cellx", K_cellx}, {"emdash", K_emdash}, {"endash", K_endash},
            {"bullet", K_bullet}, {"lquote", K_lquote}, {"rquote", K_rquote}, {"ldblquote", K_ldblquote},
            {"rdblquote", K_rdblquote}, {"emspace", K_emspace}, {"enspace", K_enspace}, {"qmspace", K_qmspace},
        };
        for (const auto& [name, kw] : list)
            t.insert(QByteArray(name), kw);
        // Destinations whose content is not note text.
        for (const char* name :
             {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
              "footerf", "footnote", "annotation", "fldinst", "pntext", "listtext", "pntxta", "pntxtb",
              "leveltext", "levelnumbers", "listname", "objdata", "objclass", "nonshppict", "nonesttables",
              "template", "docvar", "xe", "tc", "txe", "filetbl", "revtbl", "falt", "panose", "fname",
              "bkmkstart", "bkmkend", "atnid", "atnauthor", "atrfstart", "atrfend", "datafield", "ftnsep",
              "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "shpinst", "shptxt", "sp", "sn", "sv",
              "themedata", "colorschememapping", "datastore", "latentstyles", "xmlnstbl", "rsidtbl",
              "generator", "mmathPr", "pgdsctbl", "userprops", "wgrffmtfilter", "listpicture", "fchars",
              "lchars", "protusertbl", "background", "picprop", "blipuid", "macpict", "defchp", "defpap",
              "do", "formfield", "ffname", "ffdeftext", "ffformat", "ffhelptext", "ffstattext", "ffentrymcr",
              "ffexitmcr", "ffl", "pgp", "private", "oldcprops", "oldpprops", "oldsprops", "oldtprops",
              "hlinkbase", "passwordhash", "xform", "upr", "ud"})
            t.insert(QByteArray(name), K_skipdest);
        return t;
    }();
    return table;
}

int codePageForCharset(int charset)
{
    switch (charset) {
    case 2: return -2;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    default: return 0; // ANSI and the default charset follow \ansicpg
    }
}

class Parser {
public:
    Parser(const QByteArray& bytes, QTextDocument* doc) : m_p(bytes.constData()), m_end(m_p + bytes.size()), m_doc(doc)
    {
        m_stack.reserve(64);
    }

    void run()
    {
        // A load is not an edit: no undo history, which also keeps large notes fast.
        const bool undo = m_doc->isUndoRedoEnabled();
        m_doc->setUndoRedoEnabled(false);
        m_doc->clear();
        m_cursor = QTextCursor(m_doc);
        m_freshBlock = true;
        m_cursor.beginEditBlock();
        parse();
        flushBytes();
        // Whatever is still open at the end is kept.
        if (!m_cells.empty() || !m_cell.empty())
            endRow();
        endPara(m_stack.empty() ? m_lastState : m_stack.back());
        closeTable();
        m_cursor.endEditBlock();
        m_doc->setUndoRedoEnabled(undo);
        m_doc->setModified(false);
    }

private:
    // ---- tokenizer ---------------------------------------------------------------------------

    void parse()
    {
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == '{') {
                ++m_p;
                openGroup();
            } else if (c == '}') {
                ++m_p;
                if (closeGroup())
                    return; // the document's own group has ended
            } else if (c == '\\') {
                control();
            } else if (c == '\r' || c == '\n') {
                ++m_p;
            } else {
                plainChars();
            }
        }
    }

    void openGroup()
    {
        flushBytes();
        m_ucSkip = 0;
        if (m_overflow > 0 || int(m_stack.size()) >= RtfReader::kMaxGroupDepth) {
            ++m_overflow;
            return;
        }
        if (m_stack.empty())
            m_stack.push_back(Group{Dest::Text, 1, CharState{}, ParaState{}});
        else
            m_stack.push_back(m_stack.back());
        m_starPending = false;
    }

    // True when the outermost group closed.
    bool closeGroup()
    {
        flushBytes();
        m_ucSkip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return false;
        }
        if (m_stack.empty())
            return false; // a stray brace before the document began
        const Group g = m_stack.back();
        m_stack.pop_back();
        const Dest parent = m_stack.empty() ? Dest::Text : m_stack.back().dest;
        if (g.dest != parent || m_stack.empty())
            endDestination(g, parent);
        if (m_stack.empty()) {
            m_lastState = g;
            return true;
        }
        return false;
    }

    void plainChars()
    {
        const char* start = m_p;
        while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}' && *m_p != '\r' && *m_p != '\n')
            ++m_p;
        if (m_stack.empty() || m_overflow > 0)
            return;
        const Dest d = m_stack.back().dest;
        if (d == Dest::Skip)
            return;
        if (d == Dest::Pict) {
            for (const char* q = start; q < m_p; ++q)
                pictHex(*q);
            return;
        }
        const char* q = start;
        while (q < m_p && m_ucSkip > 0) {
            --m_ucSkip;
            ++q;
        }
        while (q < m_p) {
            const auto u = static_cast<unsigned char>(*q);
            if (u >= 0x80) {
                addByte(char(u));
                ++q;
                continue;
            }
            const char* run = q;
            while (q < m_p && static_cast<unsigned char>(*q) < 0x80 && *q != '\t')
                ++q;
            if (q > run)
                addText(QString::fromLatin1(run, q - run));
            if (q < m_p && *q == '\t') {
                addText(QStringLiteral("\t"));
                ++q;
            }
        }
    }

    void control()
    {
        ++m_p; // backslash
        if (m_p >= m_end)
            return;
        const char c = *m_p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            const char* nameStart = m_p;
            while (m_p < m_end && ((*m_p >= 'a' && *m_p <= 'z') || (*m_p >= 'A' && *m_p <= 'Z')))
                ++m_p;
            const qsizetype nameLen = m_p - nameStart;
            bool hasParam = false;
            bool negative = false;
            long long value = 0;
            if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && m_p[1] >= '0' && m_p[1] <= '9') {
                negative = true;
                ++m_p;
            }
            while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
                hasParam = true;
                if (value < 10'000'000'000LL)
                    value = value * 10 + (*m_p - '0');
                ++m_p;
            }
            if (m_p < m_end && *m_p == ' ')
                ++m_p;
            if (negative)
                value = -value;
            const int param = int(qBound<long long>(-1000000000LL, value, 1000000000LL));
            if (nameLen > 32) {
                unknownWord();
                return;
            }
            word(QByteArray::fromRawData(nameStart, nameLen), hasParam, param);
            return;
        }
        ++m_p;
        if (c == '\'') {
            int v = 0;
            int digits = 0;
            while (digits < 2 && m_p < m_end) {
                const int h = hexValue(*m_p);
                if (h < 0)
                    break;
                v = v * 16 + h;
                ++digits;
                ++m_p;
            }
            if (digits == 0 || m_stack.empty() || m_overflow > 0)
                return;
            if (m_ucSkip > 0) {
                --m_ucSkip;
                return;
            }
            addByte(char(v));
            return;
        }
        symbol(c);
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void symbol(char c)
    {
        if (m_stack.empty() || m_overflow > 0)
            return;
        if (c == '*') {
            m_starPending = true;
            return;
        }
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}': addText(QString(QLatin1Char(c))); break;
        case '~': addText(QString(QChar(QChar::Nbsp))); break;
        case '_': addText(QString(QChar(0x2011))); break;
        case '\r':
        case '\n': paragraphBreak(); break;
        case '\t': addText(QStringLiteral("\t")); break;
        default: break; // \- optional hyphen, \| \: index marks
        }
    }

    void unknownWord()
    {
        if (m_starPending && !m_stack.empty())
            m_stack.back().dest = Dest::Skip;
        m_starPending = false;
    }

    // ---- control words -----------------------------------------------------------------------

    void word(const QByteArray& name, bool hasParam, int param)
    {
        if (m_stack.empty() || m_overflow > 0)
            return;
        const Kw kw = keywords().value(name, K_unknown);
        Group& g = m_stack.back();
        if (kw == K_bin) {
            flushBytes();
            const qint64 n = hasParam ? qMax(0, param) : 0;
            const qint64 take = qMin<qint64>(n, m_end - m_p);
            if (g.dest == Dest::Pict)
                m_pict.data.append(m_p, take);
            m_p += take;
            return;
        }
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        const bool star = m_starPending;
        m_starPending = false;
        if (g.dest == Dest::Skip)
            return;
        if (kw == K_unknown) {
            if (star)
                g.dest = Dest::Skip;
            return;
        }
        const int on = hasParam ? param : 1;
        CharState& ch = g.ch;
        ParaState& pa = g.pa;
        switch (kw) {
        case K_skipdest: flushBytes(); g.dest = Dest::Skip; break;
        case K_fonttbl: flushBytes(); g.dest = Dest::FontTable; break;
        case K_colortbl:
            g.dest = Dest::ColorTable;
            m_colourSeen = false;
            m_r = m_gr = m_bl = 0;
            break;
        case K_pict:
            flushBytes();
            if (g.dest == Dest::Pict) {
                g.dest = Dest::Skip;
                break;
            }
            g.dest = Dest::Pict;
            m_pict = Picture{};
            break;
        case K_shppict:
        case K_fldrslt:
        case K_field:
        case K_object:
        case K_result: break; // their text is note text
        case K_listtable: g.dest = Dest::ListTable; break;
        case K_list:
            if (g.dest == Dest::ListTable) {
                g.dest = Dest::List;
                m_listLevels.clear();
                m_listId = 0;
            }
            break;
        case K_listlevel:
            if (g.dest == Dest::List) {
                g.dest = Dest::ListLevel;
                if (m_listLevels.size() < 9)
                    m_listLevels.push_back(0);
            }
            break;
        case K_listoverridetable: g.dest = Dest::ListOverrideTable; break;
        case K_listoverride:
            if (g.dest == Dest::ListOverrideTable) {
                g.dest = Dest::ListOverride;
                m_listId = 0;
                m_overrideLs = 0;
            }
            break;
        case K_pn:
            if (g.dest == Dest::Text) {
                g.dest = Dest::Pn;
                m_pnStyle = 0;
            } else {
                g.dest = Dest::Skip;
            }
            break;
        case K_listid:
            if (hasParam)
                m_listId = param;
            break;
        case K_levelnfc:
            if (g.dest == Dest::ListLevel && !m_listLevels.empty())
                m_listLevels.back() = param;
            break;
        case K_ls:
            if (g.dest == Dest::ListOverride)
                m_overrideLs = param;
            else
                pa.ls = qMax(0, param);
            break;
        case K_rtf:
        case K_ansi: break;
        case K_ansicpg:
            if (hasParam && param > 0)
                m_ansiCp = param;
            break;
        case K_mac: m_ansiCp = 10000; break;
        case K_pc: m_ansiCp = 437; break;
        case K_pca: m_ansiCp = 850; break;
        case K_deff: m_deff = param; break;
        case K_fcharset:
            if (g.dest == Dest::FontTable)
                m_fontCp = codePageForCharset(param);
            break;
        case K_cpg:
            if (g.dest == Dest::FontTable && param > 0)
                m_fontCpg = param;
            break;
        case K_red: m_r = qBound(0, param, 255); m_colourSeen = true; break;
        case K_green: m_gr = qBound(0, param, 255); m_colourSeen = true; break;
        case K_blue: m_bl = qBound(0, param, 255); m_colourSeen = true; break;
        case K_pngblip: m_pict.type = 1; break;
        case K_jpegblip: m_pict.type = 2; break;
        case K_otherblip: m_pict.type = 0; m_pictOther = true; break;
        case K_picw: m_pict.picw = param; break;
        case K_pich: m_pict.pich = param; break;
        case K_picwgoal: m_pict.goalw = param; break;
        case K_pichgoal: m_pict.goalh = param; break;
        case K_picscalex: m_pict.scalex = param; break;
        case K_picscaley: m_pict.scaley = param; break;
        case K_u: {
            int v = param;
            if (v < 0)
                v += 65536;
            if (hasParam && v >= 0 && v <= 0xFFFF)
                addText(QString(QChar(char16_t(v))));
            m_ucSkip = g.uc;
            break;
        }
        case K_uc: g.uc = qBound(0, param, 16); break;
        case K_plain: {
            ch = CharState{};
            break;
        }
        case K_f:
            if (g.dest == Dest::FontTable) {
                commitFont();
                m_fontNum = param;
                m_fontName.clear();
                m_fontCp = 0;
                m_fontCpg = 0;
                m_fontOpen = true;
            } else {
                flushBytes();
                ch.font = param;
            }
            break;
        case K_fs: ch.fs = hasParam ? qBound(2, param, 3276) : 24; break;
        case K_b: ch.b = on != 0; break;
        case K_i: ch.i = on != 0; break;
        case K_ul: ch.ul = on != 0; break;
        case K_ulnone: ch.ul = false; break;
        case K_strike: ch.strike = on != 0; break;
        case K_cf: ch.cf = qMax(0, param); break;
        case K_super: ch.valign = 1; break;
        case K_sub: ch.valign = 2; break;
        case K_nosupersub: ch.valign = 0; break;
        case K_up: ch.offset = qBound(-32767, hasParam ? param : 6, 32767); break;
        case K_dn: ch.offset = -qBound(-32767, hasParam ? param : 6, 32767); break;
        case K_v: ch.hidden = on != 0; break;
        case K_pard: pa = ParaState{}; break;
        case K_ql: pa.align = 0; break;
        case K_qc: pa.align = 1; break;
        case K_qr: pa.align = 2; break;
        case K_qj: pa.align = 3; break;
        case K_li: pa.li = qBound(-31680, param, 31680); break;
        case K_ri: pa.ri = qBound(-31680, param, 31680); break;
        case K_fi: pa.fi = qBound(-31680, param, 31680); break;
        case K_sb: pa.sb = qBound(0, param, 31680); break;
        case K_sa: pa.sa = qBound(0, param, 31680); break;
        case K_intbl: pa.intbl = true; break;
        case K_itap: pa.intbl = param > 0; break;
        case K_ilvl: pa.ilvl = qBound(0, param, 8); break;
        case K_tqc: pa.nextTabType = 1; break;
        case K_tqr: pa.nextTabType = 2; break;
        case K_tqdec: pa.nextTabType = 3; break;
        case K_tx:
            if (pa.tabCount < kMaxTabStops && param > 0)
                pa.tabs[pa.tabCount++] = TabStop{qMin(param, 31680), pa.nextTabType};
            pa.nextTabType = 0;
            break;
        case K_pnlvlblt: m_pnStyle = QTextListFormat::ListDisc; break;
        case K_pnlvlbody:
        case K_pnlvlcont:
            if (m_pnStyle == 0)
                m_pnStyle = QTextListFormat::ListDecimal;
            break;
        case K_pndec: m_pnStyle = QTextListFormat::ListDecimal; break;
        case K_pnucltr: m_pnStyle = QTextListFormat::ListUpperAlpha; break;
        case K_pnlcltr: m_pnStyle = QTextListFormat::ListLowerAlpha; break;
        case K_pnucrm: m_pnStyle = QTextListFormat::ListUpperRoman; break;
        case K_pnlcrm: m_pnStyle = QTextListFormat::ListLowerRoman; break;
        case K_par: paragraphBreak(); break;
        case K_line: addText(QString(QChar(QChar::LineSeparator))); break;
        case K_tab: addText(QStringLiteral("\t")); break;
        case K_cell: cellBreak(); break;
        case K_nestcell:
        case K_nestrow: paragraphBreak(true); break;
        case K_row: rowBreak(); break;
        case K_trowd: m_cellx.clear(); break;
        case K_cellx:
            if (int(m_cellx.size()) < kMaxColumns)
                m_cellx.push_back(param);
            break;
        case K_emdash: addText(QString(QChar(0x2014))); break;
        case K_endash: addText(QString(QChar(0x2013))); break;
        case K_bullet: addText(QString(QChar(0x2022))); break;
        case K_lquote: addText(QString(QChar(0x2018))); break;
        case K_rquote: addText(QString(QChar(0x2019))); break;
        case K_ldblquote: addText(QString(QChar(0x201C))); break;
        case K_rdblquote: addText(QString(QChar(0x201D))); break;
        case K_emspace: addText(QString(QChar(0x2003))); break;
        case K_enspace: addText(QString(QChar(0x2002))); break;
        case K_qmspace: addText(QString(QChar(0x2005))); break;
        default: break;
        }
    }

    void endDestination(const Group& g, Dest parent)
    {
        switch (g.dest) {
        case Dest::FontTable:
            if (parent != Dest::FontTable)
                commitFont();
            break;
        case Dest::Pict:
            if (parent != Dest::Pict)
                endPicture(g);
            break;
        case Dest::List:
            if (m_listId != 0 && m_listDefs.size() < kMaxTableEntries)
                m_listDefs[m_listId] = m_listLevels;
            break;
        case Dest::ListOverride:
            if (m_overrideLs > 0 && m_overrides.size() < kMaxTableEntries)
                m_overrides[m_overrideLs] = m_listId;
            break;
        case Dest::Pn:
            if (!m_stack.empty() && m_pnStyle != 0)
                m_stack.back().pa.pn = 100 + m_pnStyle;
            break;
        default: break;
        }
    }

    // ---- text --------------------------------------------------------------------------------

    int codePageNow() const
    {
        const Group& g = m_stack.back();
        if (g.dest == Dest::FontTable)
            return m_fontCpg > 0 ? m_fontCpg : (m_fontCp != 0 ? m_fontCp : m_ansiCp);
        const int fontNum = g.ch.font >= 0 ? g.ch.font : m_deff;
        auto it = m_fonts.find(fontNum);
        if (it != m_fonts.end() && it->second.codePage != 0)
            return it->second.codePage;
        return m_ansiCp;
    }

    void addByte(char b)
    {
        const int cp = codePageNow();
        if (!m_bytes.isEmpty() && cp != m_bytesCp)
            flushBytes();
        m_bytesCp = cp;
        m_bytes.append(b);
    }

    QString decode(const QByteArray& bytes, int cp)
    {
        if (cp == 1252 || cp <= 0) {
            QString s = CodePage::fromCp1252(bytes);
            if (cp == -2) // the symbol font's bullet
                s.replace(QChar(0x00B7), QChar(0x2022));
            return s;
        }
        auto it = m_decoders.find(cp);
        if (it == m_decoders.end()) {
            std::unique_ptr<QStringDecoder> dec;
            QByteArrayList names;
            switch (cp) {
            case 932: names = {"Shift_JIS"}; break;
            case 936: names = {"GBK"}; break;
            case 949: names = {"windows-949", "EUC-KR"}; break;
            case 950: names = {"Big5"}; break;
            case 10000: names = {"macintosh"}; break;
            default: break;
            }
            const QByteArray n = QByteArray::number(cp);
            names << "windows-" + n << "cp" + n << "IBM" + n;
            for (const QByteArray& name : names) {
                auto d = std::make_unique<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
                if (d->isValid()) {
                    dec = std::move(d);
                    break;
                }
            }
            it = m_decoders.emplace(cp, std::move(dec)).first;
        }
        if (!it->second)
            return CodePage::fromCp1252(bytes);
        QString s = it->second->decode(bytes);
        it->second->resetState();
        return s;
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QByteArray bytes = std::exchange(m_bytes, QByteArray());
        routeText(decode(bytes, m_bytesCp));
    }

    void addText(const QString& text)
    {
        flushBytes();
        routeText(text);
    }

    void routeText(const QString& text)
    {
        if (m_stack.empty())
            return;
        const Group& g = m_stack.back();
        switch (g.dest) {
        case Dest::Text: {
            if (g.ch.hidden)
                return;
            Para& para = currentPara();
            const int fmt = formatIndex(g.ch);
            if (para.runs.empty() || para.runs.back().format != fmt || para.runs.back().image >= 0)
                para.runs.push_back(Run{QString(), fmt, -1});
            para.runs.back().text += text;
            break;
        }
        case Dest::FontTable:
            for (QChar c : text) {
                if (c == ';')
                    commitFont();
                else if (m_fontOpen && m_fontName.size() < 256)
                    m_fontName += c;
            }
            break;
        case Dest::ColorTable:
            for (QChar c : text) {
                if (c != ';')
                    continue;
                if (m_colours.size() < kMaxTableEntries)
                    m_colours.push_back(m_colourSeen ? qRgb(m_r, m_gr, m_bl) : QRgb(0));
                m_colourAuto.push_back(!m_colourSeen);
                m_colourSeen = false;
                m_r = m_gr = m_bl = 0;
            }
            break;
        default: break;
        }
    }

    void commitFont()
    {
        if (!m_fontOpen)
            return;
        m_fontOpen = false;
        if (m_fonts.size() >= size_t(kMaxTableEntries))
            return;
        FontDef f;
        f.name = m_fontName.trimmed();
        f.codePage = m_fontCpg > 0 ? m_fontCpg : m_fontCp;
        m_fonts[m_fontNum] = f;
    }

    int formatIndex(const CharState& ch)
    {
        auto it = m_formatIndex.constFind(ch);
        if (it != m_formatIndex.constEnd())
            return *it;
        QTextCharFormat f;
        const int fontNum = ch.font >= 0 ? ch.font : m_deff;
        auto fi = m_fonts.find(fontNum);
        if (fi != m_fonts.end() && !fi->second.name.isEmpty())
            f.setFontFamilies({fi->second.name});
        f.setFontPointSize(ch.fs / 2.0);
        f.setFontWeight(ch.b ? QFont::Bold : QFont::Normal);
        f.setFontItalic(ch.i);
        f.setFontUnderline(ch.ul);
        f.setFontStrikeOut(ch.strike);
        if (ch.cf > 0 && ch.cf < int(m_colours.size()) && !m_colourAuto[ch.cf])
            f.setForeground(QColor(m_colours[ch.cf]));
        if (ch.valign == 1)
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (ch.valign == 2)
            f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        if (ch.offset != 0)
            RichText::setVerticalOffset(f, ch.offset, ch.fs / 2.0);
        const int idx = int(m_formats.size());
        m_formats.push_back(f);
        m_formatIndex.insert(ch, idx);
        return idx;
    }

    // ---- pictures ----------------------------------------------------------------------------

    void pictHex(char c)
    {
        const int h = hexValue(c);
        if (h < 0)
            return;
        if (m_pict.nibble < 0) {
            m_pict.nibble = h;
        } else {
            m_pict.data.append(char(m_pict.nibble * 16 + h));
            m_pict.nibble = -1;
        }
    }

    void endPicture(const Group& g)
    {
        Picture pict = std::exchange(m_pict, Picture{});
        if (pict.type == 0 || pict.data.isEmpty() || m_stack.empty() || m_stack.back().dest != Dest::Text)
            return;
        const QByteArray type = pict.type == 1 ? "png" : "jpeg";
        QBuffer buf(&pict.data);
        buf.open(QIODevice::ReadOnly);
        QImageReader reader(&buf, type);
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
            qint64(size.width()) * size.height() > kMaxPicturePixels)
            return;
        QImage image;
        if (!reader.read(&image) || image.isNull())
            return;
        const QString name = QStringLiteral("rtfimage:%1").arg(++m_imageCount);
        m_doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
        QTextImageFormat f;
        f.merge(m_formats[formatIndex(g.ch)]);
        f.setName(name);
        double w = image.width(), h = image.height();
        if (pict.goalw > 0 && pict.goalh > 0) {
            w = pict.goalw / RichText::kTwipsPerPixel;
            h = pict.goalh / RichText::kTwipsPerPixel;
        }
        const double sx = qBound(1, pict.scalex, 1000) / 100.0, sy = qBound(1, pict.scaley, 1000) / 100.0;
        f.setWidth(qBound(1.0, w * sx, 20000.0));
        f.setHeight(qBound(1.0, h * sy, 20000.0));
        f.setProperty(RichText::ImageDataProperty, pict.data);
        f.setProperty(RichText::ImageTypeProperty, type);
        const int idx = int(m_images.size());
        m_images.push_back(f);
        Para& para = currentPara();
        para.runs.push_back(Run{QString(QChar::ObjectReplacementCharacter), 0, idx});
    }

    // ---- paragraphs, lists and tables --------------------------------------------------------

    Para& currentPara() { return m_para; }

    QTextBlockFormat blockFormat(const ParaState& pa) const
    {
        QTextBlockFormat bf;
        static const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
        bf.setAlignment(aligns[qBound(0, pa.align, 3)]);
        const bool listed = listStyle(pa) != 0;
        if (!listed) {
            if (pa.li)
                bf.setLeftMargin(pa.li / RichText::kTwipsPerPixel);
            if (pa.fi)
                bf.setTextIndent(pa.fi / RichText::kTwipsPerPixel);
        }
        if (pa.ri)
            bf.setRightMargin(pa.ri / RichText::kTwipsPerPixel);
        if (pa.sb)
            bf.setTopMargin(pa.sb / RichText::kTwipsPerPixel);
        if (pa.sa)
            bf.setBottomMargin(pa.sa / RichText::kTwipsPerPixel);
        if (pa.tabCount) {
            QList<QTextOption::Tab> tabs;
            for (int i = 0; i < pa.tabCount; ++i) {
                static const QTextOption::TabType types[] = {QTextOption::LeftTab, QTextOption::CenterTab,
                                                             QTextOption::RightTab, QTextOption::DelimiterTab};
                QTextOption::Tab t(pa.tabs[i].pos / RichText::kTwipsPerPixel, types[pa.tabs[i].type & 3]);
                if (pa.tabs[i].type == 3)
                    t.delimiter = QLatin1Char('.');
                tabs.append(t);
            }
            bf.setTabPositions(tabs);
        }
        return bf;
    }

    // The list style of a paragraph, or 0 when it is not in a list.
    int listStyle(const ParaState& pa) const
    {
        if (pa.ls > 0) {
            int nfc = 23;
            auto o = m_overrides.find(pa.ls);
            if (o != m_overrides.end()) {
                auto d = m_listDefs.find(o->second);
                if (d != m_listDefs.end() && !d->second.empty())
                    nfc = d->second[std::min<size_t>(pa.ilvl, d->second.size() - 1)];
            }
            switch (nfc) {
            case 0: return QTextListFormat::ListDecimal;
            case 1: return QTextListFormat::ListUpperRoman;
            case 2: return QTextListFormat::ListLowerRoman;
            case 3: return QTextListFormat::ListUpperAlpha;
            case 4: return QTextListFormat::ListLowerAlpha;
            case 23:
            case 255: return QTextListFormat::ListDisc;
            default: return QTextListFormat::ListDecimal;
            }
        }
        if (pa.pn > 0)
            return pa.pn - 100;
        return 0;
    }

    void emitPara(QTextCursor& c, bool& fresh, const Para& para, std::unordered_map<int, QTextList*>& lists,
                  int& lastKey)
    {
        const QTextBlockFormat bf = blockFormat(para.pa);
        const QTextCharFormat cf = m_formats[formatIndex(para.endChar)];
        if (fresh) {
            c.setBlockFormat(bf);
            c.setBlockCharFormat(cf);
            fresh = false;
        } else {
            c.insertBlock(bf, cf);
        }
        if (const int style = listStyle(para.pa)) {
            // \ls lists continue across other paragraphs; legacy \pn lists only while contiguous.
            const int key = para.pa.ls > 0 ? para.pa.ls * 16 + para.pa.ilvl : -(style * 16 + para.pa.ilvl);
            auto it = lists.find(key);
            if (it != lists.end() && (key > 0 || lastKey == key)) {
                it->second->add(c.block());
            } else {
                QTextListFormat lf;
                lf.setStyle(QTextListFormat::Style(style));
                lf.setIndent(para.pa.ilvl + 1);
                lists[key] = c.createList(lf);
            }
            lastKey = key;
        } else {
            lastKey = 0;
        }
        for (const Run& r : para.runs) {
            if (r.image >= 0)
                c.insertImage(m_images[r.image]);
            else
                c.insertText(r.text, m_formats[r.format]);
        }
    }

    void paragraphBreak(bool forceCell = false)
    {
        flushBytes();
        if (m_stack.empty())
            return;
        const Group& g = m_stack.back();
        if (g.dest != Dest::Text)
            return;
        endPara(g, forceCell);
    }

    void endPara(const Group& g, bool forceCell = false)
    {
        m_para.pa = g.pa;
        m_para.endChar = g.ch;
        if (g.pa.intbl || forceCell) {
            m_cell.push_back(std::move(m_para));
        } else {
            if (!m_cells.empty() || !m_cell.empty())
                endRow();
            closeTable();
            emitPara(m_cursor, m_freshBlock, m_para, m_lists, m_lastListKey);
        }
        m_para = Para{};
    }

    void cellBreak()
    {
        flushBytes();
        if (m_stack.empty() || m_stack.back().dest != Dest::Text)
            return;
        Group g = m_stack.back();
        g.pa.intbl = true;
        endPara(g);
        m_cells.push_back(std::move(m_cell));
        m_cell.clear();
    }

    void rowBreak()
    {
        flushBytes();
        if (m_stack.empty() || m_stack.back().dest != Dest::Text)
            return;
        if (!m_para.empty()) {
            Group g = m_stack.back();
            g.pa.intbl = true;
            endPara(g);
        }
        endRow();
    }

    void endRow()
    {
        if (!m_cell.empty()) {
            m_cells.push_back(std::move(m_cell));
            m_cell.clear();
        }
        if (m_cells.empty())
            return;
        const int cols = qBound(1, int(qMax(m_cells.size(), m_cellx.size())), kMaxColumns);
        if (!m_table) {
            // At the end of the previous paragraph: Qt puts the table after that block.
            QTextTableFormat tf;
            tf.setBorder(1);
            tf.setCellPadding(3);
            tf.setCellSpacing(0);
            tf.setBorderCollapse(true);
            if (int(m_cellx.size()) == cols) {
                QList<QTextLength> widths;
                int prev = 0;
                for (int x : m_cellx) {
                    widths.append(QTextLength(QTextLength::FixedLength, qMax(1, x - prev) / RichText::kTwipsPerPixel));
                    prev = x;
                }
                tf.setColumnWidthConstraints(widths);
            }
            m_table = m_cursor.insertTable(1, cols, tf);
            m_freshBlock = false;
        } else {
            m_table->appendRows(1);
            if (cols > m_table->columns())
                m_table->appendColumns(cols - m_table->columns());
        }
        const int row = m_table->rows() - 1;
        bool fresh = true;
        for (size_t i = 0; i < m_cells.size(); ++i) {
            const int col = qMin(int(i), m_table->columns() - 1);
            QTextCursor cc = m_table->cellAt(row, col).lastCursorPosition();
            if (int(i) <= col)
                fresh = true;
            std::unordered_map<int, QTextList*> lists;
            int lastKey = 0;
            for (const Para& p : m_cells[i])
                emitPara(cc, fresh, p, lists, lastKey);
        }
        m_cells.clear();
    }

    void closeTable()
    {
        if (!m_table)
            return;
        m_cursor = m_table->lastCursorPosition();
        m_cursor.movePosition(QTextCursor::NextBlock);
        m_table = nullptr;
        m_freshBlock = true;
        m_lists.clear();
        m_lastListKey = 0;
    }

    const char* m_p;
    const char* m_end;
    QTextDocument* m_doc;
    QTextCursor m_cursor;
    bool m_freshBlock = true;

    std::vector<Group> m_stack;
    Group m_lastState{Dest::Text, 1, CharState{}, ParaState{}};
    int m_overflow = 0;
    int m_ucSkip = 0;
    bool m_starPending = false;

    int m_ansiCp = 1252;
    int m_deff = 0;
    QByteArray m_bytes;
    int m_bytesCp = 1252;
    std::unordered_map<int, std::unique_ptr<QStringDecoder>> m_decoders;

    std::unordered_map<int, FontDef> m_fonts;
    int m_fontNum = 0;
    QString m_fontName;
    int m_fontCp = 0, m_fontCpg = 0;
    bool m_fontOpen = false;

    std::vector<QRgb> m_colours;
    std::vector<bool> m_colourAuto;
    bool m_colourSeen = false;
    int m_r = 0, m_gr = 0, m_bl = 0;

    std::unordered_map<int, std::vector<int>> m_listDefs;
    std::unordered_map<int, int> m_overrides;
    std::vector<int> m_listLevels;
    int m_listId = 0, m_overrideLs = 0;
    int m_pnStyle = 0;
    bool m_pictOther = false;

    std::vector<QTextCharFormat> m_formats;
    QHash<CharState, int> m_formatIndex;
    std::vector<QTextImageFormat> m_images;
    int m_imageCount = 0;
    Picture m_pict;

    Para m_para;
    std::vector<Para> m_cell;
    std::vector<std::vector<Para>> m_cells;
    std::vector<int> m_cellx;
    QTextTable* m_table = nullptr;
    std::unordered_map<int, QTextList*> m_lists;
    int m_lastListKey = 0;
};

} // namespace

bool RtfReader::isRtf(QByteArrayView bytes)
{
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.sliced(i).startsWith("{\\rtf");
}

void RtfReader::readPlainText(const QByteArray& bytes, QTextDocument* document)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(view);
    if (utf8.hasError())
        text = CodePage::fromCp1252(view.data(), view.size());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    document->setPlainText(text);
    document->setModified(false);
}

void RtfReader::read(const QByteArray& bytes, QTextDocument* document)
{
    if (!isRtf(bytes)) {
        readPlainText(bytes, document);
        return;
    }
    Parser(bytes, document).run();
}

bool RtfReader::read(QIODevice* device, QTextDocument* document)
{
    if (!device || !device->isReadable())
        return false;
    if (!device->isSequential() && device->size() - device->pos() > kMaxInputSize)
        return false;
    QByteArray bytes = device->read(kMaxInputSize + 1);
    if (bytes.size() > kMaxInputSize)
        return false;
    read(bytes, document);
    return true;
}
