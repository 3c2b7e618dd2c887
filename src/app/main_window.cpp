#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/choose_date_dialog.h"
#include "app/help_topics.h"
#include "app/help_window.h"
#include "app/macro_commands.h"
#include "app/single_instance.h"
#include "macro/insert_entries.h"
#include "library/diagnosis_pane.h"
#include "notes/note_tabs.h"
#include "notes/patient_pane.h"
#include "platform/note_editor.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "store/data_module.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

namespace {
constexpr int PickPanelWidth = 290;
// Design heights of the two grids of the pick panel: a header and five rows, a header and eight.
constexpr int PatientGridDesignHeight = 110;
constexpr int DiagnosisGridDesignHeight = 160;
constexpr int TooltipMs = 3500;
const char* const HintProperty = "hint";       // the hint text exactly as specified
const char* const HelpProperty = "helpContext"; // F1 context number

const QString NoTabHint = QStringLiteral("Choose a patient & Dx then click \"New\"");

// Hints are written with CR LF line breaks; a tooltip wants plain line feeds and no
// trailing break.
QString displayHint(QString hint)
{
    hint.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (hint.endsWith(QLatin1Char('\n')))
        hint.chop(1);
    return hint;
}
} // namespace

// Shows tooltips for TooltipMs while program hints are on and none at all while they are off.
class HintFilter : public QObject {
public:
    using QObject::QObject;
    bool enabled = true;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w)
            return false;
        if (!enabled) {
            QToolTip::hideText();
            return true;
        }
        const QString tip = w->toolTip();
        if (tip.isEmpty())
            return false;
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), tip, w, QRect(), TooltipMs);
        return true;
    }
};

TMainForm::TMainForm(QWidget* parent, const QString& instanceTitle) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(title());
    m_instance = std::make_unique<SingleInstance>(instanceTitle);
    connect(m_instance.get(), &SingleInstance::activationRequested, this, [this] {
        if (isMinimized())
            showMaximized();
        raise();
        activateWindow();
        Q_EMIT raisedByOtherInstance();
    });

    m_keyLocks = [] { return readKeyLocks(); };
    m_launch = [](const ShellCommand& c) { return QProcess::startDetached(c.program, c.arguments); };

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    auto* noteArea = new QWidget(central);
    noteArea->setObjectName(QStringLiteral("NoteArea"));
    noteArea->setProperty(HelpProperty, HelpContext::NoteArea);
    auto* noteLayout = new QVBoxLayout(noteArea);
    noteLayout->setContentsMargins(0, 0, 0, 0);
    noteLayout->setSpacing(0);
    m_toolBar = new QToolBar(QStringLiteral("Note"), noteArea);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_noteTabs = new QTabWidget(noteArea);
    m_noteTabs->setObjectName(QStringLiteral("NoteTabs"));
    m_noteTabs->setDocumentMode(true);
    m_status = new QStatusBar(noteArea);
    m_status->setObjectName(QStringLiteral("StatusBar"));
    m_status->setSizeGripEnabled(false);
    noteLayout->addWidget(m_toolBar);
    noteLayout->addWidget(m_noteTabs, 1);
    noteLayout->addWidget(m_status);

    m_pickPanel = new QWidget(central);
    m_pickPanel->setObjectName(QStringLiteral("PickPanel"));
    m_pickPanel->setProperty(HelpProperty, HelpContext::PickPanel);
    m_pickPanel->setFixedWidth(PickPanelWidth);
    m_pickLayout = new QVBoxLayout(m_pickPanel);
    m_pickLayout->setContentsMargins(2, 2, 2, 2);
    m_pickPanel->installEventFilter(this);

    row->addWidget(noteArea, 1);
    row->addWidget(m_pickPanel);
    setCentralWidget(central);

    m_hints = new HintFilter(this);
    qApp->installEventFilter(m_hints);

    buildMenus();
    buildToolBar();
    buildStatusBar();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("TimerUpdateStatusBar"));
    m_timer->setInterval(950);
    connect(m_timer, &QTimer::timeout, this, &TMainForm::TimerUpdateStatusBar);
    m_timer->start();

    // F1 anywhere in the window opens the help topic of the control that has the focus.
    auto* help = new QAction(this);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    help->setShortcutContext(Qt::WindowShortcut);
    connect(help, &QAction::triggered, this, [this] {
        QWidget* focus = QApplication::focusWidget();
        showHelpTopic(helpContextOf(focus ? focus : this));
    });
    addAction(help);

    setProperty(HelpProperty, HelpContext::NoteArea);
    resize(1000, 700);
}

