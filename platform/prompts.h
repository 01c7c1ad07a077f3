// SPDX-License-Identifier: GPL-3.0-or-later
// The one prompt service: every modal message box, input box and file chooser
// of both programs goes through the responder installed here. Qt Core only, so
// that headless code can ask; the responder that shows Qt dialogs lives beside
// the widgets (platform/qtpromptresponder.h) and the programs make it the
// default at start-up. Tests install a scripted one.
#pragma once
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class QWidget;

// Message box buttons, icons and answers, with the classic numeric values so that
// a stored or combined value means the same as it always did.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7
};

// The answer a message box with these buttons gives when closed with Escape
// or its close box: No for Yes/No, OK for OK alone, else Cancel.
int EscapeAnswer(int buttons);

// Carriage return + line feed, as the system's messages separate their lines.
inline const QString vbCrLf = QStringLiteral("\r\n");

// What a file chooser is asked for. filters holds (description, pattern) pairs.
struct FileChooserRequest {
    bool save = false;
    QWidget* owner = nullptr;
    QString title;
    QVector<QPair<QString, QString>> filters;
    QString initialDir;
    bool hideReadOnly = false;
    bool multiSelect = false;
    bool fileMustExist = false;
};

class PromptResponder {
public:
    virtual ~PromptResponder() = default;
    // buttons: a MsgBoxStyle sum. Returns a MsgBoxResult.
    virtual int msgBox(const QString& text, int buttons, const QString& title) = 0;
    // The same with a line of detail shown under the text (what the question
    // is about, such as the file it concerns). A responder that has no place
    // for it keeps this default: the detail becomes the text's last line.
    virtual int msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                                 const QString& title) {
        return msgBox(detail.isEmpty() ? text : text + QStringLiteral("\r\n") + detail, buttons, title);
    }
    // Returns the answer, or "" when the user cancels.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // The same question, telling Cancel (no value) from an empty answer. A
    // responder that cannot tell them apart keeps this default: never cancelled.
    virtual std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                                    const QString& defaultText) {
        return inputBox(prompt, title, defaultText);
    }
    // Returns the chosen full path(s), empty when cancelled.
    virtual QStringList chooseFile(const FileChooserRequest& request) = 0;
};

// Title used when a prompt names none ("Korvel Transfer" or "Zenobar").
void SetAppTitle(const QString& title);
QString AppTitle();

// Installs a responder (not owned); nullptr restores the default.
void SetPromptResponder(PromptResponder* responder);
// The responder used while none is installed (not owned): the Qt dialogs in
// the programs. Without one, every prompt is written to the error output and
// answered as if cancelled (the answer Escape gives), since there is no one to ask.
void SetDefaultPromptResponder(PromptResponder* responder);
PromptResponder& CurrentPromptResponder();

int MsgBox(const QString& text, int buttons = vbOKOnly, const QString& title = QString());
// One OK message box per text, in order: how a command shows the messages its
// logic returned.
void ShowMessages(const QStringList& texts);
// A message box whose text stays exactly as given, with `detail` shown under it.
int MsgBoxWithDetail(const QString& text, const QString& detail, int buttons = vbOKOnly,
                     const QString& title = QString());
QString InputBox(const QString& prompt, const QString& title = QString(),
                 const QString& defaultText = QString());
// As InputBox, but Cancel gives no value, so that a command can stop on it
// while an empty answer still counts as one.
std::optional<QString> InputBoxOrCancel(const QString& prompt, const QString& title = QString(),
                                        const QString& defaultText = QString());
QStringList ChooseFile(const FileChooserRequest& request);
