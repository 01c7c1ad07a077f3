// SPDX-License-Identifier: GPL-3.0-or-later
// A prompt responder for tests: records every prompt and answers from a queue.
// A prompt with no queued answer, or of another kind than the next answer,
// fails the running test.
#pragma once
#include "platform/prompts.h"

#include <QString>
#include <QVector>

#include <deque>

struct PromptRecord {
    enum Kind { Message, Input, File };
    Kind kind = Message;
    QString text;  // message text or input prompt
    QString title; // as shown (the application title when the caller gave none)
    int buttons = 0;
    QString defaultText;
    FileChooserRequest file;
    QString detail; // the line shown under a message box's text
};

class ScriptedPrompts final : public PromptResponder {
public:
    // Installs itself as the prompt responder; the destructor restores the
    // previous one and fails the test if queued answers were never asked for.
    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    // Queue answers in the order the prompts will come.
    ScriptedPrompts& answerMessage(int result = vbOK);
    ScriptedPrompts& answerInput(const QString& text); // OK with text ("" = OK with nothing typed)
    ScriptedPrompts& cancelInput(); // Cancel ("" for InputBox, no value for InputBoxOrCancel)
    ScriptedPrompts& answerFile(const QString& path); // "" = Cancel
    // With this on, a message box with no queued answer is answered OK instead of
    // failing (for flows whose message count is not the point of the test).
    void setAnswerMessagesWithOk(bool on) { okByDefault_ = on; }

    const QVector<PromptRecord>& prompts() const { return records_; }
    QStringList messages() const; // texts of the message boxes, in order
    int pending() const { return static_cast<int>(answers_.size()); }
    void clear() { records_.clear(); }

    int msgBox(const QString& text, int buttons, const QString& title) override;
    int msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                         const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                            const QString& defaultText) override;
    QStringList chooseFile(const FileChooserRequest& request) override;

private:
    struct Answer {
        PromptRecord::Kind kind;
        int result;
        QString text;
    };
    bool take(PromptRecord::Kind kind, const QString& what, Answer* out);

    PromptResponder* previous_ = nullptr;
    std::deque<Answer> answers_;
    QVector<PromptRecord> records_;
    bool okByDefault_ = false;
};

// The responder a test executable runs with outside any ScriptedPrompts scope:
// a prompt nobody scripted fails the running test and is answered Cancel (OK
// for an OK-only box, "" for an input box, nothing for a file chooser), so it
// can never reach a real modal dialog and hang the run.
class UnexpectedPrompts final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                            const QString& defaultText) override;
    QStringList chooseFile(const FileChooserRequest& request) override;
};
