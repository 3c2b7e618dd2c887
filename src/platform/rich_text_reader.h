#pragma once
// Reads RTF as word processors write it into a QTextDocument; bytes that are not RTF load as
// plain text. Every size and nesting depth in the input is bounded: hostile or broken input
// gives a best-effort document, never a crash, a hang or an allocation the input chose.

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;
class QTextDocument;

class RtfReader {
public:
    // Files larger than this are refused by the device overload.
    static constexpr qint64 kMaxInputSize = 256LL * 1024 * 1024;
    // Groups nested deeper than this are skipped with their content.
    static constexpr int kMaxGroupDepth = 256;

    // True when the bytes begin like an RTF document ("{\rtf", after blanks or a BOM).
    static bool isRtf(QByteArrayView bytes);
    // Replaces the document's content.
    static void read(const QByteArray& bytes, QTextDocument* document);
    // False when the device cannot be read or holds more than kMaxInputSize bytes; the
    // document is then left as it was.
    static bool read(QIODevice* device, QTextDocument* document);
    // Text that is not RTF: UTF-8 when it is valid UTF-8, Windows-1252 otherwise.
    static void readPlainText(const QByteArray& bytes, QTextDocument* document);
};
