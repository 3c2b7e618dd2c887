#include "platform/safe_save.h"

#include <QSaveFile>

namespace SafeSave {

bool save(const QString& path, const std::function<bool(QIODevice&)>& write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool ok = false;
    try {
        ok = write(file);
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!ok || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit(); // flushes, syncs to disk and renames
}

bool save(const QString& path, const QByteArray& bytes)
{
    return save(path, [&bytes](QIODevice& dev) { return dev.write(bytes) == bytes.size(); });
}

} // namespace SafeSave
