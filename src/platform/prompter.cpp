#include "platform/prompter.h"

#include <atomic>

QString messageTypeName(MessageType type)
{
    switch (type) {
    case MessageType::Warning: return QStringLiteral("warning");
    case MessageType::Error: return QStringLiteral("error");
    case MessageType::Information: return QStringLiteral("information");
    case MessageType::Confirmation: return QStringLiteral("confirmation");
    case MessageType::Plain: return QStringLiteral("plain");
    }
    return QString();
}

Answer firstButton(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::NoCancel: return Answer::No;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
    case Buttons::YesCancel: return Answer::Yes;
    }
    return Answer::Ok;
}

namespace {
class SilentPrompter final : public Prompter {
public:
    Answer message(MessageType, Buttons buttons, const QString&, const QString&) override
    {
        return firstButton(buttons);
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFileName(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> folderName(const QString&, const QString&) override { return std::nullopt; }
};

SilentPrompter g_silent;
std::atomic<Prompter*> g_prompter{nullptr};
} // namespace

Prompter& Prompter::current()
{
    Prompter* p = g_prompter.load(std::memory_order_acquire);
    return p ? *p : g_silent;
}

void Prompter::install(Prompter* prompter) { g_prompter.store(prompter, std::memory_order_release); }
