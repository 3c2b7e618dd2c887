#pragma once
// The compressed container of table files ("@LHC", length, CRC-32, LZH code) and the blob
// encoding of memo values held compressed in memory (length, LZH code).

#include <QByteArray>
#include <QIODevice>

namespace LzhContainer {
QByteArray mark(); // "@LHC"
// CRC-32 (zlib's), the container's checksum.
quint32 crc32(const QByteArray& bytes);
// True when the bytes begin with the container mark.
bool isCompressed(const QByteArray& bytes);
// A device is compressed when its first four bytes are the mark; its position is kept.
bool isCompressed(QIODevice& device);

QByteArray compressTable(const QByteArray& plain);
// Raises "Stream read error" for a header cut short, "Not LZH Compressed !",
// "Decompression Error: Size Mismatch !" and "CRC Decompression Error !".
QByteArray decompressTable(const QByteArray& container);

QByteArray compressBlob(const QByteArray& value);
// No checks beyond bounds: a damaged blob gives a wrong or short value, never a crash.
QByteArray decompressBlob(const QByteArray& blob);
} // namespace LzhContainer
