// SPDX-License-Identifier: GPL-3.0-or-later
// The asynchronous state of the left mouse button, as the classic key-state
// call reports it: an application-wide event filter watches every mouse press
// and release the program receives.
#pragma once
#include <QObject>

// Virtual-key code of the left mouse button.
constexpr int VK_LBUTTON = 1;

// Tracks the left button across the whole application. One tracker is installed
// on the QCoreApplication (see GetAsyncKeyState); tests may create their own
// and feed it events.
class MouseState : public QObject {
    Q_OBJECT
public:
    explicit MouseState(QObject* parent = nullptr);

    // The classic value: bit 15 set (negative) while the button is held, bit 0
    // set when it was pressed since the previous poll. Polling clears bit 0.
    // So the value is greater than zero exactly when the button was pressed
    // since the last poll and is not held now.
    short poll();
    bool held() const { return held_; }

    // Records a press or release (what the filter does for mouse events).
    void press();
    void release();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool held_ = false;
    bool pressedSincePoll_ = false;
};

// The application's tracker, installed on first use; nullptr when there is no
// QCoreApplication. Presses before the first call are not seen, so callers that
// rely on it call this once early (the CAD adapter does on construction).
MouseState* ApplicationMouseState();

// Polls the application's tracker for virtual key vKey; only VK_LBUTTON is
// tracked, every other key answers 0.
short GetAsyncKeyState(int vKey);
