#pragma once
// Owns the five tables and the values the program shares about them; opens them at start-up
// (repairing broken files from "backup/", rotating the copies) and saves and closes them.

#include "store/table.h"

#include <QObject>
#include <memory>

class BackgroundSave;
class RecordRules;

// The patient last posted or picked in the finder.
struct RememberedPatient {
    QString lastName;
    QString firstName;
    QVariant dateOfBirth; // day count, null when empty
    QString sex;
};

class TDataModule1 : public QObject {
    Q_OBJECT
public:
    explicit TDataModule1(QObject* parent = nullptr);
    // Runs shutDown() when it has not run; errors are then dropped (call shutDown() to see them).
    ~TDataModule1() override;

    // The start-up algorithm in the program directory. Raises the read error when a broken file
    // cannot be repaired from its backup copy.
    void startUp();
    // Waits for the patient saves still being written, saves the patient (and, when its
    // first row is blank, the Dx) table and closes all five. Every step runs; the first
    // failure (a failed patient save not yet reported among them) is raised at the end.
    void shutDown();

    // Saves the patient table after a post or delete. The rows are taken at once; a large
    // table is then compressed and written on a worker thread while the user goes on, and
    // a failure of that write is shown with Prompter::current().error() when the event loop
    // next runs (or raised by finishSaves() / shutDown(), whichever comes first).
    void savePatient();
    // Blocks until the patient saves still being written have finished; raises the first
    // failure among them not yet shown.
    void finishSaves();
    // Streams of at least this many bytes are written in the background (default 256 KB;
    // a smaller table is saved before savePatient() returns, failures raised from it).
    void setBackgroundSaveFrom(qsizetype bytes) { m_backgroundFrom = bytes; }

    Table& kbmTablePatient() { return *m_patient; }
    Table& kbmTablePtHistory() { return *m_history; }
    Table& kbmTableCategory() { return *m_category; }
    Table& kbmTableDx() { return *m_dx; }
    Table& kbmTableInserts() { return *m_inserts; }

    // The declared definitions of each table.
    static std::vector<FieldDef> patientFields();
    static std::vector<IndexDef> patientIndexes();
    static std::vector<FieldDef> historyFields();
    static std::vector<FieldDef> categoryFields();
    static std::vector<FieldDef> dxFields();
    static std::vector<FieldDef> insertsFields();

    // "Patient Data Encrypted": writes PtDataFile/ENCRYPTED at once; the running table keeps
    // its form until shutdown.
    void setPatientDataEncrypted(bool on);
    bool patientDataEncrypted() const;

    // Shared values.
    RememberedPatient rememberedPatient;
    QString rememberedDiagnosis;
    int nextPatientId = 0;
    bool visitStamp = false;
    bool tabSync = false;
    bool firstNameFilter = false;
    bool importDialog = false;
    QString macroFileName;
    QString userName;
    QString helpFile;
    bool macroFileFailed = false;
    bool patientDataFailed = false;

    // Lets pending window events run, where the rules ask for it.
    static void letEventsRun();

Q_SIGNALS:
    void startUpFinished(); // the splash window closes
    // Window effects of the record rules.
    void patientEditingChanged(bool editing); // navigator Insert button and grid Tab key
    void patientScrolling();                  // hide the social-security-number editor
    void patientGridRepaint();
    void diagnosisChanged(const QString& macroButtonCaption, const QString& category);
    void diagnosisGridRepaint();
    void importCategoryChanged(const QString& category);

private:
    void openPatient();
    void openHistory();
    void repairPatientData();
    void rotateBackups();
    static void ensureIndex(Table& table, const IndexDef& def);

    std::unique_ptr<Table> m_patient, m_history, m_category, m_dx, m_inserts;
    std::unique_ptr<RecordRules> m_rules;
    std::unique_ptr<BackgroundSave> m_saver;
    qsizetype m_backgroundFrom = 256 * 1024;
    bool m_started = false;
    bool m_shutDown = false;
};
