// The scanner (tParseMacro), the command runner (tProcessList) and the nested runner
// (tProcessNested). They run one after the other on the caller's thread; every wait for the
// user is a blocking host call.

#include "macro/macro_interpreter.h"

#include "macro/age.h"
#include "macro/macro_text.h"
#include "platform/clock.h"
#include "platform/dates.h"

#include <QLocale>
#include <algorithm>
#include <exception>

namespace {

// A failure of the scanner itself (unreadable number or slot, missing blank, failed paste).
struct RunFailure {};
// A failure inside one command: that command produces nothing more.
struct CommandFailure {};

const QString kTooManyErrors = QStringLiteral("Too many errors to continue macro.");
const QString kNoSelection = QStringLiteral("You have not made any selection(s).");

QString upper(const QString& s) { return s.toUpper(); }

bool startsWithCI(const QString& text, QLatin1StringView prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

QChar charAt(const QString& s, qsizetype oneBased)
{
    return oneBased >= 1 && oneBased <= s.size() ? s.at(oneBased - 1) : QChar();
}

bool isOperator(QChar c)
{
    return c == QLatin1Char('<') || c == QLatin1Char('=') || c == QLatin1Char('>') || c == QLatin1Char('~');
}

} // namespace

// Operations shared by the scanner and the runners.
class MacroOps {
public:
    explicit MacroOps(MacroInterpreter& run) : r(run) {}

    MacroHost& host() { return r.m_host; }
    MacroSession& session() { return r.m_session; }
    bool stopped() const { return r.m_stop.load(); }

    // DoPaste: an empty text inserts nothing.
    bool doPaste(const QString& text)
    {
        if (text.isEmpty())
            return true;
        return r.m_host.paste(text, r.m_session.boldOn);
    }
    void displayDialog(const QString& text) { r.m_host.message(MessageType::Error, Buttons::Ok, text); }
    void warning(const QString& text) { r.m_host.message(MessageType::Warning, Buttons::Ok, text); }

    void stoppedByErrors()
    {
        warning(kTooManyErrors);
        r.m_stop.store(true);
    }
    void countError()
    {
        if (++r.m_errorCount > 2)
            stoppedByErrors();
    }
    void unrecognized(const QString& shown)
    {
        warning(QStringLiteral("Unrecognized macro command: ") + shown + QLatin1Char('.'));
        countError();
    }

    QString sexWordTop()
    {
        const QString s = upper(host().patient().text(QStringLiteral("Sex")));
        return s == QLatin1String("MALE") || s == QLatin1String("M") ? QStringLiteral("male")
                                                                     : QStringLiteral("female");
    }
    QString sexWordNested()
    {
        const QString stored = host().patient().text(QStringLiteral("Sex"));
        const QString s = upper(stored);
        if (s == QLatin1String("MALE") || s == QLatin1String("M"))
            return QStringLiteral("male");
        if (s == QLatin1String("FEMALE") || s == QLatin1String("F"))
            return QStringLiteral("female");
        return stored.toLower();
    }
    QString age()
    {
        return agePhrase(host().patient().date(QStringLiteral("DateOfBirth")), host().defaultNoteDate());
    }
    static QString timeText(const QTime& t)
    {
        int h = t.hour() % 12;
        if (h == 0)
            h = 12;
        return QString::number(h) + QLatin1Char(':') + QString::number(t.minute())
            + (t.hour() < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
    }

    // The value of an exact keyword shared by both positions; nullopt when `key` is not one.
    // `nestedSex` picks the nested sex rule.
    std::optional<QString> exactValue(const QString& key, bool nested)
    {
        const MacroRow p = host().patient();
        if (key == QLatin1String("SEX"))
            return nested ? sexWordNested() : sexWordTop();
        if (key == QLatin1String("FIRSTNAMEPROPER")) {
            auto v = MacroText::properFirstName(p.text(QStringLiteral("FirstName")));
            if (!v)
                throw CommandFailure{};
            return v;
        }
        if (key == QLatin1String("LASTNAMEPROPER")) {
            auto v = MacroText::properLastName(p.text(QStringLiteral("LastName")));
            if (!v)
                throw CommandFailure{};
            return v;
        }
        if (key == QLatin1String("AGE"))
            return age();
        if (key == QLatin1String("USERNAME"))
            return host().userName();
        if (key == QLatin1String("DATE"))
            return Dates::shortDate(host().defaultNoteDate());
        if (key == QLatin1String("DOB"))
            return Dates::shortDate(p.date(QStringLiteral("DateOfBirth")));
        if (key == QLatin1String("LASTNAME"))
            return p.text(QStringLiteral("LastName"));
        if (key == QLatin1String("FIRSTNAME"))
            return p.text(QStringLiteral("FirstName"));
        if (key == QLatin1String("ENTER"))
            return QStringLiteral("\n");
        if (key == QLatin1String("TAB"))
            return QStringLiteral("\t");
        if (key == QLatin1String("TIME"))
            return timeText(Clock::current().now().time());
        return std::nullopt;
    }

    MacroInterpreter& r;
};

// ---------------------------------------------------------------------------------------
// tProcessList: one top-level command.

class tProcessList : public MacroOps {
public:
    tProcessList(MacroInterpreter& run, QString command, QString textAfter)
        : MacroOps(run), m_cmd(std::move(command)), m_after(std::move(textAfter))
    {
        m_key = upper(m_cmd.mid(1));
    }

