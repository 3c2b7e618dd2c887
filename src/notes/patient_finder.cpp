#include "notes/patient_finder.h"

#include "app/main_options.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "store/data_module.h"

#include <QRegularExpression>

namespace {
const QString kLastName = QStringLiteral("LastName");
const QString kFirstName = QStringLiteral("FirstName");
const QString kDateOfBirth = QStringLiteral("DateOfBirth");
const QString kSex = QStringLiteral("Sex");
const QString kSsNum = QStringLiteral("SSNum");
const QString kReminders = QStringLiteral("Reminders");

bool isEditing(const Table& t) { return t.state() == TableState::Edit || t.state() == TableState::Insert; }

// One position of a table-file edit mask: an input slot or a literal character.
struct MaskSlot {
    bool input = false;
    QChar qtCode; // the Qt input mask character for an input slot
    QChar literal;
};

struct ParsedMask {
    std::vector<MaskSlot> slots;
    QString qtPrefix; // case modifiers are kept in place; see inputMask()
    bool saveLiterals = true;
    QChar blank = QLatin1Char('_');
};

// Splits "mask;save;blank"; the mask part may itself hold escaped ';'.
ParsedMask parseMask(const QString& editMask)
{
    ParsedMask m;
    QString mask = editMask;
    const qsizetype last = mask.lastIndexOf(QLatin1Char(';'));
    if (last >= 0 && (last == 0 || mask[last - 1] != QLatin1Char('\\'))) {
        const QString tail = mask.mid(last + 1);
        QString head = mask.left(last);
        const qsizetype second = head.lastIndexOf(QLatin1Char(';'));
        if (second >= 0 && (second == 0 || head[second - 1] != QLatin1Char('\\'))) {
            m.saveLiterals = head.mid(second + 1) != QLatin1String("0");
            if (!tail.isEmpty())
                m.blank = tail[0];
            mask = head.left(second);
        } else {
            m.saveLiterals = tail != QLatin1String("0");
            mask = head;
        }
    }
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        MaskSlot s;
        switch (c.unicode()) {
        case '\\':
            if (i + 1 < mask.size())
                s.literal = mask[++i];
            else
                continue;
            break;
        case '!': case '>': case '<':
            continue; // case and blank-trimming switches occupy no position
        case 'L': s.input = true; s.qtCode = QLatin1Char('A'); break;
        case 'l': s.input = true; s.qtCode = QLatin1Char('a'); break;
        case 'A': s.input = true; s.qtCode = QLatin1Char('N'); break;
        case 'a': s.input = true; s.qtCode = QLatin1Char('n'); break;
        case 'C': s.input = true; s.qtCode = QLatin1Char('X'); break;
        case 'c': s.input = true; s.qtCode = QLatin1Char('x'); break;
        case '0': s.input = true; s.qtCode = QLatin1Char('9'); break;
        case '9': s.input = true; s.qtCode = QLatin1Char('0'); break;
        case '#': s.input = true; s.qtCode = QLatin1Char('#'); break;
        case '_': s.literal = QLatin1Char(' '); break;
        default: s.literal = c; break;
        }
        m.slots.push_back(s);
    }
    return m;
}

QString escapedLiteral(QChar c)
{
    static const QString special = QStringLiteral("AaNnXx90Dd#HhBb><!;[]{}\\");
    return special.contains(c) ? QStringLiteral("\\") + c : QString(c);
}
} // namespace

// ---- field rules -----------------------------------------------------------------------

