#include "platform/paths.h"

#include "platform/ini_file.h"
#include "platform/program_dir.h"

#include <QDir>
#include <QStandardPaths>

namespace Paths {

bool isDrivePath(const QString& path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
           path.at(0).unicode() < 128;
}

std::optional<QString> driveFolder(QChar letter)
{
    const QChar up = letter.toUpper();
    const IniFile ini = IniFile::load(ProgramDir::file(QStringLiteral("Main.ini")));
    if (auto mapped = ini.value(QStringLiteral("Drives"), QString(up)); mapped && !mapped->isEmpty())
        return QDir::cleanPath(*mapped);
    if (up == QLatin1Char('A') || up == QLatin1Char('B'))
        return std::nullopt;
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath();
    return QDir::cleanPath(docs);
}

std::optional<QString> toLocal(const QString& storedPath)
{
    QString p = storedPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!isDrivePath(p))
        return p;
    const auto folder = driveFolder(p.at(0));
    if (!folder)
        return std::nullopt;
    QString rest = p.mid(2);
    while (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    if (rest.isEmpty())
        return *folder;
    return QDir::cleanPath(*folder + QLatin1Char('/') + rest);
}

} // namespace Paths
