#pragma once
// Everything a macro run needs from outside the interpreter: the note, the pick list, message
// boxes, the patient and history rows, fonts and the printer. Tests answer it at once.

#include "macro/pick_action.h"
#include "platform/prompter.h"

#include <QDate>
#include <QString>
#include <QVariantMap>
#include <optional>

// A patient or history row by field name ("LastName", "FirstName", "DateOfBirth", "Sex",
// "SSNum", "Diagnosies"; "FHx", "SHx", "PMHx", "Allergies", "MedList", "Smoker").
// A missing or null field reads as empty.
struct MacroRow {
    QVariantMap fields;

    QString text(const QString& field) const;
    bool flag(const QString& field) const;
    // A null or unreadable date reads as the zero date, 30 December 1899.
    QDate date(const QString& field) const;
};

// The calls of a run other than the pick list. In the program they run on the UI thread.
class MacroServices {
public:
    virtual ~MacroServices() = default;

    // Inserts text at the insertion point of the active note (or, in field mode, into the
    // patient form's field). False when the paste failed; nothing was inserted then.
    virtual bool paste(const QString& text, bool bold) = 0;
    // A message box; the answer is the button pressed.
    virtual Answer message(MessageType type, Buttons buttons, const QString& text) = 0;

    // The current patient row.
    virtual MacroRow patient() = 0;
    // Locates the history row of the active note's patient afresh; nullopt when there is none.
    virtual std::optional<MacroRow> synchronizeData() = 0;
    // True while the patient form runs a macro into one of its fields.
    virtual bool fieldMode() = 0;
    // The visit date of the note (already set to today when the user's option says so).
    virtual QDate defaultNoteDate() = 0;
    virtual QString userName() = 0;
    // The note's plain text before the insertion point.
    virtual QString textBeforeCursor() = 0;

    virtual void setFontSize(int size) = 0;
    virtual void setFontName(const QString& name) = 0;
    // Selects a printer by index digit or name prefix; false when none matched.
    virtual bool pickPrinter(const QString& argument) = 0;

    // The main window's controls during a run; resetButtons also restarts the status timer.
    virtual void disableButtons() = 0;
    virtual void resetButtons() = 0;
    virtual void stopStatusTimer() = 0;
};

// The interpreter's host: the services plus the pick list, which returns the user's action.
class MacroHost : public MacroServices {
public:
    // Shows the list and waits for the user. Called again with request.repeated set when the
    // action could not be used; the interpreter shows any message about it first.
    virtual PickAction pick(const PickRequest& request) = 0;
    // The action has been applied: the list can be hidden.
    virtual void closePickList() {}
};