namespace PatientFields {

QDate centuryCorrected(const QDate& date, const QDate& reference)
{
    if (!date.isValid() || !reference.isValid() || date <= reference.addDays(7))
        return date;
    const int year = date.year() - 100;
    QDate back(year, date.month(), date.day());
    if (!back.isValid() && date.month() == 2 && date.day() == 29)
        back = QDate(year, 2, 28);
    return back.isValid() ? back : date;
}

QString dateFieldFormat()
{
    QString f = Dates::shortDateFormat();
    f.replace(QRegularExpression(QStringLiteral("d+")), QStringLiteral("dd"));
    f.replace(QRegularExpression(QStringLiteral("M+")), QStringLiteral("MM"));
    f.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    // A short format with names or times in it cannot be typed into a fixed mask.
    static const QRegularExpression numeric(QStringLiteral("^(dd|MM|yyyy|[^A-Za-z])+$"));
    if (!numeric.match(f).hasMatch() || f.count(QStringLiteral("dd")) != 1 || f.count(QStringLiteral("MM")) != 1 ||
        f.count(QStringLiteral("yyyy")) != 1)
        return QStringLiteral("MM/dd/yyyy");
    return f;
}

QString dateFieldMask()
{
    QString mask;
    for (const QChar c : dateFieldFormat())
        mask += (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) ? QStringLiteral("9")
                                                                                       : escapedLiteral(c);
    return mask + QStringLiteral(";_");
}

QString dateFieldText(const QVariant& dayCount)
{
    if (dayCount.isNull())
        return QString();
    return Dates::dateFromDayCount(dayCount.toDouble()).toString(dateFieldFormat());
}

std::optional<DateFieldValue> readDateField(const QString& text)
{
    QString typed = text;
    typed.remove(QLatin1Char('_'));
    if (!typed.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        return DateFieldValue{};
    if (text.contains(QLatin1Char('_')) || text.contains(QLatin1Char(' ')))
        return std::nullopt;
    const QDate d = QDate::fromString(text, dateFieldFormat());
    if (!d.isValid())
        return std::nullopt;
    return DateFieldValue{false, d};
}

QString inputMask(const QString& editMask)
{
    const ParsedMask m = parseMask(editMask);
    QString out;
    for (const MaskSlot& s : m.slots)
        out += s.input ? QString(s.qtCode) : escapedLiteral(s.literal);
    return out + QLatin1Char(';') + m.blank;
}

QVariant maskedValue(const QString& displayText, const QString& editMask)
{
    const ParsedMask m = parseMask(editMask);
    QString out;
    bool typed = false;
    for (size_t i = 0; i < m.slots.size(); ++i) {
        const MaskSlot& s = m.slots[i];
        const QChar c = qsizetype(i) < displayText.size() ? displayText[qsizetype(i)] : m.blank;
        if (!s.input) {
            if (m.saveLiterals)
                out += s.literal;
            continue;
        }
        if (c == m.blank || c == QLatin1Char(' ')) {
            out += QLatin1Char(' ');
        } else {
            out += c;
            typed = true;
        }
    }
    return typed ? QVariant(out) : QVariant();
}

QString sexCode(bool male) { return male ? QStringLiteral("M") : QStringLiteral("F"); }

} // namespace PatientFields

// ---- finder ----------------------------------------------------------------------------

PatientFinder::PatientFinder(TDataModule1& dm, QObject* parent) : QObject(parent), m_dm(dm)
{
    Table& t = table();
    connect(&t, &Table::cursorMoved, this, [this](int) { followRecord(); });
    connect(&t, &Table::layoutReset, this, [this] { followRecord(); });
    connect(&t, &Table::stateChanged, this, [this](TableState) { Q_EMIT enabledChanged(enabled()); });
}

QString PatientFinder::toolTip()
{
    return QStringLiteral("Enter Last Name until selected\r\nthen ','  First Name.\r\n'.' will clear.\r\nUp & Down keys also change selection.");
}

QString PatientFinder::leftHint() { return QStringLiteral("Hints"); }

Table& PatientFinder::table() const { return m_dm.kbmTablePatient(); }

QString PatientFinder::searchField() const { return m_mode == Mode::LastName ? kLastName : kFirstName; }

bool PatientFinder::enabled() const { return !isEditing(table()); }

QString PatientFinder::recordText() const
{
    const Table& t = table();
    return t.isActive() ? t.text(searchField()) : QString();
}

void PatientFinder::setOwnText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    Q_EMIT textChanged(m_text);
}

void PatientFinder::followRecord()
{
    // The finder's own search moves the register under the text being typed.
    if (!m_searching)
        setOwnText(recordText());
}

void PatientFinder::setText(const QString& text) { m_text = text; }

bool PatientFinder::search()
{
    Table& t = table();
    if (m_text.isEmpty() || !t.isActive() || !enabled())
        return false;
    LocateOptions options;
    options.caseInsensitive = true;
    options.partialKey = true;
    m_searching = true;
    bool found = false;
    try {
        found = t.locate({searchField()}, {m_text}, options);
    } catch (const MedrovaError&) {
        m_searching = false;
        throw;
    }
    m_searching = false;
    m_found = m_found || found;
    return found;
}

