#include "backup/backup_file.h"

#include "backup/archive_flag_store.h"
#include "backup/packed_date.h"
#include "platform/code_page.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/program_dir.h"
#include "platform/prompter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryFile>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const QByteArray SequenceMark("EC2\0", 4);
const QByteArray FileListName("FILE:LIST");
const QByteArray NextDiskName("NEXT:DISK");
constexpr int NextDiskRecordLength = 12;

// No faithful archive holds longer names; anything beyond is a broken or hostile file.
constexpr qint32 MaxNameBytes = 32768;
// The file-ID list is read into memory for display; a larger one is not ours.
constexpr qint64 MaxFileListBytes = 16 * 1024 * 1024;

// Case follows the file system: folded where names are case-insensitive, kept where they
// are not (folding there would restore into a different file).
QString foldCase(const QString& path)
{
#ifdef Q_OS_WIN
    return path.toLower();
#else
    return path;
#endif
}

int zlibLevel(TCompressionLevel level)
{
    switch (level) {
    case clFastest: return 1;
    case clNone: return 0;
    case clMax: return 9;
    case clDefault: break;
    }
    return Z_DEFAULT_COMPRESSION;
}

QByteArray le32(qint32 v)
{
    const auto u = quint32(v);
    const char b[4] = {char(u & 0xFF), char(u >> 8 & 0xFF), char(u >> 16 & 0xFF), char(u >> 24 & 0xFF)};
    return QByteArray(b, 4);
}

qint32 fromLe32(const char* b)
{
    const auto* u = reinterpret_cast<const unsigned char*>(b);
    return qint32(quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24);
}

QString cleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

