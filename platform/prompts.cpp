// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSpacerItem>
#include <QWindow>

#include <algorithm>

namespace {

QString& appTitle() {
    static QString title = QStringLiteral("Korvel Transfer");
    return title;
}

QPointer<QWidget>& promptParent() {
    static QPointer<QWidget> parent;
    return parent;
}

QPointer<QWidget>& promptOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

bool usable(const QWidget* w) {
    return w && w->isVisible() && !w->isMinimized();
}

// The program's windows in the order they were last active, latest last. Kept
// from the first prompt parent on; a window that goes drops out by itself.
class ActivationHistory final : public QObject {
public:
    explicit ActivationHistory(QObject* parent) : QObject(parent) {
        connect(qApp, &QApplication::focusChanged, this, [this] { note(QApplication::activeWindow()); });
        // A window without a focus widget changes no focus widget when it is activated.
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (window && w->windowHandle() == window)
                    note(w);
        });
        note(QApplication::activeWindow());
    }
    void note(QWidget* window) {
        if (!window)
            return;
        windows_.removeAll(QPointer<QWidget>(window));
        windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                      [](const QPointer<QWidget>& w) { return w.isNull(); }),
                       windows_.end());
        windows_.append(window);
    }
    QWidget* latestShown() const {
        for (auto it = windows_.crbegin(); it != windows_.crend(); ++it)
            if (usable(*it))
                return *it;
        return nullptr;
    }

private:
    QList<QPointer<QWidget>> windows_;
};

ActivationHistory* activationHistory() {
    static QPointer<ActivationHistory> history;
    if (!history && qApp)
        history = new ActivationHistory(qApp);
    return history;
}

} // namespace

QWidget* PromptDialogParent() {
    if (QWidget* owner = promptOwner(); usable(owner))
        return owner;
    if (QWidget* modal = QApplication::activeModalWidget(); usable(modal))
        return modal;
    if (QWidget* active = QApplication::activeWindow(); usable(active))
        return active;
    if (ActivationHistory* history = activationHistory())
        if (QWidget* last = history->latestShown())
            return last;
    return promptParent();
}

namespace {

QWidget* dialogParent() {
    return PromptDialogParent();
}

// Width a dialog needs so that the title bar shows its whole title: the text
// in the title font, plus the window manager's icon and buttons.
int titleBarWidth(const QWidget& dialog, const QString& title) {
    QFont font = dialog.font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + 4 * QFontMetrics(font).height() + 40;
}

// The icon of a message that names none: a question for a choice between
// answers, a warning for a retry, else information.
int impliedIcon(int buttons) {
    switch (buttons & 0x0F) {
    case vbYesNoCancel:
    case vbYesNo:
    case vbOKCancel:
        return vbQuestion;
    case vbAbortRetryIgnore:
    case vbRetryCancel:
        return vbExclamation;
    default:
        return vbInformation;
    }
}

class QtResponder final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString& title) override {
        return msgBoxWithDetail(text, QString(), buttons, title);
    }

    int msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                         const QString& title) override {
        QMessageBox box(dialogParent());
        box.setWindowTitle(title);
        box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        if (!detail.isEmpty())
            box.setInformativeText(QString(detail).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        const int icon = (buttons & 0xF0) ? (buttons & 0xF0) : impliedIcon(buttons);
        switch (icon) {
        case vbCritical:
            box.setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case vbExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        struct Choice {
            QMessageBox::StandardButton button;
            int result;
        };
        QVector<Choice> choices;
        switch (buttons & 0x0F) {
        case vbOKCancel:
            choices = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
            break;
        case vbAbortRetryIgnore:
            choices = {{QMessageBox::Abort, vbAbort},
                       {QMessageBox::Retry, vbRetry},
                       {QMessageBox::Ignore, vbIgnore}};
            break;
        case vbYesNoCancel:
            choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
            break;
        case vbYesNo:
            choices = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
            break;
        case vbRetryCancel:
            choices = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
            break;
        default:
            choices = {{QMessageBox::Ok, vbOK}};
            break;
        }
        for (const auto& c : choices)
            box.addButton(c.button);
        int defaultIndex = (buttons & vbDefaultButton3) ? 2 : (buttons & vbDefaultButton2) ? 1 : 0;
        if (defaultIndex < choices.size())
            box.setDefaultButton(choices[defaultIndex].button);
        // Last: setting the icon lays the box out anew.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
            grid->addItem(
                new QSpacerItem(titleBarWidth(box, title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
        box.exec();
        auto clicked = box.standardButton(box.clickedButton());
        for (const auto& c : choices)
            if (c.button == clicked)
                return c.result;
        // Closed with Escape or the window's close box: the cancel-like answer.
        if ((buttons & 0x0F) == vbYesNo)
            return vbNo;
        if ((buttons & 0x0F) == vbOKOnly)
            return vbOK;
        return vbCancel;
    }

    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override {
        return inputBoxOrCancel(prompt, title, defaultText).value_or(QString());
    }

    std::optional<QString> inputBoxOrCancel(const QString& prompt, const QString& title,
                                            const QString& defaultText) override {
        QInputDialog dialog(dialogParent());
        dialog.setWindowTitle(title);
        dialog.setLabelText(QString(prompt).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        dialog.setTextValue(defaultText);
        dialog.setMinimumWidth(titleBarWidth(dialog, title));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    QStringList chooseFile(const FileChooserRequest& r) override {
        QFileDialog dialog(r.owner ? r.owner : dialogParent(), r.title, r.initialDir);
        QStringList nameFilters;
        for (const auto& f : r.filters)
            nameFilters << QStringLiteral("%1 (%2)").arg(f.first, QString(f.second).replace(';', ' '));
        if (!nameFilters.isEmpty())
            dialog.setNameFilters(nameFilters);
        dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (r.save)
            dialog.setFileMode(r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        else if (r.multiSelect)
            dialog.setFileMode(QFileDialog::ExistingFiles);
        else
            dialog.setFileMode(r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        if (r.hideReadOnly)
            dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
    }
};

QtResponder& qtResponder() {
    static QtResponder responder;
    return responder;
}

PromptResponder*& installed() {
    static PromptResponder* responder = nullptr;
    return responder;
}

} // namespace

void SetAppTitle(const QString& title) {
    appTitle() = title;
}
QString AppTitle() {
    return appTitle();
}

void SetPromptResponder(PromptResponder* responder) {
    installed() = responder;
}

PromptResponder& CurrentPromptResponder() {
    return installed() ? *installed() : static_cast<PromptResponder&>(qtResponder());
}

void SetPromptParent(QWidget* parent) {
    promptParent() = parent;
    activationHistory(); // from now on the window last active is known
}

PromptOwner::PromptOwner(QWidget* window) : previous_(promptOwner()) {
    promptOwner() = window;
}

PromptOwner::~PromptOwner() {
    promptOwner() = previous_;
}

int MsgBox(const QString& text, int buttons, const QString& title) {
    return CurrentPromptResponder().msgBox(text, buttons, title.isEmpty() ? AppTitle() : title);
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
