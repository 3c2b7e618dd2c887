#pragma once
// Stored texts name places the Windows way ("a:\Queue.RTF", "C:\My Documents"). One mapping
// turns them into local folders: section `Drives` of Main.ini maps a drive letter to a folder
// ("C=/home/doc/notes"); drives A and B have no disk unless mapped; any other unmapped drive
// stands for the user's documents folder.

#include <QChar>
#include <QString>
#include <optional>

namespace Paths {
// True for texts such as "C:\x", "c:/x" or "A:".
bool isDrivePath(const QString& path);
// The local folder of a drive letter (upper or lower case), nullopt when it has no disk.
std::optional<QString> driveFolder(QChar letter);
// A stored path as a local path. Paths without a drive pass through with '\' turned into '/'.
// nullopt when the drive has no folder.
std::optional<QString> toLocal(const QString& storedPath);
} // namespace Paths
