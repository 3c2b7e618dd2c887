#pragma once
// A macro run without a window, for checking a macro: the note starts with a given text,
// lists and questions are answered from scripts, and the messages are collected.

#include "macro/macro_host.h"

#include <QQueue>
#include <QStringList>
#include <functional>

// Where a dry run gets its rows. The program directory's tables provide them in the tool.
class MacroRowSource {
public:
    virtual ~MacroRowSource() = default;
    virtual std::optional<MacroRow> patient(int id) = 0;
    virtual std::optional<MacroRow> history(int id) = 0;
};

struct DryRunInput {
    QString macro;
    MacroRow patient;
    std::optional<MacroRow> history;
    QDate noteDate;
    QString textBefore;
    QString userName;
    QList<PickAction> picks;  // one per list, in order; a list beyond them is closed
    QList<Answer> answers;    // one per question, in order; a question beyond them gets No
};

struct DryRunResult {
    QString note;          // the text inserted (without textBefore)
    QStringList messages;  // "[type] text"
    int listsShown = 0;
    int picksLeft = 0;     // scripted picks that no list used
};

DryRunResult dryRunMacro(const DryRunInput& input);
