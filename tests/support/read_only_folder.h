#pragma once
// A folder in which no file can be created while this object lives, for tests of failed
// saves. Folder permissions stop an ordinary user; for root, who ignores them, the folder is
// made immutable with chattr where the file system allows it. held() says whether either
// worked; a test that needs it skips otherwise.

#include <QFile>
#include <QProcess>
#include <QString>

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path)
    {
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (!canCreate())
            return;
        m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path}) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool held() const { return !canCreate(); }

private:
    bool canCreate() const
    {
        QFile probe(m_path + QStringLiteral("/.probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return false;
        probe.close();
        probe.remove();
        return true;
    }

    QString m_path;
    bool m_immutable = false;
};
