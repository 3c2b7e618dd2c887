#pragma once
// Writes a QTextDocument as a standard RTF document that word processors open: font and
// colour tables, character and paragraph formatting, lists, tables, pictures and Unicode text.

#include <QByteArray>

class QIODevice;
class QTextDocument;

class RtfWriter {
public:
    static QByteArray write(const QTextDocument& document);
    // False when the device does not take every byte.
    static bool write(const QTextDocument& document, QIODevice* device);
};
