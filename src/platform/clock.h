#pragma once
// Where "today" and "now" come from. The program uses the system clock; tests install a
// fixed clock so that ages, intervals and file-name dates are repeatable.

#include <QDate>
#include <QDateTime>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }

    // The clock in use; the system clock unless one was installed.
    static const Clock& current();
    // Installs a clock (nullptr restores the system clock). The caller keeps ownership.
    static void install(const Clock* clock);
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    void set(QDateTime at) { m_at = std::move(at); }

private:
    QDateTime m_at;
};