TMainForm::~TMainForm()
{
    if (qApp)
        qApp->removeEventFilter(m_hints);
    // The controllers watch the tab widget and the panes; they go before the widgets do, so no
    // signal or event sent while the widgets are torn down reaches a half-destroyed window.
    delete m_macros;
    delete m_tabs;
}

bool TMainForm::isPrimaryInstance() const { return m_instance->isPrimary(); }

QAction* TMainForm::addCommand(QMenu* menu, const QString& name, const QString& caption,
                               const QString& shortcut, const QString& hint, int help)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(QKeySequence(shortcut));
    if (!hint.isEmpty()) {
        a->setProperty(HintProperty, hint);
        a->setToolTip(displayHint(hint));
    }
    if (help)
        a->setProperty(HelpProperty, help);
    // Commands whose windows are not part of the program yet stay visible but unavailable;
    // the code that brings them enables them.
    a->setEnabled(false);
    if (menu)
        menu->addAction(a);
    m_actions.insert(name, a);
    return a;
}

void TMainForm::buildMenus()
{
    using namespace HelpContext;
    auto addMenu = [this](QMenu* parent, const QString& name, const QString& caption, int help) {
        QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
        m->setObjectName(name);
        m->setToolTipsVisible(true);
        if (help)
            m->setProperty(HelpProperty, help);
        m->installEventFilter(this);
        m_menus.insert(name, m);
        return m;
    };

    QMenu* file = addMenu(nullptr, QStringLiteral("FileMenu"), QStringLiteral("File"), NoteArea);
    addCommand(file, QStringLiteral("NewNote"), QStringLiteral("&New Note"), QStringLiteral("Ctrl+N"),
               QStringLiteral("Select a new patient"), NoteArea);
    addCommand(file, QStringLiteral("OpenOldNote"), QStringLiteral("&Open Old Note..."), QStringLiteral("Ctrl+O"),
               QStringLiteral("Open an Old Note \r\nin the current patient tab\r\n"), NoteArea);
    addCommand(nullptr, QStringLiteral("OpenPatientTabAndNote"), QString(), QString(),
               QStringLiteral("Open Patient Tab\r\nand Old Note"), NoteArea);
    addCommand(file, QStringLiteral("SaveNote"), QStringLiteral("&Save Note"), QStringLiteral("Ctrl+S"), {}, NoteArea);
    addCommand(file, QStringLiteral("SaveAs"), QStringLiteral("Save &As..."), QStringLiteral("Ctrl+Alt+S"), {}, NoteArea);
    addCommand(file, QStringLiteral("CloseActiveTab"), QStringLiteral("Close Active Tab"), QStringLiteral("Ctrl+Q"),
               QStringLiteral("Close Pateint Tab"), NoteArea);
    file->addSeparator();
    addCommand(file, QStringLiteral("PrintSetup"), QStringLiteral("Print Setup"), {}, {}, NoteArea);
    addCommand(file, QStringLiteral("PrintPreview"), QStringLiteral("Print Pre&view"), {}, {}, NoteArea);
    addCommand(file, QStringLiteral("Print"), QStringLiteral("&Print"), QStringLiteral("Ctrl+P"), {}, NoteArea);
    m_queueSeparator = file->addSeparator();
    addCommand(file, QStringLiteral("PrintQueue"), QStringLiteral("Print Queue"), {}, {}, PrintQueue);
    addCommand(file, QStringLiteral("ClearQueue"), QStringLiteral("Clear Queue"), {}, {}, PrintQueue);
    addCommand(file, QStringLiteral("TransferQueue"), QStringLiteral("Transfer Queue to Floppy"), {}, {}, PrintQueue);
    file->addSeparator();
    QMenu* reopen = addMenu(file, QStringLiteral("ReopenMenu"), QStringLiteral("Reopen"), NoteArea);
    connect(reopen, &QMenu::aboutToShow, this, &TMainForm::rebuildReopenMenu);
    QAction* clearMru = addCommand(nullptr, QStringLiteral("ClearMRU"), QStringLiteral("&Clear MRU List"), {}, {}, NoteArea);
    clearMru->setEnabled(true);
    connect(clearMru, &QAction::triggered, this, &TMainForm::ClearMRUClick);
    rebuildReopenMenu();
    file->addSeparator();
    QAction* exit = addCommand(file, QStringLiteral("Exit"), QStringLiteral("E&xit"), QStringLiteral("Alt+X"));
    exit->setEnabled(true);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = addMenu(nullptr, QStringLiteral("EditMenu"), QStringLiteral("Edit"), NoteArea);
    addCommand(edit, QStringLiteral("Undo"), QStringLiteral("&Undo"), QStringLiteral("Ctrl+Z"));
    addCommand(edit, QStringLiteral("Cut"), QStringLiteral("Cu&t"), QStringLiteral("Ctrl+X"));
    addCommand(edit, QStringLiteral("Copy"), QStringLiteral("&Copy"), QStringLiteral("Ctrl+C"));
    addCommand(edit, QStringLiteral("Paste"), QStringLiteral("&Paste"), QStringLiteral("Ctrl+V"));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("FindAndReplace"), QStringLiteral("Find and Replace"), QStringLiteral("Ctrl+F"));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("Bold"), QStringLiteral("&Bold"), QStringLiteral("Ctrl+B"));
    addCommand(edit, QStringLiteral("Italic"), QStringLiteral("&Italic"), QStringLiteral("Ctrl+I"));
    addCommand(edit, QStringLiteral("Underline"), QStringLiteral("&Underline"));
    QMenu* caseMenu = addMenu(edit, QStringLiteral("ChangeCaseMenu"), QStringLiteral("Change Case of Selected"), NoteArea);
    addCommand(caseMenu, QStringLiteral("LowerCase"), QStringLiteral("lower case"));
    addCommand(caseMenu, QStringLiteral("UpperCase"), QStringLiteral("UPPER CASE"));
    addCommand(caseMenu, QStringLiteral("SentenceCase"), QStringLiteral("Sentence case."));
    addCommand(caseMenu, QStringLiteral("TitleCase"), QStringLiteral("Title Case"));
    addCommand(caseMenu, QStringLiteral("ToggleCase"), QStringLiteral("tOGGLE cASE"));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("Font"), QStringLiteral("&Font..."));
    addCommand(edit, QStringLiteral("ToggleSubscript"), QStringLiteral("Toggle Subscript"));
    addCommand(edit, QStringLiteral("ToggleSuperscript"), QStringLiteral("Toggle Superscript"));

    QMenu* insert = addMenu(nullptr, QStringLiteral("InsertMenu"), QStringLiteral("&Insert"), NoteArea);
    addCommand(insert, QStringLiteral("EditInsertMenu"), QStringLiteral("Edit Insert Menu"), {}, {}, NoteArea);
    insert->addSeparator();
    for (const InsertEntry& e : builtInInsertEntries())
        addCommand(insert, QString::fromLatin1(e.name), e.caption, e.shortcut, {}, NoteArea);
    insert->addSeparator();

    addMenu(nullptr, QStringLiteral("UsersMenu"), QStringLiteral("Users"), 0);

    QMenu* functions = addMenu(nullptr, QStringLiteral("FunctionsMenu"), QStringLiteral("Functions"), PickPanel);
    QAction* pick = addCommand(functions, QStringLiteral("PickPanelMenu"), QStringLiteral("Hide Pick Panel"),
                               QStringLiteral("F6"), {}, PickPanel);
    pick->setEnabled(true);
    connect(pick, &QAction::triggered, this, &TMainForm::PickPanelClick);
    addCommand(functions, QStringLiteral("SpellCheck"), QStringLiteral("&Spell Check"), QStringLiteral("F7"),
               QStringLiteral("Spell Check"), SpellCheck);

    QMenu* programFiles = addMenu(nullptr, QStringLiteral("ProgramFilesMenu"), QStringLiteral("Program Files"), ProgramFiles);
    addCommand(programFiles, QStringLiteral("BackupOrRestore"), QStringLiteral("Backup or Restore"), {}, {}, Backup);
    addCommand(programFiles, QStringLiteral("ImportMacros"), QStringLiteral("Import Macros"), {}, {}, ImportMacros);
    addCommand(programFiles, QStringLiteral("SearchMacros"), QStringLiteral("Search Macros"), {}, {}, ProgramFiles);
    addCommand(programFiles, QStringLiteral("ReplaceInMacros"), QStringLiteral("Replace in Macros"), {}, {}, ProgramFiles);

    QMenu* options = addMenu(nullptr, QStringLiteral("OptionsMenu"), QStringLiteral("Options"), 0);
    auto checkable = [this](QMenu* m, const QString& name, const QString& caption, int help,
                            void (TMainForm::*handler)()) {
        QAction* a = addCommand(m, name, caption, {}, {}, help);
        a->setCheckable(true);
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    checkable(options, QStringLiteral("AutoTogglePickPanel"), QStringLiteral("Auto-toggle Pick Panel"), PickPanel,
              &TMainForm::AutoToggleClick);
    QMenu* noteDate = addMenu(options, QStringLiteral("DefaultNoteDateMenu"), QStringLiteral("Default Note Date"), 0);
    auto* dateGroup = new QActionGroup(this);
    QAction* today = checkable(noteDate, QStringLiteral("DefaultDateToday"), QStringLiteral("Today"), 0,
                               &TMainForm::DefaultDateTodayClick);
    QAction* set = checkable(noteDate, QStringLiteral("DefaultDateSet"), QStringLiteral("Set"), 0,
                             &TMainForm::DefaultDateSetClick);
    dateGroup->addAction(today);
    dateGroup->addAction(set);
    today->setChecked(true);
    checkable(options, QStringLiteral("FlickerReduction"), QStringLiteral("Flicker Reduction"), 0,
              &TMainForm::FlickerReductionClick);
    QMenu* queue = addMenu(options, QStringLiteral("PrintQueueMenu"), QStringLiteral("Print Queue"), PrintQueue);
    auto* queueGroup = new QActionGroup(this);
    for (const auto& [name, caption] : {std::pair{"QueueContinuous", "To Continuous Feed Paper"},
                                        std::pair{"QueueNewSheet", "To New Sheet Each Note"},
                                        std::pair{"QueueOff", "Print Queue Off"}}) {
        QAction* a = addCommand(queue, QString::fromLatin1(name), QString::fromLatin1(caption), {}, {}, PrintQueue);
        a->setCheckable(true);
        queueGroup->addAction(a);
    }
    checkable(options, QStringLiteral("ShowPatientHints"), QStringLiteral("Show Patient Management Hints"),
              PatientHints, &TMainForm::ShowPatientHintsClick);
    checkable(options, QStringLiteral("ShowHints"), QStringLiteral("Show Program Hints"), ProgramHints,
              &TMainForm::ShowHintsClick);
    QMenu* security = addMenu(options, QStringLiteral("SecurityOptionsMenu"), QStringLiteral("SecurityOptions"), 0);
    QAction* blanker = addCommand(security, QStringLiteral("ConfigureScreenBlanker"), QStringLiteral("Configure Sreen Blanker"));
    blanker->setEnabled(true);
    connect(blanker, &QAction::triggered, this, &TMainForm::ScreenBlankerClick);
    addCommand(security, QStringLiteral("LoginPWMenu"), QStringLiteral("Require Login Password"));
    checkable(security, QStringLiteral("PtDataEncryptedMenu"), QStringLiteral("Patient Data Encrypted"), 0,
              &TMainForm::PtDataEncryptedMenuClick);

    QMenu* patient = addMenu(nullptr, QStringLiteral("PatientDataMenu"), QStringLiteral("Patient &Data"), HelpContext::PatientGrid);
    addCommand(patient, QStringLiteral("ViewAndEdit"), QStringLiteral("View and Edit"), QStringLiteral("Ctrl+D"), {}, HelpContext::PatientGrid);
    addCommand(patient, QStringLiteral("AddAPatient"), QStringLiteral("Add A Patient"), QStringLiteral("F8"), {}, AddPatient);
    addCommand(patient, QStringLiteral("PediatricImmunizations"), QStringLiteral("Pediatric Immunizations"), {}, {}, HelpContext::PatientGrid);

    QMenu* help = addMenu(nullptr, QStringLiteral("HelpMenu"), QStringLiteral("Help"), Contents);
    QAction* showHelp = addCommand(help, QStringLiteral("ShowHelp"), QStringLiteral("Show &Help"), {}, {}, Contents);
    showHelp->setEnabled(true);
    connect(showHelp, &QAction::triggered, this, &TMainForm::ShowHelpClick);
    QAction* about = addCommand(help, QStringLiteral("About"), QStringLiteral("&About..."), {}, {}, Contents);
    about->setEnabled(true);
    connect(about, &QAction::triggered, this, &TMainForm::AboutClick);
}

