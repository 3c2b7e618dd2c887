#include "macro/macro_host.h"

#include "platform/dates.h"

QString MacroRow::text(const QString& field) const
{
    const QVariant v = fields.value(field);
    if (v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::QDate)
        return Dates::shortDate(v.toDate());
    if (v.metaType().id() == QMetaType::QDateTime)
        return Dates::shortDate(v.toDateTime().date());
    return v.toString();
}

bool MacroRow::flag(const QString& field) const
{
    const QVariant v = fields.value(field);
    return !v.isNull() && v.toBool();
}

QDate MacroRow::date(const QString& field) const
{
    const QVariant v = fields.value(field);
    QDate d;
    if (v.metaType().id() == QMetaType::QDate)
        d = v.toDate();
    else if (v.metaType().id() == QMetaType::QDateTime)
        d = v.toDateTime().date();
    else if (v.metaType().id() == QMetaType::Double)
        d = Dates::dateFromDayCount(v.toDouble());
    else if (v.metaType().id() == QMetaType::QString)
        d = Dates::parseShortDate(v.toString()).value_or(QDate());
    return d.isValid() ? d : Dates::epoch();
}
