#include "app/screen_saver.h"

#include <QStandardPaths>

namespace {
struct Candidate {
    const char* desktop; // as XDG_CURRENT_DESKTOP names it, lower case
    const char* program;
    QStringList arguments;
};

const QList<Candidate>& candidates()
{
    static const QList<Candidate> list = {
        {"gnome", "gnome-control-center", {QStringLiteral("privacy")}},
        {"unity", "gnome-control-center", {QStringLiteral("privacy")}},
        {"kde", "systemsettings", {QStringLiteral("kcm_screenlocker")}},
        {"kde", "kcmshell5", {QStringLiteral("kcm_screenlocker")}},
        {"xfce", "xfce4-screensaver-preferences", {}},
        {"mate", "mate-screensaver-preferences", {}},
        {"x-cinnamon", "cinnamon-settings", {QStringLiteral("screensaver")}},
        {"lxqt", "lxqt-config-powermanagement", {}},
        {"", "xscreensaver-settings", {}},
        {"", "xscreensaver-demo", {}},
        {"", "light-locker-settings", {}},
    };
    return list;
}
} // namespace

std::optional<ShellCommand> findScreenSaverSettings(const QString& desktop, const QStringList& searchPath)
{
    const QStringList desktops = desktop.toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    auto locate = [&](const char* program) {
        return QStandardPaths::findExecutable(QString::fromLatin1(program), searchPath);
    };
    // The running desktop's own tool first: another desktop's tool may be installed but
    // would not configure the screen lock that is actually in use.
    for (const QString& d : desktops) {
        for (const Candidate& c : candidates()) {
            if (d != QLatin1String(c.desktop))
                continue;
            const QString found = locate(c.program);
            if (!found.isEmpty())
                return ShellCommand{found, c.arguments};
        }
    }
    // Unknown desktop: any settings program that is installed is better than none.
    for (const Candidate& c : candidates()) {
        const QString found = locate(c.program);
        if (!found.isEmpty())
            return ShellCommand{found, c.arguments};
    }
    return std::nullopt;
}
