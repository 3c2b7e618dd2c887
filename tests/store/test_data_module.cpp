#include "app/settings_store.h"
#include "platform/dates.h"
#include "platform/errors.h"
#include "store/data_module.h"
#include "store/lzh_container.h"
#include "store/record_rules.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void addPatient(TDataModule1& dm, const QString& last, const QString& first, int dob = 30000)
{
    Table& p = dm.kbmTablePatient();
    QVERIFY(p.insert());
    p.setValue("LastName", last);
    p.setValue("FirstName", first);
    p.setValue("DateOfBirth", double(dob));
    p.setValue("Sex", "Female");
    QVERIFY(p.post());
}
// The two ways a patient save goes: on the worker, or before post() returns.
void backgroundOrNot()
{
    QTest::addColumn<bool>("background");
    QTest::newRow("in the background") << true;
    QTest::newRow("before post returns") << false;
}

// A started data module whose patient saves all go one way.
struct SavePathFixture {
    TempProgramDir dir;
    ScriptedPrompter prompter;
    TDataModule1 dm;
    explicit SavePathFixture(bool background)
    {
        dm.setBackgroundSaveFrom(background ? 0 : 1 << 30);
        dm.startUp();
    }
};

void addDx(TDataModule1& dm, const QString& dx, const QString& category = QString(), const QString& macro = QString())
{
    Table& t = dm.kbmTableDx();
    QVERIFY(t.insert());
    t.setValue("Dx", dx);
    t.setValue("Category", category);
    t.setValue("Macro", macro);
    t.post();
}
// The patient table as its file holds it (plain on a first start, compressed later).
std::unique_ptr<Table> savedPatients(const QString& file)
{
    auto t = std::make_unique<Table>("saved");
    t->setFieldDefs(TDataModule1::patientFields());
    t->loadFromFile(file, LzhContainer::isCompressed(readAll(file)) ? FileForm::Compressed : FileForm::Plain);
    t->setActiveIndex("NAME");
    return t;
}
} // namespace

class TestDataModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartAndRotation()
    {
        TempProgramDir dir;
        for (int start = 1; start <= 5; ++start) {
            TDataModule1 dm;
            QSignalSpy done(&dm, &TDataModule1::startUpFinished);
            dm.startUp();
            QCOMPARE(done.count(), 1);
            QVERIFY(QFileInfo(dir.file("backup/Every5Starts")).isDir());
            QCOMPARE(dm.kbmTablePatient().rowCount(), start == 1 ? 0 : 1);
            QCOMPARE(dm.kbmTablePtHistory().fieldCount(), 39);
            QCOMPARE(IniReadNumber("Backup", "Starts", -1), start % 5);
            QCOMPARE(QFile::exists(dir.file("backup/Every5Starts/Patient.bin")), start == 5);
            if (start == 1)
                addPatient(dm, "Smith", "Ann"); // posted at once, copied to backup/ next start
            dm.shutDown();
        }
        QCOMPARE(readAll(dir.file("backup/Every5Starts/Patient.bin")), readAll(dir.file("Patient.bin")));
        QVERIFY(LzhContainer::isCompressed(readAll(dir.file("Patient.bin"))));
    }

    void truncatedHistoryIsRepaired()
    {
        TempProgramDir dir;
        {
            TDataModule1 dm;
            dm.startUp();
            addPatient(dm, "Smith", "Ann");
            Table& h = dm.kbmTablePtHistory();
            h.insert();
            h.setValue("ID", 1);
            h.post();
            dm.shutDown();
        }
        { TDataModule1 dm; dm.startUp(); dm.shutDown(); } // copies the good files to backup/
        const QByteArray good = readAll(dir.file("PtHistory.bin"));
        {
            QFile f(dir.file("PtHistory.bin"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(good.left(good.size() / 2));
        }
        const int starts = IniReadNumber("Backup", "Starts", -1);
        TDataModule1 dm;
        dm.startUp();
        QVERIFY(dm.patientDataFailed);
        QCOMPARE(readAll(dir.file("PtHistory.bin")), good);
        QCOMPARE(readAll(dir.file("PtHistory.bak")), good.left(good.size() / 2));
        QCOMPARE(dm.kbmTablePtHistory().rowCount(), 1);
        QCOMPARE(dm.kbmTablePatient().rowCount(), 1);
        QCOMPARE(IniReadNumber("Backup", "Starts", -1), starts);
    }

    void plainPatientFileIsConverted()
    {
        TempProgramDir dir;
        IniWriteFlag("PtDataFile", "ENCRYPTED", false);
        {
            TDataModule1 dm;
            dm.startUp();
            addPatient(dm, "Smith", "Ann");
            dm.shutDown();
        }
        QVERIFY(readAll(dir.file("Patient.bin")).startsWith("TPF0"));
        IniWriteFlag("PtDataFile", "ENCRYPTED", true);
        TDataModule1 dm;
        dm.startUp();
        QVERIFY(readAll(dir.file("Patient.bin")).startsWith("@LHC"));
        QCOMPARE(dm.kbmTablePatient().text("LastName"), QString("Smith"));
        QVERIFY(!dm.patientDataFailed);
    }

    void patientIdsAndChecks()
    {
        TempProgramDir dir;
        ScriptedPrompter prompter;
        TDataModule1 dm;
        dm.startUp();
        Table& p = dm.kbmTablePatient();
        addPatient(dm, "Brown", "Al");
        QCOMPARE(p.value("ID").toInt(), 1);
        addPatient(dm, "Adams", "Bo");
        p.locate({"ID"}, {2});
        p.edit();
        p.setValue("ID", 7);
        p.post();
        addPatient(dm, "Clark", "Cy");
        QCOMPARE(p.value("ID").toInt(), 8);
        QVERIFY(prompter.shown().isEmpty());

        const QByteArray saved = readAll(dir.file("Patient.bin"));
        QVERIFY(p.insert());
        p.setValue("LastName", "Doe");
        p.setValue("FirstName", "Jane");
        p.setValue("DateOfBirth", 31000.0);
        p.setValue("Reminders", "lost");
        QVERIFY(!p.post());
        QCOMPARE(prompter.texts(), QStringList({RecordRules::invalidPatientWarning()}));
        QCOMPARE(p.state(), TableState::Insert);
        QCOMPARE(p.text("LastName"), QString("Doe"));
        QCOMPARE(p.value("DateOfBirth").toDouble(), 31000.0);
        QVERIFY(p.isNull("Reminders"));
        QCOMPARE(p.value("ID").toInt(), 9); // computed afresh: the discarded row never reached the table
        QCOMPARE(readAll(dir.file("Patient.bin")), saved);
        p.setValue("Sex", "Female");
        QVERIFY(p.post());
        QVERIFY(readAll(dir.file("Patient.bin")) != saved);

        const QByteArray before = readAll(dir.file("Patient.bin"));
        dm.visitStamp = true;
        p.edit();
        p.setValue("Sex", QVariant());
        QVERIFY(p.post());
        dm.visitStamp = false;
        QCOMPARE(prompter.texts().size(), 1);
        QCOMPARE(readAll(dir.file("Patient.bin")), before);
    }

    void deleteTakesTheHistoryRow()
    {
        TempProgramDir dir;
        TDataModule1 dm;
        dm.startUp();
        addPatient(dm, "Able", "A");
        addPatient(dm, "Baker", "B");
        Table& h = dm.kbmTablePtHistory();
        h.insert();
        h.setValue("ID", 1);
        h.post();
        const QByteArray history = readAll(dir.file("PtHistory.bin"));
        Table& p = dm.kbmTablePatient();
        QVERIFY(p.locate({"ID"}, {2}));
        dm.rememberedPatient = {"Ab", "", 30000.0, ""};
        QVERIFY(p.deleteRow());
        QCOMPARE(readAll(dir.file("PtHistory.bin")), history); // Baker had no history row
        QCOMPARE(p.text("LastName"), QString("Able"));         // moved to the remembered patient
        QVERIFY(p.deleteRow());
        QCOMPARE(h.totalRowCount(), 0);
        Table back("h");
        back.loadFromFile(dir.file("PtHistory.bin"), FileForm::Plain);
        QCOMPARE(back.totalRowCount(), 0);
    }

    void familyFilter_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("passes");
        QTest::newRow("upper") << "O'Neil Sr." << "O'NEIL" << true;
        QTest::newRow("jr lower") << "O'Neil Sr." << "o'neil jr" << true;
        QTest::newRow("IV") << "O'Neil Sr." << "O'Neil IV" << true;
        QTest::newRow("longer name") << "O'Neil Sr." << "O'Neill" << false;
        QTest::newRow("Smith Jr / III") << "Smith Jr" << "Smith III" << true;
        QTest::newRow("Smith Jr / Sr.") << "Smith Jr" << "Smith Sr." << true;
        QTest::newRow("Smithers") << "Smith" << "Smithers" << false;
    }
    void familyFilter()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, row);
        QFETCH(bool, passes);
        QCOMPARE(RecordRules::familyMatches(row, remembered), passes);
    }

    void filterAndFirstNameFlag()
    {
        TempProgramDir dir;
        TDataModule1 dm;
        dm.startUp();
        addPatient(dm, "O'Neil", "Pat");
        addPatient(dm, "o'neil jr", "Sam");
        addPatient(dm, "O'Neill", "Pat");
        Table& p = dm.kbmTablePatient();
        dm.rememberedPatient.lastName = "O'Neil Sr.";
        dm.rememberedPatient.firstName = "pat";
        p.setFiltered(true);
        QCOMPARE(p.rowCount(), 2);
        dm.firstNameFilter = true;
        p.refresh();
        QCOMPARE(p.rowCount(), 1);
        addPatient(dm, "Zed", "Z"); // inserting clears the filter
        QVERIFY(!p.filtered());
    }

    void dxRules()
    {
        TempProgramDir dir;
        TDataModule1 dm;
        dm.startUp();
        QSignalSpy caption(&dm, &TDataModule1::diagnosisChanged);
        addDx(dm, "Gamma", "Heart", "text");
        addDx(dm, "Beta", "heart");
        const QByteArray saved = readAll(dir.file("Dx.dxm"));
        Table& dx = dm.kbmTableDx();
        QVERIFY(dx.insert());
        QVERIFY(!dx.post()); // all three empty: discarded
        QCOMPARE(dx.totalRowCount(), 2);
        QCOMPARE(readAll(dir.file("Dx.dxm")), saved);
        addDx(dm, "alpha", "Heart");
        QStringList order;
        for (int i = 0; i < dx.rowCount(); ++i)
            order << dx.valueAt(i, 0).toString();
        QCOMPARE(order, QStringList({"alpha", "Beta", "Gamma"}));
        QCOMPARE(dx.text("Dx"), QString("alpha"));
        dx.last();
        QCOMPARE(caption.last().at(0).toString(), QString("Edit Macro"));
        dx.first();
        QCOMPARE(caption.last().at(0).toString(), QString("Create Macro"));

        Table& cat = dm.kbmTableCategory();
        cat.insert();
        cat.setValue("CATEGORY", "Heart");
        cat.post();
        dx.setFiltered(true);
        QCOMPARE(dx.rowCount(), 2); // Beta's "heart" is hidden
    }

    // With the background threshold at zero every patient save goes through the worker; the
    // threshold decides whether a failure comes back from post() or later, as a message.
    void patientSavesReachTheFile_data() { backgroundOrNot(); }
    void patientSavesReachTheFile()
    {
        QFETCH(bool, background);
        SavePathFixture f(background);
        auto& [dir, prompter, dm] = f;
        addPatient(dm, "Brown", "Al");
        addPatient(dm, "Adams", "Bo");
        Table& p = dm.kbmTablePatient();
        for (int i = 0; i < 30; ++i) {
            p.moveTo(i % 2);
            p.edit();
            p.setValue("Reminders", QString("call %1").arg(i));
            QVERIFY(p.post());
        }
        dm.finishSaves();
        QCOMPARE(savedPatients(dir.file("Patient.bin"))->plainStream(), p.plainStream());
        QVERIFY(prompter.shown().isEmpty());
    }

    void failedPatientSaveReachesTheUser_data() { backgroundOrNot(); }
    void failedPatientSaveReachesTheUser()
    {
        QFETCH(bool, background);
        SavePathFixture f(background);
        auto& [dir, prompter, dm] = f;
        addPatient(dm, "Brown", "Al");
        dm.finishSaves();
        // A folder in the file's place: no save can replace it, whatever the user's rights.
        QVERIFY(QFile::remove(dir.file("Patient.bin")));
        QVERIFY(QDir().mkdir(dir.file("Patient.bin")));
        Table& p = dm.kbmTablePatient();
        auto change = [&p](const QString& text) {
            p.edit();
            p.setValue("Reminders", text);
            return p.post();
        };
        const QString failure = QString("Cannot create file \"%1\".").arg(QDir::toNativeSeparators(dir.file("Patient.bin")));
        if (!background) {
            try {
                change("a");
                QFAIL("the failed save was not raised");
            } catch (const MedrovaError& e) {
                QCOMPARE(e.text(), failure);
            }
            QVERIFY(prompter.shown().isEmpty());
        } else {
            // Shown once, on this thread, when events run.
            QVERIFY(change("a"));
            QTRY_COMPARE(prompter.texts(), QStringList{failure});
            QCOMPARE(prompter.shown().front().type, MessageType::Error);
            dm.finishSaves();
            // Not shown yet when shutdown (or anyone) waits for it: raised there instead.
            QVERIFY(change("b"));
            try {
                dm.finishSaves();
                QFAIL("the failed save was not raised");
            } catch (const MedrovaError& e) {
                QCOMPARE(e.text(), failure);
            }
            QCoreApplication::processEvents();
            QCOMPARE(prompter.shown().size(), 1);
        }
        // The next save after the cause is gone writes every change.
        QVERIFY(QDir().rmdir(dir.file("Patient.bin")));
        QVERIFY(change("c"));
        dm.finishSaves();
        QCOMPARE(savedPatients(dir.file("Patient.bin"))->plainStream(), p.plainStream());
    }

    void shutdownDropsBlankFirstRows()
    {
        TempProgramDir dir;
        {
            TDataModule1 dm;
            dm.startUp();
            addPatient(dm, "Kept", "K");
            dm.visitStamp = true; // lets incomplete rows through, as the visit stamp does
            for (int i = 0; i < 2; ++i) {
                dm.kbmTablePatient().insert();
                dm.kbmTablePatient().setValue("FirstName", "blank");
                dm.kbmTablePatient().post();
            }
            dm.visitStamp = false;
            addDx(dm, "Real");
            dm.kbmTableDx().insert();
            dm.kbmTableDx().setValue("Category", "x");
            dm.kbmTableDx().post();
            dm.shutDown();
        }
        TDataModule1 dm;
        dm.startUp();
        QCOMPARE(dm.kbmTablePatient().rowCount(), 2); // one blank row stays
        QCOMPARE(dm.kbmTableDx().rowCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "test_data_module.moc"
