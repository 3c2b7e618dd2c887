#pragma once
// Small text rules of the macro language: splitting a list argument into items, proper-case
// names, the joiners of a pasted selection, and the words before the insertion point.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace MacroText {
// Items are separated by commas; two commas stand for one literal comma, except a doubled
// comma at the very end. A trailing comma yields a last, empty item.
QStringList splitListItems(const QString& argument);
// First character upper-cased, the rest lower-cased.
QString properWord(const QString& word);
// Word 1 of a first name in proper case; nullopt for texts too long to split.
std::optional<QString> properFirstName(const QString& firstName);
// Mc/Mac/Van names and a kept "III"/"IV" suffix; always ends in "<blank><word 2>".
std::optional<QString> properLastName(const QString& lastName);
// "a and b", "a, b, and c".
QString joinInLine(const QStringList& items);
// Whether `word` occurs in the last `window` characters of `text`: case-insensitively, as a
// whole word unless `plain`.
bool occursInLast(const QString& text, const QString& word, int window, bool plain = false);
} // namespace MacroText