void TMainForm::buildToolBar()
{
    QStyle* s = style();
    auto put = [this](const QString& name, const QIcon& icon) {
        QAction* a = m_actions.value(name);
        if (!icon.isNull())
            a->setIcon(icon);
        m_toolBar->addAction(a);
        return a;
    };
    put(QStringLiteral("NewNote"), s->standardIcon(QStyle::SP_FileIcon));
    put(QStringLiteral("OpenOldNote"), s->standardIcon(QStyle::SP_DialogOpenButton));
    put(QStringLiteral("OpenPatientTabAndNote"), s->standardIcon(QStyle::SP_DirOpenIcon));
    put(QStringLiteral("CloseActiveTab"), s->standardIcon(QStyle::SP_DialogCloseButton));
    put(QStringLiteral("SpellCheck"), s->standardIcon(QStyle::SP_DialogApplyButton));
    m_toolBar->addSeparator();
    m_fontSize = new QComboBox(m_toolBar);
    m_fontSize->setObjectName(QStringLiteral("FontSizeBox"));
    m_fontSize->setEditable(true);
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        m_fontSize->addItem(QString::number(size));
    m_fontSize->setEnabled(false);
    m_toolBar->addWidget(m_fontSize);
    // The format buttons carry their own letter or sign; they act on the note (editing commands).
    auto format = [this](const QString& name, const QString& text, const QString& hint) {
        QAction* a = addCommand(nullptr, name, text, {}, hint, HelpContext::NoteArea);
        m_toolBar->addAction(a);
        return a;
    };
    QAction* b = format(QStringLiteral("BoldButton"), QStringLiteral("B"), QStringLiteral("Bold"));
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    QAction* i = format(QStringLiteral("ItalicButton"), QStringLiteral("I"), QStringLiteral("Italic"));
    f = i->font();
    f.setItalic(true);
    i->setFont(f);
    QAction* u = format(QStringLiteral("UnderlineButton"), QStringLiteral("U"), QStringLiteral("Underline"));
    f = u->font();
    f.setUnderline(true);
    u->setFont(f);
    format(QStringLiteral("CenterButton"), QStringLiteral("Center"), QStringLiteral("Center"));
    format(QStringLiteral("AlignLeftButton"), QStringLiteral("Left"), QStringLiteral("Align Left"));
    format(QStringLiteral("BulletsButton"), QStringLiteral("Bullets"), QStringLiteral("Bullets"));
}

