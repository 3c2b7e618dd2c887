#include "backup/archive_flag_store.h"

#include "platform/program_dir.h"
#include "platform/safe_save.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// A store larger than this is not ours; reading it would only cost memory.
constexpr qint64 MaxStoreBytes = 64 * 1024 * 1024;

QString key(const QString& filePath) { return QDir::cleanPath(QFileInfo(filePath).absoluteFilePath()); }
} // namespace

ArchiveFlagStore::ArchiveFlagStore() : ArchiveFlagStore(ProgramDir::file(QString::fromLatin1(FileName))) {}

ArchiveFlagStore::ArchiveFlagStore(QString storePath) : m_path(std::move(storePath)) { load(); }

void ArchiveFlagStore::load()
{
    // One line per file: modification time in ms since the epoch, tab, size, tab, path (UTF-8).
    // Lines that do not parse are dropped, which leaves those files' flags set: the safe side.
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > MaxStoreBytes)
        return;
    while (!f.atEnd()) {
        QByteArray line = f.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const int t1 = line.indexOf('\t');
        const int t2 = t1 < 0 ? -1 : line.indexOf('\t', t1 + 1);
        if (t2 < 0)
            continue;
        bool ok1 = false, ok2 = false;
        const qint64 mtime = line.left(t1).toLongLong(&ok1);
        const qint64 size = line.mid(t1 + 1, t2 - t1 - 1).toLongLong(&ok2);
        const QString path = QString::fromUtf8(line.mid(t2 + 1));
        if (ok1 && ok2 && size >= 0 && !path.isEmpty())
            m_records.insert(path, {mtime, size});
    }
}

bool ArchiveFlagStore::isSet(const QString& filePath) const
{
    const auto it = m_records.constFind(key(filePath));
    if (it == m_records.constEnd())
        return true;
    const QFileInfo info(filePath);
    return !info.exists() || info.lastModified().toMSecsSinceEpoch() != it->modifiedMSecs
        || info.size() != it->size;
}

void ArchiveFlagStore::clear(const QString& filePath)
{
    const QFileInfo info(filePath);
    if (!info.exists())
        return;
    clear(filePath, info.lastModified().toMSecsSinceEpoch(), info.size());
}

void ArchiveFlagStore::clear(const QString& filePath, qint64 modifiedMSecs, qint64 size)
{
    m_records.insert(key(filePath), {modifiedMSecs, size});
    m_dirty = true;
}

void ArchiveFlagStore::set(const QString& filePath)
{
    if (m_records.remove(key(filePath)) > 0)
        m_dirty = true;
}

bool ArchiveFlagStore::save()
{
    if (!m_dirty)
        return true;
    QByteArray bytes;
    for (auto it = m_records.constBegin(); it != m_records.constEnd(); ++it) {
        bytes += QByteArray::number(it->modifiedMSecs) + '\t' + QByteArray::number(it->size) + '\t'
            + it.key().toUtf8() + '\n';
    }
    if (!SafeSave::save(m_path, bytes))
        return false;
    m_dirty = false;
    return true;
}
