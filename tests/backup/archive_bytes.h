#pragma once
// Builds archive bytes by hand and walks them, independently of the archive code, so that
// tests can check the layout and feed crafted (broken or hostile) archives to the reader.

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <optional>
#include <zlib.h>

namespace ArchiveBytes {

inline QByteArray le32(qint32 v)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char(quint32(v) >> (8 * i) & 0xFF);
    return b;
}

inline qint32 readLe32(const QByteArray& bytes, qsizetype at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(quint8(bytes.at(at + i))) << (8 * i);
    return qint32(v);
}

inline QByteArray header(const QByteArray& title, qint32 total, qint32 count)
{
    return le32(qint32(title.size())) + title + le32(total) + le32(count);
}

inline QByteArray zlibStream(const QByteArray& data, int level = 6)
{
    uLongf len = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(len), 0);
    compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(data.constData()),
              uLong(data.size()), level);
    out.resize(qsizetype(len));
    return out;
}

inline QByteArray compressedBlock(const QByteArray& data)
{
    const QByteArray z = zlibStream(data);
    return le32(qint32(z.size())) + z;
}
inline QByteArray storedBlock(const QByteArray& data) { return le32(-qint32(data.size())) + data; }
inline QByteArray sequence(const QByteArray& blocks) { return QByteArray("EC2\0", 4) + blocks + le32(0); }

inline QByteArray entry(const QByteArray& name, qint32 date, const QByteArray& sequenceBytes)
{
    return le32(qint32(name.size())) + name + le32(date) + sequenceBytes;
}

inline QByteArray endMark() { return le32(0); }

// One block as found in an archive: its length field and what it stands for.
struct Block {
    qint32 length;
    QByteArray data; // expanded for a zlib block
};
struct Entry {
    QByteArray name;
    qint32 date;
    QList<Block> blocks;
    QByteArray contents() const
    {
        QByteArray all;
        for (const Block& b : blocks)
            all += b.data;
        return all;
    }
};
struct Parsed {
    QByteArray title;
    qint32 total = 0;
    qint32 count = 0;
    QList<Entry> entries;
    QByteArray nextDisk; // the continuation record's name, if the volume ends in one
    bool endMark = false;
};

// Walks one first volume; nullopt when the bytes do not follow the layout.
inline std::optional<Parsed> parse(const QByteArray& b)
{
    Parsed p;
    qsizetype at = 0;
    auto need = [&](qsizetype n) { return n >= 0 && at + n <= b.size(); };
    auto int32 = [&](qint32& v) {
        if (!need(4))
            return false;
        v = readLe32(b, at);
        at += 4;
        return true;
    };
    qint32 n = 0;
    if (!int32(n) || !need(n))
        return std::nullopt;
    p.title = b.mid(at, n);
    at += n;
    if (!int32(p.total) || !int32(p.count))
        return std::nullopt;
    for (;;) {
        if (!int32(n))
            return std::nullopt;
        if (n == 0) {
            p.endMark = true;
            return at == b.size() ? std::optional<Parsed>(p) : std::nullopt;
        }
        if (!need(n))
            return std::nullopt;
        const QByteArray name = b.mid(at, n);
        at += n;
        if (name.startsWith("NEXT:DISK")) {
            p.nextDisk = name;
            return at == b.size() ? std::optional<Parsed>(p) : std::nullopt;
        }
        Entry e;
        e.name = name;
        if (!int32(e.date) || !need(4) || b.mid(at, 4) != QByteArray("EC2\0", 4))
            return std::nullopt;
        at += 4;
        for (;;) {
            qint32 len = 0;
            if (!int32(len))
                return std::nullopt;
            if (len == 0)
                break;
            const qsizetype size = qAbs(len);
            if (!need(size))
                return std::nullopt;
            QByteArray data = b.mid(at, size);
            at += size;
            if (len > 0) {
                QByteArray out(16384, 0);
                uLongf outLen = 16384;
                if (uncompress(reinterpret_cast<Bytef*>(out.data()), &outLen,
                               reinterpret_cast<const Bytef*>(data.constData()), uLong(size))
                    != Z_OK)
                    return std::nullopt;
                out.resize(qsizetype(outLen));
                data = out;
            }
            e.blocks.append({len, data});
        }
        p.entries.append(e);
    }
}

} // namespace ArchiveBytes
