#include "library/diagnosis_pane.h"

#include "app/help_topics.h"
#include "library/add_dx_dialog.h"
#include "library/macro_text_dialog.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "store/data_module.h"
#include "store/table_model.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const char* const HintProperty = "hint";
const char* const HelpProperty = "helpContext";

const QString CategoryHint =
    QStringLiteral("Enter only to filter Dx by category or\r\n  assign a category to a diagnosis.");
const QString IdleHint = QStringLiteral("Hints");

// Hints are kept as written, with CR LF breaks; the tooltip gets plain line feeds.
void setHint(QWidget* w, const QString& hint)
{
    w->setProperty(HintProperty, hint);
    QString tip = hint;
    tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (tip.endsWith(QLatin1Char('\n')))
        tip.chop(1);
    w->setToolTip(tip);
}

// The presentation list shows the `Dx` field under the title "Presentation".
class PresentationModel : public TableModel {
public:
    PresentationModel(Table* table, QObject* parent) : TableModel(table, {QStringLiteral("Dx")}, parent) {}
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 0)
            return QStringLiteral("Presentation");
        return TableModel::headerData(section, orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return TableModel::flags(index) & ~Qt::ItemIsEditable;
    }
};

QPushButton* commandButton(const QString& name, const QString& caption, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    setHint(b, hint);
    b->setProperty(HelpProperty, HelpContext::WritingMacros);
    return b;
}
} // namespace

TDiagnosisPane::TDiagnosisPane(TDataModule1& dm, QWidget* parent)
    : QGroupBox(QStringLiteral("Macros by Presentation"), parent), m_dm(dm), m_logic(dm)
{
    setObjectName(QStringLiteral("DxGroupBox"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    auto* buttons = new QHBoxLayout;
    m_add = commandButton(QStringLiteral("BtnAddDx"), QStringLiteral("Add"), QStringLiteral("Add a diagnosis"), this);
    m_rename = commandButton(QStringLiteral("BttnEditDx"), QStringLiteral("Rename"),
                             QStringLiteral("Edit Diagnosis or category"), this);
    m_delete = commandButton(QStringLiteral("BtnDelDx"), QStringLiteral("Delete"), QStringLiteral("Remove a diagnosis"), this);
    for (QPushButton* b : {m_add, m_rename, m_delete}) {
        b->setFocusPolicy(Qt::ClickFocus); // not reached by Tab
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    m_filter = new QCheckBox(QStringLiteral("Filter (off shows Category of Dx)"), this);
    m_filter->setObjectName(QStringLiteral("FilterCheckBox"));
    setHint(m_filter, QStringLiteral("Toggle filtering of diagnoses\r\nby category."));
    layout->addWidget(m_filter);

    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("ComboBoxcat"));
    m_category->setEditable(true);
    m_category->setInsertPolicy(QComboBox::NoInsert); // the categories are a fixed list
    m_category->setMaxVisibleItems(9);
    // Completion keeps letter case: a text typed in other case stays as typed and matches nothing.
    if (QCompleter* c = m_category->completer())
        c->setCaseSensitivity(Qt::CaseSensitive);
    m_category->setEnabled(false);
    setHint(m_category, CategoryHint);
    m_category->installEventFilter(this);
    layout->addWidget(m_category);

    m_finder = new QLineEdit(this);
    m_finder->setObjectName(QStringLiteral("DbFinderDx"));
    setHint(m_finder, QStringLiteral("Type to choose presentation.\r\n'.' will clear.\r\nUp & Down keys also change selection."));
    m_finder->installEventFilter(this);
    layout->addWidget(m_finder);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DxDbGrid"));
    m_model = new PresentationModel(&m_dm.kbmTableDx(), this);
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(17); // 16-pixel rows and a line
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setTabKeyNavigation(false);
    m_grid->setProperty(HelpProperty, HelpContext::NoteArea);
    setHint(m_grid, QStringLiteral("Select a Diagnosis by scrolling\r\nor using the finder edit box \r\njust above this grid."));
    layout->addWidget(m_grid, 1);

    m_createMacro = commandButton(QStringLiteral("BtnCreateMacro"), QStringLiteral("Create Macro"),
                                  QStringLiteral("Create or edit a macro for \r\nthe selected diagnosis."), this);
    layout->addWidget(m_createMacro);

    m_dialog = new TFormAddDlg(m_logic, this);

    connect(m_add, &QPushButton::clicked, this, &TDiagnosisPane::AddDxClick);
    connect(m_rename, &QPushButton::clicked, this, &TDiagnosisPane::BttnEditDxClick);
    connect(m_delete, &QPushButton::clicked, this, &TDiagnosisPane::DeleteDxActionExecute);
    connect(m_createMacro, &QPushButton::clicked, this, &TDiagnosisPane::BtnCreateMacroClick);
    connect(m_filter, &QCheckBox::toggled, this, &TDiagnosisPane::FilterCheckBoxClick);
    connect(m_category, &QComboBox::editTextChanged, this, &TDiagnosisPane::ComboBoxCatChange);
    // Choosing an item counts as a change even when the box already shows its text.
    connect(m_category, &QComboBox::activated, this, [this](int) { ComboBoxCatChange(m_category->currentText()); });
    connect(m_finder, &QLineEdit::textEdited, this, &TDiagnosisPane::DbFinderDxChange);
    connect(&m_dm, &TDataModule1::diagnosisChanged, this, &TDiagnosisPane::showDiagnosis);
    connect(&m_dm, &TDataModule1::diagnosisGridRepaint, m_grid->viewport(), qOverload<>(&QWidget::update));
    connect(m_model, &TableModel::currentRowChanged, this, &TDiagnosisPane::followCursor);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (m_syncing || !current.isValid())
                    return;
                Table& t = m_dm.kbmTableDx();
                if (t.state() != TableState::Browse || current.row() == t.recNo())
                    return;
                // A row picked in the list is no longer what the finder's text names.
                m_finder->clear();
                m_matched.clear();
                try {
                    t.moveTo(current.row());
                } catch (const MedrovaError& e) {
                    report(e);
                }
            });
    followCursor();
    m_createMacro->setText(m_logic.macroButtonCaption());
}

