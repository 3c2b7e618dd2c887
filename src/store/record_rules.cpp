#include "store/record_rules.h"

#include "platform/errors.h"
#include "platform/prompter.h"
#include "store/data_module.h"

namespace {
const QString kSuffixes[] = {QStringLiteral(" JR"), QStringLiteral(" SR"), QStringLiteral(" JR."),
                             QStringLiteral(" SR."), QStringLiteral(" II"), QStringLiteral(" III"),
                             QStringLiteral(" IV")};
}

RecordRules::RecordRules(TDataModule1& dm) : m_dm(dm)
{
    installPatient();
    installHistory();
    installDx();
    installInserts();
}

QString RecordRules::incompletePatientWarning()
{
    return QStringLiteral("If you do not enter a first name, last name, sex and date of birth \r\nsome macros will not run properly.");
}

QString RecordRules::invalidPatientWarning()
{
    return QStringLiteral("You must enter a valid first name, last name, sex, and date of birth \r\nsome macros will not run properly.");
}

QString RecordRules::upperAscii(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

bool RecordRules::familyMatches(const QString& rowLastName, const QString& rememberedLastName)
{
    const QString l = upperAscii(rowLastName);
    QString base = upperAscii(rememberedLastName);
    for (const QString& s : kSuffixes) {
        if (base.endsWith(s)) {
            base.chop(s.size());
            break;
        }
    }
    if (l == base)
        return true;
    for (const QString& s : kSuffixes)
        if (l.size() == base.size() + s.size() && l.startsWith(base) && l.endsWith(s))
            return true;
    return false;
}

// ---- patient ---------------------------------------------------------------------------

void RecordRules::computeNextPatientId(Table& t)
{
    t.disableControls();
    t.setFiltered(false);
    t.setActiveIndex(QStringLiteral("ID_NDX"));
    t.refresh();
    t.last();
    TDataModule1::letEventsRun();
    int next = t.isEmpty() ? 1 : t.value(QStringLiteral("ID")).toInt() + 1;
    while (t.locate({QStringLiteral("ID")}, {next}))
        ++next;
    m_dm.nextPatientId = next;
    t.setActiveIndex(QStringLiteral("NAME"));
    t.refresh();
    t.first();
}

void RecordRules::checkPatient(Table& t)
{
    RememberedPatient& p = m_dm.rememberedPatient;
    try {
        p.firstName = t.text(QStringLiteral("FirstName"));
        p.lastName = t.text(QStringLiteral("LastName"));
        p.dateOfBirth = t.value(QStringLiteral("DateOfBirth"));
        p.sex = t.text(QStringLiteral("Sex"));
    } catch (const MedrovaError&) {
        Prompter::current().message(MessageType::Warning, Buttons::Ok, incompletePatientWarning());
    }
    const bool noDate = p.dateOfBirth.isNull() || p.dateOfBirth.toDouble() == 0.0;
    if (!p.sex.isEmpty() && !p.firstName.isEmpty() && !p.lastName.isEmpty() && !noDate)
        return;
    const RememberedPatient keep = p;
    t.cancel();
    t.insert();
    t.setValue(QStringLiteral("FirstName"), keep.firstName);
    t.setValue(QStringLiteral("LastName"), keep.lastName);
    t.setValue(QStringLiteral("DateOfBirth"), keep.dateOfBirth);
    t.setValue(QStringLiteral("Sex"), keep.sex);
    TDataModule1::letEventsRun();
    Prompter::current().message(MessageType::Warning, Buttons::Ok, invalidPatientWarning());
    throw AbortOperation();
}

void RecordRules::installPatient()
{
    Table& t = m_dm.kbmTablePatient();
    t.beforeInsert = [this](Table& tb) { computeNextPatientId(tb); };
    t.afterInsert = [this](Table& tb) {
        tb.setValue(QStringLiteral("ID"), m_dm.nextPatientId);
        tb.enableControls();
    };
    t.beforePost = [this](Table& tb) {
        if (!m_dm.visitStamp)
            checkPatient(tb);
    };
    t.afterPost = [this](Table&) {
        if (!m_dm.visitStamp)
            m_dm.savePatient();
    };
    t.beforeDelete = [this](Table& tb) {
        Table& h = m_dm.kbmTablePtHistory();
        if (h.isActive() && h.locate({QStringLiteral("ID")}, {tb.value(QStringLiteral("ID"))})) {
            h.deleteRow();
            h.save();
        }
    };
    t.afterDelete = [this](Table& tb) {
        m_dm.savePatient();
        const RememberedPatient& p = m_dm.rememberedPatient;
        LocateOptions partial;
        partial.partialKey = true;
        tb.locate({QStringLiteral("LastName"), QStringLiteral("FirstName"), QStringLiteral("DateOfBirth")},
                  {p.lastName, p.firstName, p.dateOfBirth}, partial);
    };
    t.beforeScroll = [this](Table&) { Q_EMIT m_dm.patientScrolling(); };
    t.afterScroll = [this](Table&) { Q_EMIT m_dm.patientGridRepaint(); };
    t.onFilterRecord = [this](const Table& tb, const Row& row) {
        const QVariant last = tb.rowValue(row, tb.fieldIndex(QStringLiteral("LastName")));
        if (!familyMatches(last.toString(), m_dm.rememberedPatient.lastName))
            return false;
        if (!m_dm.firstNameFilter)
            return true;
        const QVariant first = tb.rowValue(row, tb.fieldIndex(QStringLiteral("FirstName")));
        return upperAscii(first.toString()) == upperAscii(m_dm.rememberedPatient.firstName);
    };
    t.onStateChange = [this](Table& tb) {
        if (m_dm.tabSync)
            return;
        const bool editing = tb.state() == TableState::Edit || tb.state() == TableState::Insert;
        Q_EMIT m_dm.patientEditingChanged(editing);
    };
}

// ---- history, Dx, inserts --------------------------------------------------------------

void RecordRules::installHistory()
{
    m_dm.kbmTablePtHistory().afterPost = [](Table& tb) {
        const QVariant id = tb.value(QStringLiteral("ID"));
        tb.save();
        tb.locate({QStringLiteral("ID")}, {id});
    };
}

void RecordRules::installDx()
{
    Table& t = m_dm.kbmTableDx();
    t.beforePost = [this](Table& tb) {
        const bool blank = tb.isNull(QStringLiteral("Dx")) && tb.isNull(QStringLiteral("Macro")) &&
                           tb.isNull(QStringLiteral("Category"));
        if (blank) {
            tb.cancel();
            m_dm.rememberedDiagnosis = tb.text(QStringLiteral("Dx"));
            throw AbortOperation();
        }
        m_dm.rememberedDiagnosis = tb.text(QStringLiteral("Dx"));
    };
    t.afterPost = [this](Table& tb) {
        tb.sortOn(QStringLiteral("Dx"), true);
        tb.save();
        LocateOptions partial;
        partial.partialKey = true;
        tb.locate({QStringLiteral("Dx")}, {m_dm.rememberedDiagnosis}, partial);
    };
    t.afterScroll = [this](Table& tb) {
        if (tb.isEmpty())
            return;
        const QString caption = tb.isNull(QStringLiteral("Macro")) ? QStringLiteral("Create Macro")
                                                                   : QStringLiteral("Edit Macro");
        Q_EMIT m_dm.diagnosisChanged(caption, tb.text(QStringLiteral("Category")));
        Q_EMIT m_dm.diagnosisGridRepaint();
        if (m_dm.importDialog)
            Q_EMIT m_dm.importCategoryChanged(tb.text(QStringLiteral("Category")));
    };
    t.onFilterRecord = [this](const Table& tb, const Row& row) {
        const Table& cat = m_dm.kbmTableCategory();
        const QString current = cat.isActive() ? cat.text(QStringLiteral("CATEGORY")) : QString();
        return tb.rowValue(row, tb.fieldIndex(QStringLiteral("Category"))).toString() == current;
    };
    t.onDataChange = [this](Table& tb, int) {
        if (m_dm.importDialog)
            Q_EMIT m_dm.importCategoryChanged(tb.text(QStringLiteral("Category")));
    };
}

void RecordRules::installInserts()
{
    m_dm.kbmTableInserts().afterPost = [](Table& tb) {
        tb.setIndexDefs(tb.indexDefs());
        tb.refresh();
        tb.saveToFile(tb.fileName(), FileForm::Compressed);
    };
}
