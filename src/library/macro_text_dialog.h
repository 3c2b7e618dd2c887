#pragma once
// TMacroTextDialog: a plain editor of the current presentation's macro text with Save and
// Exit; closing with unsaved changes asks whether to save them.

#include "library/diagnosis_logic.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TMacroTextDialog : public QDialog {
    Q_OBJECT
public:
    TMacroTextDialog(TDataModule1& dm, QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return m_edit; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* exitButton() const { return m_exit; }

    void BtnSaveClick();
    void BtnExitClick();

    void done(int result) override; // every way of closing passes the save question

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void report(const std::exception& e);
    MacroTextLogic m_logic;
    QPlainTextEdit* m_edit = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_exit = nullptr;
    bool m_closing = false;
};
