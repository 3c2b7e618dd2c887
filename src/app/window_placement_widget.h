#pragma once
// Saves and restores a window's placement in its Main.ini section; any window calls these
// with its section name when it is created and destroyed.

#include <QString>

class QWidget;

namespace WindowPlacementWidget {
void restore(QWidget* window, const QString& section, bool fixedSize = false);
// Never raises: a placement that cannot be written is simply not kept.
void save(QWidget* window, const QString& section);
} // namespace WindowPlacementWidget
