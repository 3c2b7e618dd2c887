#pragma once
// TMainForm: the program's main window, the frame around the note area and the pick panel.
// Its caption is the title alone or "title - note file name". It owns the menus, toolbar and
// status bar, the option switches and the run-time state other windows share; the decisions
// behind them live in main_options, frame_rules and recent_files.

#include "app/frame_rules.h"
#include "app/key_locks.h"
#include "app/main_options.h"
#include "app/recent_files.h"
#include "app/screen_saver.h"

#include <QMainWindow>
#include <QPointer>
#include <QTextEdit>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;

class QPushButton;
class QTimer;
class QToolBar;
class QVBoxLayout;
class SingleInstance;
class TDataModule1;
class TMacroCommands;
class TNoteTabs;
class TPatientPane;
class TDiagnosisPane;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs the single-instance check under `instanceTitle` (tests pass a name of their own).
    explicit TMainForm(QWidget* parent = nullptr, const QString& instanceTitle = title());
    ~TMainForm() override;
    static QString title() { return QStringLiteral("Medrova"); }

    // False when another instance was running; that one was asked to come to the front and
    // this one must not show itself.
    bool isPrimaryInstance() const;

    // Start-up configuration from the settings; called once by the start-up sequence.
    void SetupProgram();
    // Refreshes the window caption from the active note.
    void SetCaptions();
    // Builds the note tabs, the panes and the macro commands over the opened tables; called
    // once by the start-up sequence after the data module has opened them.
    void attachDataModule(TDataModule1& dm);
    TDataModule1* dataModule() const { return m_dm; }
    TNoteTabs* noteTabControl() const { return m_tabs; }
    TMacroCommands* macroCommands() const { return m_macros; }
    QPushButton* runMacroButton() const { return m_runMacro; }
    QPushButton* runMacroPartButton() const { return m_runMacroPart; }
    TPatientPane* patientPane() const { return m_patientPane; }
    TDiagnosisPane* diagnosisPane() const { return m_dxPane; }

    // Run-time state.
    QString currentUser() const { return m_user; }
    QString noteFolder() const { return m_options.noteFolder; }
    const MainOptions& options() const { return m_options; }
    DefaultNoteDate& defaultNoteDate() { return m_noteDate; }
    RecentFileList& recentFiles() { return m_recent; }
    // The note whose name the caption shows; an empty name is a new note ("Untitled").
    void setActiveNote(bool open, const QString& fileName);
    QTextEdit* activeEditor() const { return m_activeEditor; }
    void setActiveEditor(QTextEdit* editor) { m_activeEditor = editor; }

    // Commands by object name (menus and toolbar share them), for the Parts that take them over.
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;
    QToolBar* toolBar() const { return m_toolBar; }
    QComboBox* fontSizeBox() const { return m_fontSize; }
    QTabWidget* noteTabs() const { return m_noteTabs; }

    // The pick panel and the places the panes go.
    QWidget* pickPanel() const { return m_pickPanel; }
    void addToPickPanel(QWidget* pane, int stretch = 0);
    bool pickPanelShown() const;
    // Hides or shows the panel without touching the "Hide Pick Panel" caption (printing,
    // closing a tab and a macro run do this).
    void setPickPanelShown(bool shown);
    FrameRules::GridRows gridRows() const { return m_rows; }

    // Status bar: panels 0 font, 1 Caps Lock, 2 Num Lock, 3 hints and instructions.
    QLabel* statusPanel(int index) const;
    void setHintText(const QString& text);
    void setStatusTimerEnabled(bool on);
    bool statusTimerEnabled() const;
    void DisplayKeyState();
    void setKeyLockReader(std::function<KeyLockState()> reader) { m_keyLocks = std::move(reader); }
    void setShellLauncher(std::function<bool(const ShellCommand&)> launcher) { m_launch = std::move(launcher); }

    bool hintsEnabled() const;

    // F1: the context number of a widget (its own or the nearest parent's).
    static int helpContextOf(const QWidget* widget);

    // The shutdown sequence; false when it was abandoned and the program keeps running.
    bool FormClose();

Q_SIGNALS:
    void gridRowsChanged(FrameRules::GridRows rows);
    void activated();
    // A second instance asked this one to come to the front.
    void raisedByOtherInstance();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, const QString& name, const QString& caption,
                        const QString& shortcut = QString(), const QString& hint = QString(), int help = 0);
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void applySizeRule();

    void PickPanelClick();
    void AutoToggleClick();
    void DefaultDateTodayClick();
    void DefaultDateSetClick();
    void FlickerReductionClick();
    void ShowHintsClick();
    void ShowPatientHintsClick();
    void ScreenBlankerClick();
    void PtDataEncryptedMenuClick();
    void ClearMRUClick();
    void rebuildReopenMenu();
    void ShowHelpClick();
    void AboutClick();
    void TimerUpdateStatusBar();
    void writeOption(const std::function<void()>& write);

    bool closeTabsForShutdown();

    std::unique_ptr<SingleInstance> m_instance;
    TDataModule1* m_dm = nullptr;
    TNoteTabs* m_tabs = nullptr;
    TMacroCommands* m_macros = nullptr;
    TPatientPane* m_patientPane = nullptr;
    TDiagnosisPane* m_dxPane = nullptr;
    QPushButton* m_runMacro = nullptr;
    QPushButton* m_runMacroPart = nullptr;
    QString m_user;
    MainOptions m_options;
    DefaultNoteDate m_noteDate;
    RecentFileList m_recent;
    bool m_noteOpen = false;
    QString m_noteFile;
    QPointer<QTextEdit> m_activeEditor;

    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QToolBar* m_toolBar = nullptr;
    QComboBox* m_fontSize = nullptr;
    QTabWidget* m_noteTabs = nullptr;
    QStatusBar* m_status = nullptr;
    QLabel* m_panels[4] = {};
    QWidget* m_pickPanel = nullptr;
    QVBoxLayout* m_pickLayout = nullptr;
    QAction* m_queueSeparator = nullptr;
    QTimer* m_timer = nullptr;
    FrameRules::GridRows m_rows;
    int m_pickDesignHeight = 412; // the pick panel's height with both grids at their design heights
    std::function<KeyLockState()> m_keyLocks;
    std::function<bool(const ShellCommand&)> m_launch;
    class HintFilter* m_hints = nullptr;
    bool m_closing = false;
};
