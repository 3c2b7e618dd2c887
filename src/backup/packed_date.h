#pragma once
// File dates as archives store them: the 32-bit packed local date-time with two-second
// resolution (date in the high word, time in the low word, years counted from 1980).

#include <QDateTime>
#include <QtGlobal>

namespace PackedDate {
// Dates before 1980 become 1 January 1980, dates after 2107 its last day.
qint32 pack(const QDateTime& dateTime);
// An invalid QDateTime when the fields are out of range (month 13, hour 25, ...).
QDateTime unpack(qint32 packed);
} // namespace PackedDate
