#pragma once
// Linux files have no archive attribute, so the program keeps one: a list in the program
// directory of the files whose flag was cleared, with their modification time and size then.
// A file's flag counts as set when it has no record or its time or size has changed since.

#include <QHash>
#include <QString>

class ArchiveFlagStore {
public:
    static constexpr const char* FileName = "ArchiveFlags.lst";

    // The store in the program directory.
    ArchiveFlagStore();
    explicit ArchiveFlagStore(QString storePath);

    bool isSet(const QString& filePath) const;
    // Records the file as it is now; a missing file keeps its flag set.
    void clear(const QString& filePath);
    // Records the given state (the time and size seen when the file was read for a backup).
    void clear(const QString& filePath, qint64 modifiedMSecs, qint64 size);
    void set(const QString& filePath);

    // Writes the store when anything changed; false when the write failed.
    bool save();

private:
    struct State {
        qint64 modifiedMSecs = 0;
        qint64 size = 0;
    };
    void load();

    QString m_path;
    QHash<QString, State> m_records;
    bool m_dirty = false;
};
