#include "store/data_module.h"

#include "app/settings_store.h"
#include "platform/errors.h"
#include "platform/program_dir.h"
#include "platform/prompter.h"
#include "store/background_save.h"
#include "store/lzh_container.h"
#include "store/record_rules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kBackup = QStringLiteral("backup/");
const QString kEvery5 = QStringLiteral("backup/Every5Starts/");

// Overwrites the destination and creates missing folders; false when anything fails.
bool copyFile(const QString& from, const QString& to)
{
    if (!QFileInfo::exists(from))
        return false;
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    return QFile::copy(from, to);
}

FieldDef field(const char* name, FieldType type, int size = 0, bool required = false)
{
    return FieldDef::make(QString::fromLatin1(name), type, size, required);
}
} // namespace

TDataModule1::TDataModule1(QObject* parent)
    : QObject(parent),
      m_patient(std::make_unique<Table>(QStringLiteral("kbmTablePatient"))),
      m_history(std::make_unique<Table>(QStringLiteral("kbmTablePtHistory"))),
      m_category(std::make_unique<Table>(QStringLiteral("kbmTableCategory"))),
      m_dx(std::make_unique<Table>(QStringLiteral("kbmTableDx"))),
      m_inserts(std::make_unique<Table>(QStringLiteral("kbmTableInserts")))
{
    m_patient->setFieldDefs(patientFields());
    m_patient->setIndexDefs(patientIndexes());
    m_history->setFieldDefs(historyFields());
    m_category->setFieldDefs(categoryFields());
    m_category->setIndexDefs({IndexDef::make(QStringLiteral("Cat_Index"), QStringLiteral("CATEGORY"))});
    m_dx->setFieldDefs(dxFields());
    m_dx->setIndexDefs({IndexDef::make(QStringLiteral("DXIndex"), QStringLiteral("Dx"), true)});
    m_inserts->setFieldDefs(insertsFields());
    m_inserts->setIndexDefs({IndexDef::make(QStringLiteral("InsertIndex"), QStringLiteral("Description"), true)});
    m_patient->setBackupRule(BackupRule::KeepBak);
    m_history->setBackupRule(BackupRule::KeepBak);
    m_dx->setBackupRule(BackupRule::KeepBak);
    m_rules = std::make_unique<RecordRules>(*this);
    m_saver = std::make_unique<BackgroundSave>();
    connect(m_saver.get(), &BackgroundSave::failed, this, [](const QString& text) { Prompter::current().error(text); });
}

TDataModule1::~TDataModule1()
{
    if (m_started && !m_shutDown) {
        try {
            shutDown();
        } catch (const MedrovaError&) {
        }
    }
}

void TDataModule1::savePatient()
{
    Table& t = *m_patient;
    QByteArray plain = t.plainStream();
    if (plain.size() >= m_backgroundFrom) {
        m_saver->save(t.fileName(), std::move(plain), t.fileForm());
        return;
    }
    // Straight to the file, but after a larger save still being written there.
    m_saver->wait();
    Table::saveStream(t.fileName(), plain, t.fileForm());
}

void TDataModule1::finishSaves()
{
    if (std::optional<MedrovaError> failure = m_saver->finish())
        throw *failure;
}

void TDataModule1::letEventsRun()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// ---- definitions -----------------------------------------------------------------------

std::vector<FieldDef> TDataModule1::patientFields()
{
    return {field("LastName", FieldType::String, 30), field("FirstName", FieldType::String, 30),
            field("DateOfBirth", FieldType::Date),    field("Sex", FieldType::String, 6),
            field("SSNum", FieldType::String, 12),    field("Diagnosies", FieldType::Memo),
            field("LastCPX", FieldType::Date),        field("LastVisit", FieldType::Date),
            field("LastMam", FieldType::Date),        field("ID", FieldType::Integer, 0, true),
            field("Reminders", FieldType::String, 100)};
}

