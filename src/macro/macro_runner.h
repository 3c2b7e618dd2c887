#pragma once
// Runs a macro on a worker thread for the program. Each host call is carried to the UI
// thread and the worker waits for its answer; the UI thread never waits for the worker.

#include "macro/macro_host.h"
#include "macro/macro_session.h"

#include <QObject>
#include <memory>

class MacroRunnerPrivate;

class MacroRunner : public QObject {
    Q_OBJECT
public:
    // `ui` is called on the thread this runner lives on (the UI thread); both outlive it.
    MacroRunner(MacroServices& ui, MacroSession& session, QObject* parent = nullptr);
    ~MacroRunner() override; // stops a run in progress and waits for its thread

    // Starts a run; false (nothing started) while a run is in progress.
    bool start(const QString& macroText);
    bool isRunning() const; // MacroRunning
    // Stops the run as Cancel Macro does; a list that is waiting is answered with Cancel.
    void requestStop();
    // The pick list dialog's report for the list last requested (UI thread).
    void answerPick(const PickAction& action);

Q_SIGNALS:
    // Show this list and report the user's action through answerPick().
    void pickListRequested(const PickRequest& request);
    // The reported action has been applied: hide the list.
    void pickListClosed();
    // The run has ended (its controls are already reset).
    void finished();

private:
    std::unique_ptr<MacroRunnerPrivate> d;
};
