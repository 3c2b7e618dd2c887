#pragma once
// TBackupFile writes and reads backup archives: a title, a file count, an optional list of the
// saved files' dates and sizes, and each file cut into zlib or stored blocks, across volumes.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QFile;
class ArchiveFlagStore;

enum TBackupMode { bmAll, bmIncremental };
enum TCompressionLevel { clFastest, clNone, clDefault, clMax };
enum TRestoreMode { rmAll, rmNoOverwrite, rmNewer, rmExisting };

// What the header and the file-ID list of an archive tell.
struct ArchiveContents {
    struct FileId {
        QString path;
        qint32 packedDate = 0;
        qint64 size = 0;
    };
    QString title;
    qint32 total = 0;
    qint32 fileCount = 0;
    bool hasFileList = false;
    QList<FileId> files; // in the order the list holds them
};

class TBackupFile {
public:
    enum ErrorCode {
        NoError = 0,
        ErrReadFile = 1,
        ErrOverwriteFile = 2,
        ErrReadArchive = 3,
        ErrWriteArchive = 4,
        ErrInvalidArchive = 5,
        ErrCompression = 6,
        ErrFileIdTemp = 7,
        ErrUnsafeName = 8, // an entry that would be restored outside where it belongs
    };
    static QString ErrorText(ErrorCode code);

    // Largest part of a file in one block, before compression.
    static constexpr int BlockSize = 16384;
    // A volume is closed once it is within this many bytes of MaxSize.
    static constexpr int VolumeReserve = 16484;
    // Smaller limits cannot hold a block beside the reserve.
    static constexpr qint64 MinMaxSize = 2 * VolumeReserve;

    TBackupFile();
    ~TBackupFile();
    TBackupFile(const TBackupFile&) = delete;
    TBackupFile& operator=(const TBackupFile&) = delete;

    // Options.
    QString BackupTitle;
    TBackupMode BackupMode = bmAll;
    TCompressionLevel CompressionLevel = clDefault;
    qint64 MaxSize = 0; // volume size limit in bytes, 0 for none
    bool SetArchiveFlag = false;
    bool SaveFileID = false;
    TRestoreMode RestoreMode = rmAll;
    bool RestoreFullPath = false;
    const QString Version = QStringLiteral("5.10");

    // Where archive flags are kept; the program directory's store unless set.
    QString ArchiveFlagStorePath;

    // Events. OnProgress gets the file being processed and the percentage done; clearing the
    // flag stops the run (no error message, result false). OnNeedDisk gets the volume number
    // and returns false to stop; without it the user is asked through the Prompter. OnError
    // gets the first error of a run; without it the error is shown through the Prompter.
    std::function<void(const QString& fileName, int percent, bool& continueRun)> OnProgress;
    std::function<bool(int disk)> OnNeedDisk;
    std::function<void(ErrorCode code, const QString& text)> OnError;

    // Writes an archive of every file the patterns name. True when the end mark was written.
    bool WriteArchive(const QStringList& patterns, const QString& archivePath);
    // Restores into the stored paths (empty target folder) or into the target folder. False at
    // once for a missing archive; throws MedrovaError("Cannot read archive") when the header
    // cannot be read.
    bool RestoreArchive(const QString& archivePath, const QString& targetFolder);
    // The header and the file-ID list; nullopt (after reporting "Invalid archive type") when
    // the archive cannot be read.
    std::optional<ArchiveContents> ReadArchiveContents(const QString& archivePath);

    // The files a backup with the current options would take, in order.
    QStringList ListFiles(const QStringList& patterns, const QString& archivePath = QString()) const;

    bool IsBusy() const { return m_busy; }
    // After a run.
    int FilesCount() const { return m_filesCount; }
    qint64 Total() const { return m_total; }
    qint64 ArchiveDataBytes() const { return m_dataBytes; }
    int CompressionRate() const;
    ErrorCode LastError() const { return m_error; }
    QString LastErrorText() const { return m_errorText; }
    bool Cancelled() const { return m_cancelled; }

    // "x.bck" continues in "x.002", "x.003", ...
    static QString VolumeName(const QString& archivePath, int number);

private:
    class Writer;
    class Reader;
    friend class Writer;
    friend class Reader;

    void startRun();
    void endRun();
    void fail(ErrorCode code, const QString& detail = QString());
    bool progress(const QString& fileName, qint64 done);
    bool askForDisk(int number);
    bool failed() const { return m_error != NoError || m_cancelled; }

    bool m_busy = false;
    int m_filesCount = 0;
    qint64 m_total = 0;
    qint64 m_dataBytes = 0;
    ErrorCode m_error = NoError;
    QString m_errorText;
    bool m_cancelled = false;
};
