#include "app/window_placement.h"

#include "platform/errors.h"
#include "platform/ini_file.h"
#include "app/settings_store.h"

#include <QDir>
#include <QStringList>

void saveWindowPlacement(const QString& section, const WindowPlacement& p)
{
    // All five keys in one write, so that a failure never leaves half a placement.
    const QString path = mainIniPath();
    IniFile ini = IniFile::load(path);
    ini.setValue(section, QStringLiteral("Flags"), QString::number(p.flags));
    ini.setValue(section, QStringLiteral("ShowCmd"), QString::number(p.showCmd));
    ini.setValue(section, QStringLiteral("PixelsPerInch"), QString::number(p.pixelsPerInch));
    ini.setValue(section, QStringLiteral("MinMaxPos"),
                 QStringLiteral("%1,%2,%3,%4").arg(p.minPosition.x()).arg(p.minPosition.y())
                     .arg(p.maxPosition.x()).arg(p.maxPosition.y()));
    ini.setValue(section, QStringLiteral("NormPos"),
                 QStringLiteral("%1,%2,%3,%4").arg(p.normal.left()).arg(p.normal.top())
                     .arg(p.normal.left() + p.normal.width()).arg(p.normal.top() + p.normal.height()));
    if (!ini.save(path))
        throw MedrovaError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path)));
}

std::optional<QRect> restoredWindowRect(const QString& section, const QRect& current,
                                        int currentPixelsPerInch, bool fixedSize)
{
    const IniFile ini = IniFile::load(mainIniPath());
    const auto minMax = ini.value(section, QStringLiteral("MinMaxPos"));
    const auto norm = ini.value(section, QStringLiteral("NormPos"));
    if (!minMax && !norm)
        return std::nullopt;
    if (const auto ppi = ini.value(section, QStringLiteral("PixelsPerInch"))) {
        bool ok = false;
        if (ppi->toInt(&ok) != currentPixelsPerInch || !ok)
            return std::nullopt;
    }
    int values[4] = {current.left(), current.top(), current.left() + current.width(),
                     current.top() + current.height()};
    const QStringList parts = norm.value_or(QString()).split(QLatin1Char(','));
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const int v = parts.at(i).trimmed().toInt(&ok);
        if (ok)
            values[i] = v;
    }
    const int left = values[0], top = values[1], right = values[2], bottom = values[3];
    if (left >= right)
        return std::nullopt;
    if (fixedSize)
        return QRect(left, top, current.width(), current.height());
    return QRect(left, top, right - left, bottom - top);
}
