#include "store/lzh_container.h"

#include "platform/errors.h"
#include "store/lzh_codec.h"

#include <QtEndian>
#include <zlib.h>

namespace {
constexpr qsizetype HeaderSize = 12;

void appendLe32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}
} // namespace

namespace LzhContainer {

QByteArray mark() { return QByteArrayLiteral("@LHC"); }

quint32 crc32(const QByteArray& bytes)
{
    uLong crc = ::crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt: feed large inputs in blocks.
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt n = uInt(std::min<qsizetype>(left, 1 << 30));
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(p), n);
        p += n;
        left -= n;
    }
    return quint32(crc);
}

bool isCompressed(const QByteArray& bytes) { return bytes.startsWith(mark()); }

bool isCompressed(QIODevice& device) { return device.peek(4) == mark(); }

QByteArray compressTable(const QByteArray& plain)
{
    if (plain.size() > std::numeric_limits<qint32>::max())
        throw MedrovaError(QStringLiteral("Stream write error"));
    QByteArray out = mark();
    appendLe32(out, quint32(plain.size()));
    appendLe32(out, crc32(plain));
    out += LzhCodec::compress(plain);
    return out;
}

QByteArray decompressTable(const QByteArray& container)
{
    if (container.size() < HeaderSize)
        throw MedrovaError(QStringLiteral("Stream read error"));
    if (!isCompressed(container))
        throw MedrovaError(QStringLiteral("Not LZH Compressed !"));
    const qint32 size = qFromLittleEndian<qint32>(container.constData() + 4);
    const quint32 crc = qFromLittleEndian<quint32>(container.constData() + 8);
    const QByteArray plain =
        LzhCodec::expand(container.constData() + HeaderSize, container.size() - HeaderSize, size);
    if (plain.size() != qsizetype(std::max<qint32>(size, 0)) || size < 0)
        throw MedrovaError(QStringLiteral("Decompression Error: Size Mismatch !"));
    if (crc32(plain) != crc)
        throw MedrovaError(QStringLiteral("CRC Decompression Error !"));
    return plain;
}

QByteArray compressBlob(const QByteArray& value)
{
    QByteArray out;
    appendLe32(out, quint32(value.size()));
    out += LzhCodec::compress(value);
    return out;
}

QByteArray decompressBlob(const QByteArray& blob)
{
    if (blob.size() < 4)
        return QByteArray();
    const qint32 size = qFromLittleEndian<qint32>(blob.constData());
    QByteArray value = LzhCodec::expand(blob.constData() + 4, blob.size() - 4, size);
    if (value.size() > size)
        value.truncate(size);
    return value;
}

} // namespace LzhContainer
