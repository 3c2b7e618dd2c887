#pragma once
// Age wording: the calendar difference of two dates with borrowing, the age phrase a
// clinician uses for that age, and the whole years that age conditionals compare.

#include <QDate>
#include <QString>

struct DateDifference {
    int years = 0;
    int months = 0; // 0 to 11
    int days = 0;
};

// Order does not matter: the earlier date is taken as the start.
DateDifference dateDifference(QDate a, QDate b);
// "3 year 4 month old", "18 month old", "1 month 5 day old"; empty from 110 years on.
QString agePhrase(QDate dateOfBirth, QDate at);
int ageInYears(QDate dateOfBirth, QDate at);
