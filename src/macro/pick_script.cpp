#include "macro/pick_script.h"

namespace {

std::optional<QList<int>> parseNumbers(const QString& list)
{
    QList<int> out;
    if (list.isEmpty())
        return out; // a paste entry with nothing selected
    for (const QString& part : list.split(QLatin1Char(','))) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 1)
            return std::nullopt;
        out << n - 1;
    }
    return out;
}

} // namespace

std::optional<PickAction> parsePickScript(const QString& script)
{
    const QString s = script.trimmed().toLower();
    if (s == QLatin1String("skip"))
        return PickAction::skip();
    if (s == QLatin1String("cancel"))
        return PickAction::cancel();
    if (s == QLatin1String("close"))
        return PickAction::close();
    const qsizetype colon = s.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        bool ok = false;
        const int n = s.toInt(&ok);
        if (!ok || n < 1)
            return std::nullopt;
        return PickAction::doubleClick(n - 1, {n - 1});
    }
    const QString mode = s.left(colon);
    const auto numbers = parseNumbers(s.mid(colon + 1));
    if (!numbers)
        return std::nullopt;
    PickAction::Kind kind;
    if (mode == QLatin1String("line"))
        kind = PickAction::Kind::PasteInLine;
    else if (mode == QLatin1String("perline"))
        kind = PickAction::Kind::PastePerLine;
    else if (mode == QLatin1String("everyother"))
        kind = PickAction::Kind::PasteEveryOtherLine;
    else
        return std::nullopt;
    return PickAction::paste(kind, *numbers, numbers->isEmpty() ? -1 : numbers->first());
}