TDiagnosisPane::~TDiagnosisPane() = default;

void TDiagnosisPane::ComboBoxCatAddStrings()
{
    const QStringList names = m_logic.categoryNames();
    {
        const QSignalBlocker block(m_category);
        m_category->addItems(names);
        m_category->setCurrentIndex(-1);
        m_category->setEditText(QString());
    }
    m_dialog->setCategories(names);
    Table& t = m_dm.kbmTableDx();
    if (t.isActive() && !t.isEmpty() && !m_filter->isChecked()) {
        const QSignalBlocker block(m_category);
        m_category->setEditText(t.text(QStringLiteral("Category")));
    }
}

QString TDiagnosisPane::categoryText() const { return m_category->currentText(); }

bool TDiagnosisPane::filterOn() const { return m_filter->isChecked(); }

void TDiagnosisPane::setFilterOn(bool on) { m_filter->setChecked(on); }

void TDiagnosisPane::ComboBoxCatChange(const QString& text)
{
    try {
        m_logic.categoryTextChanged(text, m_filter->isChecked());
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_createMacro->setText(m_logic.macroButtonCaption());
}

void TDiagnosisPane::FilterCheckBoxClick()
{
    const bool on = m_filter->isChecked();
    try {
        m_logic.setFilter(on);
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_grid->viewport()->update();
    m_category->setEnabled(on);
    m_createMacro->setText(m_logic.macroButtonCaption());
}

void TDiagnosisPane::DbFinderDxChange(const QString& text)
{
    try {
        m_matched = m_logic.findPrefix(text);
    } catch (const MedrovaError& e) {
        report(e);
    }
}

bool TDiagnosisPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_finder) {
        switch (event->type()) {
        case QEvent::FocusIn:
            m_finder->clear();
            m_matched.clear();
            Q_EMIT hintRequested(DiagnosisPaneLogic::finderHint());
            break;
        case QEvent::FocusOut:
            if (!m_matched.isNull())
                m_finder->setText(m_matched);
            Q_EMIT hintRequested(IdleHint);
            break;
        case QEvent::KeyPress:
            return finderKey(static_cast<QKeyEvent*>(event));
        default: break;
        }
    } else if (watched == m_category) {
        if (event->type() == QEvent::FocusIn)
            Q_EMIT hintRequested(CategoryHint);
        else if (event->type() == QEvent::FocusOut)
            Q_EMIT hintRequested(IdleHint);
    }
    return QGroupBox::eventFilter(watched, event);
}

