#include "macro/age.h"

DateDifference dateDifference(QDate a, QDate b)
{
    if (a > b)
        std::swap(a, b);
    DateDifference r;
    r.years = b.year() - a.year();
    if (b.month() < a.month()) {
        r.months += 12;
        r.years -= 1;
    }
    r.months += b.month() - a.month();
    if (b.day() < a.day()) {
        // Borrow the length of the birth month, as clinicians count.
        r.days += QDate(a.year(), a.month(), 1).daysInMonth();
        if (r.months == 0) {
            r.years -= 1;
            r.months = 11;
        } else {
            r.months -= 1;
        }
    }
    r.days += b.day() - a.day();
    return r;
}

QString agePhrase(QDate dateOfBirth, QDate at)
{
    const DateDifference d = dateDifference(dateOfBirth, at);
    const auto n = [](int v) { return QString::number(v); };
    if (d.years == 0) {
        if (d.months == 0)
            return n(d.days) + QStringLiteral(" day old");
        if (d.months == 1)
            return QStringLiteral("1 month ") + n(d.days) + QStringLiteral(" day old");
        return n(d.months) + QStringLiteral(" month old");
    }
    if (d.years == 1)
        return n(12 + d.months) + QStringLiteral(" month old");
    if (d.years <= 4)
        return n(d.years) + QStringLiteral(" year ") + n(d.months) + QStringLiteral(" month old");
    if (d.years <= 109)
        return n(d.years) + QStringLiteral(" year old");
    return QString();
}

int ageInYears(QDate dateOfBirth, QDate at)
{
    return dateDifference(dateOfBirth, at).years;
}
