#pragma once
// The Prompter the program uses: Qt message boxes, input boxes and file dialogs, each modal
// over the active window.

#include "platform/prompter.h"

class QtPrompter final : public Prompter {
public:
    Answer message(MessageType type, Buttons buttons, const QString& text, const QString& caption) override;
    std::optional<QString> inputBox(const QString& caption, const QString& prompt, const QString& initial) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    std::optional<QString> folderName(const QString& caption, const QString& initial) override;
};
