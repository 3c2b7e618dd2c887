#include "macro/dry_run.h"
#include "store/data_module.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QFile>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Presentation {
    QString dx, category, macro;
};

// The built library as the data module loads it from a program directory.
struct Library {
    QStringList categories;
    QList<Presentation> presentations;
    QString opensAt; // the presentation current right after start-up
};

Library loadLibrary()
{
    TempProgramDir dir;
    for (const char* name : {"Category.bin", "Dx.dxm"})
        QFile::copy(QStringLiteral(MEDROVA_STARTER_DIR "/") + name, dir.file(name));
    TDataModule1 dm;
    dm.startUp();
    Library lib;
    lib.opensAt = dm.kbmTableDx().text("Dx");
    Table& cat = dm.kbmTableCategory();
    for (cat.first(); !cat.eof() && !cat.isEmpty(); cat.next()) {
        lib.categories << cat.text("CATEGORY");
        if (cat.recNo() == cat.rowCount() - 1)
            break;
    }
    Table& dx = dm.kbmTableDx();
    for (int i = 0; i < dx.rowCount(); ++i)
        lib.presentations.append({dx.valueAt(i, dx.fieldIndex("Dx")).toString(),
                                  dx.valueAt(i, dx.fieldIndex("Category")).toString(),
                                  dx.valueAt(i, dx.fieldIndex("Macro")).toString()});
    dm.shutDown();
    return lib;
}

MacroRow patient(const char* last, const char* first, const char* sex, QDate dob)
{
    MacroRow r;
    r.fields = {{"LastName", last}, {"FirstName", first}, {"Sex", sex}, {"DateOfBirth", dob},
                {"SSNum", "123-45-6789"}, {"Diagnosies", "appendectomy 1998"}};
    return r;
}

const QDate kVisit(2024, 3, 15);
} // namespace

class TestStarterLibrary : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_lib = loadLibrary(); }

    void contents()
    {
        QVERIFY(m_lib.categories.size() >= 10);
        QVERIFY(m_lib.categories.contains("Physical"));
        QVERIFY(m_lib.categories.contains("Other"));
        QVERIFY(m_lib.presentations.size() >= 25);
        QStringList names;
        for (const Presentation& p : m_lib.presentations) {
            QVERIFY2(m_lib.categories.contains(p.category), qPrintable(p.dx + ": " + p.category));
            QVERIFY2(!p.macro.trimmed().isEmpty(), qPrintable(p.dx));
            names << p.dx;
        }
        for (const char* expected : {"Skeleton Note", "Upper Respiratory Infection", "Adult Complete Physical",
                                     "Well Child Visit", "Laceration Repair"})
            QVERIFY2(names.contains(expected), expected);
        // Listed in name order whatever the letter case.
        QStringList sorted = names;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(names, sorted);
        QCOMPARE(m_lib.opensAt, names.first());
        // The program directory of the build has the same files a fresh start opens.
        QCOMPARE(readAll(MEDROVA_BIN_DIR "/Category.bin"), readAll(MEDROVA_STARTER_DIR "/Category.bin"));
        QVERIFY(QFile::exists(MEDROVA_BIN_DIR "/Dx.dxm"));
    }

    // Every macro runs for every kind of patient and every way of answering its lists without
    // a message: no unrecognized command, no faulty conditional, no list within a list.
    void everyMacroRunsCleanly_data()
    {
        QTest::addColumn<int>("patientKind");
        QTest::addColumn<int>("pickKind");
        const char* patients[] = {"man 45, empty history", "woman 30, filled history", "girl 4", "boy 10 months",
                                  "woman 70, smoker"};
        const char* picks[] = {"first item", "second item", "closed", "two in a line"};
        for (int p = 0; p < 5; ++p)
            for (int k = 0; k < 4; ++k)
                QTest::newRow(qPrintable(QString("%1 / %2").arg(patients[p], picks[k]))) << p << k;
    }
    void everyMacroRunsCleanly()
    {
        QFETCH(int, patientKind);
        QFETCH(int, pickKind);
        DryRunInput in;
        in.noteDate = kVisit;
        in.userName = "Dr. Test";
        in.history = MacroRow{};
        switch (patientKind) {
        case 0: in.patient = patient("SMITH", "john", "Male", QDate(1978, 6, 1)); break;
        case 1:
            in.patient = patient("Garcia", "Maria Elena", "F", QDate(1993, 11, 20));
            in.history->fields = {{"FHx", "Father with diabetes."}, {"SHx", "Denies tobacco."},
                                  {"PMHx", "asthma"}, {"Allergies", "penicillin"},
                                  {"MedList", "albuterol\r\nfluticasone\r\n"}, {"Smoker", false}};
            break;
        case 2: in.patient = patient("Nguyen", "Anna", "Female", QDate(2019, 12, 1)); break;
        case 3: in.patient = patient("O'Brien", "Liam", "M", QDate(2023, 5, 10)); break;
        default:
            in.patient = patient("MacArthur", "Ruth", "Female", QDate(1953, 8, 2));
            in.history->fields = {{"Smoker", true}, {"MedList", "lisinopril\r\n"}};
            break;
        }
        for (int i = 0; i < 80; ++i) {
            switch (pickKind) {
            case 0: in.picks << PickAction::doubleClick(0, {0}); break;
            case 1: in.picks << PickAction::doubleClick(1, {1}); break;
            case 2: in.picks << PickAction::close(); break;
            default: in.picks << PickAction::paste(PickAction::Kind::PasteInLine, {0, 1}, 1); break;
            }
        }
        for (const Presentation& p : m_lib.presentations) {
            in.macro = p.macro;
            const DryRunResult r = dryRunMacro(in);
            QVERIFY2(r.messages.isEmpty(), qPrintable(p.dx + ": " + r.messages.join(" | ")));
            QVERIFY2(!r.note.contains('{') && !r.note.contains('}'), qPrintable(p.dx + ": " + r.note));
            QVERIFY2(r.note.size() > 40, qPrintable(p.dx));
            QVERIFY2(r.picksLeft > 0, qPrintable(p.dx + ": more lists than scripted picks"));
        }
    }

    // The side chosen once is the side named throughout the note.
    void recalledChoicesStayConsistent()
    {
        const auto it = std::find_if(m_lib.presentations.cbegin(), m_lib.presentations.cend(),
                                     [](const Presentation& p) { return p.dx == "Ankle Sprain"; });
        QVERIFY(it != m_lib.presentations.cend());
        DryRunInput in;
        in.noteDate = kVisit;
        in.patient = patient("Lee", "Sam", "Male", QDate(2000, 1, 1));
        in.history = MacroRow{};
        in.macro = it->macro;
        for (int i = 0; i < 40; ++i)
            in.picks << PickAction::doubleClick(1, {1});
        const DryRunResult r = dryRunMacro(in);
        QVERIFY(r.note.contains("injured the right ankle"));
        QVERIFY(r.note.contains("Right ankle:"));
        QVERIFY(r.note.contains("sprain of the right ankle"));
        QVERIFY(!r.note.contains("left", Qt::CaseInsensitive));
    }

private:
    Library m_lib;
};

QTEST_GUILESS_MAIN(TestStarterLibrary)
#include "test_starter_library.moc"
