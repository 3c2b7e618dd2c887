#include "support/scripted_prompter.h"

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.text;
    return out;
}

Answer ScriptedPrompter::message(MessageType type, Buttons buttons, const QString& text, const QString&)
{
    m_shown.append({type, buttons, text});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return firstButton(buttons);
}

std::optional<QString> ScriptedPrompter::nextText()
{
    return m_texts.isEmpty() ? std::nullopt : m_texts.dequeue();
}
std::optional<QString> ScriptedPrompter::inputBox(const QString&, const QString&, const QString&) { return nextText(); }
std::optional<QString> ScriptedPrompter::openFileName(const FileDialogRequest&) { return nextText(); }
std::optional<QString> ScriptedPrompter::saveFileName(const FileDialogRequest&) { return nextText(); }
std::optional<QString> ScriptedPrompter::folderName(const QString&, const QString&) { return nextText(); }