bool PatientFinder::keyPress(int key, const QString& text)
{
    Table& t = table();
    if (text == QLatin1String(",")) {
        firstNameMode();
        return true;
    }
    if (text == QLatin1String(".")) {
        reset();
        return true;
    }
    if (text == QLatin1String(" ") && m_text.isEmpty())
        return true;
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Up: {
        if (!t.isActive() || t.isEmpty())
            return false;
        const bool down = key == Qt::Key_Down;
        if (down ? t.recNo() >= t.rowCount() - 1 : t.recNo() <= 0)
            return false;
        down ? t.next() : t.prior();
        m_text.clear();
        setOwnText(recordText());
        Q_EMIT focusRequested();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT diagnosisFinderRequested();
        return true;
    case Qt::Key_Escape:
        setOwnText(QString());
        m_found = false;
        return true;
    default:
        return false;
    }
}

void PatientFinder::keyRelease(int key, const QString& text)
{
    const bool character = text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() <= 255;
    if (key == Qt::Key_Backspace || character)
        search();
}

void PatientFinder::entered(bool macroRunning)
{
    if (!macroRunning)
        reset();
}

void PatientFinder::left()
{
    if (m_found)
        setOwnText(recordText());
    m_found = false;
    Q_EMIT hintRequested(leftHint());
}

void PatientFinder::reset()
{
    Q_EMIT finderReset();
    m_dm.firstNameFilter = false;
    Q_EMIT hintRequested(toolTip());
    m_mode = Mode::LastName;
    Q_EMIT modeChanged(m_mode);
    Table& t = table();
    t.disableControls();
    t.setFiltered(false);
    t.refresh();
    t.enableControls();
    setOwnText(QString());
    m_found = false;
    Q_EMIT focusRequested();
}

void PatientFinder::firstNameMode()
{
    Table& t = table();
    RememberedPatient& p = m_dm.rememberedPatient;
    p.lastName = t.isActive() ? t.text(kLastName) : QString();
    p.firstName = t.isActive() ? t.text(kFirstName) : QString();
    m_mode = Mode::FirstName;
    Q_EMIT modeChanged(m_mode);
    m_dm.firstNameFilter = false;
    t.disableControls();
    t.setFiltered(true);
    t.refresh();
    t.enableControls();
    setOwnText(QString());
    m_found = false;
    Q_EMIT focusRequested();
}

// ---- record actions --------------------------------------------------------------------

PatientActions::PatientActions(TDataModule1& dm, DefaultNoteDate& noteDate, QObject* parent)
    : QObject(parent), m_dm(dm), m_noteDate(noteDate)
{
}

QString PatientActions::finishEditingMessage()
{
    return QStringLiteral("Finish editing the current patient then try again.");
}

QString PatientActions::deleteQuestion() { return QStringLiteral("Are you sure you want to Delete the Record(s) ?"); }

QString PatientActions::navigatorHint(NavigatorButton button)
{
    switch (button) {
    case NavigatorButton::Insert: return QStringLiteral("Add a Patient");
    case NavigatorButton::Delete: return QStringLiteral("Delete Patient Permanently");
    case NavigatorButton::Edit: return QStringLiteral("Edit Patient Record");
    case NavigatorButton::Post: return QStringLiteral("Save Changes");
    case NavigatorButton::Cancel: return QStringLiteral("Cancel changes since last saved");
    }
    return QString();
}

bool PatientActions::navigatorEnabled(NavigatorButton button, TableState state, bool empty)
{
    const bool active = state != TableState::Inactive;
    const bool editing = state == TableState::Edit || state == TableState::Insert;
    switch (button) {
    case NavigatorButton::Insert: return active;
    case NavigatorButton::Delete: return active && !empty;
    case NavigatorButton::Edit: return active && !editing && !empty;
    case NavigatorButton::Post:
    case NavigatorButton::Cancel: return editing;
    }
    return false;
}

Table& PatientActions::table() const { return m_dm.kbmTablePatient(); }

bool PatientActions::editing() const { return isEditing(table()); }

bool PatientActions::hasRecord() const { return table().isActive() && !table().isEmpty(); }