void setModified(const QString& path, qint32 packed)
{
    const QDateTime when = PackedDate::unpack(packed);
    if (!when.isValid())
        return;
    QFile f(path);
    if (f.open(QIODevice::Append))
        f.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace

// ---------------------------------------------------------------------------------------------

class TBackupFile::Writer {
public:
    Writer(TBackupFile& owner, QString archivePath) : m_owner(owner), m_archivePath(std::move(archivePath))
    {
        std::memset(&m_zs, 0, sizeof m_zs);
        m_zOk = deflateInit2(&m_zs, zlibLevel(owner.CompressionLevel), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        m_in.resize(BlockSize);
        m_out.resize(BlockSize);
    }
    ~Writer()
    {
        if (m_zOk)
            deflateEnd(&m_zs);
    }

    bool create()
    {
        m_volume.setFileName(m_archivePath);
        if (!m_volume.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_owner.fail(ErrWriteArchive);
            return false;
        }
        return true;
    }

    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    bool write(const char* data, qint64 size)
    {
        if (m_volume.write(data, size) != size) {
            m_owner.fail(ErrWriteArchive);
            return false;
        }
        return true;
    }
    bool writeInt(qint32 v) { return write(le32(v)); }

    // The file's data block sequence, continued on further volumes when the limit is reached.
    bool writeSequence(QIODevice& in, const QString& displayName, qint64& done)
    {
        for (;;) {
            bool volumeFull = false;
            if (!write(SequenceMark))
                return false;
            m_owner.m_dataBytes += SequenceMark.size();
            while (in.bytesAvailable() > 0) {
                if (m_owner.MaxSize != 0 && m_volume.pos() >= m_owner.MaxSize - VolumeReserve) {
                    volumeFull = true;
                    break;
                }
                const qint64 n = in.read(m_in.data(), BlockSize);
                if (n < 0) {
                    m_owner.fail(ErrReadFile);
                    return false;
                }
                if (n == 0)
                    break;
                if (!writeBlock(int(n)))
                    return false;
                done += n;
                if (!m_owner.progress(displayName, done))
                    return false;
            }
            if (!writeInt(0))
                return false;
            m_owner.m_dataBytes += 4;
            if (!volumeFull)
                return true;
            if (!nextVolume())
                return false;
        }
    }

    bool finish()
    {
        if (!m_volume.isOpen())
            return true;
        const bool ok = m_volume.flush() && m_volume.error() == QFileDevice::NoError;
        m_volume.close();
        if (!ok)
            m_owner.fail(ErrWriteArchive);
        return ok;
    }

private:
    bool writeBlock(int n)
    {
        if (!m_zOk || deflateReset(&m_zs) != Z_OK) {
            m_owner.fail(ErrCompression);
            return false;
        }
        m_zs.next_in = reinterpret_cast<Bytef*>(m_in.data());
        m_zs.avail_in = uInt(n);
        m_zs.next_out = reinterpret_cast<Bytef*>(m_out.data());
        m_zs.avail_out = BlockSize;
        const int r = deflate(&m_zs, Z_FINISH);
        qint32 length;
        if (r == Z_STREAM_END) {
            length = qint32(BlockSize - m_zs.avail_out);
            if (!writeInt(length) || !write(m_out.constData(), length))
                return false;
        } else if (r == Z_OK || r == Z_BUF_ERROR) {
            // The stream does not fit in a block: store the bytes as they are.
            length = -n;
            if (!writeInt(length) || !write(m_in.constData(), n))
                return false;
        } else {
            m_owner.fail(ErrCompression);
            return false;
        }
        m_owner.m_dataBytes += 4 + qAbs(length);
        return true;
    }

    bool nextVolume()
    {
        ++m_number;
        if (m_number > 999) { // the record has room for three digits
            m_owner.fail(ErrWriteArchive);
            return false;
        }
        const QByteArray record = NextDiskName + QByteArray::number(m_number).rightJustified(3, '0');
        if (!writeInt(NextDiskRecordLength) || !write(record) || !finish())
            return false;
        if (!m_owner.askForDisk(m_number)) {
            m_owner.m_cancelled = true;
            return false;
        }
        m_volume.setFileName(VolumeName(m_archivePath, m_number));
        if (!m_volume.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_owner.fail(ErrWriteArchive);
            return false;
        }
        return true;
    }

    TBackupFile& m_owner;
    QString m_archivePath;
    QFile m_volume;
    int m_number = 1;
    z_stream m_zs;
    bool m_zOk = false;
    QByteArray m_in;
    QByteArray m_out;
};

// ---------------------------------------------------------------------------------------------

class TBackupFile::Reader {
public:
    explicit Reader(TBackupFile& owner) : m_owner(owner)
    {
        std::memset(&m_zs, 0, sizeof m_zs);
        m_zOk = inflateInit(&m_zs) == Z_OK;
        m_in.resize(BlockSize);
        m_out.resize(BlockSize);
    }
    ~Reader()
    {
        if (m_zOk)
            inflateEnd(&m_zs);
    }

    bool open(const QString& path)
    {
        m_volume.close();
        m_volume.setFileName(path);
        return m_volume.open(QIODevice::ReadOnly);
    }
    void close() { m_volume.close(); }
    qint64 remaining() const { return m_volume.size() - m_volume.pos(); }

    bool readExact(char* data, qint64 n) { return n >= 0 && n <= remaining() && m_volume.read(data, n) == n; }
    bool readInt(qint32& v)
    {
        char b[4];
        if (!readExact(b, 4))
            return false;
        v = fromLe32(b);
        return true;
    }
    // Bytes whose length came from the archive: checked against what the volume holds.
    std::optional<QByteArray> readBytes(qint32 n)
    {
        if (n < 0 || n > remaining())
            return std::nullopt;
        QByteArray bytes(n, Qt::Uninitialized);
        if (!readExact(bytes.data(), n))
            return std::nullopt;
        return bytes;
    }

    struct Header {
        QString title;
        qint32 total = 0;
        qint32 fileCount = 0;
    };
    std::optional<Header> readHeader()
    {
        Header h;
        qint32 titleLength = 0;
        if (!readInt(titleLength))
            return std::nullopt;
        const auto title = readBytes(titleLength);
        if (!title || !readInt(h.total) || !readInt(h.fileCount))
            return std::nullopt;
        h.title = CodePage::fromCp1252(*title);
        return h;
    }

    // Reads one data block sequence into `out`, or past it when `out` is null.
    bool readSequence(QIODevice* out, const QString& displayName, qint64& done, qint64 outputLimit = -1)
    {
        char mark[4];
        if (!readExact(mark, 4)) {
            m_owner.fail(ErrReadArchive);
            return false;
        }
        if (QByteArray(mark, 4) != SequenceMark) {
            m_owner.fail(ErrInvalidArchive);
            return false;
        }
        qint64 written = 0;
        for (;;) {
            qint32 n = 0;
            if (!readInt(n)) {
                m_owner.fail(ErrReadArchive);
                return false;
            }
            if (n == 0)
                return true;
            // INT_MIN has no positive counterpart; no writer makes blocks beyond BlockSize.
            if (n == INT_MIN || qAbs(n) > BlockSize || qAbs(n) > remaining()) {
                m_owner.fail(ErrInvalidArchive);
                return false;
            }
            const int size = qAbs(n);
            qint64 produced = size; // bytes of the file this block stands for, as far as known
            if (!out) {
                if (!m_volume.seek(m_volume.pos() + size)) {
                    m_owner.fail(ErrReadArchive);
                    return false;
                }
            } else {
                if (!readExact(m_in.data(), size)) {
                    m_owner.fail(ErrReadArchive);
                    return false;
                }
                const char* data = m_in.constData();
                qint64 length = size;
                if (n > 0) {
                    if (!expand(size, length))
                        return false;
                    data = m_out.constData();
                }
                written += length;
                produced = length;
                if (outputLimit >= 0 && written > outputLimit) {
                    m_owner.fail(ErrInvalidArchive);
                    return false;
                }
                if (out->write(data, length) != length) {
                    m_owner.fail(ErrReadFile);
                    return false;
                }
            }
            done += produced;
            if (!m_owner.progress(displayName, done))
                return false;
        }
    }

private:
    // One complete zlib stream into at most BlockSize bytes.
    bool expand(int size, qint64& length)
    {
        if (!m_zOk || inflateReset(&m_zs) != Z_OK) {
            m_owner.fail(ErrCompression);
            return false;
        }
        m_zs.next_in = reinterpret_cast<Bytef*>(m_in.data());
        m_zs.avail_in = uInt(size);
        m_zs.next_out = reinterpret_cast<Bytef*>(m_out.data());
        m_zs.avail_out = BlockSize;
        if (inflate(&m_zs, Z_FINISH) != Z_STREAM_END) {
            m_owner.fail(ErrCompression); // corrupt, truncated, or more than a block's worth
            return false;
        }
        length = BlockSize - m_zs.avail_out;
        return true;
    }

    TBackupFile& m_owner;
    QFile m_volume;
    z_stream m_zs;
    bool m_zOk = false;
    QByteArray m_in;
    QByteArray m_out;
};

// ---------------------------------------------------------------------------------------------

TBackupFile::TBackupFile() = default;
TBackupFile::~TBackupFile() = default;

QString TBackupFile::ErrorText(ErrorCode code)
{
    switch (code) {
    case NoError: return {};
    case ErrReadFile: return QStringLiteral("Cannot read file");
    case ErrOverwriteFile: return QStringLiteral("Overwriting file failed");
    case ErrReadArchive: return QStringLiteral("Cannot read archive");
    case ErrWriteArchive: return QStringLiteral("Cannot write to archive");
    case ErrInvalidArchive: return QStringLiteral("Invalid archive type");
    case ErrCompression: return QStringLiteral("Compression error");
    case ErrFileIdTemp: return QStringLiteral("Cannot create temporary file to save the file IDs");
    case ErrUnsafeName: return QStringLiteral("Refused to restore a file outside the restore folder");
    }
    return {};
}

QString TBackupFile::VolumeName(const QString& archivePath, int number)
{
    const QFileInfo info(archivePath);
    QString base = archivePath;
    if (!info.suffix().isEmpty())
        base.chop(info.suffix().size() + 1);
    return base + QLatin1Char('.') + QString::number(number).rightJustified(3, QLatin1Char('0'));
}

int TBackupFile::CompressionRate() const
{
    if (m_total <= 0)
        return 0; // nothing to compress: no saving, no loss
    return 100 - qRound(100.0 * double(m_dataBytes) / double(m_total));
}

void TBackupFile::startRun()
{
    m_busy = true;
    m_filesCount = 0;
    m_total = 0;
    m_dataBytes = 0;
    m_error = NoError;
    m_errorText.clear();
    m_cancelled = false;
}

void TBackupFile::endRun()
{
    m_busy = false;
    if (m_error == NoError)
        return;
    if (OnError)
        OnError(m_error, m_errorText);
    else
        Prompter::current().error(m_errorText);
}

void TBackupFile::fail(ErrorCode code, const QString& detail)
{
    if (m_error != NoError)
        return; // the first error is the one reported
    m_error = code;
    m_errorText = ErrorText(code);
    if (!detail.isEmpty())
        m_errorText += QStringLiteral(": ") + detail;
}

bool TBackupFile::progress(const QString& fileName, qint64 done)
{
    if (!OnProgress)
        return true;
    const int percent = m_total > 0 ? int(qMin<qint64>(100, done * 100 / m_total)) : 100;
    bool go = true;
    OnProgress(fileName, percent, go);
    if (!go)
        m_cancelled = true;
    return go;
}

bool TBackupFile::askForDisk(int number)
{
    if (OnNeedDisk)
        return OnNeedDisk(number);
    return Prompter::current().message(MessageType::Information, Buttons::OkCancel,
                                       QStringLiteral("Please insert disk %1 and click OK to continue.").arg(number))
        == Answer::Ok;
}

QStringList TBackupFile::ListFiles(const QStringList& patterns, const QString& archivePath) const
{
    QStringList files;
    QSet<QString> seen;
    const QString archive = archivePath.isEmpty() ? QString() : foldCase(cleanAbsolute(archivePath));
    std::optional<ArchiveFlagStore> flags;
    if (BackupMode == bmIncremental)
        flags.emplace(ArchiveFlagStorePath.isEmpty() ? ArchiveFlagStore() : ArchiveFlagStore(ArchiveFlagStorePath));

    // " /s" at the end asks for the subfolders too. Only that ending counts: "/s" inside a
    // path ("/srv/...") is part of the path.
    static const QRegularExpression recurseSwitch(QStringLiteral("\\s+/[sS]\\s*$"));

    std::function<void(const QString&)> listPattern = [&](const QString& text) {
        QString pattern = foldCase(text.trimmed());
        bool recursive = false;
        const QRegularExpressionMatch m = recurseSwitch.match(pattern);
        if (m.hasMatch()) {
            recursive = true;
            pattern = pattern.left(m.capturedStart()).trimmed();
        }
        const QFileInfo info(pattern);
        const QString name = info.fileName();
        if (name.isEmpty())
            return;
        const QDir dir(info.absolutePath());
        // Name filters without QDir::CaseSensitive match regardless of case, so the file
        // names the program uses are found however a list spells them.
        const QFileInfoList matches = dir.entryInfoList(QStringList{name}, QDir::Files | QDir::Hidden | QDir::System,
                                                        QDir::Name);
        for (const QFileInfo& f : matches) {
            const QString path = foldCase(QDir::cleanPath(f.absoluteFilePath()));
            if (seen.contains(path) || path == archive)
                continue;
            if (flags && !flags->isSet(path))
                continue;
            seen.insert(path);
            files << path;
        }
        if (recursive) {
            // Linked folders are not followed: a link to a parent would never end.
            const QFileInfoList subs =
                dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
            for (const QFileInfo& sub : subs)
                listPattern(sub.absoluteFilePath() + QLatin1Char('/') + name + QStringLiteral(" /s"));
        }
    };
    for (const QString& p : patterns)
        listPattern(p);
    return files;
}

bool TBackupFile::WriteArchive(const QStringList& patterns, const QString& archivePath)
{
    if (m_busy)
        return false;
    startRun();
    if (BackupMode == bmIncremental)
        SetArchiveFlag = true;

    struct Item {
        QString path;
        bool isFileList = false;
    };
    QList<Item> items;
    QByteArray listText;
    qint32 fileCount = 0;
    for (const QString& path : ListFiles(patterns, archivePath)) {
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        m_total += info.size();
        ++fileCount;
        items.append({path, false});
        if (SaveFileID) {
            listText += CodePage::toCp1252(path) + '\t'
                + QByteArray::number(PackedDate::pack(info.lastModified())) + '=' + QByteArray::number(info.size())
                + "\r\n";
        }
    }

    if (MaxSize < 0 || (MaxSize > 0 && MaxSize < MinMaxSize)) {
        // Below this a volume cannot take a single block and volumes would never end.
        fail(ErrWriteArchive);
        endRun();
        return false;
    }

    QTemporaryFile fileIds(QDir::tempPath() + QStringLiteral("/FIDXXXXXX"));
    if (SaveFileID) {
        if (!fileIds.open() || fileIds.write(listText) != listText.size() || !fileIds.flush()) {
            fail(ErrFileIdTemp);
            endRun();
            return false;
        }
        items.prepend({fileIds.fileName(), true});
        m_total += listText.size();
    }

    bool endMarkWritten = false;
    std::optional<ArchiveFlagStore> flags;
    if (SetArchiveFlag)
        flags.emplace(ArchiveFlagStorePath.isEmpty() ? ArchiveFlagStore() : ArchiveFlagStore(ArchiveFlagStorePath));
    {
        Writer writer(*this, archivePath);
        const QByteArray title = CodePage::toCp1252(BackupTitle);
        if (writer.create() && writer.writeInt(qint32(title.size())) && writer.write(title)
            && writer.writeInt(qint32(qMin<qint64>(m_total, INT_MAX))) && writer.writeInt(fileCount)) {
            qint64 done = 0;
            for (const Item& item : std::as_const(items)) {
                if (failed())
                    break;
                QFile in(item.path);
                if (!in.exists())
                    continue;
                const QFileInfo info(item.path);
                const qint64 sizeAtRead = info.size();
                const QDateTime modifiedAtRead = info.lastModified();
                if (!in.open(QIODevice::ReadOnly)
                    || (!item.isFileList && !CodePage::fitsCp1252(item.path))) { // the name could not be stored
                    fail(ErrReadFile);
                    break;
                }
                const QByteArray name = item.isFileList ? FileListName : CodePage::toCp1252(item.path);
                const QString displayName = item.isFileList ? QString::fromLatin1(FileListName) : item.path;
                if (!progress(displayName, done) || !writer.writeInt(qint32(name.size())) || !writer.write(name)
                    || !writer.writeInt(PackedDate::pack(modifiedAtRead)) || !writer.writeSequence(in, displayName, done))
                    break;
                in.close();
                if (!item.isFileList) {
                    ++m_filesCount;
                    if (flags)
                        flags->clear(item.path, modifiedAtRead.toMSecsSinceEpoch(), sizeAtRead);
                }
            }
            if (!failed() && writer.writeInt(0))
                endMarkWritten = true;
        }
        if (!writer.finish())
            endMarkWritten = false;
    }
    if (flags)
        flags->save();
    endRun();
    return endMarkWritten && !failed();
}

bool TBackupFile::RestoreArchive(const QString& archivePath, const QString& targetFolder)
{
    if (m_busy || !QFileInfo(archivePath).isFile())
        return false;
    startRun();

    Reader reader(*this);
    std::optional<Reader::Header> header;
    if (reader.open(archivePath))
        header = reader.readHeader();
    if (!header) {
        m_busy = false;
        throw MedrovaError(ErrorText(ErrReadArchive));
    }
    m_total = qMax<qint32>(0, header->total);

    QString target;
    if (!targetFolder.isEmpty())
        target = QDir::cleanPath(QFileInfo(targetFolder).absoluteFilePath()) + QLatin1Char('/');
    const QString programDir = QDir::cleanPath(ProgramDir::path()) + QLatin1Char('/');
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));

    // Where an entry goes, or nullopt when it would land outside its folder.
    auto resolve = [&](const QString& name) -> std::optional<QString> {
        if (name.contains(QChar(0)) || name.split(separators).contains(QStringLiteral("..")))
            return std::nullopt;
        QString path;
        QString base;
        if (target.isEmpty()) {
            const auto local = Paths::isDrivePath(name) ? Paths::toLocal(name)
                                                        : std::optional<QString>(QString(name).replace('\\', '/'));
            if (!local || !QDir::isAbsolutePath(*local))
                return std::nullopt;
            path = QDir::cleanPath(*local);
            base = programDir;
        } else {
            QString rel;
            if (RestoreFullPath) {
                // Below the target folder without the drive (or the root, for local paths).
                rel = Paths::isDrivePath(name) ? name.mid(3) : name;
                rel.replace('\\', '/');
                while (rel.startsWith('/'))
                    rel.remove(0, 1);
            } else {
                rel = name.section(separators, -1);
            }
            if (rel.isEmpty() || rel == QLatin1String("."))
                return std::nullopt;
            path = QDir::cleanPath(target + rel);
            base = target;
        }
        if (!path.startsWith(base) || path.size() == base.size())
            return std::nullopt;
        return path;
    };

    ArchiveFlagStore flags = ArchiveFlagStorePath.isEmpty() ? ArchiveFlagStore() : ArchiveFlagStore(ArchiveFlagStorePath);
    // The file being restored stays uncommitted until its data is complete (it may go on on
    // the next volume), so a broken or cancelled restore never leaves a truncated file behind.
    std::unique_ptr<QSaveFile> pending;
    QString pendingPath;
    qint32 pendingDate = 0;
    auto commitPending = [&]() {
        if (!pending)
            return true;
        const bool ok = pending->commit();
        pending.reset();
        if (!ok) {
            fail(ErrReadFile);
            return false;
        }
        setModified(pendingPath, pendingDate);
        flags.set(pendingPath); // a restored file counts as changed, as a newly written one
        ++m_filesCount;
        return true;
    };

    qint64 done = 0;
    bool finished = false;
    while (!failed()) {
        qint32 length = 0;
        if (!reader.readInt(length)) {
            fail(ErrReadArchive);
            break;
        }
        if (length == 0) {
            finished = commitPending();
            break;
        }
        if (length < 0)
            continue;
        if (length > MaxNameBytes) {
            fail(ErrInvalidArchive);
            break;
        }
        const auto rawName = reader.readBytes(length);
        if (!rawName) {
            fail(ErrInvalidArchive);
            break;
        }
        if (rawName->startsWith(NextDiskName)) {
            const QByteArray digits = rawName->mid(NextDiskName.size());
            bool ok = false;
            const int disk = digits.toInt(&ok);
            if (length != NextDiskRecordLength || !ok || disk < 2
                || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                fail(ErrInvalidArchive);
                break;
            }
            reader.close();
            const QString volume = VolumeName(archivePath, disk);
            bool go = askForDisk(disk);
            while (go && !QFileInfo(volume).isFile())
                go = askForDisk(disk);
            if (!go) {
                m_cancelled = true;
                break;
            }
            if (!reader.open(volume)) {
                fail(ErrReadArchive);
                break;
            }
            reader.readSequence(pending.get(), pendingPath, done);
            continue;
        }
        if (!commitPending())
            break;
        qint32 date = 0;
        if (!reader.readInt(date)) {
            fail(ErrReadArchive);
            break;
        }
        const QString name = CodePage::fromCp1252(*rawName);
        if (*rawName == FileListName) {
            reader.readSequence(nullptr, name, done);
            continue;
        }
        const std::optional<QString> path = resolve(name);
        if (!path) {
            fail(ErrUnsafeName, name);
            break;
        }
        const QFileInfo existing(*path);
        bool write = true;
        switch (RestoreMode) {
        case rmAll: break;
        case rmNoOverwrite: write = !existing.exists(); break;
        case rmNewer:
            write = !existing.exists() || quint32(PackedDate::pack(existing.lastModified())) < quint32(date);
            break;
        case rmExisting: write = existing.exists(); break;
        }
        if (write) {
            pending = std::make_unique<QSaveFile>(*path);
            pendingPath = *path;
            pendingDate = date;
            if (!QDir().mkpath(existing.absolutePath()) || !pending->open(QIODevice::WriteOnly)) {
                pending.reset();
                fail(ErrReadFile);
                break;
            }
        }
        reader.readSequence(pending.get(), name, done);
    }
    pending.reset(); // an unfinished file is discarded; the old one stays
    flags.save();
    endRun();
    return finished && !failed();
}

