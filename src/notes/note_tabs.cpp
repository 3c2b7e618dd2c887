#include "notes/note_tabs.h"

#include "app/help_topics.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "notes/note_tab_rules.h"
#include "platform/note_editor.h"
#include "platform/prompter.h"
#include "store/data_module.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>

namespace {
const char* const PatientIdProperty = "patientId";
const QString NoTabHint = QStringLiteral("Choose a patient & Dx then click \"New\"");
const QString NotFound = QStringLiteral("This patient can not be found in the database.");
const QString Untitled = QStringLiteral("Untitled");

// The editor's own context menu: the three clipboard commands.
class TabEditor : public NoteEditor {
public:
    using NoteEditor::NoteEditor;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Cu&t"), this, &QTextEdit::cut)->setEnabled(textCursor().hasSelection());
        menu.addAction(QStringLiteral("&Copy"), this, &QTextEdit::copy)->setEnabled(textCursor().hasSelection());
        menu.addAction(QStringLiteral("&Paste"), this, &QTextEdit::paste)->setEnabled(canPaste());
        menu.exec(event->globalPos());
    }
};
} // namespace

TNoteTabs::TNoteTabs(TMainForm& form, TDataModule1& dm)
    : QObject(&form), m_form(form), m_dm(dm), m_tabs(form.noteTabs())
{
    m_tabs->tabBar()->installEventFilter(this);
    connect(m_tabs, &QTabWidget::currentChanged, this, &TNoteTabs::currentChanged);
}

TNoteTabs::~TNoteTabs() = default;

int TNoteTabs::count() const { return m_tabs->count(); }
int TNoteTabs::activeIndex() const { return m_tabs->currentIndex(); }

int TNoteTabs::patientIdOf(int index) const
{
    QWidget* page = m_tabs->widget(index);
    return page ? page->property(PatientIdProperty).toInt() : 0;
}

NoteEditor* TNoteTabs::editorAt(int index) const { return qobject_cast<NoteEditor*>(m_tabs->widget(index)); }
QString TNoteTabs::captionOf(int index) const { return m_tabs->tabText(index); }

bool TNoteTabs::tabChangeRefused() const
{
    return (m_macroRunning && m_macroRunning()) || (m_tabChangeBlocked && m_tabChangeBlocked());
}

