#include "platform/code_page.h"

namespace {
// 0x80..0x9F; undefined positions keep their C1 value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

namespace CodePage {

QString fromCp1252(const char* data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar* o = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        o[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

QString fromCp1252(const QByteArray& bytes) { return fromCp1252(bytes.constData(), bytes.size()); }

int cp1252Byte(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == ch)
            return 0x80 + i;
    return -1;
}

QByteArray toCp1252(const QString& text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* o = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = cp1252Byte(text.at(i).unicode());
        o[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

bool fitsCp1252(const QString& text)
{
    for (QChar c : text)
        if (cp1252Byte(c.unicode()) < 0)
            return false;
    return true;
}

} // namespace CodePage
