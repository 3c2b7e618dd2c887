#pragma once
// A Prompter for tests: answers come from a queue, every message is recorded with its type,
// buttons and text. A box with no queued answer gets its first button.

#include "platform/prompter.h"

#include <QList>
#include <QQueue>

class ScriptedPrompter final : public Prompter {
public:
    struct Shown {
        MessageType type;
        Buttons buttons;
        QString text;
    };
    ScriptedPrompter() { Prompter::install(this); }
    ~ScriptedPrompter() override { Prompter::install(nullptr); }

    void queueAnswer(Answer a) { m_answers.enqueue(a); }
    void queueText(std::optional<QString> t) { m_texts.enqueue(std::move(t)); }
    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;

    Answer message(MessageType type, Buttons buttons, const QString& text, const QString& caption) override;
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override;
    std::optional<QString> openFileName(const FileDialogRequest&) override;
    std::optional<QString> saveFileName(const FileDialogRequest&) override;
    std::optional<QString> folderName(const QString&, const QString&) override;

private:
    std::optional<QString> nextText();
    QQueue<Answer> m_answers;
    QQueue<std::optional<QString>> m_texts;
    QList<Shown> m_shown;
};
