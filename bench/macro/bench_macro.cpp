// Interpreter time for one run of the "Skeleton Note" template, with a host that answers
// every list at once (first item) and keeps the note as a string.

#include "macro/macro_interpreter.h"

#include <benchmark/benchmark.h>

namespace {

const QString kSkeletonNote = QStringLiteral(
    "{Header}\n\nSUBJECTIVE:\nThis {age} {sex} presents for\n\nOBJECTIVE:\nGENERAL:{List Healthy appearing,Adequately "
    "nourished,Overweight,Underweight,Comfortable} {sex} in no distress\n\nASSESSMENT:\n\nPLAN:\n{FirstNameProper} is "
    "instructed to call the office for reevaluation if not improved in {interval} or if condition worsens. The "
    "diagnosis was discussed with {IfMale him}{IfFemale her} and all instructions were understood.\n\n{USERNAME}\n\n");

class InstantHost final : public MacroHost {
public:
    InstantHost()
    {
        row.fields = {{QStringLiteral("LastName"), QStringLiteral("Doe")},
                      {QStringLiteral("FirstName"), QStringLiteral("Jane")},
                      {QStringLiteral("Sex"), QStringLiteral("F")},
                      {QStringLiteral("DateOfBirth"), QDate(1980, 3, 10)}};
    }
    bool paste(const QString& text, bool) override
    {
        note += text;
        return true;
    }
    Answer message(MessageType, Buttons, const QString&) override
    {
        ++messages;
        return Answer::Ok;
    }
    MacroRow patient() override { return row; }
    std::optional<MacroRow> synchronizeData() override { return MacroRow{}; }
    bool fieldMode() override { return false; }
    QDate defaultNoteDate() override { return QDate(2024, 6, 15); }
    QString userName() override { return QStringLiteral("drsmith"); }
    QString textBeforeCursor() override { return note; }
    void setFontSize(int) override {}
    void setFontName(const QString&) override {}
    bool pickPrinter(const QString&) override { return false; }
    void disableButtons() override {}
    void resetButtons() override {}
    void stopStatusTimer() override {}
    PickAction pick(const PickRequest&) override { return PickAction::doubleClick(0, {0}); }

    MacroRow row;
    QString note;
    int messages = 0;
};

void BM_SkeletonNote(benchmark::State& state)
{
    MacroSession session;
    qsizetype noteLength = 0;
    int messages = 0;
    for (auto _ : state) {
        InstantHost host;
        MacroInterpreter(host, session).run(kSkeletonNote);
        noteLength = host.note.size();
        messages = host.messages;
        benchmark::DoNotOptimize(noteLength);
    }
    state.counters["note_chars"] = double(noteLength);
    state.counters["messages"] = messages;
}
BENCHMARK(BM_SkeletonNote)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