std::vector<IndexDef> TDataModule1::patientIndexes()
{
    return {IndexDef::make(QStringLiteral("NAME"), QStringLiteral("LastName;FirstName"), true),
            IndexDef::make(QStringLiteral("ID_NDX"), QStringLiteral("ID"), false, true),
            IndexDef::make(QStringLiteral("LName_NDX"), QStringLiteral("LastName"), true)};
}

std::vector<FieldDef> TDataModule1::historyFields()
{
    std::vector<FieldDef> f = {field("ID", FieldType::Integer),      field("PMHx", FieldType::Memo),
                               field("SHx", FieldType::String, 254), field("Smoker", FieldType::Boolean),
                               field("FHx", FieldType::String, 254), field("Allergies", FieldType::String, 254),
                               field("MedList", FieldType::Memo),    field("FluIndicated", FieldType::Boolean)};
    for (const char* d : {"FluDate", "TetanusDate", "PneumovaxDate", "HemoccultDate", "DigitalRectalDate", "PAPDate",
                          "FFSDate", "DaPT1Date", "DaPT2Date", "DaPT3Date", "DaPT4Date", "DaPT5Date", "IPV1Date",
                          "IPV2Date", "IPV3Date", "IPV4Date", "MMR1Date", "MMR2Date", "HepB1Date", "HebB2Date",
                          "HepB3Date", "Hib1Date", "Hib2Date", "Hib3Date", "Hib4Date", "VaricellaDate"})
        f.push_back(field(d, FieldType::Date));
    f.push_back(field("VaricellaDisease", FieldType::Boolean));
    for (const char* d : {"Prevnar1Date", "Prevnar2Date", "Prevnar3Date", "Prevnar4Date"})
        f.push_back(field(d, FieldType::Date));
    return f;
}

std::vector<FieldDef> TDataModule1::categoryFields() { return {field("CATEGORY", FieldType::String, 40)}; }

std::vector<FieldDef> TDataModule1::dxFields()
{
    return {field("Dx", FieldType::String, 40), field("Macro", FieldType::Memo), field("Category", FieldType::String, 40)};
}

std::vector<FieldDef> TDataModule1::insertsFields()
{
    return {field("Description", FieldType::String, 40), field("AInsert", FieldType::Memo)};
}

void TDataModule1::ensureIndex(Table& table, const IndexDef& def)
{
    for (const IndexDef& d : table.indexDefs())
        if (d.name.compare(def.name, Qt::CaseInsensitive) == 0)
            return;
    // A file written with other index definitions still gets the order the program needs.
    if (table.fieldIndex(def.fieldList().value(0)) >= 0)
        table.addIndex(def);
}

bool TDataModule1::patientDataEncrypted() const
{
    return IniReadFlag(QStringLiteral("PtDataFile"), QStringLiteral("ENCRYPTED"), true);
}

void TDataModule1::setPatientDataEncrypted(bool on)
{
    IniWriteFlag(QStringLiteral("PtDataFile"), QStringLiteral("ENCRYPTED"), on);
}

// ---- start-up --------------------------------------------------------------------------

void TDataModule1::openPatient()
{
    Table& t = *m_patient;
    const QString file = ProgramDir::file(QStringLiteral("Patient.bin"));
    t.setFileName(file);
    t.setPersistent(true);
    t.setFieldDefs(patientFields());
    t.setIndexDefs(patientIndexes());
    const bool exists = QFileInfo::exists(file);
    bool compressed = false;
    if (exists && patientDataEncrypted()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            throw MedrovaError(QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(file), f.errorString()));
        const QByteArray head = f.read(4);
        f.close();
        if (head.size() < 4)
            throw MedrovaError(QStringLiteral("Stream read error"));
        if (head != LzhContainer::mark()) {
            Table temp(QStringLiteral("conversion"));
            temp.setFieldDefs(patientFields());
            temp.setIndexDefs(patientIndexes());
            temp.loadFromFile(file, FileForm::Plain);
            temp.saveToFile(file, FileForm::Compressed);
        }
        compressed = true;
    }
    t.setFileForm(compressed ? FileForm::Compressed : FileForm::Plain);
    t.setMemoCompression(compressed);
    t.createTable();
    if (exists) {
        try {
            t.loadFromFile(file, t.fileForm());
        } catch (const MedrovaError&) {
            patientDataFailed = true;
        }
    }
    ensureIndex(t, patientIndexes()[0]);
    ensureIndex(t, patientIndexes()[1]);
    t.setActiveIndex(QStringLiteral("NAME"));
    t.first();
}

