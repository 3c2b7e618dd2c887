#pragma once
// The Insert menu's built-in entries: each runs a small macro at the insertion point of the
// active note ("Default Date" pastes the visit date at once and runs nothing).

#include <QList>
#include <QString>

struct InsertEntry {
    const char* name;     // the command's object name
    QString caption;
    QString shortcut;
    QString macroText;    // empty for "Default Date"
    bool disablesButtons; // the run disables the main window's controls first
};

const QList<InsertEntry>& builtInInsertEntries();
// The entry pasting the default note date instead of running a macro.
bool isDefaultDateEntry(const InsertEntry& entry);
