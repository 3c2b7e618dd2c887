#include "macro/macro_runner.h"

#include "macro/macro_interpreter.h"

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <optional>

class MacroRunnerPrivate;

namespace {

// The interpreter's host on the worker thread: every call is carried to the UI thread.
class WorkerHost final : public MacroHost {
public:
    explicit WorkerHost(MacroRunnerPrivate& d) : d(d) {}
    bool paste(const QString& text, bool bold) override;
    Answer message(MessageType type, Buttons buttons, const QString& text) override;
    MacroRow patient() override;
    std::optional<MacroRow> synchronizeData() override;
    bool fieldMode() override;
    QDate defaultNoteDate() override;
    QString userName() override;
    QString textBeforeCursor() override;
    void setFontSize(int size) override;
    void setFontName(const QString& name) override;
    bool pickPrinter(const QString& argument) override;
    void disableButtons() override;
    void resetButtons() override;
    void stopStatusTimer() override;
    PickAction pick(const PickRequest& request) override;
    void closePickList() override;

private:
    MacroRunnerPrivate& d;
};

} // namespace

class MacroRunnerPrivate {
public:
    MacroRunnerPrivate(MacroRunner* q, MacroServices& ui, MacroSession& session) : q(q), ui(ui), session(session) {}

    // Runs fn on the UI thread and waits for its result. When the runner is being destroyed
    // the wait ends with `fallback`.
    template <class R, class F>
    R callOnUi(F fn, R fallback)
    {
        struct State {
            std::optional<R> value;
        };
        auto state = std::make_shared<State>();
        QMetaObject::invokeMethod(
            q,
            [this, state, fn]() mutable {
                R value = fn();
                QMutexLocker lock(&mutex);
                state->value = std::move(value);
                cond.wakeAll();
            },
            Qt::QueuedConnection);
        QMutexLocker lock(&mutex);
        while (!state->value && !abandoned)
            cond.wait(&mutex);
        return state->value ? *state->value : fallback;
    }

    PickAction pick(const PickRequest& request)
    {
        {
            QMutexLocker lock(&mutex);
            pickAnswer.reset();
            pickWaiting = true;
        }
        QMetaObject::invokeMethod(q, [this, request] { Q_EMIT q->pickListRequested(request); }, Qt::QueuedConnection);
        QMutexLocker lock(&mutex);
        while (!pickAnswer && !abandoned && !(interpreter && interpreter->stopRequested()))
            cond.wait(&mutex);
        pickWaiting = false;
        return pickAnswer.value_or(PickAction::cancel());
    }

    MacroRunner* q;
    MacroServices& ui;
    MacroSession& session;
    QThread* thread = nullptr;
    std::unique_ptr<WorkerHost> host;
    std::unique_ptr<MacroInterpreter> interpreter;

    QMutex mutex;
    QWaitCondition cond;
    bool abandoned = false; // the runner is going away: no UI call will be answered
    bool pickWaiting = false;
    std::optional<PickAction> pickAnswer;
};

namespace {

bool WorkerHost::paste(const QString& text, bool bold)
{
    return d.callOnUi([this, text, bold] { return d.ui.paste(text, bold); }, false);
}
Answer WorkerHost::message(MessageType type, Buttons buttons, const QString& text)
{
    return d.callOnUi([this, type, buttons, text] { return d.ui.message(type, buttons, text); }, Answer::Cancel);
}
MacroRow WorkerHost::patient()
{
    return d.callOnUi([this] { return d.ui.patient(); }, MacroRow{});
}
std::optional<MacroRow> WorkerHost::synchronizeData()
{
    return d.callOnUi([this] { return d.ui.synchronizeData(); }, std::optional<MacroRow>{});
}
bool WorkerHost::fieldMode()
{
    return d.callOnUi([this] { return d.ui.fieldMode(); }, false);
}
QDate WorkerHost::defaultNoteDate()
{
    return d.callOnUi([this] { return d.ui.defaultNoteDate(); }, QDate());
}
QString WorkerHost::userName()
{
    return d.callOnUi([this] { return d.ui.userName(); }, QString());
}
QString WorkerHost::textBeforeCursor()
{
    return d.callOnUi([this] { return d.ui.textBeforeCursor(); }, QString());
}
void WorkerHost::setFontSize(int size)
{
    d.callOnUi([this, size] { return d.ui.setFontSize(size), 0; }, 0);
}
void WorkerHost::setFontName(const QString& name)
{
    d.callOnUi([this, name] { return d.ui.setFontName(name), 0; }, 0);
}
bool WorkerHost::pickPrinter(const QString& argument)
{
    return d.callOnUi([this, argument] { return d.ui.pickPrinter(argument); }, false);
}
void WorkerHost::disableButtons()
{
    d.callOnUi([this] { return d.ui.disableButtons(), 0; }, 0);
}
void WorkerHost::resetButtons()
{
    d.callOnUi([this] { return d.ui.resetButtons(), 0; }, 0);
}
void WorkerHost::stopStatusTimer()
{
    d.callOnUi([this] { return d.ui.stopStatusTimer(), 0; }, 0);
}
PickAction WorkerHost::pick(const PickRequest& request)
{
    return d.pick(request);
}
void WorkerHost::closePickList()
{
    d.callOnUi([this] { return Q_EMIT d.q->pickListClosed(), 0; }, 0);
}

} // namespace

MacroRunner::MacroRunner(MacroServices& ui, MacroSession& session, QObject* parent)
    : QObject(parent), d(std::make_unique<MacroRunnerPrivate>(this, ui, session))
{
}

MacroRunner::~MacroRunner()
{
    if (d->thread) {
        {
            QMutexLocker lock(&d->mutex);
            d->abandoned = true;
            if (d->interpreter)
                d->interpreter->requestStop();
            d->cond.wakeAll();
        }
        d->thread->wait();
        delete d->thread;
    }
}

bool MacroRunner::start(const QString& macroText)
{
    if (d->thread)
        return false;
    d->host = std::make_unique<WorkerHost>(*d);
    d->interpreter = std::make_unique<MacroInterpreter>(*d->host, d->session);
    MacroInterpreter* interpreter = d->interpreter.get();
    d->thread = QThread::create([interpreter, macroText] { interpreter->run(macroText); });
    connect(d->thread, &QThread::finished, this, [this] {
        d->thread->deleteLater();
        d->thread = nullptr;
        d->interpreter.reset();
        d->host.reset();
        Q_EMIT finished();
    });
    d->thread->start();
    return true;
}

bool MacroRunner::isRunning() const
{
    return d->thread != nullptr;
}

void MacroRunner::requestStop()
{
    QMutexLocker lock(&d->mutex);
    if (d->interpreter)
        d->interpreter->requestStop();
    d->cond.wakeAll();
}

void MacroRunner::answerPick(const PickAction& action)
{
    QMutexLocker lock(&d->mutex);
    if (!d->pickWaiting)
        return;
    d->pickAnswer = action;
    d->cond.wakeAll();
}
