#pragma once
// TNoteTabs: the note tabs of the main window. Each tab holds one note editor for one patient;
// the active tab decides which patient the register shows and which editor the commands work
// on. It opens tabs (New Note), follows tab changes with the register, keeps the tab and window
// captions, asks the save question and closes tabs with their guards.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class NoteEditor;
class QTabWidget;
class TDataModule1;
class TMainForm;

class TNoteTabs : public QObject {
    Q_OBJECT
public:
    TNoteTabs(TMainForm& form, TDataModule1& dm);
    ~TNoteTabs() override;

    // Refuses tab changes and closes (a macro runs) or tab changes alone (a form is open).
    void setMacroRunning(std::function<bool()> running) { m_macroRunning = std::move(running); }
    void setTabChangeBlocked(std::function<bool()> blocked) { m_tabChangeBlocked = std::move(blocked); }

    int count() const;
    int activeIndex() const;
    int patientIdOf(int index) const;
    NoteEditor* editorAt(int index) const;
    QString captionOf(int index) const;
    const QStringList& OpenNoteFiles() const { return m_openNoteFiles; }

    bool closeInProgress() const { return m_closing; }
    bool tabChangeInProgress() const { return m_changing; }
    bool notUserChange() const { return m_notUserChange; }
    // Set by a macro run; cleared when a tab is created or becomes active.
    bool macroRunFlag = false;
    // The user answered Cancel at the last save question; the caller reads and clears it.
    bool saveQuestionCancelled = false;

    void FileNewCmdExecute();
    void CloseActiveWindowExecute();
    // Makes the active tab's patient and editor current (after a click on a tab, or called).
    void vgPageControl1Change();
    void SynchToActiveTab();
    void SetCaptions();
    void CheckFileSave();
    // A close at shutdown: no guard, no question (the caller asked it), no re-activation.
    // Returns the note's recent-file entry (empty for a note without file).
    QString closeActiveForShutdown();
    // Shutdown detaches and re-attaches the tab-change handling.
    void setTabChangeAttached(bool attached) { m_detached = !attached; }

Q_SIGNALS:
    // A tab was created or the active tab changed: the "Run Selected Macro Part" window empties.
    void macroPagesReset();
    // A new note tab for this patient is open (health-maintenance alerts follow it).
    void newNoteOpened(int patientId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool tabChangeRefused() const;
    void currentChanged(int index);
    void editorChanged(NoteEditor* editor);
    void switchPatientFilterOff();
    void showFontSizeOf(NoteEditor* editor);
    void removeTab(int index);

    TMainForm& m_form;
    TDataModule1& m_dm;
    QPointer<QTabWidget> m_tabs;
    QStringList m_openNoteFiles;
    int m_shownIndex = -1; // the tab the register last followed
    bool m_closing = false;
    bool m_changing = false;
    bool m_notUserChange = false;
    bool m_detached = false;
    bool m_opening = false;
    std::function<bool()> m_macroRunning;
    std::function<bool()> m_tabChangeBlocked;
};
