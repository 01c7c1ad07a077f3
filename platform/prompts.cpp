// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

QString& appTitle() {
    static QString title = QStringLiteral("Korvel Transfer");
    return title;
}

QPointer<QWidget>& promptParent() {
    static QPointer<QWidget> parent;
    return parent;
}

class QtResponder final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString& title) override {
        QMessageBox box(promptParent());
        box.setWindowTitle(title);
        box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        switch (buttons & 0xF0) {
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
        bool ok = false;
        QString text = QInputDialog::getText(
            promptParent(), title, QString(prompt).replace(QLatin1String("\r\n"), QLatin1String("\n")),
            QLineEdit::Normal, defaultText, &ok);
        return ok ? text : QString();
    }

    QStringList chooseFile(const FileChooserRequest& r) override {
        QFileDialog dialog(r.owner ? r.owner : promptParent().data(), r.title, r.initialDir);
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
}

int MsgBox(const QString& text, int buttons, const QString& title) {
    return CurrentPromptResponder().msgBox(text, buttons, title.isEmpty() ? AppTitle() : title);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return CurrentPromptResponder().inputBox(prompt, title.isEmpty() ? AppTitle() : title, defaultText);
}

QStringList ChooseFile(const FileChooserRequest& request) {
    return CurrentPromptResponder().chooseFile(request);
}
