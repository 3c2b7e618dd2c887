#pragma once
// The system's single-byte code page, Windows-1252, in both directions. The five bytes the
// code page leaves undefined map to the C1 controls of the same value, so every byte string
// survives a round trip through QString (scrambled passwords rely on that).

#include <QByteArray>
#include <QString>

namespace CodePage {
QString fromCp1252(const QByteArray& bytes);
QString fromCp1252(const char* data, qsizetype size);
// Characters the code page lacks become '?'.
QByteArray toCp1252(const QString& text);
// True when every character of the text has a byte in the code page.
bool fitsCp1252(const QString& text);
// The byte of one character, or -1 when the code page lacks it.
int cp1252Byte(char16_t ch);
} // namespace CodePage
