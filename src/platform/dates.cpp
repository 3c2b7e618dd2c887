#include "platform/dates.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {
QLocale uiLocale()
{
    QLocale l = QLocale::system();
    if (l.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return l;
}

QString widenYear(QString fmt)
{
    if (!fmt.contains(QLatin1String("yyyy")))
        fmt.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return fmt;
}
} // namespace

namespace Dates {

QDate epoch() { return QDate(1899, 12, 30); }

double toDayCount(const QDate& date) { return double(epoch().daysTo(date)); }

double toDayCount(const QDateTime& dateTime)
{
    const double day = toDayCount(dateTime.date());
    const double frac = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the fraction still counts forward from the day's start, as the
    // files store it: -1.25 is 29 Dec 1899 06:00.
    return day >= 0 ? day + frac : day - frac;
}

QDateTime fromDayCount(double days)
{
    const double whole = std::trunc(days);
    const double frac = std::fabs(days - whole);
    const QDate d = epoch().addDays(qint64(whole));
    const int ms = int(std::llround(frac * 86400000.0));
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(std::min(ms, 86399999)));
}

QDate dateFromDayCount(double days) { return epoch().addDays(qint64(std::trunc(days))); }

QString shortDateFormat() { return widenYear(uiLocale().dateFormat(QLocale::ShortFormat)); }

QString shortDate(const QDate& date) { return uiLocale().toString(date, shortDateFormat()); }

std::optional<QDate> parseShortDate(const QString& text)
{
    const QString t = text.trimmed();
    QDate d = uiLocale().toDate(t, shortDateFormat());
    if (!d.isValid())
        d = uiLocale().toDate(t, uiLocale().dateFormat(QLocale::ShortFormat));
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString dateTimeText(const QDateTime& dateTime)
{
    const QLocale l = uiLocale();
    const QString date = shortDate(dateTime.date());
    if (dateTime.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + l.toString(dateTime.time(), QStringLiteral("h:mm:ss AP"));
}

std::optional<QDateTime> parseDateTimeText(const QString& text)
{
    const QString t = text.trimmed();
    const QLocale l = uiLocale();
    const QString df = shortDateFormat();
    for (const QString& tf : {QStringLiteral("h:mm:ss AP"), QStringLiteral("h:mm AP"),
                              QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        const QDateTime dt = l.toDateTime(t, df + QLatin1Char(' ') + tf);
        if (dt.isValid())
            return dt;
    }
    if (auto d = parseShortDate(t))
        return QDateTime(*d, QTime(0, 0));
    return std::nullopt;
}

QString fileNameDate(const QDate& date) { return date.toString(QStringLiteral("MM-dd-yy")); }

} // namespace Dates