    void execute()
    {
        if (stopped())
            return;
        try {
            dispatch();
        } catch (const CommandFailure&) {
        } catch (const std::exception&) {
        }
    }

private:
    bool is(QLatin1StringView prefix) const { return m_key.startsWith(prefix); }
    QString argAfter(qsizetype keywordLength) const { return m_cmd.mid(1 + keywordLength); }

    void paste(const QString& text)
    {
        if (!stopped())
            doPaste(text);
    }

    void dispatch()
    {
        if (is(QLatin1String("LISTR")))
            return listR();
        if (is(QLatin1String("LIST ")))
            return pickList(MacroText::splitListItems(argAfter(5)), -1);
        if (is(QLatin1String("IFMALE ")))
            return paste(sexWordTop() == QLatin1String("male") ? argAfter(7) : QString());
        if (is(QLatin1String("IFFEMALE ")))
            return paste(sexWordTop() == QLatin1String("female") ? argAfter(9) : QString());
        if (is(QLatin1String("IFSMOKER "))) {
            const auto h = host().synchronizeData();
            return paste(h && h->flag(QStringLiteral("Smoker")) ? argAfter(9) : QString());
        }
        if (is(QLatin1String("FHX")))
            return familyHistory();
        if (is(QLatin1String("SHX")))
            return socialHistory();
        if (is(QLatin1String("PMHX")))
            return pastMedicalHistory();
        if (is(QLatin1String("PSHXHOSP"))) {
            if (host().synchronizeData())
                paste(host().patient().text(QStringLiteral("Diagnosies")));
            return;
        }
        if (is(QLatin1String("SSNUM"))) {
            if (host().synchronizeData())
                paste(host().patient().text(QStringLiteral("SSNum")));
            return;
        }
        if (is(QLatin1String("ALLERGIES"))) {
            if (const auto h = host().synchronizeData())
                paste(h->text(QStringLiteral("Allergies")));
            return;
        }
        if (is(QLatin1String("FONTSIZE "))) {
            bool ok = false;
            const int size = argAfter(9).toInt(&ok);
            if (ok)
                host().setFontSize(size);
            return;
        }
        if (is(QLatin1String("FONT ")))
            return host().setFontName(argAfter(5));
        if (is(QLatin1String("CHNGPRINTER "))) {
            host().pickPrinter(argAfter(12));
            return;
        }
        if (is(QLatin1String("BOLDON"))) {
            session().boldOn = true;
            return;
        }
        if (is(QLatin1String("BOLDOFF"))) {
            session().boldOn = false;
            return;
        }
        if (is(QLatin1String("LISTCHRONICMEDS")))
            return chronicMeds();
        if (is(QLatin1String("INTERVAL")))
            return interval();
        if (is(QLatin1String("FUTURE")))
            return future();
        if (m_key == QLatin1String("HEADER")) {
            const MacroRow p = host().patient();
            return paste(p.text(QStringLiteral("LastName")) + QStringLiteral(", ")
                         + p.text(QStringLiteral("FirstName")) + QStringLiteral("  DOB: ")
                         + Dates::shortDate(p.date(QStringLiteral("DateOfBirth")))
                         + QStringLiteral("  Visit Date: ") + Dates::shortDate(host().defaultNoteDate()));
        }
        if (const auto v = exactValue(m_key, false))
            return paste(*v);
        if (is(QLatin1String("SMOKER")))
            return;
        unrecognized(m_cmd.left(8));
    }

    // ---- pick lists ----

    // Shows a list and applies the user's action. Returns when the action has been applied.
    void pickList(const QStringList& items, int slot)
    {
        m_slot = slot;
        PickRequest request;
        request.items = items;
        while (!stopped()) {
            const PickAction action = host().pick(request);
            if (stopped())
                break;
            if (apply(action, items))
                break;
            request.repeated = true;
        }
        host().closePickList();
    }

    QList<int> validSelection(const QList<int>& selection, qsizetype count) const
    {
        QList<int> s;
        for (int i : selection)
            if (i >= 0 && i < count && !s.contains(i))
                s << i;
        std::sort(s.begin(), s.end());
        return s;
    }