void TDataModule1::openHistory()
{
    Table& t = *m_history;
    const QString file = ProgramDir::file(QStringLiteral("PtHistory.bin"));
    t.setFileName(file);
    t.setPersistent(true);
    t.setFileForm(FileForm::Plain);
    t.setFieldDefs(historyFields());
    t.setIndexDefs({});
    t.createTable();
    const IndexDef idIndex = IndexDef::make(QStringLiteral("ID_INDEX"), QStringLiteral("ID"));
    t.addIndex(idIndex);
    if (QFileInfo::exists(file)) {
        try {
            t.loadFromFile(file, FileForm::Plain);
        } catch (const MedrovaError&) {
            patientDataFailed = true;
        }
    }
    ensureIndex(t, idIndex);
    t.setActiveIndex(QStringLiteral("ID_INDEX"));
}

void TDataModule1::repairPatientData()
{
    const QString history = ProgramDir::file(QStringLiteral("PtHistory.bin"));
    const QString patient = ProgramDir::file(QStringLiteral("Patient.bin"));
    m_history->close();
    copyFile(ProgramDir::file(kBackup + QStringLiteral("PtHistory.bin")), history);
    m_history->open();
    ensureIndex(*m_history, IndexDef::make(QStringLiteral("ID_INDEX"), QStringLiteral("ID")));
    m_history->setActiveIndex(QStringLiteral("ID_INDEX"));
    m_patient->close();
    copyFile(ProgramDir::file(kBackup + QStringLiteral("Patient.bin")), patient);
    m_patient->open();
    ensureIndex(*m_patient, patientIndexes()[0]);
    ensureIndex(*m_patient, patientIndexes()[1]);
    m_patient->setActiveIndex(QStringLiteral("NAME"));
    m_patient->first();
}

void TDataModule1::rotateBackups()
{
    int starts = IniReadNumber(QStringLiteral("Backup"), QStringLiteral("Starts"), 0) + 1;
    const QStringList files = {QStringLiteral("Patient.bin"), QStringLiteral("PtHistory.bin"), macroFileName,
                               QStringLiteral("Main.ini")};
    if (starts > 4) {
        starts = 0;
        for (const QString& f : files)
            copyFile(ProgramDir::file(kBackup + f), ProgramDir::file(kEvery5 + f));
    }
    for (const QString& f : files)
        copyFile(ProgramDir::file(f), ProgramDir::file(kBackup + f));
    IniWriteNumber(QStringLiteral("Backup"), QStringLiteral("Starts"), starts);
}

