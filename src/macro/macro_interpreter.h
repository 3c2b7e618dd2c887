#pragma once
// Runs one macro text into the note through a MacroHost, synchronously: the scanner, the
// command and nested runners and the restarts after a splice all happen inside run().

#include "macro/macro_host.h"
#include "macro/macro_session.h"

#include <QString>
#include <atomic>

class MacroInterpreter {
public:
    MacroInterpreter(MacroHost& host, MacroSession& session);

    // Runs the macro to its end (or until stopped); returns when the run has ended and
    // resetButtons has been called.
    void run(const QString& macroText);
    // Cancel Macro from outside; safe from any thread. Read before every character.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

private:
    friend class tParseMacro;
    friend class tProcessList;
    friend class tProcessNested;
    friend class MacroOps;

    MacroHost& m_host;
    MacroSession& m_session;
    std::atomic_bool m_stop{false};
    int m_errorCount = 0;
};
