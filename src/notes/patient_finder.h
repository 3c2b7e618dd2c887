#pragma once
// The patient pane's decisions, without a window: the incremental finder over the patient
// register with its two modes and keys, and the record actions around it (Add A Patient, the
// navigator, the date-of-birth and sex fields, the reminder field).

#include "store/table.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class DefaultNoteDate;
class TDataModule1;

// Pure rules of the pane's fields.
namespace PatientFields {
// A date of birth lying more than 7 days after `reference` is taken to be a century early:
// the same day and month 100 years back (29 February becomes 28 February when that year has
// none). Any other date, and an invalid one, comes back unchanged.
QDate centuryCorrected(const QDate& date, const QDate& reference);

// The date field's fixed-width form of the locale's short date ("MM/dd/yyyy" for en_US) and
// the input mask that goes with it ("99/99/9999;_").
QString dateFieldFormat();
QString dateFieldMask();
QString dateFieldText(const QVariant& dayCount); // blank for an empty date
// What the date field's text says: an empty date (nothing typed), a date, or nullopt when the
// text cannot be read as a date.
struct DateFieldValue {
    bool empty = true;
    QDate date;
};
std::optional<DateFieldValue> readDateField(const QString& text);

// An edit mask of the table file ("000\-00\-0000;1;_") as a Qt input mask ("999-99-9999;_").
QString inputMask(const QString& editMask);
// The value a masked editor's displayed text stores: null when no character was typed, else the
// text with its literals and with blanks as spaces.
QVariant maskedValue(const QString& displayText, const QString& editMask);

QString sexCode(bool male); // "M", "F"
} // namespace PatientFields

// The finder: an incremental search over one field of the register, LastName or (after ",")
// FirstName among the patients of the remembered family name. The window's line edit mirrors
// text() and hands its keys and focus changes here.
class PatientFinder : public QObject {
    Q_OBJECT
public:
    enum class Mode { LastName, FirstName };

    explicit PatientFinder(TDataModule1& dm, QObject* parent = nullptr);

    static QString toolTip();
    static QString leftHint(); // "Hints"

    Mode mode() const { return m_mode; }
    QString searchField() const; // "LastName" or "FirstName"
    QString text() const { return m_text; }
    // False while a register record is being edited or inserted.
    bool enabled() const;

    // The text the user typed (the line edit reports every edit).
    void setText(const QString& text);
    // Before the line edit sees a key: true when the key is consumed (not typed).
    bool keyPress(int key, const QString& text);
    // After a key release: Backspace and characters 32 to 255 run the search.
    void keyRelease(int key, const QString& text);
    // Moves the register to the first record whose search field starts with text() (any letter
    // case); false when the text is empty or nothing matches (the register stays put).
    bool search();

    // Focus entering the finder; nothing happens while a macro runs.
    void entered(bool macroRunning);
    // Focus leaving: after a successful search the text becomes the record's full field text.
    void left();
    // Back to last-name mode over the whole register, cleared ("." and entering).
    void reset();
    // "," : remembers the current patient's names and shows only that family.
    void firstNameMode();

Q_SIGNALS:
    void textChanged(const QString& text); // the finder set its own text
    void modeChanged(PatientFinder::Mode mode);
    void enabledChanged(bool enabled);
    void hintRequested(const QString& text); // status panel 3
    void finderReset();                      // the diagnosis category filter goes off
    void focusRequested();
    void diagnosisFinderRequested(); // Enter

private:
    void setOwnText(const QString& text);
    void followRecord();
    QString recordText() const;
    Table& table() const;

    TDataModule1& m_dm;
    Mode m_mode = Mode::LastName;
    QString m_text;
    bool m_found = false;
    bool m_searching = false;
};

enum class NavigatorButton { Insert, Delete, Edit, Post, Cancel };

// What the pane's buttons and bound fields do to the register record.
class PatientActions : public QObject {
    Q_OBJECT
public:
    PatientActions(TDataModule1& dm, DefaultNoteDate& noteDate, QObject* parent = nullptr);

    static QString finishEditingMessage();
    static QString deleteQuestion();
    static QString navigatorHint(NavigatorButton button);
    static bool navigatorEnabled(NavigatorButton button, TableState state, bool empty);

    bool editing() const; // edit or insert
    bool hasRecord() const;

    // "Add A Patient": refused with the information message while a record is being edited.
    bool addPatient();
    // A navigator button: its action on the register, then the pane's after-effects.
    void navigatorClicked(NavigatorButton button);

    // Moves the record's date of birth back a century when it lies more than 7 days after
    // `reference`, putting the record into editing; true when it did.
    bool correctDateOfBirth(const QDate& reference);
    // Writes the date field's value while the record is edited; false when it is browsing.
    bool setDateOfBirth(const PatientFields::DateFieldValue& value);
    void dateFieldLeft(); // compared with today
    // Enter in the date field: saves when a sex is chosen; false when nothing was saved.
    bool dateFieldEnter();
    // The sex choice; refused (false) unless the record is being edited.
    bool setSex(const QString& code);
    QString sex() const;
    bool setSsNumber(const QVariant& value);

    // The reminder field switches automatic editing on while it has the focus.
    void reminderEntered();
    // Typing in the reminder field; false when the record cannot take it (the field reverts).
    bool reminderEdited(const QString& text);
    void reminderLeft();
    bool autoEdit() const { return m_autoEdit; }

    // Runs a register operation, reporting its failure (a refused save, a full disk).
    bool guarded(const std::function<bool()>& op);

Q_SIGNALS:
    // The grid: Tab moves between columns, the current column becomes "Last Name", focus.
    void gridEditRequested();

private:
    Table& table() const;

    TDataModule1& m_dm;
    DefaultNoteDate& m_noteDate;
    bool m_autoEdit = false;
    bool m_reminderChanged = false;
};
