// SPDX-License-Identifier: GPL-3.0-or-later
// Secondary windows (options, rules, help, progress) open centred over the
// window that owns them, never wherever the window manager puts a new window.
// A window that was placed explicitly (moved before it is first shown, as
// dialogs place themselves) keeps its place.
#pragma once

class QWidget;

// Installs the placement for every window of the application; call once
// after the QApplication exists.
void InstallWindowPlacement();

// Centres window over its parent's window, inside the parent's screen.
void CentreOverParent(QWidget* window);