bool TDiagnosisPane::finderKey(QKeyEvent* event)
{
    const bool patientFilter = m_patientFilterOn && m_patientFilterOn();
    const auto action = DiagnosisPaneLogic::finderAction(event->key(), event->text(), patientFilter);
    try {
        switch (action) {
        case DiagnosisPaneLogic::FinderAction::None:
            if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
                return true; // nothing happens while the patient list is filtered
            return false;
        case DiagnosisPaneLogic::FinderAction::Clear: break;
        case DiagnosisPaneLogic::FinderAction::Next: m_logic.moveNext(); break;
        case DiagnosisPaneLogic::FinderAction::Prior: m_logic.movePrior(); break;
        case DiagnosisPaneLogic::FinderAction::ToPatientFinder: Q_EMIT enterPressed(); return true;
        }
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_finder->clear();
    m_matched.clear();
    return true;
}

void TDiagnosisPane::showDiagnosis(const QString& caption, const QString& category)
{
    m_createMacro->setText(caption);
    if (!m_filter->isChecked()) {
        // Showing a presentation's category is not a choice of category.
        const QSignalBlocker block(m_category);
        m_category->setEditText(category);
    }
}

void TDiagnosisPane::followCursor()
{
    const int row = m_model->currentRow();
    m_syncing = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const QModelIndex index = m_model->index(row, 0);
        m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_grid->scrollTo(index);
    } else {
        m_grid->selectionModel()->clear();
    }
    m_syncing = false;
}

void TDiagnosisPane::runDialog(const QString& title)
{
    m_dialog->setWindowTitle(title);
    m_dialog->exec();
    m_grid->viewport()->update();
    m_createMacro->setText(m_logic.macroButtonCaption());
    if (m_dialog->macroEditorRequested())
        openMacroEditor();
}

void TDiagnosisPane::AddDxClick()
{
    m_dialog->nameBox()->clear();
    runDialog(DiagnosisPaneLogic::addTitle());
}

void TDiagnosisPane::BttnEditDxClick()
{
    const int top = m_grid->rowAt(0);
    const int offset = std::max(0, m_model->currentRow() - std::max(top, 0));
    const Table& t = m_dm.kbmTableDx();
    m_dialog->nameBox()->setText(t.isActive() && !t.isEmpty() ? t.text(QStringLiteral("Dx")) : QString());
    runDialog(DiagnosisPaneLogic::editTitle());
    // The renamed row comes back at the same height in the list.
    followCursor();
    const int row = m_model->currentRow();
    if (row >= 0)
        m_grid->verticalScrollBar()->setValue(std::max(0, row - offset));
}

void TDiagnosisPane::DeleteDxActionExecute()
{
    try {
        if (m_logic.deleteCurrent(m_finder->text())) {
            m_finder->clear();
            m_matched.clear();
        }
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_createMacro->setText(m_logic.macroButtonCaption());
}

void TDiagnosisPane::BtnCreateMacroClick() { openMacroEditor(); }

void TDiagnosisPane::openMacroEditor()
{
    TMacroTextDialog editor(m_dm, window());
    editor.exec();
    m_grid->viewport()->update();
    m_createMacro->setText(m_logic.macroButtonCaption());
}

void TDiagnosisPane::report(const std::exception& e)
{
    const auto* m = dynamic_cast<const MedrovaError*>(&e);
    Prompter::current().error(m ? m->text() : QString::fromLocal8Bit(e.what()));
}
