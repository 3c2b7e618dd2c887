#include "app/key_locks.h"

#include <QDir>
#include <QFile>

namespace {
// True when any LED whose name ends with the suffix is lit (one per keyboard).
bool anyLit(const QDir& root, const QString& suffix)
{
    const QStringList names = root.entryList({QLatin1Char('*') + suffix}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        QFile f(root.filePath(name + QStringLiteral("/brightness")));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray v = f.read(16).trimmed();
        bool ok = false;
        if (v.toInt(&ok) > 0 && ok)
            return true;
    }
    return false;
}
} // namespace

KeyLockState readKeyLocks(const QString& ledRoot)
{
    const QDir root(ledRoot);
    KeyLockState s;
    if (!root.exists())
        return s;
    s.capsLock = anyLit(root, QStringLiteral("::capslock"));
    s.numLock = anyLit(root, QStringLiteral("::numlock"));
    return s;
}
