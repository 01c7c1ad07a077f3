// SPDX-License-Identifier: GPL-3.0-or-later
// Which window the Qt dialogs of the prompt service open over.
#pragma once
#include <QPointer>

class QWidget;

// The window the Qt dialogs open over when nothing better is known (the main
// window). Otherwise a dialog opens over, in this order: the window a
// PromptOwner names; the modal window open now; the active window; the window
// that was active last and is still shown (while focus comes back from a
// dialog just closed, no window is active). A message box is thus transient
// for the window it is about, which the window manager raises with it, rather
// than for the main window, which it would raise over that window.
void SetPromptParent(QWidget* parent);

// While one lives, prompts open over window: for a command whose message is
// about a window it has just brought forward, whose activation the window
// manager may not have granted yet. Nested owners restore the one before.
class PromptOwner {
public:
    explicit PromptOwner(QWidget* window);
    ~PromptOwner();
    PromptOwner(const PromptOwner&) = delete;
    PromptOwner& operator=(const PromptOwner&) = delete;

private:
    QPointer<QWidget> previous_;
};

// The window a Qt dialog asked for now opens over (null: none, a window of its own).
QWidget* PromptDialogParent();
