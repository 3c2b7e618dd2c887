#include "macro/macro_text.h"

#include "app/settings_store.h"

namespace MacroText {

QStringList splitListItems(const QString& argument)
{
    const QString a = argument + QLatin1Char(',');
    QStringList items;
    QString current;
    const qsizetype last = a.size() - 1;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QChar c = a.at(i);
        if (c != QLatin1Char(',')) {
            current += c;
        } else if (i + 1 < last && a.at(i + 1) == QLatin1Char(',')) {
            current += c;
            ++i;
        } else {
            items << current;
            current.clear();
        }
    }
    return items;
}

QString properWord(const QString& word)
{
    if (word.isEmpty())
        return word;
    return word.left(1).toUpper() + word.mid(1).toLower();
}

static constexpr int MaxSplitLength = 254;

std::optional<QString> properFirstName(const QString& firstName)
{
    if (firstName.size() > MaxSplitLength)
        return std::nullopt;
    return properWord(NthWord(firstName, 1));
}

std::optional<QString> properLastName(const QString& lastName)
{
    if (lastName.size() > MaxSplitLength)
        return std::nullopt;
    QString w1 = properWord(NthWord(lastName, 1));
    const auto prefixed = [&w1](int n) {
        return w1.left(n) + w1.mid(n, 1).toUpper() + w1.mid(n + 1).toLower();
    };
    if (w1.left(2).toUpper() == QLatin1String("MC"))
        w1 = prefixed(2);
    if (w1.left(3).toUpper() == QLatin1String("MAC") || w1.left(3).toUpper() == QLatin1String("VAN"))
        w1 = prefixed(3);
    QString w2 = NthWord(lastName, 2);
    if (w2 != QLatin1String("III") && w2 != QLatin1String("IV"))
        w2 = properWord(w2);
    return w1 + QLatin1Char(' ') + w2;
}

QString joinInLine(const QStringList& items)
{
    const qsizetype n = items.size();
    QString out;
    for (qsizetype k = 1; k <= n; ++k) {
        out += items.at(k - 1);
        if (k == n)
            break;
        if (k == 1 && n == 2)
            out += QStringLiteral(" and ");
        else if (k == n - 1)
            out += QStringLiteral(", and ");
        else
            out += QStringLiteral(", ");
    }
    return out;
}

static bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool occursInLast(const QString& text, const QString& word, int window, bool plain)
{
    const qsizetype from = std::max<qsizetype>(0, text.size() - window);
    qsizetype at = from;
    while ((at = text.indexOf(word, at, Qt::CaseInsensitive)) >= 0) {
        if (plain)
            return true;
        const qsizetype end = at + word.size();
        const bool startOk = at == 0 || !isWordChar(text.at(at - 1));
        const bool endOk = end >= text.size() || !isWordChar(text.at(end));
        if (startOk && endOk)
            return true;
        ++at;
    }
    return false;
}

} // namespace MacroText