    // False when the list stays open (nothing selected, or a field paste that failed).
    bool apply(const PickAction& action, const QStringList& items)
    {
        SlotMemory& mem = session().slots;
        const QList<int> sel = validSelection(action.selection, items.size());
        switch (action.kind) {
        case PickAction::Kind::DoubleClick: {
            const int i = action.item;
            if (i < 0 || i >= items.size())
                return true; // a double click beside the items picks nothing
            m_pickedIndex = i;
            if (m_slot >= 0) {
                mem.marker[m_slot] = int16_t(i);
                for (int s : sel)
                    mem.remember(m_slot, s, items.at(s));
            }
            return pasteFromList(items.at(i));
        }
        case PickAction::Kind::PasteInLine:
            return pasteInLine(sel, items);
        case PickAction::Kind::PastePerLine:
        case PickAction::Kind::PasteEveryOtherLine: {
            if (sel.isEmpty()) {
                host().message(MessageType::Information, Buttons::Ok, kNoSelection);
                return false;
            }
            const QString feed = action.kind == PickAction::Kind::PastePerLine ? QStringLiteral("\n")
                                                                               : QStringLiteral("\n\n");
            QString text;
            for (int i : sel) {
                text += items.at(i);
                if (i != items.size() - 1) // the list's last item, not the last selected one
                    text += feed;
                rememberFromPaste(i, items.at(i));
            }
            return pasteFromList(text);
        }
        case PickAction::Kind::Skip:
        case PickAction::Kind::Close:
            return true;
        case PickAction::Kind::Cancel:
            r.requestStop();
            return true;
        }
        return true;
    }

    void rememberFromPaste(int index, const QString& text)
    {
        if (m_slot >= 0 && index < SlotMemory::Positions) {
            session().slots.remember(m_slot, index, text);
            session().slots.marker[m_slot] = SlotMemory::FromPaste;
        }
    }

    bool pasteInLine(const QList<int>& sel, const QStringList& items)
    {
        if (sel.isEmpty()) {
            host().message(MessageType::Information, Buttons::Ok, kNoSelection);
            return false;
        }
        if (sel.size() == 1) {
            const int i = sel.first();
            m_pickedIndex = i;
            if (m_slot >= 0)
                session().slots.marker[m_slot] = int16_t(i);
            rememberFromPaste(i, items.at(i));
            return pasteFromList(items.at(i));
        }
        QStringList chosen;
        for (int i : sel) {
            chosen << items.at(i);
            rememberFromPaste(i, items.at(i));
        }
        return pasteFromList(MacroText::joinInLine(chosen));
    }

    // DoPaste from the dialog: a failed paste into the patient form's field keeps the list.
    bool pasteFromList(const QString& text)
    {
        if (doPaste(text))
            return true;
        if (host().fieldMode()) {
            warning(QStringLiteral("Unable to paste the diagnosies"));
            return false;
        }
        return true;
    }

    void listR()
    {
        const QChar slotChar = charAt(m_cmd, 7);
        if (!isDigit(slotChar)) {
            warning(QStringLiteral("Character following 'ListR' is not an integer between 0 and 9"));
            countError();
            return;
        }
        const int slot = slotChar.unicode() - u'0';
        const QStringList items = MacroText::splitListItems(m_cmd.mid(8));
        SlotMemory& mem = session().slots;
        const int m = mem.marker[slot];
        if (m != SlotMemory::Unset && m != SlotMemory::FromPaste && items.size() < m + 1) {
            warning(QStringLiteral("Macro error. The original ListRn instance has more choices than this "
                                   "one. It will be treated as 'List' function"));
            return pickList(items, slot);
        }
        if (m == SlotMemory::Unset)
            return pickList(items, slot);
        // Recall by position: the new list's items where the slot remembers a choice.
        m_slot = slot;
        QList<int> sel;
        for (int i = 0; i < std::min<qsizetype>(items.size(), SlotMemory::Positions); ++i)
            if (!mem.texts[slot][i].isEmpty())
                sel << i;
        if (!sel.isEmpty()) // nothing to recall: no list is open to keep, so nothing is pasted
            pasteInLine(sel, items);
    }

    // ---- history phrases ----

    void familyHistory()
    {
        const auto h = host().synchronizeData();
        if (!h)
            return;
        const QString fhx = h->text(QStringLiteral("FHx"));
        if (!fhx.isEmpty())
            return paste(fhx);
        paste(QStringLiteral("Is remarkable for "));
        pickList({QStringLiteral("no significant hereditary diseases."), QStringLiteral("a brother with"),
                  QStringLiteral("a sister with"), QStringLiteral("father with"), QStringLiteral("mother with"),
                  QStringLiteral("paternal grandfather with"), QStringLiteral("paternal grandmother with"),
                  QStringLiteral("maternal grandfather with"), QStringLiteral("maternal grandmother with")},
                 -1);
    }

