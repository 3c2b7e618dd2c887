// medrova-tool note: the plain text of a note, and packing and unpacking of ".rte" notes.

#include "notes/note_codec.h"
#include "platform/errors.h"
#include "platform/rich_text_reader.h"
#include "platform/safe_save.h"
#include "tool/tool_command.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace {

QByteArray readFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        throw MedrovaError(QStringLiteral("The file cannot be opened as it does not exist."));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > RtfReader::kMaxInputSize)
        throw MedrovaError(QStringLiteral("The file %1 cannot be read.").arg(path));
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    if (!SafeSave::save(path, bytes))
        throw MedrovaError(QStringLiteral("The file %1 cannot be written.").arg(path));
}

int runNote(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const QString sub = args.value(0);
    if (sub == QLatin1String("text") && args.size() == 2) {
        QTextDocument doc;
        RtfReader::read(NoteCodec::readNoteBytes(args[1]), &doc);
        out << doc.toPlainText() << "\n";
        return 0;
    }
    if (sub == QLatin1String("pack") && args.size() == 3) {
        writeFile(args[2], NoteCodec::compress(readFile(args[1])));
        return 0;
    }
    if (sub == QLatin1String("unpack") && args.size() == 3) {
        writeFile(args[2], NoteCodec::decompress(readFile(args[1])));
        return 0;
    }
    err << "Usage: medrova-tool note text FILE.rtf|FILE.rte\n"
           "       medrova-tool note pack IN.rtf OUT.rte\n"
           "       medrova-tool note unpack IN.rte OUT.rtf\n";
    return 2;
}

const ToolCommandRegistration registration(
    ToolCommand{QStringLiteral("note"), QStringLiteral("prints a note's text; packs and unpacks .rte notes"), runNote});

} // namespace