bool PatientActions::guarded(const std::function<bool()>& op)
{
    try {
        return op();
    } catch (const MedrovaError& e) {
        Prompter::current().error(e.text());
        return false;
    }
}

bool PatientActions::addPatient()
{
    if (editing()) {
        Prompter::current().message(MessageType::Information, Buttons::Ok, finishEditingMessage());
        return false;
    }
    if (!table().isActive() || !guarded([this] { return table().insert(); }))
        return false;
    Q_EMIT gridEditRequested();
    return true;
}

void PatientActions::navigatorClicked(NavigatorButton button)
{
    Table& t = table();
    if (!t.isActive())
        return;
    switch (button) {
    case NavigatorButton::Insert:
        guarded([&] { return t.insert(); });
        break;
    case NavigatorButton::Delete:
        if (!t.isEmpty() && Prompter::current().message(MessageType::Confirmation, Buttons::YesNo, deleteQuestion()) == Answer::Yes)
            guarded([&] { return t.deleteRow(); });
        break;
    case NavigatorButton::Edit:
        if (!t.isEmpty())
            guarded([&] { return t.edit(); });
        break;
    case NavigatorButton::Post:
        guarded([&] { return t.post(); });
        break;
    case NavigatorButton::Cancel:
        guarded([&] {
            t.cancel();
            return true;
        });
        break;
    }

    m_noteDate.refreshIfToday();
    if (button == NavigatorButton::Insert || button == NavigatorButton::Edit) {
        Q_EMIT gridEditRequested();
        TDataModule1::letEventsRun();
    } else if (button == NavigatorButton::Post) {
        correctDateOfBirth(m_noteDate.date());
    }
}

bool PatientActions::correctDateOfBirth(const QDate& reference)
{
    Table& t = table();
    if (!t.isActive() || (!editing() && t.isEmpty()))
        return false;
    const QVariant v = t.value(kDateOfBirth);
    if (v.isNull())
        return false;
    const QDate shown = Dates::dateFromDayCount(v.toDouble());
    const QDate corrected = PatientFields::centuryCorrected(shown, reference);
    if (corrected == shown)
        return false;
    if (!editing() && !guarded([&] { return t.edit(); }))
        return false;
    t.setValue(kDateOfBirth, Dates::toDayCount(corrected));
    return true;
}

bool PatientActions::setDateOfBirth(const PatientFields::DateFieldValue& value)
{
    if (!editing())
        return false;
    const QVariant v = value.empty ? QVariant() : QVariant(Dates::toDayCount(value.date));
    const QVariant old = table().value(kDateOfBirth);
    if (old.isNull() != v.isNull() || (!v.isNull() && old.toDouble() != v.toDouble()))
        table().setValue(kDateOfBirth, v);
    return true;
}

void PatientActions::dateFieldLeft() { correctDateOfBirth(Clock::current().today()); }

bool PatientActions::dateFieldEnter()
{
    const QString s = sex();
    if ((s != PatientFields::sexCode(true) && s != PatientFields::sexCode(false)) || !editing())
        return false;
    return guarded([this] { return table().post(); });
}

bool PatientActions::setSex(const QString& code)
{
    if (!editing())
        return false;
    table().setValue(kSex, code);
    return true;
}

QString PatientActions::sex() const { return table().isActive() ? table().text(kSex) : QString(); }

bool PatientActions::setSsNumber(const QVariant& value)
{
    if (!editing())
        return false;
    table().setValue(kSsNum, value);
    return true;
}

void PatientActions::reminderEntered()
{
    m_autoEdit = true;
    m_reminderChanged = false;
}

bool PatientActions::reminderEdited(const QString& text)
{
    Table& t = table();
    if (!t.isActive())
        return false;
    if (!editing()) {
        // Automatic editing starts an edit of the current patient; with no patient there is
        // nothing to edit, and a reminder alone must not create one.
        if (!m_autoEdit || t.isEmpty() || !guarded([&] { return t.edit(); }))
            return false;
    }
    t.setValue(kReminders, text);
    m_reminderChanged = true;
    return true;
}

void PatientActions::reminderLeft()
{
    if (m_reminderChanged && editing())
        guarded([this] { return table().post(); });
    m_autoEdit = false;
    m_reminderChanged = false;
}

#include "moc_patient_finder.cpp"
