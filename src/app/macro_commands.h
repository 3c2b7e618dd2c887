#pragma once
// The main window's way into the interpreter: "&Run Macro", "Run Macro Part" with its window,
// the Insert menu's built-in entries, and the services a run calls back on the UI thread (the
// paste into the active note, the patient and history rows, the controls a run disables).

#include "macro/macro_host.h"
#include "macro/macro_session.h"

#include <QObject>
#include <functional>
#include <memory>

class MacroRunner;
class NoteEditor;
class QPushButton;
class TDataModule1;
class TDlgMenu;
class TMainForm;
class TNoteTabs;
class TPasteMacroForm;
struct InsertEntry;

class TMacroCommands : public QObject, public MacroServices {
    Q_OBJECT
public:
    TMacroCommands(TMainForm& form, TDataModule1& dm, TNoteTabs& tabs, QPushButton* runMacro,
                   QPushButton* runMacroPart);
    ~TMacroCommands() override;

    // The patient pane's navigator, disabled while a run that disables controls is going on.
    void setNavigatorEnabler(std::function<void(bool)> enable) { m_navigator = std::move(enable); }

    bool MacroRunning() const;
    MacroRunner& runner() const { return *m_runner; }
    TDlgMenu& pickList() const { return *m_pickList; }
    TPasteMacroForm& pasteMacroForm() const { return *m_pasteForm; }
    MacroSession& session() { return m_session; }

    void BtnRunMacroClick();
    void BtnRunMacroPartClick();
    void insertEntryClick(const InsertEntry& entry);
    void TodaysDate1Click();
    void BtnTransferClick(const QString& macroText);

    void DisableButtons();
    void ResetButtons();

    // MacroServices, on the UI thread.
    bool paste(const QString& text, bool bold) override;
    Answer message(MessageType type, Buttons buttons, const QString& text) override;
    MacroRow patient() override;
    std::optional<MacroRow> synchronizeData() override;
    bool fieldMode() override { return false; }
    QDate defaultNoteDate() override;
    QString userName() override;
    QString textBeforeCursor() override;
    void setFontSize(int size) override;
    void setFontName(const QString& name) override;
    bool pickPrinter(const QString& argument) override;
    void disableButtons() override { DisableButtons(); }
    void resetButtons() override { ResetButtons(); }
    void stopStatusTimer() override;

private:
    // Opens a tab for the register's patient when the active one is not that patient's; false
    // (after telling the user) when no usable tab could be made.
    bool ensurePatientTab(int waits);
    NoteEditor* activeEditor() const;
    void start(const QString& macroText);

    TMainForm& m_form;
    TDataModule1& m_dm;
    TNoteTabs& m_tabs;
    QPushButton* m_runMacro;
    QPushButton* m_runMacroPart;
    MacroSession m_session;
    std::unique_ptr<MacroRunner> m_runner;
    TDlgMenu* m_pickList = nullptr;
    TPasteMacroForm* m_pasteForm = nullptr;
    std::function<void(bool)> m_navigator;
};
