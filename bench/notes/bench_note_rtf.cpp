// Writing and reading a long note: about 1 MB of RTF in a few thousand paragraphs with mixed
// formatting. Both directions should stay well under 100 ms so a long note opens and saves
// at once.

#include "notes/note_codec.h"
#include "platform/rich_text_format.h"
#include "platform/rich_text_reader.h"
#include "platform/rich_text_writer.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <benchmark/benchmark.h>

namespace {

void buildNote(QTextDocument& doc, qsizetype targetRtfBytes)
{
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
    QTextCursor c(&doc);
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("Arial")});
    plain.setFontPointSize(10);
    QTextCharFormat bold = plain;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat red = plain;
    red.setForeground(QColor(200, 0, 0));
    red.setFontItalic(true);
    QTextCharFormat sup = plain;
    sup.setFontPointSize(6);
    RichText::setVerticalOffset(sup, 50, 6);
    QTextCharFormat big = plain;
    big.setFontFamilies({QStringLiteral("Times New Roman")});
    big.setFontPointSize(14);
    big.setFontUnderline(true);
    int n = 0;
    while (RtfWriter::write(doc).size() < targetRtfBytes) {
        for (int k = 0; k < 200; ++k, ++n) {
            QTextBlockFormat bf;
            if (n % 7 == 0)
                bf.setAlignment(Qt::AlignHCenter);
            if (n)
                c.insertBlock(bf, plain);
            if (n % 5 == 3)
                c.createList(QTextListFormat::ListDisc);
            c.insertText(QStringLiteral("Visit %1: ").arg(n), bold);
            c.insertText(QStringLiteral("The patient reports chest pain\tfor 3 days, worse on exertion; "), plain);
            c.insertText(QStringLiteral("no fever"), red);
            c.insertText(QStringLiteral(". BP 120/80 mmHg, SpO2 98% \u00a7 4, CO"), plain);
            c.insertText(QStringLiteral("2"), sup);
            c.insertText(QStringLiteral(" normal. "), plain);
            c.insertText(QStringLiteral("Assessment"), big);
            c.insertText(QStringLiteral(" \u2013 stable angina \u2192 follow-up in 2 weeks."), plain);
        }
    }
}

const QTextDocument& note()
{
    static QTextDocument* doc = [] {
        auto* d = new QTextDocument;
        buildNote(*d, 1024 * 1024);
        return d;
    }();
    return *doc;
}

void BM_WriteNote(benchmark::State& state)
{
    const QTextDocument& doc = note();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray rtf = RtfWriter::write(doc);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.counters["rtf_bytes"] = double(bytes);
    state.counters["paragraphs"] = doc.blockCount();
}

void BM_ReadNote(benchmark::State& state)
{
    const QByteArray rtf = RtfWriter::write(note());
    for (auto _ : state) {
        QTextDocument doc;
        RtfReader::read(rtf, &doc);
        benchmark::DoNotOptimize(doc.blockCount());
    }
    state.counters["rtf_bytes"] = double(rtf.size());
}

void BM_SaveCompressedNote(benchmark::State& state)
{
    const QTextDocument& doc = note();
    for (auto _ : state) {
        const QByteArray packed = NoteCodec::compress(RtfWriter::write(doc));
        benchmark::DoNotOptimize(packed.constData());
    }
}

void BM_OpenCompressedNote(benchmark::State& state)
{
    const QByteArray packed = NoteCodec::compress(RtfWriter::write(note()));
    for (auto _ : state) {
        QTextDocument doc;
        RtfReader::read(NoteCodec::decompress(packed), &doc);
        benchmark::DoNotOptimize(doc.blockCount());
    }
    state.counters["rte_bytes"] = double(packed.size());
}

BENCHMARK(BM_WriteNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCompressedNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCompressedNote)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
