#include "macro/dry_run.h"

#include "macro/macro_interpreter.h"

namespace {

class DryRunHost final : public MacroHost {
public:
    explicit DryRunHost(const DryRunInput& in) : in(in), note(in.textBefore)
    {
        for (const PickAction& p : in.picks)
            picks.enqueue(p);
        for (Answer a : in.answers)
            answers.enqueue(a);
    }

    bool paste(const QString& text, bool) override
    {
        note += text;
        return true;
    }
    Answer message(MessageType type, Buttons buttons, const QString& text) override
    {
        messages << QLatin1Char('[') + messageTypeName(type) + QStringLiteral("] ") + text;
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
    }
    MacroRow patient() override { return in.patient; }
    std::optional<MacroRow> synchronizeData() override { return in.history; }
    bool fieldMode() override { return false; }
    QDate defaultNoteDate() override { return in.noteDate; }
    QString userName() override { return in.userName; }
    QString textBeforeCursor() override { return note; }
    void setFontSize(int) override {}
    void setFontName(const QString&) override {}
    bool pickPrinter(const QString&) override { return false; }
    void disableButtons() override {}
    void resetButtons() override {}
    void stopStatusTimer() override {}
    PickAction pick(const PickRequest&) override
    {
        ++lists;
        return picks.isEmpty() ? PickAction::close() : picks.dequeue();
    }

    const DryRunInput& in;
    QString note;
    QStringList messages;
    QQueue<PickAction> picks;
    QQueue<Answer> answers;
    int lists = 0;
};

} // namespace

DryRunResult dryRunMacro(const DryRunInput& input)
{
    DryRunHost host(input);
    MacroSession session;
    MacroInterpreter(host, session).run(input.macro);
    DryRunResult r;
    r.note = host.note.mid(input.textBefore.size());
    r.messages = host.messages;
    r.listsShown = host.lists;
    r.picksLeft = int(host.picks.size());
    return r;
}