void TDataModule1::startUp()
{
    m_saver->wait();
    m_started = true;
    m_shutDown = false;
    macroFileFailed = patientDataFailed = false;
    QDir().mkpath(ProgramDir::file(kEvery5));
    helpFile = ProgramDir::file(QStringLiteral("Medrova.HLP"));
    userName = IniReadText(QStringLiteral("User"), QStringLiteral("LastUserName"), QStringLiteral("Guest"));
    macroFileName = IniReadText(userName, QStringLiteral("MacroFile"), QStringLiteral("Dx.dxm"));

    m_category->setFileName(ProgramDir::file(QStringLiteral("Category.bin")));
    m_category->setPersistent(true);
    m_category->setFileForm(FileForm::Plain);
    m_category->open();
    if (m_category->indexDefs().size() > 0 && m_category->activeIndex().isEmpty())
        m_category->setActiveIndex(m_category->indexDefs().front().name);

    const QString macroFile = ProgramDir::file(macroFileName);
    m_dx->setFileName(macroFile);
    m_dx->setPersistent(true);
    m_dx->setFileForm(FileForm::Plain);
    m_dx->setFieldDefs(dxFields());
    try {
        m_dx->open();
    } catch (const MedrovaError&) {
        macroFileFailed = true;
        m_dx->close();
        copyFile(ProgramDir::file(kBackup + macroFileName), macroFile);
        m_dx->open();
    }
    ensureIndex(*m_dx, IndexDef::make(QStringLiteral("DXIndex"), QStringLiteral("Dx"), true));
    m_dx->setActiveIndex(QStringLiteral("DXIndex"));
    m_dx->first(); // the list opens at its first presentation by name, not the file's first row

    const QString insertsFile = ProgramDir::file(QStringLiteral("Inserts.bin"));
    m_inserts->setFileName(insertsFile);
    m_inserts->setPersistent(true);
    m_inserts->setFileForm(FileForm::Compressed);
    m_inserts->setMemoCompression(true);
    if (QFileInfo::exists(insertsFile))
        m_inserts->loadFromFile(insertsFile, FileForm::Compressed);
    else
        m_inserts->createTable();
    ensureIndex(*m_inserts, IndexDef::make(QStringLiteral("InsertIndex"), QStringLiteral("Description"), true));
    m_inserts->setActiveIndex(QStringLiteral("InsertIndex"));

    openPatient();
    openHistory();
    if (patientDataFailed)
        repairPatientData();

    if (m_patient->fieldIndex(QStringLiteral("DateOfBirth")) >= 0)
        m_patient->setEditMask(QStringLiteral("DateOfBirth"), QStringLiteral("!99/99/0000;1;_"));
    if (m_patient->fieldIndex(QStringLiteral("SSNum")) >= 0)
        m_patient->setEditMask(QStringLiteral("SSNum"), QStringLiteral("000\\-00\\-0000;1;_"));
    m_patient->refresh();

    if (!macroFileFailed && !patientDataFailed)
        rotateBackups();
    Q_EMIT startUpFinished();
}

// ---- shutdown --------------------------------------------------------------------------

void TDataModule1::shutDown()
{
    m_shutDown = true;
    std::optional<MedrovaError> firstError;
    auto step = [&firstError](const std::function<void()>& f) {
        try {
            f();
        } catch (const MedrovaError& e) {
            if (!firstError)
                firstError = e;
        }
    };
    step([this] { finishSaves(); });
    step([this] {
        Table& t = *m_patient;
        if (!t.isActive() || t.totalRowCount() == 0)
            return;
        t.first();
        if (!t.isEmpty() && t.isNull(QStringLiteral("LastName"))) {
            t.deleteRow();
            letEventsRun();
        }
        const bool compressed = patientDataEncrypted();
        t.setFileForm(compressed ? FileForm::Compressed : FileForm::Plain);
        t.setMemoCompression(compressed);
        t.saveToFile(ProgramDir::file(QStringLiteral("Patient.bin")), t.fileForm());
    });
    step([this] {
        Table& t = *m_dx;
        if (!t.isActive() || t.totalRowCount() == 0)
            return;
        t.first();
        if (!t.isEmpty() && t.isNull(QStringLiteral("Dx"))) {
            t.deleteRow();
            t.save();
        }
    });
    for (Table* t : {m_patient.get(), m_history.get(), m_category.get(), m_dx.get(), m_inserts.get()})
        t->setPersistent(false);
    m_patient->setFiltered(false);
    m_history->setFiltered(false);
    for (Table* t : {m_inserts.get(), m_category.get(), m_dx.get(), m_patient.get(), m_history.get()})
        step([t] { t->close(); });
    if (firstError)
        throw *firstError;
}

#include "moc_data_module.cpp"
