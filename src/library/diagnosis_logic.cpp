#include "library/diagnosis_logic.h"

#include "platform/prompter.h"
#include "store/data_module.h"

namespace {
const QString kDx = QStringLiteral("Dx");
const QString kMacro = QStringLiteral("Macro");
const QString kCategory = QStringLiteral("Category");
const QString kCategoryField = QStringLiteral("CATEGORY");

bool editing(const Table& t) { return t.state() == TableState::Edit || t.state() == TableState::Insert; }

// Puts the current row into editing, or starts a new one on an empty list.
void editOrInsert(Table& t)
{
    if (editing(t))
        return;
    if (t.isEmpty())
        t.insert();
    else
        t.edit();
}

// Posts the row being edited and makes it current again. After a post the record rules move to
// the first name that begins with the posted one, which with two presentations of one name may
// be the other: a macro written next would then land on the wrong presentation.
bool postAndKeep(Table& t)
{
    const QVariantList values = {t.value(kDx), t.value(kCategory), t.value(kMacro)};
    if (!t.post())
        return false;
    t.locate({kDx, kCategory, kMacro}, values);
    return true;
}
} // namespace

DiagnosisPaneLogic::DiagnosisPaneLogic(TDataModule1& dm) : m_dm(dm) {}

Table& DiagnosisPaneLogic::dx() const { return m_dm.kbmTableDx(); }
Table& DiagnosisPaneLogic::categories() const { return m_dm.kbmTableCategory(); }

QString DiagnosisPaneLogic::deleteQuestion(const QString& finderText)
{
    return QStringLiteral("Are you sure you want to delete Dx ") + finderText + QLatin1Char('?');
}

QString DiagnosisPaneLogic::macroButtonCaption() const
{
    const Table& t = dx();
    const bool hasMacro = t.isActive() && !t.isEmpty() && !t.isNull(kMacro);
    return hasMacro ? QStringLiteral("Edit Macro") : QStringLiteral("Create Macro");
}

QString DiagnosisPaneLogic::dialogMacroButtonCaption() const
{
    const Table& t = dx();
    const bool hasMacro = t.isActive() && (editing(t) || !t.isEmpty()) && !t.isNull(kMacro);
    return hasMacro ? QStringLiteral("Save and Edit Macro") : QStringLiteral("Save and Create Macro");
}

QStringList DiagnosisPaneLogic::categoryNames() const
{
    QStringList names;
    Table& cat = categories();
    if (!cat.isActive() || cat.fieldIndex(kCategoryField) < 0)
        return names;
    for (int i = 0; i < cat.rowCount(); ++i) {
        cat.moveTo(i);
        names << cat.text(kCategoryField);
    }
    return names;
}

QString DiagnosisPaneLogic::currentCategory() const
{
    const Table& cat = categories();
    if (!cat.isActive() || cat.isEmpty() || cat.fieldIndex(kCategoryField) < 0)
        return QString();
    return cat.text(kCategoryField);
}

void DiagnosisPaneLogic::categoryTextChanged(const QString& text, bool filterOn)
{
    Table& cat = categories();
    if (cat.isActive() && cat.fieldIndex(kCategoryField) >= 0 && !text.isEmpty())
        cat.locate({kCategoryField}, {text});
    Table& t = dx();
    if (!t.isActive())
        return;
    if (filterOn) {
        if (!t.filtered())
            t.setFiltered(true);
        else
            t.refresh();
    } else {
        t.setFiltered(false);
    }
}

void DiagnosisPaneLogic::setFilter(bool on)
{
    Table& t = dx();
    if (!t.isActive())
        return;
    if (editing(t) && !t.post())
        t.cancel();
    // The table keeps its current row across the change when that row is still listed.
    t.setFiltered(on);
    t.refresh();
    if (!t.isEmpty())
        t.moveTo(t.recNo()); // lets the scroll rule update the macro button and category box
}

