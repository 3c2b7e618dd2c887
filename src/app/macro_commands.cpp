#include "app/macro_commands.h"

#include "app/main_window.h"
#include "app/settings_store.h"
#include "macro/insert_entries.h"
#include "macro/macro_runner.h"
#include "macro/paste_macro_form.h"
#include "macro/pick_list_dialog.h"
#include "macro/table_rows.h"
#include "notes/note_tabs.h"
#include "platform/dates.h"
#include "platform/errors.h"
#include "platform/note_editor.h"
#include "store/data_module.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QThread>

namespace {
const QString NoTabHint = QStringLiteral("Choose a patient & Dx then click \"New\"");
const QString NoTab = QStringLiteral("You must open a patient tab");

// Macro texts keep CR LF line ends; the note wants one paragraph break per line.
QString noteText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace

TMacroCommands::TMacroCommands(TMainForm& form, TDataModule1& dm, TNoteTabs& tabs, QPushButton* runMacro,
                               QPushButton* runMacroPart)
    : QObject(&form), m_form(form), m_dm(dm), m_tabs(tabs), m_runMacro(runMacro), m_runMacroPart(runMacroPart)
{
    m_runner = std::make_unique<MacroRunner>(*this, m_session);
    m_pickList = new TDlgMenu(&form);
    m_pasteForm = new TPasteMacroForm(&form);

    connect(m_runner.get(), &MacroRunner::pickListRequested, m_pickList, &TDlgMenu::ShowTheList);
    connect(m_pickList, &TDlgMenu::actionChosen, m_runner.get(), &MacroRunner::answerPick);
    connect(m_runMacro, &QPushButton::clicked, this, &TMacroCommands::BtnRunMacroClick);
    connect(m_runMacroPart, &QPushButton::clicked, this, &TMacroCommands::BtnRunMacroPartClick);
    connect(m_pasteForm, &TPasteMacroForm::runRequested, this, &TMacroCommands::BtnTransferClick);
    connect(&m_tabs, &TNoteTabs::macroPagesReset, m_pasteForm, &TPasteMacroForm::clearAndHide);
    m_tabs.setMacroRunning([this] { return MacroRunning(); });

    for (const InsertEntry& e : builtInInsertEntries()) {
        QAction* a = m_form.action(QString::fromLatin1(e.name));
        a->setEnabled(true);
        if (isDefaultDateEntry(e))
            connect(a, &QAction::triggered, this, &TMacroCommands::TodaysDate1Click);
        else
            connect(a, &QAction::triggered, this, [this, e] { insertEntryClick(e); });
    }
}

TMacroCommands::~TMacroCommands()
{
    // The run's host calls land here: stop it before the services go.
    m_runner.reset();
}

bool TMacroCommands::MacroRunning() const { return m_runner && m_runner->isRunning(); }

NoteEditor* TMacroCommands::activeEditor() const { return qobject_cast<NoteEditor*>(m_form.activeEditor()); }

bool TMacroCommands::ensurePatientTab(int waits)
{
    Table& patients = m_dm.kbmTablePatient();
    const int index = m_tabs.activeIndex();
    const bool samePatient = index >= 0 && !patients.isEmpty()
                             && patients.value(QStringLiteral("ID")).toInt() == m_tabs.patientIdOf(index);
    if (index < 0 || !activeEditor() || !samePatient) {
        m_form.setStatusTimerEnabled(false);
        m_tabs.FileNewCmdExecute();
        for (int i = 0; i < waits && m_tabs.notUserChange(); ++i) {
            QThread::msleep(60);
            QCoreApplication::processEvents();
        }
    }
    NoteEditor* editor = activeEditor();
    if (!editor || !editor->isEnabled() || !editor->isVisibleTo(&m_form)) {
        Prompter::current().information(NoTab);
        m_form.setHintText(NoTabHint);
        m_form.setStatusTimerEnabled(true);
        return false;
    }
    editor->setFocus();
    return true;
}

void TMacroCommands::BtnRunMacroClick()
{
    if (m_tabs.tabChangeInProgress())
        return;
    if (!ensurePatientTab(10))
        return;
    if (m_form.options().autoToggle)
        m_form.setPickPanelShown(false);
    Table& dx = m_dm.kbmTableDx();
    if (dx.isEmpty() || MacroRunning()) {
        if (!MacroRunning())
            m_form.setStatusTimerEnabled(true);
        return;
    }
    DisableButtons();
    const QString macro = dx.text(QStringLiteral("Macro"));
    QCoreApplication::processEvents();
    start(macro);
    m_tabs.macroRunFlag = true;
}

void TMacroCommands::BtnRunMacroPartClick()
{
    if (m_tabs.tabChangeInProgress())
        return;
    if (!ensurePatientTab(20))
        return;
    m_form.setStatusTimerEnabled(true);
    m_tabs.SynchToActiveTab();
    Table& dx = m_dm.kbmTableDx();
    const QString user = m_form.currentUser();
    bool ok = false;
    const int size = IniReadText(user, QStringLiteral("FontSize"), QStringLiteral("12")).toInt(&ok);
    // The finder shows the current presentation's name; the row itself is the sure source, as
    // the finder is emptied by "." and by a click in the list.
    const QString caption = dx.text(QStringLiteral("Dx"));
    m_pasteForm->NewMacroPage(caption, dx.isEmpty() ? QString() : dx.text(QStringLiteral("Macro")),
                              IniReadText(user, QStringLiteral("FontName"), QStringLiteral("Arial")), ok ? size : 12);
    m_pasteForm->show();
    m_pasteForm->raise();
}

void TMacroCommands::BtnTransferClick(const QString& macroText)
{
    if (!m_runMacro->isEnabled() || MacroRunning())
        return;
    DisableButtons();
    QCoreApplication::processEvents();
    start(macroText);
}

void TMacroCommands::insertEntryClick(const InsertEntry& entry)
{
    if (m_tabs.count() == 0 || MacroRunning())
        return;
    m_tabs.SynchToActiveTab();
    if (entry.disablesButtons)
        DisableButtons();
    start(entry.macroText);
}

void TMacroCommands::TodaysDate1Click()
{
    if (m_tabs.count() == 0)
        return;
    m_form.defaultNoteDate().refreshIfToday();
    paste(Dates::shortDate(m_form.defaultNoteDate().date()), m_session.boldOn);
}

void TMacroCommands::start(const QString& macroText)
{
    if (!m_runner->start(macroText))
        ResetButtons();
}

void TMacroCommands::DisableButtons()
{
    m_form.menu(QStringLiteral("InsertMenu"))->setEnabled(false);
    for (const InsertEntry& e : builtInInsertEntries())
        m_form.action(QString::fromLatin1(e.name))->setEnabled(false);
    m_runMacro->setEnabled(false);
    m_runMacroPart->setEnabled(false);
    m_form.setStatusTimerEnabled(false);
    if (m_navigator)
        m_navigator(false);
    m_form.action(QStringLiteral("AddAPatient"))->setEnabled(false);
}

void TMacroCommands::ResetButtons()
{
    m_form.menu(QStringLiteral("InsertMenu"))->setEnabled(true);
    for (const InsertEntry& e : builtInInsertEntries())
        m_form.action(QString::fromLatin1(e.name))->setEnabled(true);
    m_runMacro->setEnabled(true);
    m_runMacroPart->setEnabled(true);
    if (m_navigator)
        m_navigator(true);
    m_form.action(QStringLiteral("AddAPatient"))->setEnabled(true);
    m_form.setStatusTimerEnabled(true);
}

bool TMacroCommands::paste(const QString& text, bool bold)
{
    NoteEditor* editor = activeEditor();
    if (!editor)
        return false;
    if (text.isEmpty())
        return true;
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    editor->mergeCurrentCharFormat(f);
    editor->textCursor().insertText(noteText(text));
    editor->ensureCursorVisible();
    return true;
}

Answer TMacroCommands::message(MessageType type, Buttons buttons, const QString& text)
{
    return Prompter::current().message(type, buttons, text);
}

MacroRow TMacroCommands::patient() { return macroRowOf(m_dm.kbmTablePatient()); }

std::optional<MacroRow> TMacroCommands::synchronizeData()
{
    const int index = m_tabs.activeIndex();
    Table& history = m_dm.kbmTablePtHistory();
    if (index < 0 || !history.isActive()
        || !history.locate({QStringLiteral("ID")}, {m_tabs.patientIdOf(index)}))
        return std::nullopt;
    return macroRowOf(history);
}

QDate TMacroCommands::defaultNoteDate()
{
    m_form.defaultNoteDate().refreshIfToday();
    return m_form.defaultNoteDate().date();
}

QString TMacroCommands::userName() { return m_form.currentUser(); }

QString TMacroCommands::textBeforeCursor()
{
    NoteEditor* editor = activeEditor();
    if (!editor)
        return QString();
    QTextCursor c = editor->textCursor();
    c.setPosition(c.selectionStart());
    c.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    QString text = c.selectedText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text;
}

void TMacroCommands::setFontSize(int size)
{
    if (NoteEditor* editor = activeEditor(); editor && size > 0)
        editor->setFontPointSize(size);
}

void TMacroCommands::setFontName(const QString& name)
{
    if (NoteEditor* editor = activeEditor())
        editor->setFontFamily(name);
}

bool TMacroCommands::pickPrinter(const QString& argument)
{
    try {
        PickPrinter(argument);
        return true;
    } catch (const MedrovaError&) {
        return false;
    }
}

void TMacroCommands::stopStatusTimer() { m_form.setStatusTimerEnabled(false); }