void TMainForm::buildStatusBar()
{
    const QString initial[4] = {QStringLiteral("      Font"), QStringLiteral("    Caps"), QStringLiteral("   Num"),
                                QStringLiteral("Hints")};
    const int widths[3] = {150, 70, 70};
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(initial[i], m_status);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        if (i < 3) {
            m_panels[i]->setMinimumWidth(widths[i]);
            m_status->addWidget(m_panels[i]);
        } else {
            m_status->addWidget(m_panels[i], 1);
        }
    }
    m_status->setProperty(HelpProperty, HelpContext::NoteArea);
}

void TMainForm::SetupProgram()
{
    // Until users are managed, the current user is the last one recorded when that user has
    // a section of his own; otherwise nobody, and user keys take their defaults.
    m_user = FrameRules::startupUser();
    m_options = MainOptions::read(m_user);
    const int sizeIndex = m_fontSize->findText(m_options.fontSize);
    if (sizeIndex >= 0)
        m_fontSize->setCurrentIndex(sizeIndex);
    else
        m_fontSize->setEditText(m_options.fontSize);
    m_noteDate.chooseToday();
    action(QStringLiteral("DefaultDateToday"))->setChecked(true);

    action(QStringLiteral("PtDataEncryptedMenu"))->setChecked(m_options.patientDataEncrypted);
    action(QStringLiteral("AutoTogglePickPanel"))->setChecked(m_options.autoToggle);
    action(QStringLiteral("ShowHints"))->setChecked(m_options.showHints);
    action(QStringLiteral("ShowPatientHints"))->setChecked(m_options.showPatientHints);
    action(QStringLiteral("FlickerReduction"))->setChecked(m_options.flickerReduction);

    const QueueMode mode = m_options.queueMode;
    action(QStringLiteral("QueueOff"))->setChecked(mode == QueueMode::Off);
    action(QStringLiteral("QueueContinuous"))->setChecked(mode == QueueMode::Continuous);
    action(QStringLiteral("QueueNewSheet"))->setChecked(mode == QueueMode::NewSheet);
    const bool queueOn = mode != QueueMode::Off;
    m_queueSeparator->setVisible(queueOn);
    for (const char* name : {"PrintQueue", "ClearQueue", "TransferQueue"})
        action(QString::fromLatin1(name))->setVisible(queueOn);

    m_hints->enabled = m_options.showHints;
    setHintText(NoTabHint);

    m_recent.load();
    rebuildReopenMenu();
}

