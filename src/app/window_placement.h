#pragma once
// Screen placement of the windows that keep their position between runs, stored in a section
// of Main.ini of their own (Flags, ShowCmd, PixelsPerInch, MinMaxPos, NormPos), and the rule
// that decides what of it is restored.

#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

struct WindowPlacement {
    int flags = 0;
    int showCmd = 1;       // 1 normal, 2 minimised, 3 maximised
    int pixelsPerInch = 96;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normal;          // left, top, width, height; stored as left, top, right, bottom
};

void saveWindowPlacement(const QString& section, const WindowPlacement& placement);
// The rectangle to give the window, or nullopt to leave it where it is. `current` is the
// window's present rectangle; a window of fixed size keeps its own width and height.
std::optional<QRect> restoredWindowRect(const QString& section, const QRect& current,
                                        int currentPixelsPerInch, bool fixedSize);
