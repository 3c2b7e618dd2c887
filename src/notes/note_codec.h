#pragma once
// The compressed note format ".rte": exactly one zlib stream (level 1, 32 KiB window, memory
// level 8, default strategy) of the note's RTF, with no other header or trailer.

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace NoteCodec {

// Inflating stops with an error beyond this many bytes of RTF.
constexpr qsizetype kMaxNoteSize = 64LL * 1024 * 1024;

QByteArray compress(const QByteArray& rtf);
// Throws MedrovaError when the bytes are not one complete zlib stream or inflate beyond
// kMaxNoteSize.
QByteArray decompress(const QByteArray& data, qsizetype limit = kMaxNoteSize);

// The note's RTF, compressed, written through a safe save. Throws MedrovaError on failure.
void saveCompressed(const QTextDocument& document, const QString& path);
// Throws "The file cannot be opened as it does not exist." for a missing file; content that
// is not RTF loads as plain text.
void loadCompressed(const QString& path, QTextDocument* document);

// The raw bytes of a note file as RTF (or text): inflated when the name ends in ".rte".
QByteArray readNoteBytes(const QString& path);
bool isCompressedName(const QString& path);

} // namespace NoteCodec
