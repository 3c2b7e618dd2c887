// Backup and restore throughput on 50 MB of mixed data (table-like text and random bytes),
// against zlib's compress2 at level 6 on the same bytes in the same run.

#include "backup/backup_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int FileCount = 25;
constexpr qsizetype FileSize = 2 * 1024 * 1024; // 25 x 2 MB = 50 MB

struct Data {
    QTemporaryDir dir;
    QList<QByteArray> contents;
    QStringList files;
    qint64 bytes = 0;

    Data()
    {
        QRandomGenerator rng(42);
        for (int i = 0; i < FileCount; ++i) {
            QByteArray b;
            if (i % 2 == 0) { // a table: repeated fields with varying numbers
                b.reserve(FileSize);
                for (int row = 0; b.size() < FileSize; ++row)
                    b += QByteArray::number(row) + "\tSmith\tJohn\t" + QByteArray::number(1930 + rng.bounded(90))
                        + "-0" + QByteArray::number(1 + rng.bounded(9)) + "-1" + QByteArray::number(rng.bounded(10))
                        + "\tHypertension, controlled\t" + QByteArray::number(rng.bounded(100000)) + "\r\n";
                b.truncate(FileSize);
            } else { // already compressed or encrypted content
                b.resize(FileSize);
                rng.fillRange(reinterpret_cast<quint32*>(b.data()), FileSize / 4);
            }
            const QString path = dir.filePath(QStringLiteral("data/file%1.bin").arg(i, 2, 10, QLatin1Char('0')));
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size())
                std::abort();
            contents << b;
            files << path;
            bytes += b.size();
        }
    }
    QString archive() const { return dir.filePath(QStringLiteral("bench.bck")); }
};

Data& data()
{
    static Data d;
    return d;
}

// Seconds per run and output bytes of the last run, for the summary after all benchmarks.
double backupSeconds = 0, zlibSeconds = 0, restoreSeconds = 0;
qint64 archiveBytes = 0, zlibBytes = 0;

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_Backup(benchmark::State& state)
{
    Data& d = data();
    double total = 0;
    for (auto _ : state) {
        TBackupFile b;
        b.CompressionLevel = clDefault;
        const auto t0 = std::chrono::steady_clock::now();
        if (!b.WriteArchive({d.dir.filePath(QStringLiteral("data/*.bin"))}, d.archive()))
            state.SkipWithError("backup failed");
        total += seconds(std::chrono::steady_clock::now() - t0);
    }
    backupSeconds = total / double(state.iterations());
    archiveBytes = QFileInfo(d.archive()).size();
    state.SetBytesProcessed(state.iterations() * d.bytes);
    state.counters["archive_vs_input"] = double(archiveBytes) / double(d.bytes);
}

void BM_Zlib(benchmark::State& state)
{
    Data& d = data();
    double total = 0;
    QByteArray out;
    for (auto _ : state) {
        qint64 size = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (const QByteArray& b : d.contents) {
            uLongf len = compressBound(uLong(b.size()));
            out.resize(qsizetype(len));
            if (compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(b.constData()),
                          uLong(b.size()), 6)
                != Z_OK)
                state.SkipWithError("compress2 failed");
            size += qint64(len);
        }
        total += seconds(std::chrono::steady_clock::now() - t0);
        zlibBytes = size;
        benchmark::DoNotOptimize(out.data());
    }
    zlibSeconds = total / double(state.iterations());
    state.SetBytesProcessed(state.iterations() * d.bytes);
    state.counters["zlib_vs_input"] = double(zlibBytes) / double(d.bytes);
}

void BM_Restore(benchmark::State& state)
{
    Data& d = data();
    if (!QFile::exists(d.archive())) {
        TBackupFile b;
        b.WriteArchive({d.dir.filePath(QStringLiteral("data/*.bin"))}, d.archive());
    }
    double total = 0;
    for (auto _ : state) {
        TBackupFile r;
        const auto t0 = std::chrono::steady_clock::now();
        if (!r.RestoreArchive(d.archive(), d.dir.filePath(QStringLiteral("restored"))) || r.FilesCount() != FileCount)
            state.SkipWithError("restore failed");
        total += seconds(std::chrono::steady_clock::now() - t0);
    }
    restoreSeconds = total / double(state.iterations());
    state.SetBytesProcessed(state.iterations() * d.bytes);
}

BENCHMARK(BM_Zlib)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Restore)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double mb = double(data().bytes) / (1024.0 * 1024.0);
    if (backupSeconds > 0 && zlibSeconds > 0) {
        std::printf("\nbackup  %.1f MB/s, restore %.1f MB/s, zlib compress2 level 6 %.1f MB/s (%.0f MB)\n",
                    mb / backupSeconds, restoreSeconds > 0 ? mb / restoreSeconds : 0.0, mb / zlibSeconds, mb);
        std::printf("time: backup / zlib = %.3f (goal <= 1.15); size: archive / zlib = %.4f\n",
                    backupSeconds / zlibSeconds, double(archiveBytes) / double(zlibBytes));
    }
    return 0;
}
