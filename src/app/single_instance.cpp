#include "app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {
constexpr int ConnectTimeoutMs = 1000;
const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");

bool askRunningInstance(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false;
    socket.write(RaiseRequest);
    socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}
} // namespace

SingleInstance::SingleInstance(const QString& title, QObject* parent) : QObject(parent)
{
    QString stem = title;
    stem.replace(QLatin1Char('\\'), QLatin1Char('/'));
    stem += QStringLiteral(".OneInstance.");
    // Socket names may not hold "/" on every platform; the lock file needs a plain name too.
    QString plain = stem;
    plain.replace(QLatin1Char('/'), QLatin1Char('_'));
    m_name = plain + QStringLiteral("Default");

    QLockFile guard(QDir::temp().filePath(plain + QStringLiteral("CriticalSection")));
    guard.setStaleLockTime(10000);
    guard.tryLock(5000); // a guard that cannot be had only loses the race protection

    if (askRunningInstance(m_name)) {
        m_primary = false;
        return;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by an instance that crashed: nobody answered on it above.
        QLocalServer::removeServer(m_name);
        m_server->listen(m_name);
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // A connection is the request itself; its bytes need not be waited for.
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Q_EMIT activationRequested();
    }
}