void TMainForm::SetCaptions()
{
    setWindowTitle(FrameRules::windowCaption(title(), m_noteOpen, m_noteFile));
}

void TMainForm::setActiveNote(bool open, const QString& fileName)
{
    m_noteOpen = open;
    m_noteFile = fileName;
    SetCaptions();
}

void TMainForm::attachDataModule(TDataModule1& dm)
{
    m_dm = &dm;
    m_tabs = new TNoteTabs(*this, dm);
    QAction* newNote = action(QStringLiteral("NewNote"));
    newNote->setEnabled(true);
    connect(newNote, &QAction::triggered, m_tabs, &TNoteTabs::FileNewCmdExecute);
    QAction* close = action(QStringLiteral("CloseActiveTab"));
    close->setEnabled(true);
    connect(close, &QAction::triggered, m_tabs, &TNoteTabs::CloseActiveWindowExecute);

    // The pick panel: the patient pane above the diagnosis pane, the macro buttons below.
    m_patientPane = new TPatientPane(dm, m_noteDate);
    m_dxPane = new TDiagnosisPane(dm);
    addToPickPanel(m_patientPane);
    addToPickPanel(m_dxPane);
    m_dxPane->ComboBoxCatAddStrings();
    m_dxPane->setPatientFilterHook([&dm] { return dm.kbmTablePatient().filtered(); });
    connect(m_patientPane, &TPatientPane::hintRequested, this, &TMainForm::setHintText);
    connect(m_dxPane, &TDiagnosisPane::hintRequested, this, &TMainForm::setHintText);
    connect(m_patientPane, &TPatientPane::finderReset, m_dxPane, [this] { m_dxPane->setFilterOn(false); });
    connect(m_patientPane, &TPatientPane::diagnosisFinderRequested, m_dxPane, [this] { m_dxPane->finder()->setFocus(); });
    connect(m_dxPane, &TDiagnosisPane::enterPressed, m_patientPane, [this] { m_patientPane->finder()->setFocus(); });
    QAction* addPatient = action(QStringLiteral("AddAPatient"));
    addPatient->setEnabled(true);
    connect(addPatient, &QAction::triggered, m_patientPane, &TPatientPane::addPatient);

    // The macro buttons sit under the presentation list.
    auto* buttons = new QWidget;
    buttons->setObjectName(QStringLiteral("MacroButtons"));
    buttons->setProperty(HelpProperty, HelpContext::WritingMacros);
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    m_runMacro = new QPushButton(QStringLiteral("&Run Macro"), buttons);
    m_runMacro->setObjectName(QStringLiteral("BtnRunMacro"));
    m_runMacroPart = new QPushButton(QStringLiteral("Run Macro Part"), buttons);
    m_runMacroPart->setObjectName(QStringLiteral("BtnRunMacroPart"));
    row->addWidget(m_runMacro);
    row->addWidget(m_runMacroPart);
    m_macros = new TMacroCommands(*this, dm, *m_tabs, m_runMacro, m_runMacroPart);
    m_patientPane->macroRunning = [this] { return m_macros->MacroRunning(); };
    m_macros->setNavigatorEnabler([this](bool on) { m_patientPane->setNavigatorHeld(!on); });
    m_pickLayout->addStretch(1); // what is left below a whole row of the grids
    addToPickPanel(buttons);

    // The grids grow and shrink by whole rows with the pick panel, the patient grid first.
    m_patientPane->grid()->setFixedHeight(PatientGridDesignHeight);
    m_dxPane->grid()->setFixedHeight(DiagnosisGridDesignHeight);
    m_pickDesignHeight = m_pickLayout->sizeHint().height();
    // The panel follows the window rather than its contents, down to where both grids are at a
    // header and one row.
    m_pickLayout->setSizeConstraint(QLayout::SetNoConstraint);
    m_pickPanel->setSizePolicy(m_pickPanel->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    m_pickPanel->setMinimumHeight(
        FrameRules::smallestPickPanelHeight(m_pickDesignHeight, PatientGridDesignHeight, DiagnosisGridDesignHeight));
    connect(this, &TMainForm::gridRowsChanged, this, [this](FrameRules::GridRows rows) {
        m_patientPane->grid()->setFixedHeight(FrameRules::gridHeight(PatientGridDesignHeight, rows.patient));
        m_dxPane->grid()->setFixedHeight(FrameRules::gridHeight(DiagnosisGridDesignHeight, rows.diagnosis));
    });
    m_rows = {};
    applySizeRule();
}

QAction* TMainForm::action(const QString& name) const { return m_actions.value(name); }
QMenu* TMainForm::menu(const QString& name) const { return m_menus.value(name); }

void TMainForm::addToPickPanel(QWidget* pane, int stretch)
{
    pane->setParent(m_pickPanel);
    m_pickLayout->addWidget(pane, stretch);
}

bool TMainForm::pickPanelShown() const { return !m_pickPanel->isHidden(); }

void TMainForm::setPickPanelShown(bool shown)
{
    m_pickPanel->setVisible(shown);
    m_noteTabs->update();
}

QLabel* TMainForm::statusPanel(int index) const
{
    return index >= 0 && index < 4 ? m_panels[index] : nullptr;
}

void TMainForm::setHintText(const QString& text) { m_panels[3]->setText(text); }

void TMainForm::setStatusTimerEnabled(bool on)
{
    if (on && !m_closing)
        m_timer->start();
    else
        m_timer->stop();
}

bool TMainForm::statusTimerEnabled() const { return m_timer->isActive(); }

bool TMainForm::hintsEnabled() const { return m_hints->enabled; }

void TMainForm::DisplayKeyState()
{
    if (m_activeEditor)
        m_panels[0]->setText(m_activeEditor->currentFont().family());
    const KeyLockState locks = m_keyLocks();
    m_panels[1]->setText(FrameRules::capsLockText(locks.capsLock));
    m_panels[2]->setText(FrameRules::numLockText(locks.numLock));
}

void TMainForm::TimerUpdateStatusBar()
{
    // A status bar that cannot be updated is not worth a message.
    try {
        DisplayKeyState();
    } catch (...) {
    }
}

int TMainForm::helpContextOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(HelpProperty);
        if (v.isValid() && v.toInt() > 0)
            return v.toInt();
    }
    return HelpContext::Contents;
}

