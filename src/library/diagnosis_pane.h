#pragma once
// TDiagnosisPane: the "Macros by Presentation" group of the pick panel: the presentation list
// with its finder, the category box and filter switch, Add/Rename/Delete and the macro button.

#include "library/diagnosis_logic.h"

#include <QGroupBox>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;
class TDataModule1;
class TFormAddDlg;
class TableModel;

class TDiagnosisPane : public QGroupBox {
    Q_OBJECT
public:
    TDiagnosisPane(TDataModule1& dm, QWidget* parent = nullptr);
    ~TDiagnosisPane() override;

    // Fills the category box from the category table; call once after the tables are opened.
    void ComboBoxCatAddStrings();
    // The category box's text (read when a visit is recorded).
    QString categoryText() const;
    bool filterOn() const;
    // Switches the filter as a click on the check box would (the patient finder turns it off).
    void setFilterOn(bool on);
    // Enter in the finder is ignored while this returns true (the patient list is filtered).
    void setPatientFilterHook(std::function<bool()> patientFilterOn) { m_patientFilterOn = std::move(patientFilterOn); }

    QLineEdit* finder() const { return m_finder; }
    QTableView* grid() const { return m_grid; }
    QComboBox* categoryBox() const { return m_category; }
    QCheckBox* filterBox() const { return m_filter; }
    QPushButton* macroButton() const { return m_createMacro; }
    TFormAddDlg* addDialog() const { return m_dialog; }
    DiagnosisPaneLogic& logic() { return m_logic; }

    // The commands, as the buttons run them.
    void AddDxClick();
    void BttnEditDxClick();
    void DeleteDxActionExecute();
    void BtnCreateMacroClick();

Q_SIGNALS:
    // Text for the status bar's hint panel (entering and leaving the finder or category box).
    void hintRequested(const QString& text);
    // Enter in the finder: the main window moves the focus to the patient finder.
    void enterPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ComboBoxCatChange(const QString& text);
    void FilterCheckBoxClick();
    void DbFinderDxChange(const QString& text);
    bool finderKey(QKeyEvent* event);
    void showDiagnosis(const QString& caption, const QString& category);
    void followCursor();
    void runDialog(const QString& title);
    void openMacroEditor();
    void report(const std::exception& e);

    TDataModule1& m_dm;
    DiagnosisPaneLogic m_logic;
    QPushButton* m_add = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
    QCheckBox* m_filter = nullptr;
    QComboBox* m_category = nullptr;
    QLineEdit* m_finder = nullptr;
    QTableView* m_grid = nullptr;
    TableModel* m_model = nullptr;
    QPushButton* m_createMacro = nullptr;
    TFormAddDlg* m_dialog = nullptr;
    QString m_matched; // the full name of the finder's last match
    std::function<bool()> m_patientFilterOn;
    bool m_syncing = false;
};
