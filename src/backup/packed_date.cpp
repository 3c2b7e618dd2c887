#include "backup/packed_date.h"

namespace PackedDate {

qint32 pack(const QDateTime& dateTime)
{
    const QDateTime local = dateTime.toLocalTime();
    QDate d = local.date();
    QTime t = local.time();
    if (!d.isValid() || d.year() < 1980) {
        d = QDate(1980, 1, 1);
        t = QTime(0, 0);
    } else if (d.year() > 2107) {
        d = QDate(2107, 12, 31);
        t = QTime(23, 59, 58);
    }
    const quint32 date = quint32(d.year() - 1980) << 9 | quint32(d.month()) << 5 | quint32(d.day());
    const quint32 time = quint32(t.hour()) << 11 | quint32(t.minute()) << 5 | quint32(t.second() / 2);
    return qint32(date << 16 | time);
}

QDateTime unpack(qint32 packed)
{
    const quint32 v = quint32(packed);
    const quint32 date = v >> 16;
    const quint32 time = v & 0xFFFF;
    const QDate d(int(date >> 9) + 1980, int(date >> 5 & 0xF), int(date & 0x1F));
    const QTime t(int(time >> 11), int(time >> 5 & 0x3F), int(time & 0x1F) * 2);
    if (!d.isValid() || !t.isValid())
        return {};
    return QDateTime(d, t);
}

} // namespace PackedDate
