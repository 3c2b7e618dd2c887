#include "store/background_save.h"

#include <QMetaObject>

BackgroundSave::BackgroundSave(QObject* parent) : QObject(parent), m_thread([this] { work(); }) {}

BackgroundSave::~BackgroundSave()
{
    {
        std::unique_lock lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void BackgroundSave::save(const QString& path, QByteArray plain, FileForm form)
{
    {
        std::unique_lock lock(m_mutex);
        auto same = std::find_if(m_queue.begin(), m_queue.end(), [&path](const Job& j) { return j.path == path; });
        if (same != m_queue.end()) {
            same->plain = std::move(plain);
            same->form = form;
        } else {
            m_queue.push_back({path, std::move(plain), form});
        }
    }
    m_wake.notify_one();
}

bool BackgroundSave::busy() const
{
    std::unique_lock lock(m_mutex);
    return m_running || !m_queue.empty();
}

void BackgroundSave::wait()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_running && m_queue.empty(); });
}

std::optional<MedrovaError> BackgroundSave::finish()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_running && m_queue.empty(); });
    return std::exchange(m_failure, std::nullopt);
}

void BackgroundSave::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        // Queued saves are written before stopping: each holds posted changes.
        if (m_queue.empty())
            return;
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_running = true;
        lock.unlock();
        std::optional<MedrovaError> failure;
        try {
            Table::saveStream(job.path, job.plain, job.form);
        } catch (const MedrovaError& e) {
            failure = e;
        } catch (const std::exception& e) {
            failure = MedrovaError(QString::fromUtf8(e.what()));
        }
        job = {};
        lock.lock();
        m_running = false;
        if (failure && !m_failure) {
            m_failure = std::move(failure);
            QMetaObject::invokeMethod(this, &BackgroundSave::deliver, Qt::QueuedConnection);
        }
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

void BackgroundSave::deliver()
{
    std::optional<MedrovaError> failure;
    {
        std::unique_lock lock(m_mutex);
        failure = std::exchange(m_failure, std::nullopt);
    }
    if (failure)
        Q_EMIT failed(failure->text());
}

#include "moc_background_save.cpp"
