#pragma once
// Formatting of note text that QTextCharFormat has no field for: the exact vertical offset in
// twips (RTF's \up and \dn) and the original bytes of a picture, so both survive load and save.

#include <QByteArray>
#include <QTextCharFormat>
#include <QTextImageFormat>

namespace RichText {

// Vertical offset in twips, positive raises; kept as an int so a 50-twip shift stays 50.
constexpr int VerticalOffsetProperty = QTextFormat::UserProperty + 0x5201;
// Picture bytes as read ("png" or "jpeg" in ImageTypeProperty), written back unchanged.
constexpr int ImageDataProperty = QTextFormat::UserProperty + 0x5202;
constexpr int ImageTypeProperty = QTextFormat::UserProperty + 0x5203;

// Sets the offset (0 for none, stored explicitly so a merge removes an older one); Qt's baseline offset follows so the shift shows on
// screen. pointSize is the size of the shifted text, used to express the offset in percent.
void setVerticalOffset(QTextCharFormat& format, int twips, qreal pointSize);
int verticalOffset(const QTextCharFormat& format);

// Twips per layout pixel: the document lays out at 96 pixels per inch, RTF counts 1440 twips.
constexpr double kTwipsPerPixel = 15.0;

} // namespace RichText
