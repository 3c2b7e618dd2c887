#pragma once
// Dates as the data files hold them (day counts from 30 December 1899, the fraction being the
// time of day) and as the user sees them (the locale's short date with four-digit years;
// "mm-dd-yy" inside file names).

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace Dates {
QDate epoch(); // 30 December 1899, day 0

double toDayCount(const QDateTime& dateTime);
double toDayCount(const QDate& date);
QDateTime fromDayCount(double days);
QDate dateFromDayCount(double days);

// The locale's short date format with the year widened to four digits. The C locale counts
// as en_US (M/d/yyyy).
QString shortDateFormat();
QString shortDate(const QDate& date);
std::optional<QDate> parseShortDate(const QString& text);

// Short date followed by the locale's long time ("h:mm:ss AP" for en_US).
QString dateTimeText(const QDateTime& dateTime);
// Accepts a date-time text or a date alone; nullopt when the text is neither.
std::optional<QDateTime> parseDateTimeText(const QString& text);

QString fileNameDate(const QDate& date); // "mm-dd-yy"
} // namespace Dates
