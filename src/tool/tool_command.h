#pragma once
// medrova-tool's subcommands. Each subcommand file registers itself with a static
// ToolCommandRegistration; main() dispatches on the first argument.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <vector>

struct ToolCommand {
    QString name;
    QString summary;
    std::function<int(const QStringList& args, QTextStream& out, QTextStream& err)> run;
};

std::vector<ToolCommand>& toolCommands();

struct ToolCommandRegistration {
    explicit ToolCommandRegistration(ToolCommand command) { toolCommands().push_back(std::move(command)); }
};
