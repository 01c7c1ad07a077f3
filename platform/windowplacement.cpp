// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windowplacement.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

const char* const kPlacedProperty = "korvelPlaced";

class PlacementFilter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (!w->isWindow() || !w->parentWidget() || (type != Qt::Window && type != Qt::Dialog) ||
            w->testAttribute(Qt::WA_Moved) || w->property(kPlacedProperty).toBool())
            return false;
        w->setProperty(kPlacedProperty, true);
        CentreOverParent(w);
        return false;
    }
};

} // namespace

void CentreOverParent(QWidget* window) {
    QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible())
        return;
    // Before its first showing a window has no frame yet; the owner's title bar
    // stands in for its own, so that its title never lands above the screen.
    const bool framed = window->frameGeometry() != window->geometry();
    const int titleBar = framed ? 0 : owner->geometry().top() - owner->frameGeometry().top();
    QRect frame = window->frameGeometry().adjusted(0, -titleBar, 0, 0);
    frame.moveCenter(owner->frameGeometry().center());
    if (QScreen* screen = owner->screen()) {
        const QRect avail = screen->availableGeometry();
        frame.moveLeft(qBound(avail.left(), frame.left(), qMax(avail.left(), avail.right() - frame.width())));
        frame.moveTop(qBound(avail.top(), frame.top(), qMax(avail.top(), avail.bottom() - frame.height())));
    }
    window->move(frame.left(), frame.top() + titleBar);
}

void InstallWindowPlacement() {
    static PlacementFilter* filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new PlacementFilter(qApp);
    qApp->installEventFilter(filter);
}
