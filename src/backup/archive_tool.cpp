// medrova-tool archive: create, list and restore backup archives from the command line.

#include "backup/backup_file.h"
#include "backup/packed_date.h"
#include "tool/tool_command.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace {

const char* const Usage =
    "Usage: medrova-tool archive create ARCHIVE FILE... [--title TEXT] [--level none|fastest|default|max]\n"
    "                                   [--max-size BYTES] [--changed-only]\n"
    "       medrova-tool archive list ARCHIVE\n"
    "       medrova-tool archive restore ARCHIVE [--to DIR] [--mode all|no-overwrite|newer|existing]\n";

// Splits "--name value" / "--name=value" options from positional arguments.
struct Options {
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
    QString error;
};

Options parse(const QStringList& args, const QSet<QString>& withValue, const QSet<QString>& flags)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        QString a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            o.positional << a;
            continue;
        }
        QString value;
        const int eq = a.indexOf(QLatin1Char('='));
        const bool inlineValue = eq > 0;
        if (inlineValue) {
            value = a.mid(eq + 1);
            a = a.left(eq);
        }
        if (withValue.contains(a)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    o.error = QStringLiteral("Missing value for ") + a;
                    return o;
                }
                value = args[++i];
            }
            o.values.insert(a, value);
        } else if (flags.contains(a) && !inlineValue) {
            o.flags.insert(a);
        } else {
            o.error = QStringLiteral("Unknown option: ") + a;
            return o;
        }
    }
    return o;
}

void attachReporting(TBackupFile& backup, QTextStream& err)
{
    backup.OnError = [&err](TBackupFile::ErrorCode, const QString& text) { err << text << "\n"; };
}

int create(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const Options o = parse(args, {"--title", "--level", "--max-size"}, {"--changed-only"});
    if (!o.error.isEmpty() || o.positional.size() < 2) {
        err << (o.error.isEmpty() ? QString() : o.error + "\n") << Usage;
        return 2;
    }
    TBackupFile backup;
    attachReporting(backup, err);
    backup.BackupTitle = o.values.value("--title");
    backup.SaveFileID = true;
    backup.SetArchiveFlag = true;
    if (o.flags.contains("--changed-only"))
        backup.BackupMode = bmIncremental;
    const QString level = o.values.value("--level", "default");
    static const QHash<QString, TCompressionLevel> levels{
        {"none", clNone}, {"fastest", clFastest}, {"default", clDefault}, {"max", clMax}};
    if (!levels.contains(level)) {
        err << "Unknown compression level: " << level << "\n";
        return 2;
    }
    backup.CompressionLevel = levels.value(level);
    if (o.values.contains("--max-size")) {
        bool ok = false;
        backup.MaxSize = o.values.value("--max-size").toLongLong(&ok);
        if (!ok || backup.MaxSize < 0) {
            err << "Invalid --max-size: " << o.values.value("--max-size") << "\n";
            return 2;
        }
    }
    // Every volume goes beside the first; there are no disks to change.
    backup.OnNeedDisk = [](int) { return true; };
    const QString archive = o.positional.first();
    if (!backup.WriteArchive(o.positional.mid(1), archive))
        return 1;
    out << "Archived " << backup.FilesCount() << " files, " << backup.Total()
        << " bytes, compression rate = " << backup.CompressionRate() << " %\n";
    return 0;
}

int list(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const Options o = parse(args, {}, {});
    if (!o.error.isEmpty() || o.positional.size() != 1) {
        err << (o.error.isEmpty() ? QString() : o.error + "\n") << Usage;
        return 2;
    }
    TBackupFile backup;
    attachReporting(backup, err);
    const auto contents = backup.ReadArchiveContents(o.positional.first());
    if (!contents)
        return 1;
    out << "Title: " << contents->title << "\n";
    out << "Files: " << contents->fileCount << "\n";
    out << "Total: " << contents->total << " bytes\n";
    if (!contents->hasFileList) {
        out << "No extended file information in this archive\n";
        return 0;
    }
    for (const ArchiveContents::FileId& f : contents->files) {
        const QDateTime when = PackedDate::unpack(f.packedDate);
        out << f.path << "\t" << (when.isValid() ? when.toString(Qt::ISODate) : QStringLiteral("?")) << "\t" << f.size
            << "\n";
    }
    return 0;
}

int restore(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const Options o = parse(args, {"--to", "--mode"}, {});
    if (!o.error.isEmpty() || o.positional.size() != 1) {
        err << (o.error.isEmpty() ? QString() : o.error + "\n") << Usage;
        return 2;
    }
    static const QHash<QString, TRestoreMode> modes{
        {"all", rmAll}, {"no-overwrite", rmNoOverwrite}, {"newer", rmNewer}, {"existing", rmExisting}};
    const QString mode = o.values.value("--mode", "all");
    if (!modes.contains(mode)) {
        err << "Unknown restore mode: " << mode << "\n";
        return 2;
    }
    const QString archive = o.positional.first();
    if (!QFileInfo(archive).isFile()) {
        err << "Cannot read archive\n";
        return 1;
    }
    TBackupFile backup;
    attachReporting(backup, err);
    backup.RestoreMode = modes.value(mode);
    // Nobody can change disks here: a volume that is missing ends the restore.
    backup.OnNeedDisk = [&](int disk) {
        if (QFileInfo(TBackupFile::VolumeName(archive, disk)).isFile())
            return true;
        err << "Missing volume " << TBackupFile::VolumeName(archive, disk) << "\n";
        return false;
    };
    const bool ok = backup.RestoreArchive(archive, o.values.value("--to"));
    out << "Restored " << backup.FilesCount() << " files\n";
    return ok ? 0 : 1;
}

const ToolCommandRegistration registration({
    QStringLiteral("archive"),
    QStringLiteral("creates, lists and restores backup archives"),
    [](const QStringList& args, QTextStream& out, QTextStream& err) {
        const QString sub = args.value(0);
        if (sub == QLatin1String("create"))
            return create(args.mid(1), out, err);
        if (sub == QLatin1String("list"))
            return list(args.mid(1), out, err);
        if (sub == QLatin1String("restore"))
            return restore(args.mid(1), out, err);
        err << Usage;
        return 2;
    },
});

} // namespace
