#pragma once
// Compresses and writes table streams on a worker thread, so that a post of a large table
// does not wait for the file. The stream is taken by the caller on its own thread: the worker
// never sees a table. A stream queued for a file replaces one still waiting for the same file
// (it already holds every change of the older one); a failure is sent back to the thread that
// owns this object.

#include "platform/errors.h"
#include "store/table.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

class BackgroundSave : public QObject {
    Q_OBJECT
public:
    explicit BackgroundSave(QObject* parent = nullptr);
    // Waits for the saves still queued.
    ~BackgroundSave() override;

    void save(const QString& path, QByteArray plain, FileForm form);
    // True while a save is queued or running.
    bool busy() const;
    // Blocks until every queued save has finished.
    void wait();
    // wait(), and the first failure not yet sent with failed() (it is then not sent any more).
    std::optional<MedrovaError> finish();

Q_SIGNALS:
    // On the owner's thread, once per failure (later failures while one waits are dropped:
    // the user sees one message, and the next save tries again anyway).
    void failed(const QString& text);

private:
    struct Job {
        QString path;
        QByteArray plain;
        FileForm form;
    };
    void work();
    void deliver();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // a job arrived or stop
    std::condition_variable m_idle; // the queue ran empty
    std::deque<Job> m_queue;
    bool m_running = false;
    bool m_stop = false;
    std::optional<MedrovaError> m_failure;
    std::thread m_thread;
};
