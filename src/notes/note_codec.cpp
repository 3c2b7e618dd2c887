#include "notes/note_codec.h"

#include "platform/errors.h"
#include "platform/rich_text_reader.h"
#include "platform/rich_text_writer.h"
#include "platform/safe_save.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>
#include <zlib.h>

namespace NoteCodec {

namespace {
QString tr(const char* text) { return QCoreApplication::translate("NoteCodec", text); }
const char kMissing[] = "The file cannot be opened as it does not exist.";
const char kDamaged[] = "The file is not a valid compressed note.";
const char kTooLarge[] = "The compressed note is too large to open.";
} // namespace

QByteArray compress(const QByteArray& rtf)
{
    z_stream zs{};
    if (deflateInit2(&zs, 1, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw MedrovaError(tr("The note could not be compressed."));
    QByteArray out;
    out.resize(qsizetype(deflateBound(&zs, uLong(rtf.size()))));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(rtf.constData()));
    zs.avail_in = uInt(rtf.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    const qsizetype written = qsizetype(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw MedrovaError(tr("The note could not be compressed."));
    out.resize(written);
    return out;
}

QByteArray decompress(const QByteArray& data, qsizetype limit)
{
    z_stream zs{};
    if (inflateInit2(&zs, 15) != Z_OK)
        throw MedrovaError(tr(kDamaged));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = uInt(data.size());
    QByteArray out;
    char chunk[64 * 1024];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk);
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        const qsizetype got = qsizetype(sizeof chunk - zs.avail_out);
        if (out.size() + got > limit) {
            inflateEnd(&zs);
            throw MedrovaError(tr(kTooLarge));
        }
        out.append(chunk, got);
        // Z_BUF_ERROR: the input ended before the stream did.
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw MedrovaError(tr(kDamaged));
    return out;
}

void saveCompressed(const QTextDocument& document, const QString& path)
{
    const QByteArray packed = compress(RtfWriter::write(document));
    if (!SafeSave::save(path, packed))
        throw MedrovaError(tr("The note could not be saved to %1.").arg(QDir::toNativeSeparators(path)));
}

bool isCompressedName(const QString& path)
{
    return QFileInfo(path).suffix().startsWith(QLatin1String("rte"), Qt::CaseInsensitive);
}

QByteArray readNoteBytes(const QString& path)
{
    if (!QFileInfo::exists(path))
        throw MedrovaError(tr(kMissing));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw MedrovaError(tr("The file %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
    const qint64 cap = isCompressedName(path) ? kMaxNoteSize : RtfReader::kMaxInputSize;
    if (f.size() > cap)
        throw MedrovaError(tr(kTooLarge));
    const QByteArray bytes = f.read(cap + 1);
    return isCompressedName(path) ? decompress(bytes) : bytes;
}

void loadCompressed(const QString& path, QTextDocument* document)
{
    if (!QFileInfo::exists(path))
        throw MedrovaError(tr(kMissing));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw MedrovaError(tr("The file %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
    if (f.size() > kMaxNoteSize)
        throw MedrovaError(tr(kTooLarge));
    RtfReader::read(decompress(f.read(kMaxNoteSize + 1)), document);
}

} // namespace NoteCodec
