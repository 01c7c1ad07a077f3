// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scriptedprompts.h"

#include <gtest/gtest.h>

namespace {
const char* kindName(PromptRecord::Kind k) {
    switch (k) {
    case PromptRecord::Message:
        return "message box";
    case PromptRecord::Input:
        return "input box";
    case PromptRecord::File:
        return "file chooser";
    }
    return "?";
}
} // namespace

ScriptedPrompts::ScriptedPrompts() {
    previous_ = &CurrentPromptResponder();
    SetPromptResponder(this);
}

ScriptedPrompts::~ScriptedPrompts() {
    SetPromptResponder(previous_);
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) were never asked for";
}

ScriptedPrompts& ScriptedPrompts::answerMessage(int result) {
    answers_.push_back({PromptRecord::Message, result, {}});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::answerInput(const QString& text) {
    answers_.push_back({PromptRecord::Input, vbOK, text});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::cancelInput() {
    answers_.push_back({PromptRecord::Input, vbCancel, {}});
    return *this;
}
ScriptedPrompts& ScriptedPrompts::answerFile(const QString& path) {
    answers_.push_back({PromptRecord::File, 0, path});
    return *this;
}

QStringList ScriptedPrompts::messages() const {
    QStringList out;
    for (const auto& r : records_)
        if (r.kind == PromptRecord::Message)
            out << r.text;
    return out;
}

bool ScriptedPrompts::take(PromptRecord::Kind kind, const QString& what, Answer* out) {
    if (answers_.empty() || answers_.front().kind != kind) {
        if (kind == PromptRecord::Message && okByDefault_) {
            *out = {kind, vbOK, {}};
            return true;
        }
        ADD_FAILURE() << "unexpected " << kindName(kind) << ": \"" << what.toStdString() << "\""
                      << (answers_.empty() ? std::string(" (no answer queued)")
                                           : std::string(" (next answer is for a ") +
                                                 kindName(answers_.front().kind) + ")");
        return false;
    }
    *out = answers_.front();
    answers_.pop_front();
    return true;
}

int ScriptedPrompts::msgBox(const QString& text, int buttons, const QString& title) {
    return msgBoxWithDetail(text, QString(), buttons, title);
}

int ScriptedPrompts::msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                                      const QString& title) {
    records_.push_back({PromptRecord::Message, text, title, buttons, {}, {}, detail});
    Answer a;
    if (!take(PromptRecord::Message, text, &a))
        return (buttons & 0x0F) == vbOKOnly ? vbOK : vbCancel;
    return a.result;
}

QString ScriptedPrompts::inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return inputBoxOrCancel(prompt, title, defaultText).value_or(QString());
}

std::optional<QString> ScriptedPrompts::inputBoxOrCancel(const QString& prompt, const QString& title,
                                                         const QString& defaultText) {
    records_.push_back({PromptRecord::Input, prompt, title, 0, defaultText, {}, {}});
    Answer a;
    if (!take(PromptRecord::Input, prompt, &a) || a.result == vbCancel)
        return std::nullopt;
    return a.text;
}

QStringList ScriptedPrompts::chooseFile(const FileChooserRequest& request) {
    PromptRecord r;
    r.kind = PromptRecord::File;
    r.title = request.title;
    r.file = request;
    records_.push_back(r);
    Answer a;
    if (!take(PromptRecord::File, request.initialDir, &a) || a.text.isEmpty())
        return {};
    return {a.text};
}

int UnexpectedPrompts::msgBox(const QString& text, int buttons, const QString&) {
    ADD_FAILURE() << "message box outside a scripted scope: \"" << text.toStdString() << "\"";
    return (buttons & 0x0F) == vbOKOnly ? vbOK : vbCancel;
}

QString UnexpectedPrompts::inputBox(const QString& prompt, const QString&, const QString&) {
    ADD_FAILURE() << "input box outside a scripted scope: \"" << prompt.toStdString() << "\"";
    return QString();
}

std::optional<QString> UnexpectedPrompts::inputBoxOrCancel(const QString& prompt, const QString& title,
                                                           const QString& defaultText) {
    inputBox(prompt, title, defaultText);
    return std::nullopt;
}

QStringList UnexpectedPrompts::chooseFile(const FileChooserRequest& request) {
    ADD_FAILURE() << "file chooser outside a scripted scope: \"" << request.title.toStdString() << "\"";
    return {};
}
