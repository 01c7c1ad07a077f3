// SPDX-License-Identifier: GPL-3.0-or-later
// The prompt service's responder for people: Qt message boxes, input boxes
// and file choosers, opened over the window PromptDialogParent names.
#pragma once
#include "platform/prompts.h"

class QtPromptResponder final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString& title) override;
    int msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                         const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                            const QString& defaultText) override;
    QStringList chooseFile(const FileChooserRequest& request) override;
};

// Makes the Qt dialogs the default responder (see SetDefaultPromptResponder);
// the programs call it once after their QApplication exists.
void UseQtPrompts();
