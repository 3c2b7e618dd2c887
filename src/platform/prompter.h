#pragma once
// Every message box, input box and file dialog goes through a Prompter, so that the core
// never shows a window and tests answer every question from a script. The program installs
// the Qt implementation at start; tests install the scripted one.

#include <QString>
#include <QStringList>
#include <optional>

enum class MessageType { Warning, Error, Information, Confirmation, Plain };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel, YesCancel, NoCancel };
enum class Answer { Ok, Yes, No, Cancel };

QString messageTypeName(MessageType type); // "warning", "error", "information", "confirmation", "plain"
// The answer of a box's first button (what a box answers when nobody is there to ask).
Answer firstButton(Buttons buttons);

struct FileDialogRequest {
    QString caption;
    QString folder;        // initial folder
    QString fileName;      // proposed name (save dialogs)
    QString filter;        // Qt filter text, e.g. "Rich Text (*.rtf);;All Files (*)"
    QString defaultSuffix; // added to a typed name without one (save dialogs)
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal message box; the answer is the button pressed (Cancel for the close box of a
    // box that has a Cancel button, No for Yes/No, Ok for OK).
    virtual Answer message(MessageType type, Buttons buttons, const QString& text,
                           const QString& caption = QString()) = 0;
    // An input box; nullopt when the user cancels.
    virtual std::optional<QString> inputBox(const QString& caption, const QString& prompt,
                                            const QString& initial) = 0;
    virtual std::optional<QString> openFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> folderName(const QString& caption, const QString& initial) = 0;

    // Short forms for the common boxes.
    void warning(const QString& text) { message(MessageType::Warning, Buttons::Ok, text); }
    void error(const QString& text) { message(MessageType::Error, Buttons::Ok, text); }
    void information(const QString& text) { message(MessageType::Information, Buttons::Ok, text); }
    bool confirm(const QString& text)
    {
        return message(MessageType::Confirmation, Buttons::YesNo, text) == Answer::Yes;
    }

    // The prompter in use. Without an installed one, a silent prompter answers every box
    // with its first button and cancels every dialog (a tool run has nobody to ask).
    static Prompter& current();
    // Installs a prompter (nullptr removes it). The caller keeps ownership.
    static void install(Prompter* prompter);
};
