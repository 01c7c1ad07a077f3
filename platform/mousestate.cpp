// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mousestate.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>

MouseState::MouseState(QObject* parent) : QObject(parent) {}

short MouseState::poll() {
    short value = pressedSincePoll_ ? 1 : 0;
    if (held_)
        value = static_cast<short>(value | static_cast<short>(0x8000));
    pressedSincePoll_ = false;
    return value;
}

void MouseState::press() {
    held_ = true;
    pressedSincePoll_ = true;
}

void MouseState::release() {
    held_ = false;
}

bool MouseState::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            press();
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            release();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

MouseState* ApplicationMouseState() {
    // Owned by the application object, so it goes when the application goes.
    static QPointer<MouseState> tracker;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    if (!tracker) {
        tracker = new MouseState(app);
        app->installEventFilter(tracker);
    }
    return tracker;
}

short GetAsyncKeyState(int vKey) {
    if (vKey != VK_LBUTTON)
        return 0;
    MouseState* tracker = ApplicationMouseState();
    return tracker ? tracker->poll() : 0;
}