bool TNoteTabs::eventFilter(QObject* watched, QEvent* event)
{
    // A refused tab change never gets as far as the tab bar: clicks, keys and the wheel on it
    // are dropped while a macro runs or the patient form is open.
    if (watched == m_tabs->tabBar() && tabChangeRefused()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::Wheel: return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TNoteTabs::currentChanged(int index)
{
    if (!m_tabs || m_opening || m_closing || m_detached)
        return;
    if (tabChangeRefused() && m_shownIndex >= 0 && m_shownIndex < count() && index != m_shownIndex) {
        // A change that slipped past the tab bar (a shortcut) is undone.
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(m_shownIndex);
        return;
    }
    vgPageControl1Change();
}

void TNoteTabs::switchPatientFilterOff()
{
    Table& p = m_dm.kbmTablePatient();
    p.disableControls();
    p.setFiltered(false);
    p.refresh();
    p.enableControls();
}

void TNoteTabs::showFontSizeOf(NoteEditor* editor)
{
    if (!editor)
        return;
    const QString size = QString::number(qRound(editor->selectionFontSize()));
    QComboBox* box = m_form.fontSizeBox();
    const int i = box->findText(size);
    if (i >= 0)
        box->setCurrentIndex(i);
    else
        box->setEditText(size);
}

void TNoteTabs::FileNewCmdExecute()
{
    Table& patients = m_dm.kbmTablePatient();
    if (!patients.isActive() || patients.isEmpty()) {
        // Nobody to write about: a tab without a patient could never follow the register.
        m_form.setHintText(NoTabHint);
        return;
    }
    m_form.setHintText(QStringLiteral("Hints"));
    macroRunFlag = false;
    Q_EMIT macroPagesReset();
    m_notUserChange = true;

    const int id = patients.value(QStringLiteral("ID")).toInt();
    auto* editor = new TabEditor;
    editor->setProperty(PatientIdProperty, id);
    editor->setProperty("helpContext", HelpContext::NoteArea);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    editor->setLineWrapMode(QTextEdit::WidgetWidth);
    editor->setTabChangesFocus(false);
    editor->setDoubleBuffered(m_form.options().flickerReduction);
    connect(editor, &QTextEdit::textChanged, this, [this, editor] { editorChanged(editor); });

    {
        m_opening = true;
        const auto done = qScopeGuard([this] { m_opening = false; });
        const int index = m_tabs->addTab(
            editor, NoteTabRules::caption(patients.text(QStringLiteral("LastName")),
                                          patients.text(QStringLiteral("FirstName"))));
        m_form.setActiveNote(true, Untitled);
        m_openNoteFiles.append(Untitled);
        m_tabs->setCurrentIndex(index);
        m_shownIndex = index;
    }
    m_form.setActiveEditor(editor);
    editor->clear();

    const QString user = m_form.currentUser();
    bool ok = false;
    const int size = IniReadText(user, QStringLiteral("FontSize"), QStringLiteral("10")).toInt(&ok);
    editor->setDefaultFontSize(ok && size > 0 ? size : 10);
    editor->setDefaultFontName(IniReadText(user, QStringLiteral("FontName"), QStringLiteral("Arial")));
    editor->setModified(false);
    // The empty note has had no change of its own to absorb the mark; the first change to
    // come is the user's.
    m_notUserChange = false;
    showFontSizeOf(editor);
    Q_EMIT newNoteOpened(id);
}

void TNoteTabs::editorChanged(NoteEditor* editor)
{
    const int index = m_tabs->currentIndex();
    if (index < 0)
        return;
    const QString caption = m_tabs->tabText(index);
    if (caption.contains(QLatin1Char('*')))
        return;
    if (m_notUserChange) {
        m_notUserChange = false;
        return;
    }
    // Only the active tab's editor is typed or pasted into.
    if (m_tabs->widget(index) == editor)
        m_tabs->setTabText(index, NoteTabRules::changedCaption(caption));
}

void TNoteTabs::vgPageControl1Change()
{
    const int index = m_tabs->currentIndex();
    if (index < 0) {
        m_shownIndex = -1;
        m_form.setActiveNote(false, QString());
        return;
    }
    Q_EMIT macroPagesReset();
    m_changing = true;
    const auto done = qScopeGuard([this] { m_changing = false; });

    Q_EMIT m_dm.patientGridRepaint();
    switchPatientFilterOff();
    Table& patients = m_dm.kbmTablePatient();
    const int id = patientIdOf(index);
    if (!patients.locate({QStringLiteral("ID")}, {id})) {
        m_shownIndex = index;
        Prompter::current().warning(NotFound);
        return;
    }
    Table& history = m_dm.kbmTablePtHistory();
    if (history.isActive())
        history.locate({QStringLiteral("ID")}, {id});
    QCoreApplication::processEvents();

    m_dm.rememberedPatient.lastName = patients.text(QStringLiteral("LastName"));
    m_dm.rememberedPatient.firstName = patients.text(QStringLiteral("FirstName"));
    macroRunFlag = false;

    m_shownIndex = index;
    NoteEditor* editor = editorAt(index);
    m_form.setActiveNote(true, m_openNoteFiles.value(index, Untitled));
    m_form.setActiveEditor(editor);
    Q_EMIT m_dm.patientGridRepaint();
    showFontSizeOf(editor);
    QCoreApplication::processEvents();
}

void TNoteTabs::SynchToActiveTab()
{
    const int index = m_tabs->currentIndex();
    if (index < 0)
        return;
    m_dm.tabSync = true;
    const auto done = qScopeGuard([this] { m_dm.tabSync = false; });
    const int id = patientIdOf(index);
    Table& patients = m_dm.kbmTablePatient();
    if (patients.isEmpty() || patients.value(QStringLiteral("ID")).toInt() != id)
        vgPageControl1Change();
    Table& history = m_dm.kbmTablePtHistory();
    if (!history.isActive() || !patients.locate({QStringLiteral("ID")}, {id}))
        return;
    if (!history.locate({QStringLiteral("ID")}, {id})) {
        history.insert();
        history.setValue(QStringLiteral("ID"), id);
        history.post();
    }
}

void TNoteTabs::SetCaptions()
{
    m_form.SetCaptions();
    const int index = m_tabs->currentIndex();
    if (index < 0)
        return;
    Table& patients = m_dm.kbmTablePatient();
    if (patients.isEmpty())
        return;
    NoteEditor* editor = editorAt(index);
    m_tabs->setTabText(index, NoteTabRules::rebuiltCaption(patients.text(QStringLiteral("LastName")),
                                                           patients.text(QStringLiteral("FirstName")),
                                                           m_tabs->tabText(index), editor && editor->isModified()));
}

void TNoteTabs::CheckFileSave()
{
    const int index = m_tabs->currentIndex();
    NoteEditor* editor = editorAt(index);
    if (!editor)
        return;
    const QString file = m_openNoteFiles.value(index, Untitled);
    if (!NoteTabRules::needsSaveQuestion(m_tabs->tabText(index), editor->isModified(), file,
                                         editor->document()->isEmpty()))
        return;
    // Saving a note to its file comes with the note files; until then the question offers
    // to discard the changes or to keep the note open.
    const Answer a = Prompter::current().message(MessageType::Confirmation, Buttons::NoCancel,
                                                 NoteTabRules::saveQuestion(file));
    if (a == Answer::Cancel)
        saveQuestionCancelled = true;
}

void TNoteTabs::removeTab(int index)
{
    NoteEditor* editor = editorAt(index);
    if (index < m_openNoteFiles.size())
        m_openNoteFiles.removeAt(index);
    if (m_form.activeEditor() == editor)
        m_form.setActiveEditor(nullptr);
    m_tabs->removeTab(index);
    delete editor;
    m_shownIndex = -1;
}

void TNoteTabs::CloseActiveWindowExecute()
{
    QCoreApplication::processEvents();
    for (int i = 0; i < 20 && m_closing; ++i) {
        QThread::msleep(90);
        QCoreApplication::processEvents();
    }
    if (m_closing || (m_macroRunning && m_macroRunning()))
        return;
    m_closing = true;
    const auto done = qScopeGuard([this] {
        m_form.setStatusTimerEnabled(true);
        m_closing = false;
    });
    const int index = m_tabs->currentIndex();
    if (index < 0) {
        m_form.setHintText(NoTabHint);
        return;
    }
    m_form.setStatusTimerEnabled(false);
    switchPatientFilterOff();

    saveQuestionCancelled = false;
    CheckFileSave();
    if (saveQuestionCancelled) {
        saveQuestionCancelled = false;
        return;
    }
    const QString file = m_openNoteFiles.value(index, Untitled);
    const QString entry = NoteTabRules::recentEntry(file, patientIdOf(index));
    if (!entry.isEmpty())
        m_form.recentFiles().add(entry);
    removeTab(index);
    if (!m_form.pickPanelShown())
        m_form.setPickPanelShown(true);
    QCoreApplication::processEvents();
    m_closing = false; // the tab now active follows as after a click
    vgPageControl1Change();
}

QString TNoteTabs::closeActiveForShutdown()
{
    const int index = m_tabs->currentIndex();
    if (index < 0)
        return QString();
    const QString entry = NoteTabRules::recentEntry(m_openNoteFiles.value(index, Untitled), patientIdOf(index));
    removeTab(index);
    QCoreApplication::processEvents();
    return entry;
}
