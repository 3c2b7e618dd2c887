// Table store figures: LZH speed on a register-like stream, start-up load of a large register,
// and the cost of one patient post (which rewrites the whole patient file).

#include "platform/program_dir.h"
#include "store/data_module.h"
#include "store/lzh_codec.h"
#include "store/lzh_container.h"
#include "store/table_file.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <map>
#include <string>

namespace {
const char* kLast[] = {"Smith", "Johnson", "Williams", "Brown", "Jones", "Garcia", "Miller", "Davis", "Rodriguez",
                       "Martinez", "Hernandez", "Lopez", "Gonzalez", "Wilson", "Anderson", "Thomas", "Taylor",
                       "Moore", "Jackson", "Martin", "Lee", "Perez", "Thompson", "White", "Harris", "O'Neil",
                       "Nguyen", "Clark", "Lewis", "Robinson", "Walker", "Young"};
const char* kFirst[] = {"James", "Mary", "Robert", "Patricia", "John", "Jennifer", "Michael", "Linda", "David",
                        "Elizabeth", "William", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas",
                        "Sarah", "Charles", "Karen", "Ana", "Liam", "Olivia", "Noah"};
const char* kDx[] = {"Hypertension", "Type 2 diabetes", "Asthma", "GERD", "Hyperlipidemia", "Osteoarthritis",
                     "Depression", "Hypothyroidism", "Migraine", "Atrial fibrillation"};

long rssKb()
{
    std::ifstream f("/proc/self/status");
    std::string key;
    long value = 0;
    while (f >> key) {
        if (key == "VmRSS:") {
            f >> value;
            return value;
        }
        f.ignore(256, '\n');
    }
    return 0;
}

// Writes a realistic register straight into the two files (posting 100,000 rows one by one
// would measure the filling, not the program).
void writeRegister(const QString& dir, int patients)
{
    QRandomGenerator rng(7);
    TableData p;
    p.fields = TDataModule1::patientFields();
    p.indexes = TDataModule1::patientIndexes();
    TableData h;
    h.fields = TDataModule1::historyFields();
    h.indexes = {IndexDef::make("ID_INDEX", "ID")};
    for (int i = 0; i < patients; ++i) {
        Row r;
        r.values.resize(p.fields.size());
        r.values[0] = QString::fromLatin1(kLast[rng.bounded(32)]);
        r.values[1] = QString::fromLatin1(kFirst[rng.bounded(24)]);
        r.values[2] = double(rng.bounded(5000, 45000));
        r.values[3] = rng.bounded(2) ? QStringLiteral("Female") : QStringLiteral("Male");
        r.values[4] = QString("%1-%2-%3").arg(rng.bounded(100, 999)).arg(rng.bounded(10, 99)).arg(rng.bounded(1000, 9999));
        r.values[5] = QString("%1, %2").arg(kDx[rng.bounded(10)], kDx[rng.bounded(10)]);
        r.values[7] = double(rng.bounded(44000, 46000));
        r.values[9] = i + 1;
        p.rows.push_back(std::move(r));
        Row hr;
        hr.values.resize(h.fields.size());
        hr.values[0] = i + 1;
        hr.values[1] = QString::fromLatin1(kDx[rng.bounded(10)]);
        hr.values[3] = rng.bounded(2) == 1;
        hr.values[5] = QStringLiteral("NKDA");
        hr.values[8] = double(rng.bounded(44000, 46000));
        h.rows.push_back(std::move(hr));
    }
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    TableFile::write(buf, p);
    QFile pf(dir + "/Patient.bin");
    pf.open(QIODevice::WriteOnly);
    pf.write(LzhContainer::compressTable(buf.data()));
    QFile hf(dir + "/PtHistory.bin");
    hf.open(QIODevice::WriteOnly);
    TableFile::write(hf, h);
}

struct Register {
    QTemporaryDir dir;
    explicit Register(int patients) { writeRegister(dir.path(), patients); }
};

Register& registerOf(int patients)
{
    static std::map<int, std::unique_ptr<Register>> cache;
    auto& r = cache[patients];
    if (!r)
        r = std::make_unique<Register>(patients);
    ProgramDir::set(r->dir.path());
    qputenv("MEDROVA_REGISTRY", (r->dir.path() + "/registry.ini").toLocal8Bit());
    return *r;
}

QByteArray tenMegabyteStream()
{
    static QByteArray stream;
    if (stream.isEmpty()) {
        Register& r = registerOf(100000);
        QFile f(r.dir.filePath("Patient.bin"));
        f.open(QIODevice::ReadOnly);
        const QByteArray plain = LzhContainer::decompressTable(f.readAll());
        while (stream.size() < 10 * 1000 * 1000)
            stream += plain;
        stream.truncate(10 * 1000 * 1000);
    }
    return stream;
}

void BM_LzhCompress10MB(benchmark::State& state)
{
    const QByteArray in = tenMegabyteStream();
    qsizetype codeSize = 0;
    for (auto _ : state) {
        const QByteArray code = LzhCodec::compress(in);
        codeSize = code.size();
        benchmark::DoNotOptimize(code.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * in.size());
    state.counters["ratio"] = double(codeSize) / double(in.size());
}
BENCHMARK(BM_LzhCompress10MB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LzhExpand10MB(benchmark::State& state)
{
    const QByteArray in = tenMegabyteStream();
    const QByteArray code = LzhCodec::compress(in);
    for (auto _ : state) {
        const QByteArray out = LzhCodec::expand(code.constData(), code.size(), in.size());
        if (out != in)
            state.SkipWithError("expand differs");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * in.size());
}
BENCHMARK(BM_LzhExpand10MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// Start-up load of both patient tables from their files (compressed patient file).
void BM_LoadRegister(benchmark::State& state)
{
    Register& r = registerOf(int(state.range(0)));
    long held = 0;
    for (auto _ : state) {
        const long before = rssKb();
        Table p("kbmTablePatient"), h("kbmTablePtHistory");
        p.setMemoCompression(true);
        p.loadFromFile(r.dir.filePath("Patient.bin"), FileForm::Compressed);
        h.loadFromFile(r.dir.filePath("PtHistory.bin"), FileForm::Plain);
        p.setActiveIndex("NAME");
        h.setActiveIndex("ID_INDEX");
        held = std::max(held, rssKb() - before);
        benchmark::DoNotOptimize(p.rowCount());
    }
    state.counters["tables_MB"] = double(held) / 1024.0;
    state.counters["Patient.bin_KB"] = double(QFileInfo(r.dir.filePath("Patient.bin")).size()) / 1024.0;
}
BENCHMARK(BM_LoadRegister)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// One patient edit and post through the data module's rules, which save Patient.bin: until
// post() returns (the user can go on; a large table is then written in the background), and
// with range(1) set until the file is written as well.
void BM_PatientPost(benchmark::State& state)
{
    registerOf(int(state.range(0)));
    const bool untilWritten = state.range(1) != 0;
    TDataModule1 dm;
    dm.startUp();
    Table& p = dm.kbmTablePatient();
    int i = 0;
    for (auto _ : state) {
        p.moveTo(i++ % p.rowCount());
        p.edit();
        p.setValue("Reminders", QString("call back %1").arg(i));
        p.post();
        if (untilWritten)
            dm.finishSaves();
        else {
            // The next post comes after the save has finished, as it would at typing speed.
            state.PauseTiming();
            dm.finishSaves();
            state.ResumeTiming();
        }
    }
    state.SetLabel(untilWritten ? "until written" : "until post returns");
    dm.kbmTablePatient().setPersistent(false);
}
BENCHMARK(BM_PatientPost)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Where a post's time goes: serialising the table, compressing the stream, writing the file.
void BM_PostPieces(benchmark::State& state)
{
    Register& r = registerOf(int(state.range(0)));
    Table p("kbmTablePatient");
    p.setMemoCompression(true);
    p.loadFromFile(r.dir.filePath("Patient.bin"), FileForm::Compressed);
    p.setActiveIndex("NAME");
    const int piece = int(state.range(1));
    const QByteArray plain = p.plainStream();
    const QByteArray packed = LzhContainer::compressTable(plain);
    for (auto _ : state) {
        if (piece == 0)
            benchmark::DoNotOptimize(p.plainStream().size());
        else if (piece == 1)
            benchmark::DoNotOptimize(LzhContainer::compressTable(plain).size());
        else
            p.saveToFile(r.dir.filePath("scratch.bin"), FileForm::Plain);
    }
    state.SetLabel(piece == 0 ? "serialise" : piece == 1 ? "compress" : "serialise+safe write (plain)");
    state.counters["plain_KB"] = double(plain.size()) / 1024.0;
    state.counters["packed_KB"] = double(packed.size()) / 1024.0;
}
BENCHMARK(BM_PostPieces)->Args({100000, 0})->Args({100000, 1})->Args({100000, 2})->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
