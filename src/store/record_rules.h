#pragma once
// The rules that run on table events: patient IDs and checks, immediate saves, the history
// row following its patient, the name-family and category filters, the sorted macro library.

#include <QString>

class TDataModule1;
class Table;

class RecordRules {
public:
    // Installs the handlers on the data module's tables.
    explicit RecordRules(TDataModule1& dm);

    // The name-family match of a row's last name against the remembered one (suffixes JR, SR,
    // JR., SR., II, III, IV ignored).
    static bool familyMatches(const QString& rowLastName, const QString& rememberedLastName);
    // Upper case of the letters a to z only.
    static QString upperAscii(const QString& text);

    static QString incompletePatientWarning();
    static QString invalidPatientWarning();

private:
    void installPatient();
    void installHistory();
    void installDx();
    void installInserts();
    void computeNextPatientId(Table& t);
    void checkPatient(Table& t);
    TDataModule1& m_dm;
};
