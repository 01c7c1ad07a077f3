// SPDX-License-Identifier: GPL-3.0-or-later
// The one prompt service: every modal message box, input box and file chooser
// of both programs goes through the responder installed here. The default
// responder shows Qt dialogs; tests install a scripted one.
#pragma once
#include <QPointer>
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

// Installs a responder (not owned); nullptr restores the Qt dialogs.
void SetPromptResponder(PromptResponder* responder);
PromptResponder& CurrentPromptResponder();

int MsgBox(const QString& text, int buttons = vbOKOnly, const QString& title = QString());
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
