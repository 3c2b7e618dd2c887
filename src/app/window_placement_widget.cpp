#include "app/window_placement_widget.h"

#include "app/window_placement.h"
#include "platform/errors.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

namespace {
int screenPpi(QWidget* w)
{
    QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? int(s->logicalDotsPerInch() + 0.5) : 96;
}
} // namespace

namespace WindowPlacementWidget {

void restore(QWidget* window, const QString& section, bool fixedSize)
{
    if (const auto rect = restoredWindowRect(section, window->geometry(), screenPpi(window), fixedSize))
        window->setGeometry(*rect);
}

void save(QWidget* window, const QString& section)
{
    WindowPlacement p;
    p.showCmd = window->isMinimized() ? 2 : window->isMaximized() ? 3 : 1;
    p.pixelsPerInch = screenPpi(window);
    p.normal = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    try {
        saveWindowPlacement(section, p);
    } catch (const MedrovaError&) {
    }
}

} // namespace WindowPlacementWidget