    void socialHistory()
    {
        const auto h = host().synchronizeData();
        if (!h)
            return;
        const QString shx = h->text(QStringLiteral("SHx"));
        if (!shx.isEmpty())
            return paste(shx);
        paste(QStringLiteral("The patient "));
        pickList({QStringLiteral("smokes. "), QStringLiteral("chews. "), QStringLiteral("denies tobacco use. ")}, -1);
        if (stopped())
            return;
        paste(sexWordTop() == QLatin1String("male") ? QStringLiteral("He ") : QStringLiteral("She "));
        pickList({QStringLiteral("uses alcohol in moderation."), QStringLiteral("Uses alcohol heavily."),
                  QStringLiteral("admits to past problems with alcohol."), QStringLiteral("denies alcohol or drugs, ")},
                 -1);
    }

    void pastMedicalHistory()
    {
        const auto h = host().synchronizeData();
        if (!h)
            return;
        const QString pmhx = h->text(QStringLiteral("PMHx"));
        if (!pmhx.isEmpty() && !host().fieldMode())
            return paste(pmhx);
        static const QStringList problems = {
            QStringLiteral("no significant chronic health problems."), QStringLiteral("ADHD"),
            QStringLiteral("alcoholic"), QStringLiteral("allergic rhinitis"), QStringLiteral("anxiety"),
            QStringLiteral("asthma"), QStringLiteral("bipolar disorder"), QStringLiteral("cancer of the"),
            QStringLiteral("colon cancer"), QStringLiteral("colon polyps"), QStringLiteral("COPD"),
            QStringLiteral("coronary artery disease"), QStringLiteral("Crohn's Disease"), QStringLiteral("CVA"),
            QStringLiteral("dementia"), QStringLiteral("depression"), QStringLiteral("drug abuse"),
            QStringLiteral("drug seeking behavior"), QStringLiteral("type I DM"), QStringLiteral("type II DM"),
            QStringLiteral("DJD"), QStringLiteral("fibromyalgia"), QStringLiteral("GERD"), QStringLiteral("glaucoma"),
            QStringLiteral("gout"), QStringLiteral("hypertension"), QStringLiteral("hyperthyroidism"),
            QStringLiteral("hypothroidism"), QStringLiteral("irritable bowl syndrome"), QStringLiteral("lipid disorder"),
            QStringLiteral("migraines"), QStringLiteral("obesity"), QStringLiteral("osteoporosis"),
            QStringLiteral("peptic ulcer disease"), QStringLiteral("prostate cancer"), QStringLiteral("rheumatic fever"),
            QStringLiteral("rheumatoid arthritis"), QStringLiteral("seizure disorder"), QStringLiteral("sleep apnea"),
            QStringLiteral("ulcerative colitis")};
        pickList(problems, -1);
    }

    void chronicMeds()
    {
        const auto h = host().synchronizeData();
        if (!h)
            return;
        const QString meds = h->text(QStringLiteral("MedList"));
        if (meds.isEmpty())
            return;
        QStringList lines;
        QString current;
        for (qsizetype i = 0; i < meds.size(); ++i) {
            const QChar c = meds.at(i);
            const bool lineEnd = c == QLatin1Char('\r') || c == QLatin1Char('\n');
            if (i == meds.size() - 1) {
                // A final line break does not start one more, empty line.
                if (!lineEnd)
                    current += c;
                if (!(lineEnd && current.isEmpty()))
                    lines << current;
            } else if (c == QLatin1Char('\r')) {
                lines << current;
                current.clear();
            } else if (c != QLatin1Char('\n')) {
                current += c;
            }
        }
        pickList(lines, -1);
    }

    // ---- interval wording ----

    static QStringList numbered(QStringList items, const QString& prefix, int from = 1)
    {
        for (int n = from; n <= 12; ++n)
            items << prefix + QString::number(n);
        return items;
    }

