#pragma once
// One running program per user session. The first instance listens on a local socket named
// "<title>.OneInstance.Default"; a later one finds it there, asks it to come to the front and
// ends. A lock file named "<title>.OneInstance.CriticalSection" serialises the check between
// instances that start at the same moment.

#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Runs the check at once. `title` is the program's title ("/" replaces a backslash).
    explicit SingleInstance(const QString& title, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when another instance was already running (it has been asked to come forward).
    bool isPrimary() const { return m_primary; }
    QString serverName() const { return m_name; }

Q_SIGNALS:
    // Another instance asked this one to come to the front.
    void activationRequested();

private:
    void acceptConnections();
    QString m_name;
    QLocalServer* m_server = nullptr;
    bool m_primary = true;
};
