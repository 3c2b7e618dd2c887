#include "app/frame_rules.h"

#include "app/settings_store.h"
#include "platform/ini_file.h"

#include <QFileInfo>

namespace FrameRules {

QString windowCaption(const QString& title, bool noteOpen, const QString& noteFile)
{
    if (!noteOpen)
        return title;
    QString name = noteFile.isEmpty() ? QStringLiteral("Untitled") : noteFile;
    // Stored names may carry either separator.
    const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    return QStringLiteral("%1 - %2").arg(title, name);
}

QString nextPickPanelCaption(const QString& caption)
{
    return caption == QLatin1String("Show Pick Panel") ? QStringLiteral("Hide Pick Panel")
                                                        : QStringLiteral("Show Pick Panel");
}

QString capsLockText(bool on) { return on ? QStringLiteral("Caps On") : QStringLiteral("Caps Off"); }
QString numLockText(bool on) { return on ? QStringLiteral("Num ON") : QStringLiteral("Num Off"); }

GridRows extraGridRows(int pickPanelHeight, int designHeight)
{
    // Integer division truncates toward zero, so a panel below its design height gives
    // negative rows that shrink both grids.
    const int rows = (pickPanelHeight - designHeight) / 17;
    const int half = rows / 2;
    GridRows r;
    r.patient = half + ((rows > 0 && rows % 2 == 1) ? 1 : 0);
    r.diagnosis = half;
    return r;
}

int smallestGridHeight(int designHeight)
{
    constexpr int headerAndOneRow = 40;
    return qMin(designHeight, headerAndOneRow);
}

int gridHeight(int designHeight, int extraRows)
{
    return qMax(smallestGridHeight(designHeight), designHeight + 17 * extraRows);
}

int smallestPickPanelHeight(int designHeight, int patientGridHeight, int diagnosisGridHeight)
{
    // Rows shrink the panel's contents as much as the panel only while neither grid is held at
    // its smallest height; one row further and the contents would no longer fit.
    const auto fits = [&](int rows) {
        const GridRows r = extraGridRows(designHeight + 17 * rows, designHeight);
        return patientGridHeight + 17 * r.patient >= smallestGridHeight(patientGridHeight) &&
               diagnosisGridHeight + 17 * r.diagnosis >= smallestGridHeight(diagnosisGridHeight);
    };
    int rows = 0;
    while (fits(rows - 1))
        --rows;
    return designHeight + 17 * rows;
}

int daysSinceBackup(const QDate& lastBackup, const QDate& today)
{
    if (!lastBackup.isValid() || !today.isValid())
        return 0;
    return int(qMax<qint64>(0, lastBackup.daysTo(today) + 1));
}

bool backupDue(const QDate& lastBackup, const QDate& today, int interval)
{
    return daysSinceBackup(lastBackup, today) > interval - 1;
}

QString startupUser()
{
    const QString last = IniReadText(QStringLiteral("User"), QStringLiteral("LastUserName"), QString());
    if (last.isEmpty())
        return QString();
    return IniFile::load(mainIniPath()).hasSection(last) ? last : QString();
}

} // namespace FrameRules