QString DiagnosisPaneLogic::findPrefix(const QString& text)
{
    Table& t = dx();
    if (!t.isActive() || t.isEmpty() || text.isEmpty())
        return QString();
    LocateOptions options;
    options.caseInsensitive = true;
    options.partialKey = true;
    if (!t.locate({kDx}, {text}, options))
        return QString();
    return t.text(kDx);
}

DiagnosisPaneLogic::FinderAction DiagnosisPaneLogic::finderAction(int key, const QString& typed, bool patientFilterOn)
{
    switch (key) {
    case Qt::Key_Up: return FinderAction::Prior;
    case Qt::Key_Down: return FinderAction::Next;
    case Qt::Key_Return:
    case Qt::Key_Enter: return patientFilterOn ? FinderAction::None : FinderAction::ToPatientFinder;
    case Qt::Key_Period: return FinderAction::Clear;
    default: break;
    }
    return typed == QLatin1String(".") ? FinderAction::Clear : FinderAction::None;
}

void DiagnosisPaneLogic::moveNext()
{
    Table& t = dx();
    if (t.isActive() && !t.isEmpty())
        t.next();
}

void DiagnosisPaneLogic::movePrior()
{
    Table& t = dx();
    if (t.isActive() && !t.isEmpty())
        t.prior();
}

DiagnosisPaneLogic::DialogMode DiagnosisPaneLogic::dialogModeForTitle(const QString& title)
{
    return title == addTitle() ? DialogMode::Add : DialogMode::Edit;
}

void DiagnosisPaneLogic::beginDialog(DialogMode mode)
{
    Table& t = dx();
    if (editing(t))
        t.cancel();
    if (mode == DialogMode::Add)
        t.insert();
    else
        editOrInsert(t);
}

QString DiagnosisPaneLogic::editedCategory() const
{
    const Table& t = dx();
    if (!t.isActive() || (!editing(t) && t.isEmpty()))
        return QString();
    return t.text(kCategory);
}

bool DiagnosisPaneLogic::saveDialog(const QString& name, const QString& category)
{
    if (name.isEmpty() || category.isEmpty()) {
        Prompter::current().information(missingNameMessage());
        return false;
    }
    Table& t = dx();
    editOrInsert(t);
    t.setValue(kCategory, category);
    t.setValue(kDx, name);
    return postAndKeep(t);
}

void DiagnosisPaneLogic::cancelDialog()
{
    Table& t = dx();
    if (editing(t))
        t.cancel();
}

bool DiagnosisPaneLogic::deleteCurrent(const QString& finderText)
{
    if (Prompter::current().message(MessageType::Confirmation, Buttons::YesCancel, deleteQuestion(finderText)) !=
        Answer::Yes)
        return false;
    Table& t = dx();
    if (editing(t))
        t.cancel();
    if (!t.deleteRow())
        return false;
    t.save();
    return true;
}

// ---- macro text ------------------------------------------------------------------------

MacroTextLogic::MacroTextLogic(TDataModule1& dm) : m_dm(dm) {}

QString MacroTextLogic::begin()
{
    Table& t = m_dm.kbmTableDx();
    editOrInsert(t);
    return t.text(kMacro);
}

bool MacroTextLogic::save(const QString& text)
{
    Table& t = m_dm.kbmTableDx();
    editOrInsert(t);
    t.setValue(kMacro, text);
    return postAndKeep(t);
}

bool MacroTextLogic::mayClose(bool modified, const QString& text)
{
    Table& t = m_dm.kbmTableDx();
    if (modified) {
        switch (Prompter::current().message(MessageType::Confirmation, Buttons::YesNoCancel, closeQuestion())) {
        case Answer::Yes:
            save(text); // a blank new row is discarded by the record rules: nothing to keep
            return true;
        case Answer::Cancel: return false;
        default: break;
        }
    }
    if (editing(t))
        t.cancel();
    return true;
}