    void interval()
    {
        using MacroText::occursInLast;
        const QString t = host().textBeforeCursor();
        const qsizetype p = t.size();
        QStringList items;
        if (p > 3 && occursInLast(t, QStringLiteral("a"), 4)) {
            items = numbered({QStringLiteral("few hour"), QStringLiteral("few day"), QStringLiteral("week"),
                              QStringLiteral("few week"), QStringLiteral("month"), QStringLiteral("few month"),
                              QStringLiteral("few year")},
                             QString());
        } else if (p >= 7 && (occursInLast(t, QStringLiteral("last"), 5) || occursInLast(t, QStringLiteral("every"), 6))) {
            items = numbered({QStringLiteral("few hours"), QStringLiteral("few days"), QStringLiteral("week"),
                              QStringLiteral("few weeks"), QStringLiteral("month"), QStringLiteral("few months"),
                              QStringLiteral("few years")},
                             QString());
        } else if (p > 6 && occursInLast(t, QStringLiteral("with"), 7)) {
            items = numbered({QStringLiteral("a few hour"), QStringLiteral("a few day"), QStringLiteral("a week"),
                              QStringLiteral("a few week"), QStringLiteral("a month"), QStringLiteral("a few month"),
                              QStringLiteral("a few year")},
                             QStringLiteral("a "));
        } else if (p > 6 && (occursInLast(t, QStringLiteral(" for "), 5, true) || occursInLast(t, QStringLiteral("since"), 7))) {
            items = numbered({QStringLiteral("a few hours"), QStringLiteral("a few days"), QStringLiteral("about a week"),
                              QStringLiteral("a few weeks"), QStringLiteral("a few months"), QStringLiteral("about a year"),
                              QStringLiteral("a few years"), QStringLiteral("many")},
                             QString());
        } else {
            const bool ago = upper(m_after.left(4)) == QLatin1String(" AGO");
            items = numbered({QStringLiteral("a few hours"), QStringLiteral("a few days"), QStringLiteral("about a week"),
                              QStringLiteral("a few weeks"), QStringLiteral("a few months"), QStringLiteral("about a year"),
                              QStringLiteral("a few years"), QStringLiteral("many"), QStringLiteral("a")},
                             ago ? QString() : QStringLiteral("a "), 2);
        }
        withUnits(items);
    }

    void future()
    {
        using MacroText::occursInLast;
        const QString t = host().textBeforeCursor();
        const qsizetype p = t.size();
        QStringList items;
        if (p > 6 && occursInLast(t, QStringLiteral(" for a "), 7, true)) {
            items = numbered({QStringLiteral("1 day"), QStringLiteral("1 week"), QStringLiteral("1 month"),
                              QStringLiteral("3 month"), QStringLiteral("4 month"), QStringLiteral("6 month"),
                              QStringLiteral("1 year")},
                             QString());
        } else if (p > 2 && occursInLast(t, QStringLiteral("a"), 3)) {
            items = numbered({QStringLiteral("few days"), QStringLiteral("week"), QStringLiteral("few weeks"),
                              QStringLiteral("month"), QStringLiteral("few months"), QStringLiteral("year"),
                              QStringLiteral("few years")},
                             QString());
        } else if (p >= 7 && (occursInLast(t, QStringLiteral("in"), 4) || occursInLast(t, QStringLiteral("by"), 4)
                              || occursInLast(t, QStringLiteral("within"), 8) || occursInLast(t, QStringLiteral("for"), 5))) {
            items = numbered({QStringLiteral("a few days"), QStringLiteral("1 week"), QStringLiteral("a few weeks"),
                              QStringLiteral("1 month"), QStringLiteral("3 months"), QStringLiteral("6 months"),
                              QStringLiteral("1 year")},
                             QString());
        } else {
            items = numbered({QStringLiteral("as needed"), QStringLiteral("in 1 week"), QStringLiteral("in 1 month"),
                              QStringLiteral("in 3 months"), QStringLiteral("in 6 months"), QStringLiteral("in 1 year"),
                              QStringLiteral("when able")},
                             QStringLiteral("in "));
        }
        withUnits(items);
    }

    void withUnits(const QStringList& items)
    {
        pickList(items, -1);
        if (m_pickedIndex < 7 || stopped())
            return;
        pickList({QStringLiteral(" hour"), QStringLiteral(" hours"), QStringLiteral(" day"), QStringLiteral(" days"),
                  QStringLiteral(" week"), QStringLiteral(" weeks"), QStringLiteral(" month"), QStringLiteral(" months"),
                  QStringLiteral(" year"), QStringLiteral(" years")},
                 -1);
    }

    QString m_cmd;   // "{" and the command text
    QString m_key;   // the command text upper-cased
    QString m_after; // the macro text after the closing brace
    int m_slot = -1;
    int m_pickedIndex = 999;
};

// ---------------------------------------------------------------------------------------
// tProcessNested: one command nested in a list; its value joins the list being collected.

class tProcessNested : public MacroOps {
public:
    using MacroOps::MacroOps;

