// medrova-tool macro run: dry-runs a macro for a patient with scripted picks and answers.

#include "macro/dry_run.h"
#include "macro/pick_script.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "platform/errors.h"
#include "tool/tool_command.h"

#include <QFile>

// The program directory's patient and history tables (tool_macro_rows.cpp).
std::unique_ptr<MacroRowSource> openProgramDirRows();

namespace {

const char* const kUsage =
    "Usage: medrova-tool [--dir DIR] macro run [--patient ID] [--date DATE] [--text-before TEXT]\n"
    "         [--pick ACTION]... [--answer yes|no]... [--field NAME=VALUE]... [--history NAME=VALUE]...\n"
    "         [--user NAME] (--macro TEXT | --macro-file FILE | TEXT)\n"
    "ACTION: an item number, line:1,3, perline:1,3, everyother:1,3, skip, cancel or close.\n"
    "Prints the note text the macro produced, then each message as [type] text.\n";

QVariant fieldValue(const QString& name, const QString& value)
{
    if (name.compare(QLatin1String("DateOfBirth"), Qt::CaseInsensitive) == 0) {
        if (const auto d = Dates::parseShortDate(value))
            return *d;
        const QDate iso = QDate::fromString(value, Qt::ISODate);
        if (iso.isValid())
            return iso;
        throw MedrovaError(QStringLiteral("Not a date: %1").arg(value));
    }
    if (name.compare(QLatin1String("Smoker"), Qt::CaseInsensitive) == 0)
        return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || value == QLatin1String("1");
    return value;
}

void setField(MacroRow& row, const QString& assignment)
{
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0)
        throw MedrovaError(QStringLiteral("Expected NAME=VALUE: %1").arg(assignment));
    const QString name = assignment.left(eq);
    row.fields[name] = fieldValue(name, assignment.mid(eq + 1));
}

int runMacro(const QStringList& args, QTextStream& out, QTextStream& err)
{
    DryRunInput in;
    in.noteDate = Clock::current().today();
    bool haveMacro = false;
    std::optional<int> patientId;
    MacroRow fields;
    MacroRow history;
    bool haveHistory = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw MedrovaError(QStringLiteral("Missing value after %1").arg(a));
            return args.at(++i);
        };
        if (a == QLatin1String("--patient")) {
            bool ok = false;
            patientId = value().toInt(&ok);
            if (!ok)
                throw MedrovaError(QStringLiteral("--patient needs a number"));
        } else if (a == QLatin1String("--date")) {
            const QString v = value();
            const QVariant d = fieldValue(QStringLiteral("DateOfBirth"), v);
            in.noteDate = d.toDate();
        } else if (a == QLatin1String("--text-before")) {
            in.textBefore = value();
        } else if (a == QLatin1String("--pick")) {
            const QString v = value();
            const auto action = parsePickScript(v);
            if (!action)
                throw MedrovaError(QStringLiteral("Not a pick action: %1").arg(v));
            in.picks << *action;
        } else if (a == QLatin1String("--answer")) {
            const QString v = value().toLower();
            if (v != QLatin1String("yes") && v != QLatin1String("no"))
                throw MedrovaError(QStringLiteral("--answer takes yes or no"));
            in.answers << (v == QLatin1String("yes") ? Answer::Yes : Answer::No);
        } else if (a == QLatin1String("--field")) {
            setField(fields, value());
        } else if (a == QLatin1String("--history")) {
            setField(history, value());
            haveHistory = true;
        } else if (a == QLatin1String("--user")) {
            in.userName = value();
        } else if (a == QLatin1String("--macro")) {
            in.macro = value();
            haveMacro = true;
        } else if (a == QLatin1String("--macro-file")) {
            QFile f(value());
            if (!f.open(QIODevice::ReadOnly))
                throw MedrovaError(QStringLiteral("Cannot read %1").arg(f.fileName()));
            // Macros are stored in the system's single-byte code page.
            in.macro = QString::fromLatin1(f.readAll());
            haveMacro = true;
        } else if (a == QLatin1String("--help")) {
            out << kUsage;
            return 0;
        } else if (!a.startsWith(QLatin1String("--")) && !haveMacro) {
            in.macro = a;
            haveMacro = true;
        } else {
            err << "Unknown option: " << a << "\n" << kUsage;
            return 2;
        }
    }
    if (!haveMacro) {
        err << kUsage;
        return 2;
    }
    if (patientId) {
        auto rows = openProgramDirRows();
        const auto p = rows->patient(*patientId);
        if (!p)
            throw MedrovaError(QStringLiteral("No patient with ID %1").arg(*patientId));
        in.patient = *p;
        in.history = rows->history(*patientId);
    }
    for (auto it = fields.fields.cbegin(); it != fields.fields.cend(); ++it)
        in.patient.fields[it.key()] = it.value();
    if (haveHistory) {
        if (!in.history)
            in.history = MacroRow{};
        for (auto it = history.fields.cbegin(); it != history.fields.cend(); ++it)
            in.history->fields[it.key()] = it.value();
    } else if (!patientId) {
        in.history = MacroRow{}; // a patient given by fields has an empty history row
    }

    const DryRunResult r = dryRunMacro(in);
    out << r.note;
    if (!r.note.endsWith(QLatin1Char('\n')))
        out << "\n";
    for (const QString& m : r.messages)
        out << m << "\n";
    if (r.picksLeft > 0)
        err << r.picksLeft << " scripted pick(s) were not used\n";
    return 0;
}

int macroCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty() || args.first() != QLatin1String("run")) {
        err << kUsage;
        return 2;
    }
    return runMacro(args.mid(1), out, err);
}

const ToolCommandRegistration registration({QStringLiteral("macro"),
                                            QStringLiteral("dry-runs a macro for a patient (macro run --help)"),
                                            macroCommand});

} // namespace