std::optional<ArchiveContents> TBackupFile::ReadArchiveContents(const QString& archivePath)
{
    if (m_busy)
        return std::nullopt;
    m_error = NoError;
    m_errorText.clear();
    m_cancelled = false;

    auto invalid = [this]() -> std::optional<ArchiveContents> {
        m_error = NoError; // whatever went wrong, it is shown as one error
        fail(ErrInvalidArchive);
        endRun();
        return std::nullopt;
    };

    Reader reader(*this);
    if (!reader.open(archivePath))
        return invalid();
    const auto header = reader.readHeader();
    if (!header)
        return invalid();
    ArchiveContents contents;
    contents.title = header->title;
    contents.total = header->total;
    contents.fileCount = header->fileCount;

    qint32 length = 0;
    if (!reader.readInt(length))
        return invalid();
    if (length != FileListName.size())
        return contents; // the end mark or another first entry: no list
    const auto name = reader.readBytes(length);
    qint32 date = 0;
    if (!name || !reader.readInt(date))
        return invalid();
    if (*name != FileListName)
        return contents;

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    qint64 done = 0;
    const auto savedProgress = std::move(OnProgress);
    OnProgress = nullptr;
    const bool ok = reader.readSequence(&buffer, QString(), done, MaxFileListBytes);
    OnProgress = savedProgress;
    if (!ok)
        return invalid();

    contents.hasFileList = true;
    for (const QByteArray& line : buffer.data().split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.isEmpty())
            continue;
        const int tab = l.lastIndexOf('\t');
        const int eq = l.lastIndexOf('=');
        bool okDate = false, okSize = false;
        ArchiveContents::FileId id;
        if (tab > 0 && eq > tab) {
            id.path = CodePage::fromCp1252(l.left(tab));
            id.packedDate = l.mid(tab + 1, eq - tab - 1).toInt(&okDate);
            id.size = l.mid(eq + 1).toLongLong(&okSize);
        }
        if (!okDate || !okSize || id.size < 0)
            return invalid();
        contents.files.append(id);
    }
    return contents;
}