    // Appends the value to `commandText`. A failure ends the run.
    void execute(const QString& nested, QString& commandText)
    {
        if (stopped())
            return;
        try {
            run(nested, commandText);
        } catch (...) {
            r.requestStop();
        }
    }

private:
    void run(const QString& nested, QString& commandText)
    {
        const QString key = upper(nested);
        const QString sex = sexWordNested();
        const auto after = [&nested](qsizetype n) { return nested.mid(n); };
        if (startsWithCI(nested, QLatin1String("IfMale ")) && sex == QLatin1String("male"))
            return void(commandText += after(7));
        if (startsWithCI(nested, QLatin1String("IfFemale ")) && sex == QLatin1String("female"))
            return void(commandText += after(9));
        if (startsWithCI(nested, QLatin1String("IfSmoker "))) {
            const auto h = host().synchronizeData();
            if (h && h->flag(QStringLiteral("Smoker")))
                return void(commandText += after(9));
        }
        static const std::pair<QLatin1StringView, QLatin1StringView> historyFields[] = {
            {QLatin1String("FHX"), QLatin1String("FHx")},
            {QLatin1String("SHX"), QLatin1String("SHx")},
            {QLatin1String("PMHX"), QLatin1String("PMHx")}};
        for (const auto& [prefix, field] : historyFields) {
            if (key.startsWith(prefix)) {
                if (const auto h = host().synchronizeData())
                    return void(commandText += h->text(QString(field)));
            }
        }
        if (key.startsWith(QLatin1String("PSHXHOSP")) || key.startsWith(QLatin1String("SSNUM"))) {
            if (host().synchronizeData())
                return void(commandText += host().patient().text(
                                key.startsWith(QLatin1String("SSNUM")) ? QStringLiteral("SSNum")
                                                                       : QStringLiteral("Diagnosies")));
        }
        if (key.startsWith(QLatin1String("ALLERGIES"))) {
            if (const auto h = host().synchronizeData())
                return void(commandText += h->text(QStringLiteral("Allergies")));
        }
        static const char* const exact[] = {"FIRSTNAMEPROPER", "FIRSTNAME", "ENTER", "DATE", "TIME", "TAB",
                                            "DOB", "AGE", "LASTNAME", "LASTNAMEPROPER", "USERNAME", "SEX"};
        for (const char* k : exact) {
            if (key == QLatin1String(k)) {
                commandText += exactValue(key, true).value_or(QString());
                return;
            }
        }
        static const char* const silent[] = {"IFMALE ", "IFFEMALE ", "FHX", "SHX", "PMHX", "PSHXHOSP",
                                             "SSNUM", "SMOKER", "IFSMOKER ", "ALLERGIES"};
        for (const char* k : silent)
            if (key.startsWith(QLatin1String(k)))
                return;
        unrecognized(nested.left(8));
    }
};

// ---------------------------------------------------------------------------------------
// tParseMacro: one scan of a text. Returns the text to continue with after a splice or a
// recovered failure; nullopt when the run has ended.

class tParseMacro : public MacroOps {
public:
    using MacroOps::MacroOps;

    std::optional<QString> scan(const QString& text);

private:
    enum class State { Plain, Command, Dispatched, IfListR, IfAge };

    // Result of evaluating a conditional: the text to splice, if any.
    std::optional<QString> evaluateIfAge();
    std::optional<QString> evaluateIfListR();
    std::optional<QString> takeConditionalText(const QString& afterBlank);
    std::optional<QString> splice(const QString& conditionalText, const QString& text, qsizetype p);
    void dispatchTop(const QString& text, qsizetype p);
    void dispatchNested();
    void pastePending()
    {
        const QString t = m_pending;
        m_pending.clear();
        if (!doPaste(t))
            throw RunFailure{};
    }
    QString missingBrace() const
    {
        return QStringLiteral("The macro terminated as it is missing a \"}\" to close \"") + m_commandText.left(30)
            + QStringLiteral("\" function.");
    }