void TMainForm::writeOption(const std::function<void()>& write)
{
    try {
        write();
    } catch (const MedrovaError& e) {
        Prompter::current().error(e.text());
    }
}

void TMainForm::PickPanelClick()
{
    QAction* a = action(QStringLiteral("PickPanelMenu"));
    setPickPanelShown(!pickPanelShown());
    a->setText(FrameRules::nextPickPanelCaption(a->text()));
}

void TMainForm::AutoToggleClick()
{
    const bool on = action(QStringLiteral("AutoTogglePickPanel"))->isChecked();
    m_options.autoToggle = on;
    writeOption([&] { MainOptions::writeAutoToggle(m_user, on); });
}

void TMainForm::DefaultDateTodayClick()
{
    action(QStringLiteral("DefaultDateToday"))->setChecked(true);
    m_noteDate.chooseToday();
}

void TMainForm::DefaultDateSetClick()
{
    // The radio group has already moved the check; it only stays on "Set" after OK.
    const bool wasToday = m_noteDate.followsToday();
    action(wasToday ? QStringLiteral("DefaultDateToday") : QStringLiteral("DefaultDateSet"))->setChecked(true);
    TChooseDateDialog dialog(Clock::current().today(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_noteDate.chooseDate(dialog.date());
    action(QStringLiteral("DefaultDateSet"))->setChecked(true);
}

void TMainForm::FlickerReductionClick()
{
    const bool on = action(QStringLiteral("FlickerReduction"))->isChecked();
    m_options.flickerReduction = on;
    writeOption([&] { MainOptions::writeFlickerReduction(on); });
}

void TMainForm::ShowHintsClick()
{
    const bool on = action(QStringLiteral("ShowHints"))->isChecked();
    m_options.showHints = on;
    m_hints->enabled = on;
    if (!on)
        QToolTip::hideText();
    writeOption([&] { MainOptions::writeShowHints(m_user, on); });
}

void TMainForm::ShowPatientHintsClick()
{
    const bool on = action(QStringLiteral("ShowPatientHints"))->isChecked();
    m_options.showPatientHints = on;
    writeOption([&] { MainOptions::writeShowPatientHints(m_user, on); });
}

void TMainForm::PtDataEncryptedMenuClick()
{
    const bool on = action(QStringLiteral("PtDataEncryptedMenu"))->isChecked();
    m_options.patientDataEncrypted = on;
    writeOption([&] { MainOptions::writePatientDataEncrypted(on); });
}

void TMainForm::ScreenBlankerClick()
{
    Prompter& p = Prompter::current();
    p.warning(QStringLiteral("If your PC is in public view autominimize < 1 minute\r\nand/or a screen saver with a "
                             "password is suggested."));
    const auto command = findScreenSaverSettings(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    if (!command) {
        p.information(QStringLiteral("No screen saver settings were found on this desktop. Please set a screen "
                                     "lock with a password in your desktop's own settings."));
        return;
    }
    if (!m_launch(*command))
        p.information(QStringLiteral("The screen saver settings (%1) could not be started.").arg(command->program));
}

void TMainForm::ClearMRUClick()
{
    m_recent.clear();
    rebuildReopenMenu();
}

void TMainForm::rebuildReopenMenu()
{
    QMenu* reopen = menu(QStringLiteral("ReopenMenu"));
    reopen->clear();
    // Entries are "full file name" + patient ID; the menu shows the file-name part.
    for (const QString& entry : m_recent.entries()) {
        QString name = entry;
        const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
        name = name.mid(cut + 1);
        QAction* a = reopen->addAction(fontMetrics().elidedText(name, Qt::ElideMiddle, 210));
        a->setData(entry);
        a->setEnabled(false); // reopening a note comes with the note files
    }
    if (!m_recent.entries().isEmpty())
        reopen->addSeparator();
    reopen->addAction(action(QStringLiteral("ClearMRU")));
}

void TMainForm::ShowHelpClick() { showHelpTopic(HelpContext::Contents); }

void TMainForm::AboutClick()
{
    TAboutBox about(this);
    about.exec();
}

bool TMainForm::closeTabsForShutdown()
{
    if (!m_dm || !m_tabs)
        return true;
    Table& patients = m_dm->kbmTablePatient();
    patients.setFiltered(false);
    patients.refresh();
    Table& dx = m_dm->kbmTableDx();
    dx.disableControls();
    dx.setFiltered(false);
    m_tabs->setTabChangeAttached(false);
    while (m_tabs->count() > 0) {
        m_tabs->SynchToActiveTab();
        setActiveEditor(m_tabs->editorAt(m_tabs->activeIndex()));
        m_noteOpen = true;
        m_noteFile = m_tabs->OpenNoteFiles().value(m_tabs->activeIndex());
        SetCaptions();
        QCoreApplication::processEvents();
        m_tabs->saveQuestionCancelled = false;
        m_tabs->CheckFileSave();
        if (m_tabs->saveQuestionCancelled) {
            m_tabs->saveQuestionCancelled = false;
            m_tabs->setTabChangeAttached(true);
            m_tabs->macroRunFlag = false;
            dx.enableControls();
            return false;
        }
        const QString entry = m_tabs->closeActiveForShutdown();
        if (!entry.isEmpty())
            m_recent.add(entry);
    }
    m_tabs->setTabChangeAttached(true);
    dx.enableControls();
    return true;
}

bool TMainForm::FormClose()
{
    m_closing = true;
    m_timer->stop();
    if (!closeTabsForShutdown())
        return false;
    // Recent files are the one thing shutdown writes besides the backup date.
    try {
        m_recent.save();
    } catch (const MedrovaError& e) {
        Prompter::current().warning(e.text());
    }
    if (m_tabs)
        m_tabs->vgPageControl1Change();
    m_noteOpen = false;
    SetCaptions();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    if (!FormClose()) {
        m_closing = false;
        m_timer->start();
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::applySizeRule()
{
    if (QScreen* s = screen()) {
        const QRect work = s->availableGeometry();
        setMaximumSize(work.width(), work.height() + 2);
    }
    const FrameRules::GridRows rows = FrameRules::extraGridRows(m_pickPanel->height(), m_pickDesignHeight);
    if (rows.patient != m_rows.patient || rows.diagnosis != m_rows.diagnosis) {
        m_rows = rows;
        Q_EMIT gridRowsChanged(rows);
    }
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applySizeRule();
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        m_noteTabs->update();
        Q_EMIT activated();
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pickPanel && event->type() == QEvent::Resize) {
        applySizeRule();
        return false;
    }
    // F1 inside an open menu: the item under the cursor, else the menu itself.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (auto* m = qobject_cast<QMenu*>(watched)) {
            int context = 0;
            if (QAction* a = m->activeAction())
                context = a->property(HelpProperty).toInt();
            if (context <= 0)
                context = helpContextOf(m);
            for (QWidget* w = m; w; w = qobject_cast<QMenu*>(w->parentWidget()))
                static_cast<QMenu*>(w)->close();
            showHelpTopic(context);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
