#include "platform/program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace {
QMutex g_mutex;
QString g_path;

QString normalised(const QString& folder)
{
    QString p = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}
} // namespace

namespace ProgramDir {

QStringList initFromArguments(const QStringList& args)
{
    QStringList rest;
    QString chosen;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--dir") && i + 1 < args.size()) {
            chosen = args.at(++i);
        } else if (a.startsWith(QLatin1String("--dir="))) {
            chosen = a.mid(6);
        } else {
            rest << a;
        }
    }
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("MEDROVA_HOME");
    if (chosen.isEmpty())
        chosen = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                              : QDir::currentPath();
    QDir().mkpath(chosen);
    set(chosen);
    return rest;
}

void set(const QString& folder)
{
    QMutexLocker lock(&g_mutex);
    g_path = normalised(folder);
}

QString path()
{
    QMutexLocker lock(&g_mutex);
    if (g_path.isEmpty())
        g_path = normalised(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                         : QDir::currentPath());
    return g_path;
}

QString file(const QString& name) { return path() + name; }

} // namespace ProgramDir