    State m_state = State::Plain;
    QString m_commandText;
    QString m_nestedText;
    QString m_pending;
    int m_braceDepth = 0;
    int m_nestingLevel = 0;
    bool m_inSplice = false;
};

std::optional<QString> tParseMacro::takeConditionalText(const QString& afterBlank)
{
    if (afterBlank.contains(QLatin1Char('{')))
        return afterBlank;
    m_pending += afterBlank;
    return std::nullopt;
}

std::optional<QString> tParseMacro::evaluateIfAge()
{
    const QString& c = m_commandText;
    if (!isDigit(charAt(c, 8)))
        displayDialog(QStringLiteral("An integer between 0 and 9 must follow \"IfAge\" and a logical operator."));
    const QChar op = charAt(c, 7);
    const bool goodOp = isOperator(op);
    if (!goodOp)
        displayDialog(QStringLiteral("A logical operator =, ~, <, or > must follow \"IfAge\"."));
    const qsizetype blank = c.indexOf(QLatin1Char(' '), 7);
    if (blank < 0)
        throw RunFailure{};
    bool ok = false;
    const int n = c.mid(7, blank - 7).toInt(&ok);
    if (!ok)
        throw RunFailure{};
    if (!goodOp)
        return std::nullopt;
    const int a = ageInYears(host().patient().date(QStringLiteral("DateOfBirth")), host().defaultNoteDate());
    const bool holds = (op == QLatin1Char('=') && a == n) || (op == QLatin1Char('<') && a < n)
        || (op == QLatin1Char('>') && a > n) || (op == QLatin1Char('~') && a != n);
    if (!holds)
        return std::nullopt;
    return takeConditionalText(c.mid(blank + 1));
}

std::optional<QString> tParseMacro::evaluateIfListR()
{
    const QString& c = m_commandText;
    const QChar slotChar = charAt(c, 9);
    if (!isDigit(slotChar))
        displayDialog(QStringLiteral("An integer between 0 and 9 must follow \"IfListR\"."));
    const QChar op = charAt(c, 10);
    const bool goodOp = isOperator(op);
    if (!goodOp)
        displayDialog(QStringLiteral("A logical operator =, ~, <, or > must follow \"IfListRn\"."));
    const qsizetype blank = c.indexOf(QLatin1Char(' '), 10);
    const QString value = c.mid(10, blank < 0 ? -1 : blank - 10);
    const QChar decimal = QLocale().decimalPoint().at(0);
    const bool numeric = !value.isEmpty() && std::all_of(value.begin(), value.end(), [decimal](QChar ch) {
        return isDigit(ch) || ch == QLatin1Char('+') || ch == QLatin1Char('-') || ch == decimal;
    });
    if (!numeric
        && !(value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\''))))
        displayDialog(QStringLiteral("Illegal Value follwing \"IfListRn\"."));
    if (!isDigit(slotChar))
        throw RunFailure{};
    if (blank < 0)
        throw RunFailure{};
    const int slot = slotChar.unicode() - u'0';
    const SlotMemory& mem = session().slots;
    QList<int> chosen; // 1-based positions
    for (int i = 0; i < SlotMemory::Positions; ++i)
        if (!mem.texts[slot][i].isEmpty())
            chosen << i + 1;
    bool holds = false;
    if (numeric) {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < 0 || n > 255)
            throw RunFailure{};
        if (goodOp && !chosen.isEmpty()) {
            const bool any = std::any_of(chosen.begin(), chosen.end(), [&](int pos) {
                return op == QLatin1Char('>') ? pos > n : pos < n;
            });
            if (op == QLatin1Char('='))
                holds = chosen.contains(n);
            else if (op == QLatin1Char('~'))
                holds = !chosen.contains(n);
            else
                holds = any;
        }
    } else if (goodOp && !chosen.isEmpty()) {
        const QString wanted = value.mid(1, value.size() - 2);
        bool equal = false;
        for (int pos : chosen)
            if (mem.texts[slot][pos - 1].compare(wanted, Qt::CaseInsensitive) == 0)
                equal = true;
        holds = (op == QLatin1Char('=') && equal) || (op == QLatin1Char('~') && !equal);
    }
    if (!holds)
        return std::nullopt;
    return takeConditionalText(c.mid(blank + 1));
}

std::optional<QString> tParseMacro::splice(const QString& conditionalText, const QString& text, qsizetype p)
{
    m_inSplice = true;
    pastePending();
    m_inSplice = false;
    return conditionalText + text.mid(p + 1);
}

void tParseMacro::dispatchTop(const QString& text, qsizetype p)
{
    if (!m_pending.isEmpty() && !stopped())
        pastePending();
    m_pending.clear();
    if (m_commandText.isEmpty())
        return;
    const QString command = m_commandText;
    m_state = State::Dispatched;
    m_commandText.clear();
    tProcessList(r, command, text.mid(p + 1)).execute();
}

void tParseMacro::dispatchNested()
{
    const QString key = upper(m_nestedText);
    if (key.startsWith(QLatin1String("LIST ")) || key.startsWith(QLatin1String("LISTR"))
        || key.startsWith(QLatin1String("LISTCHRONICMEDS")) || key.startsWith(QLatin1String("INTERVAL"))) {
        displayDialog(QStringLiteral("A List within a list may not be used."));
        m_nestedText.clear();
    }
    const QString outer = upper(m_commandText.mid(1));
    if (!outer.startsWith(QLatin1String("LIST ")) && !outer.startsWith(QLatin1String("LISTR"))) {
        displayDialog(QStringLiteral("A Nested function may only be used inside a 'List' function"));
        m_nestedText.clear();
    }
    if (!m_nestedText.isEmpty())
        tProcessNested(r).execute(m_nestedText, m_commandText);
    m_nestedText.clear();
}

