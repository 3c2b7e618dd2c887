#pragma once
// TFormAddDlg: the modal dialog that adds a presentation or renames one; its window title
// chooses the mode each time it is shown.

#include <QDialog>

class DiagnosisPaneLogic;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormAddDlg : public QDialog {
    Q_OBJECT
public:
    TFormAddDlg(DiagnosisPaneLogic& logic, QWidget* parent = nullptr);

    // Fills the category drop-down (once, after the tables are opened).
    void setCategories(const QStringList& names);
    // True after "Save and Create/Edit Macro" closed the dialog: the caller opens the editor.
    bool macroEditorRequested() const { return m_wantsEditor; }

    QLineEdit* nameBox() const { return m_name; }
    QComboBox* categoryBox() const { return m_category; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* macroButton() const { return m_createMacro; }
    QPushButton* cancelButton() const { return m_cancel; }

    void BtnAddClick();
    void ButtonCreateMacroClick();
    void BtnCancelClick();

    void reject() override; // Escape acts as Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool save();
    void report(const std::exception& e);

    DiagnosisPaneLogic& m_logic;
    QLineEdit* m_name = nullptr;
    QComboBox* m_category = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_createMacro = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_wantsEditor = false;
};
