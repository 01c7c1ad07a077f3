// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/helpwindow.h"

#include "platform/prompts.h"
#include "platform/twips.h"

#include <QUrl>

HelpWindow::HelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(AppTitle() + QStringLiteral(" Help"));
    setOpenExternalLinks(true);
    resize(TwipsToPixels(9000), TwipsToPixels(9000));
}

HelpWindow* ShowHelpFile(const QString& path, QWidget* owner) {
    auto* window = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window)
        window = new HelpWindow(owner);
    window->setSource(QUrl::fromLocalFile(path));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
