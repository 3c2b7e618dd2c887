#pragma once
// The main window's option switches as stored in Main.ini: what start-up reads, what each
// switch writes when it changes, the print queue mode and the default note date.

#include <QDate>
#include <QString>

enum class QueueMode { Off, Continuous, NewSheet };

// "Off" is off and "Continuous" continuous; anything else, "NewPage" included, is a new
// sheet per note.
QueueMode queueModeFromSetting(const QString& setting);

struct MainOptions {
    QString noteFolder;
    QString fontSize;
    bool patientDataEncrypted = true;
    bool autoToggle = false;
    bool showHints = true;
    bool showPatientHints = false;
    bool flickerReduction = false;
    QueueMode queueMode = QueueMode::Off;

    // Reads every option with its own default; `user` names the current user's section
    // (empty when nobody is selected, so every user key takes its default).
    static MainOptions read(const QString& user);

    // Each switch writes its key at once; a write the file system refuses raises.
    static void writeAutoToggle(const QString& user, bool on);
    static void writeShowHints(const QString& user, bool on);
    static void writeShowPatientHints(const QString& user, bool on);
    static void writeFlickerReduction(bool on);
    static void writePatientDataEncrypted(bool on);
};

// The visit date used for note file names and the date insert. "Today" follows the clock each
// time it is refreshed; "Set" keeps the chosen date.
class DefaultNoteDate {
public:
    DefaultNoteDate();
    QDate date() const { return m_date; }
    bool followsToday() const { return m_today; }
    void chooseToday();
    void chooseDate(const QDate& date);
    // Called at the start of Save As, Open Old Note and each navigator click.
    void refreshIfToday();

private:
    QDate m_date;
    bool m_today = true;
};
