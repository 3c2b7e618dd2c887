#pragma once
// Finds the desktop's screen-saver (screen lock) settings program, so that "Configure Sreen
// Blanker" can open it. The desktop named in XDG_CURRENT_DESKTOP is tried first, then every
// known settings program found on the PATH.

#include <QString>
#include <QStringList>
#include <optional>

struct ShellCommand {
    QString program; // absolute path
    QStringList arguments;
};

// `desktop` is XDG_CURRENT_DESKTOP's value; `searchPath` the folders to look in (empty: PATH).
std::optional<ShellCommand> findScreenSaverSettings(const QString& desktop, const QStringList& searchPath = {});
