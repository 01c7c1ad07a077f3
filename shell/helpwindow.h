// SPDX-License-Identifier: GPL-3.0-or-later
// The help viewer: one non-modal window per owner, showing an HTML help file.
#pragma once
#include <QTextBrowser>

class HelpWindow final : public QTextBrowser {
    Q_OBJECT
public:
    // A top-level window that belongs to owner (closed and deleted with it).
    explicit HelpWindow(QWidget* owner);
};

// Shows the help file's first page in owner's help window, creating the window
// on first use and bringing it forward afterwards. Does not block the owner.
// Returns the window.
HelpWindow* ShowHelpFile(const QString& path, QWidget* owner);
