#pragma once
// The recently used note files shown under File > Reopen: at most 28 entries, newest first,
// each the note's full file name followed by the patient ID. Stored in Main.ini, section
// "MRU Items", keys F0, F1, ... in list order.

#include <QStringList>

class RecentFileList {
public:
    static constexpr int MaxEntries = 28;

    void load();
    // Erases the section and writes the list anew; raises when Main.ini cannot be written.
    void save() const;

    // Puts the entry on top; an entry already listed moves there, the oldest drops off.
    void add(const QString& entry);
    void clear() { m_entries.clear(); }
    const QStringList& entries() const { return m_entries; }

private:
    QStringList m_entries;
};
