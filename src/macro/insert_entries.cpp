#include "macro/insert_entries.h"

#include <cstring>

const QList<InsertEntry>& builtInInsertEntries()
{
    static const QList<InsertEntry> entries = {
        {"AgeSex1", QStringLiteral("{Age} {Sex}"), {}, QStringLiteral("{Age} {Sex}"), false},
        {"Allergies1", QStringLiteral("Allergies"), {}, QStringLiteral("ALLERGIES: {Allergies}"), false},
        {"ChronicMedList1", QStringLiteral("Chronic Med List"), QStringLiteral("Ctrl+Alt+M"),
         QStringLiteral("{ListChronicMeds}\n"), true},
        {"TodaysDate1", QStringLiteral("Default Date"), QStringLiteral("Ctrl+Alt+T"), {}, false},
        {"FirstLine1", QStringLiteral("First Line"), QStringLiteral("Ctrl+Alt+F"), QStringLiteral("{HEADER}"), false},
        {"FirstNameProper1", QStringLiteral("{FirstNameProper}"), {}, QStringLiteral("{FirstNameProper}"), false},
        {"Interval1", QStringLiteral("{Interval}"), QStringLiteral("Ctrl+Alt+I"), QStringLiteral("{interval}"), false},
        {"PMHx1", QStringLiteral("PMHx"), QStringLiteral("Ctrl+Alt+P"), QStringLiteral("PMHx: {PMHx}"), false},
        {"PMHxFHxSHxfromdata1", QStringLiteral("PMHx, FHx, SHx"), {},
         QStringLiteral("PMHx: {PMHx}\nSHx: {SHx}\nFHx: {FHx}"), true},
        {"SurgicalandHospitalizationHistory1", QStringLiteral("Surg-Hosp Hx"), {},
         QStringLiteral("SURG Hx and HOSPITALIZATIONS: {PSHxHosp}"), false},
    };
    return entries;
}

bool isDefaultDateEntry(const InsertEntry& entry) { return std::strcmp(entry.name, "TodaysDate1") == 0; }