std::optional<QString> tParseMacro::scan(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype p = 0;
    for (; p < n; ++p) {
        if (stopped())
            break;
        m_inSplice = false;
        try {
            const QChar c = text.at(p);
            if (m_state == State::Dispatched)
                m_state = State::Plain;
            if (c == QLatin1Char('}'))
                --m_braceDepth;
            else if (c == QLatin1Char('{'))
                ++m_braceDepth;

            // Conditionals: recognised by their keyword, closed when the braces balance.
            bool consumed = false;
            for (const State cond : {State::IfAge, State::IfListR}) {
                const auto keyword = cond == State::IfAge ? QLatin1String("{IFAGE") : QLatin1String("{IFLISTR");
                if (m_commandText.size() == keyword.size() && upper(m_commandText) == keyword)
                    m_state = cond;
                if (m_state != cond)
                    continue;
                if (p == n - 1 && m_braceDepth > 0) {
                    displayDialog(missingBrace());
                    p = n; // leave the loop; the pending text is still pasted
                    consumed = true;
                    break;
                }
                if (m_braceDepth == 0 && c == QLatin1Char('}')) {
                    const auto spliced = cond == State::IfAge ? evaluateIfAge() : evaluateIfListR();
                    if (spliced)
                        return splice(*spliced, text, p);
                    m_commandText.clear();
                    m_state = State::Plain;
                    consumed = true;
                    break;
                }
            }
            if (consumed)
                continue;

            if (c == QLatin1Char('{')) {
                if (m_state == State::Command) {
                    ++m_nestingLevel;
                    if (m_nestingLevel > 1)
                        displayDialog(QStringLiteral("Nesting is only supported one level deep."));
                    continue;
                }
                if (m_state == State::Plain)
                    m_state = State::Command;
            }
            if (m_state == State::Command && c == QLatin1Char('}')) {
                if (m_nestingLevel == 1) {
                    m_nestingLevel = 0;
                    dispatchNested();
                    continue;
                }
                if (m_nestingLevel == 0) {
                    dispatchTop(text, p);
                    continue;
                }
                --m_nestingLevel;
                continue;
            }
            if (m_nestingLevel == 1) {
                m_nestedText += c;
                continue;
            }
            if (m_nestingLevel > 0)
                continue;
            if (m_state == State::Plain)
                m_pending += c;
            else if (m_state != State::Dispatched)
                m_commandText += c;
        } catch (const RunFailure&) {
            displayDialog(m_inSplice ? QStringLiteral("The macro halted in IfListR containing a nested function")
                                     : QStringLiteral("The macro was interrupted due to an exception"));
            if (stopped())
                return std::nullopt;
            // The text pasted so far stays; a failed paste of it is not retried.
            QString pending = m_pending;
            m_pending.clear();
            doPaste(pending);
            if (p >= n - 1)
                return std::nullopt;
            if (m_inSplice) {
                // Resume inside the conditional, after its opening brace, so that a failing
                // conditional cannot restart itself forever.
                const QString up = upper(text);
                qsizetype start = p;
                while (start > 0 && !up.mid(start).startsWith(QLatin1String("{IFLISTR"))
                       && !up.mid(start).startsWith(QLatin1String("{IFAGE")))
                    --start;
                return text.mid(start + 1);
            }
            return text.mid(p + 1);
        }
    }
    if (!stopped()) {
        const QString pending = m_pending;
        m_pending.clear();
        doPaste(pending);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------

MacroInterpreter::MacroInterpreter(MacroHost& host, MacroSession& session) : m_host(host), m_session(session) {}

static bool patientIncomplete(const MacroRow& p)
{
    return p.text(QStringLiteral("Sex")).isEmpty() || p.text(QStringLiteral("FirstName")).isEmpty()
        || p.text(QStringLiteral("LastName")).isEmpty() || p.date(QStringLiteral("DateOfBirth")) == Dates::epoch();
}

void MacroInterpreter::run(const QString& macroText)
{
    m_session.slots.clear();
    std::optional<QString> text = macroText;
    while (text && !m_stop.load()) {
        // tRunRemainder: each restart is a new scanner that keeps the slot memory.
        m_errorCount = 0;
        if (patientIncomplete(m_host.patient())
            && m_host.message(MessageType::Warning, Buttons::YesNo,
                              QStringLiteral("The patient data is incomplete. Do you want to enter a first name, "
                                             "last name, sex and date of birth before \r\nproceding."))
                == Answer::Yes)
            break;
        m_host.stopStatusTimer();
        text = tParseMacro(*this).scan(*text);
    }
    m_stop.store(true);
    m_host.resetButtons();
}
