#pragma once
// TPatientPane: the upper half of the pick panel, over the patient register: reminder field,
// patient grid, finder, navigator, sex and date of birth. PatientGrid is its grid, whose two
// name columns stay in place when the rest scrolls sideways.

#include "notes/patient_finder.h"

#include <QFrame>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class DefaultNoteDate;
class QAbstractItemModel;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableView;
class QToolButton;
class TDataModule1;
class TableModel;

// Two views over one model and one selection: the frozen one shows "Last Name" and
// "First Name", the other "SS Number" with the sideways scroll bar. Keys and Tab move across
// both as across one grid.
class PatientGrid : public QFrame {
    Q_OBJECT
public:
    explicit PatientGrid(QAbstractItemModel* model, QWidget* parent = nullptr);

    static constexpr int SsColumn = 2;

    QTableView* frozenView() const { return m_frozen; }
    QTableView* scrollingView() const { return m_scroll; }
    QLineEdit* ssEditor() const { return m_ssEditor; }

    int currentColumn() const { return m_column; }
    void setCurrentColumn(int column);
    // Selects the row of the register's cursor without moving the register.
    void showRow(int row);
    // Focus into the view that holds the current column.
    void focusCurrentCell();
    bool hasFocusInside() const;

    void setTabMovesBetweenColumns(bool on);
    bool tabMovesBetweenColumns() const;
    // While a record is edited or inserted the cells can be typed into.
    void setEditing(bool editing);
    void hideSsEditor();
    // Closes an open cell editor, keeping what was typed.
    void commitCellEditor();

Q_SIGNALS:
    void rowChosen(int row); // the user moved to another row
    void ssEditorShown();    // placed over the current "SS Number" cell

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateSsEditor();
    void updateHeaderFont();
    void updateFrozenWidth();
    void leaveGrid(bool forward);
    void moveRow(int delta);

    QAbstractItemModel* m_model;
    QTableView* m_frozen;
    QTableView* m_scroll;
    QLineEdit* m_ssEditor;
    int m_column = 0;
    bool m_editing = false;
    bool m_syncing = false;
};

class TPatientPane : public QWidget {
    Q_OBJECT
public:
    TPatientPane(TDataModule1& dm, DefaultNoteDate& noteDate, QWidget* parent = nullptr);
    ~TPatientPane() override;

    static QString gridToolTip();
    static QString reminderToolTip();
    static QString dateToolTip();

    // True while a macro runs: entering the finder then does nothing.
    std::function<bool()> macroRunning;

    PatientFinder& patientFinder() { return *m_finder; }
    PatientActions& actions() { return *m_actions; }
    QLineEdit* finder() const { return m_finderEdit; }
    PatientGrid* grid() const { return m_grid; }
    QLineEdit* reminderField() const { return m_reminder; }
    QLineEdit* dateField() const { return m_date; }
    QGroupBox* dateGroup() const { return m_dateGroup; }
    QLineEdit* ssEditor() const;
    QRadioButton* maleButton() const { return m_male; }
    QRadioButton* femaleButton() const { return m_female; }
    QToolButton* navigatorButton(NavigatorButton button) const;
    // A running macro holds the navigator off; released, each button follows the register's
    // state again (Post and Cancel only while a row is edited).
    void setNavigatorHeld(bool held);
    QLabel* lastNameLabel() const { return m_lastLabel; }
    QLabel* firstNameLabel() const { return m_firstLabel; }

public Q_SLOTS:
    // "Add A Patient" (Patient Data menu, F8).
    void addPatient();
    void clickNavigator(NavigatorButton button);

Q_SIGNALS:
    void hintRequested(const QString& text); // status panel 3
    void finderReset();                      // switch the diagnosis category filter off
    void diagnosisFinderRequested();         // Enter in the finder

private:
    void buildFields();
    void connectRegister();
    void refreshFields();
    void refreshSex();
    void updateNavigator();
    void setModeLabels(PatientFinder::Mode mode);
    void chooseRow(int row);
    bool commitDateField();
    void commitPendingEdits();
    void sexChosen(const QString& code);
    Table& table() const;

    TDataModule1& m_dm;
    std::unique_ptr<PatientFinder> m_finder;
    std::unique_ptr<PatientActions> m_actions;
    TableModel* m_model = nullptr;
    QAbstractItemModel* m_titled = nullptr;
    PatientGrid* m_grid = nullptr;
    QLineEdit* m_reminder = nullptr;
    QLineEdit* m_finderEdit = nullptr;
    QLabel* m_lastLabel = nullptr;
    QLabel* m_firstLabel = nullptr;
    QToolButton* m_nav[5] = {};
    bool m_navigatorHeld = false;
    QGroupBox* m_sexGroup = nullptr;
    QRadioButton* m_male = nullptr;
    QRadioButton* m_female = nullptr;
    QButtonGroup* m_sexButtons = nullptr;
    QGroupBox* m_dateGroup = nullptr;
    QLineEdit* m_date = nullptr;
    QWidget* m_source = nullptr; // the field whose own edit is being written
    bool m_focusingFinder = false;
};
