// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qtpromptresponder.h"

#include "platform/promptowner.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

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

} // namespace

int QtPromptResponder::msgBox(const QString& text, int buttons, const QString& title) {
    return msgBoxWithDetail(text, QString(), buttons, title);
}

int QtPromptResponder::msgBoxWithDetail(const QString& text, const QString& detail, int buttons,
                                        const QString& title) {
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
        choices = {
            {QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
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
        grid->addItem(new QSpacerItem(titleBarWidth(box, title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
    auto clicked = box.standardButton(box.clickedButton());
    for (const auto& c : choices)
        if (c.button == clicked)
            return c.result;
    // Closed with Escape or the window's close box: the cancel-like answer.
    return EscapeAnswer(buttons);
}

QString QtPromptResponder::inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return inputBoxOrCancel(prompt, title, defaultText).value_or(QString());
}

std::optional<QString> QtPromptResponder::inputBoxOrCancel(const QString& prompt, const QString& title,
                                                           const QString& defaultText) {
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(title);
    dialog.setLabelText(QString(prompt).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    dialog.setTextValue(defaultText);
    dialog.setMinimumWidth(titleBarWidth(dialog, title));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QStringList QtPromptResponder::chooseFile(const FileChooserRequest& r) {
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

void UseQtPrompts() {
    static QtPromptResponder responder;
    SetDefaultPromptResponder(&responder);
}
