#include "tool/tool_command.h"

#include "platform/errors.h"
#include "platform/program_dir.h"

#include <QCoreApplication>
#include <algorithm>

std::vector<ToolCommand>& toolCommands()
{
    static std::vector<ToolCommand> commands;
    return commands;
}

namespace {
void usage(QTextStream& out)
{
    out << "Usage: medrova-tool [--dir PROGRAM_DIRECTORY] COMMAND [ARGS...]\n\n"
           "Maintenance and scripting tool of Medrova.\n\nCommands:\n";
    auto cmds = toolCommands();
    std::sort(cmds.begin(), cmds.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const ToolCommand& c : cmds)
        out << "  " << c.name.leftJustified(12) << c.summary << "\n";
    out << "  " << QStringLiteral("--help").leftJustified(12) << "shows this text\n";
    out << "  " << QStringLiteral("--version").leftJustified(12) << "shows the program version\n";
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = ProgramDir::initFromArguments(app.arguments().mid(1));
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("help")) {
        usage(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == QLatin1String("--version")) {
        out << "medrova-tool " << MEDROVA_VERSION << "\n";
        return 0;
    }
    const QString name = args.takeFirst();
    for (const ToolCommand& c : toolCommands()) {
        if (c.name == name) {
            try {
                return c.run(args, out, err);
            } catch (const MedrovaError& e) {
                err << e.text() << "\n";
                return 1;
            }
        }
    }
    err << "Unknown command: " << name << "\n\n";
    usage(err);
    return 2;
}
