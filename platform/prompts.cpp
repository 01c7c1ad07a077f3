// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/prompts.h"

#include <QDebug>

namespace {

QString& appTitle() {
    static QString title = QStringLiteral("Korvel Transfer");
    return title;
}

// Where no one can be asked: the prompt goes to the error output and gets the
// answer its Escape key would give, so that a command stops rather than acts
// on an answer nobody gave.
class HeadlessResponder final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString& title) override {
        qWarning().noquote() << title << ":" << text;
        return EscapeAnswer(buttons);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override {
        return inputBoxOrCancel(prompt, title, defaultText).value_or(QString());
    }
    std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                            const QString&) override {
        qWarning().noquote() << title << ":" << prompt;
        return std::nullopt;
    }
    QStringList chooseFile(const FileChooserRequest& request) override {
        qWarning().noquote() << request.title << ": no file chosen";
        return {};
    }
};

HeadlessResponder& headlessResponder() {
    static HeadlessResponder responder;
    return responder;
}

PromptResponder*& installed() {
    static PromptResponder* responder = nullptr;
    return responder;
}

PromptResponder*& defaultResponder() {
    static PromptResponder* responder = nullptr;
    return responder;
}

} // namespace

int EscapeAnswer(int buttons) {
    if ((buttons & 0x0F) == vbYesNo)
        return vbNo;
    if ((buttons & 0x0F) == vbOKOnly)
        return vbOK;
    return vbCancel;
}

void SetAppTitle(const QString& title) {
    appTitle() = title;
}
QString AppTitle() {
    return appTitle();
}

void SetPromptResponder(PromptResponder* responder) {
    installed() = responder;
}

void SetDefaultPromptResponder(PromptResponder* responder) {
    defaultResponder() = responder;
}

PromptResponder& CurrentPromptResponder() {
    if (installed())
        return *installed();
    if (defaultResponder())
        return *defaultResponder();
    return headlessResponder();
}

int MsgBox(const QString& text, int buttons, const QString& title) {
    return CurrentPromptResponder().msgBox(text, buttons, title.isEmpty() ? AppTitle() : title);
}

void ShowMessages(const QStringList& texts) {
    for (const QString& text : texts)
        MsgBox(text);
}

int MsgBoxWithDetail(const QString& text, const QString& detail, int buttons, const QString& title) {
    return CurrentPromptResponder().msgBoxWithDetail(text, detail, buttons,
                                                     title.isEmpty() ? AppTitle() : title);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return CurrentPromptResponder().inputBox(prompt, title.isEmpty() ? AppTitle() : title, defaultText);
}

std::optional<QString> InputBoxOrCancel(const QString& prompt, const QString& title,
                                        const QString& defaultText) {
    return CurrentPromptResponder().inputBoxOrCancel(prompt, title.isEmpty() ? AppTitle() : title,
                                                     defaultText);
}

QStringList ChooseFile(const FileChooserRequest& request) {
    return CurrentPromptResponder().chooseFile(request);
}
