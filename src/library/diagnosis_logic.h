#pragma once
// DiagnosisPaneLogic: the decisions of the diagnosis pane and the Add Diagnosis dialog over the
// data module's presentation and category tables; the widgets only pass the user's actions in.

#include <QString>
#include <QStringList>

class TDataModule1;
class Table;

class DiagnosisPaneLogic {
public:
    explicit DiagnosisPaneLogic(TDataModule1& dm);

    Table& dx() const;
    Table& categories() const;

    // Texts the pane and the dialog show.
    static QString addTitle() { return QStringLiteral("Add Diagnosis and Category"); }
    static QString editTitle() { return QStringLiteral("Edit Diagnosis"); }
    static QString missingNameMessage() { return QStringLiteral("You must first enter a name and category."); }
    static QString deleteQuestion(const QString& finderText);
    static QString finderHint() { return QStringLiteral("Type the presentation or use up/down arrows."); }

    // "Edit Macro" when the current presentation has macro text, "Create Macro" otherwise.
    QString macroButtonCaption() const;
    // "Save and Edit Macro" / "Save and Create Macro" for the row being edited in the dialog.
    QString dialogMacroButtonCaption() const;

    // The categories in table order, for the category boxes. Walking them leaves the category
    // table on its last row, which is the current category until the user chooses one.
    QStringList categoryNames() const;
    QString currentCategory() const;

    // The category box's text changed: an exact (case-sensitive) match becomes the current
    // category; the filter is re-applied while it is on and switched off otherwise.
    void categoryTextChanged(const QString& text, bool filterOn);
    // The filter switch: the list shows only the current category's presentations while on.
    // The current presentation stays current when it is still listed.
    void setFilter(bool on);

    // Finder: moves to the first presentation whose name begins with `text`, ignoring case.
    // Returns the matched name, or a null string when nothing matched.
    QString findPrefix(const QString& text);
    enum class FinderAction { None, Clear, Next, Prior, ToPatientFinder };
    // What a key pressed in the finder does (None: the key is typed as usual).
    static FinderAction finderAction(int key, const QString& typed, bool patientFilterOn);
    void moveNext();
    void movePrior();

    // The dialog's mode follows its title: the add title starts a new row, any other title puts
    // the current row into editing (a new row on an empty list).
    enum class DialogMode { Add, Edit };
    static DialogMode dialogModeForTitle(const QString& title);
    void beginDialog(DialogMode mode);
    // The category of the row being edited.
    QString editedCategory() const;
    // Stores the name as typed and the category, and posts the row (sorted and saved by the
    // record rules). With an empty name or no category it shows the message and returns false;
    // the row stays in editing.
    bool saveDialog(const QString& name, const QString& category);
    // Drops the row's changes; a new row is discarded.
    void cancelDialog();

    // Asks the delete question with the finder's text; on Yes deletes the current presentation
    // and writes the macro file. Raises the table's error on an empty list.
    bool deleteCurrent(const QString& finderText);

private:
    TDataModule1& m_dm;
};

// The simple macro text editor: opens the current presentation's macro for editing and writes
// it back; closing with unsaved changes asks whether to save them.
class MacroTextLogic {
public:
    explicit MacroTextLogic(TDataModule1& dm);
    static QString closeQuestion() { return QStringLiteral("Do you want to save your changes before exiting?"); }

    // Puts the current presentation into editing (a new row on an empty list); returns its text.
    QString begin();
    // Writes the text into `Macro` and posts the row. False when the post was refused.
    bool save(const QString& text);
    // Asks about unsaved changes; true when the window may close. Without changes, or on No,
    // the row's pending edit is dropped.
    bool mayClose(bool modified, const QString& text);

private:
    TDataModule1& m_dm;
};
