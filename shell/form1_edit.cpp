// SPDX-License-Identifier: GPL-3.0-or-later
// Cell editor, clipboard and record commands of Form1. The logic lives in
// table/celleditor and table/rowcommands; here it meets Text1 and the prompts.
#include "shell/form1.h"

#include "platform/prompts.h"
#include "platform/twips.h"
#include "table/celleditor.h"
#include "table/flexgrid.h"
#include "table/rowcommands.h"
#include "table/viewkeeper.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

const char* const kFilterName = "Text1Events";

int shiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

int arrowCode(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
        return vbKeyLeft;
    case Qt::Key_Up:
        return vbKeyUp;
    case Qt::Key_Right:
        return vbKeyRight;
    case Qt::Key_Down:
        return vbKeyDown;
    default:
        return 0;
    }
}

// Routes Text1's key and focus events to Form1's Text1_* handlers. Owned by
// Text1.
class Text1Events final : public QObject {
public:
    Text1Events(Form1* form, QLineEdit* text) : QObject(text), form_(form), text_(text) {
        setObjectName(QLatin1String(kFilterName));
        text->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != text_)
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The line edit claims Ctrl+A (select all) and Ctrl+D (delete a
            // character) for itself; here they stay the Edit menu's Add New
            // Row and Delete Selected Rows, as everywhere else in the window.
            auto* ke = static_cast<QKeyEvent*>(event);
            const QKeyCombination k = ke->keyCombination();
            if (k == QKeyCombination(Qt::ControlModifier, Qt::Key_A) ||
                k == QKeyCombination(Qt::ControlModifier, Qt::Key_D)) {
                ke->ignore();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            auto* ke = static_cast<QKeyEvent*>(event);
            const int shift = shiftCode(ke->modifiers());
            if (const int code = arrowCode(ke->key())) {
                form_->Text1_KeyDown(code, shift);
                // Left and Right then move the caret as usual; the line edit has
                // no use for Up and Down, which stop here.
                return code == vbKeyUp || code == vbKeyDown;
            }
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
                form_->Text1_KeyDown(13, shift);
                form_->Text1_KeyPress(13);
                return true;
            }
            if (ke->key() == Qt::Key_Escape) {
                form_->Text1_KeyDown(27, shift);
                form_->Text1_KeyPress(27);
                return true;
            }
            return false;
        }
        case QEvent::KeyRelease: {
            auto* ke = static_cast<QKeyEvent*>(event);
            form_->Text1_KeyUp(arrowCode(ke->key()), shiftCode(ke->modifiers()));
            return false;
        }
        case QEvent::FocusOut: {
            // Only a move of the focus to another control of this window counts:
            // a message box, a menu or another application taking the focus
            // does not close the editor. Nor does the editor hiding itself.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
                reason == Qt::MenuBarFocusReason || !text_->isVisible())
                return false;
            form_->Text1_LostFocus();
            return false;
        }
        default:
            return false;
        }
    }

private:
    Form1* form_;
    QLineEdit* text_;
};

enum class Commit { Written, Refused, NoCell };

// Commit: writes the editor's value into the grid's current cell and hides the
// editor. A value other than the cell's text is a change to the table, so the
// closing prompt offers to save it. Angle text that cannot be read writes
// nothing (the cell keeps its old text) and tells the user: Refused, and the
// caller does not move.
Commit commitCellEditor(Form1& form) {
    FlexGrid& grid = *form.MSFlexGrid1;
    const QString text = form.Text1->text();
    const CellCommit value = CellCommitValue(text, grid.Col());
    // Hidden before any message, so that the message cannot re-enter the editor.
    form.Text1->hide();
    // The header row never takes the text, whatever became current while the
    // editor was open (a new, empty table has only the header).
    if (grid.Row() < 1)
        return Commit::NoCell;
    if (!value.valid) {
        MsgBox(value.problem, vbOKOnly | vbExclamation);
        return Commit::Refused;
    }
    if (grid.Text() != value.value) {
        grid.setText(value.value);
        form.blnSaved = false;
    }
    return Commit::Written;
}

} // namespace

// ---------------------------------------------------------------- cell editor

void Form1::openCellEditor() {
    if (!Text1->findChild<QObject*>(QLatin1String(kFilterName), Qt::FindDirectChildrenOnly))
        new Text1Events(this, Text1);

    FlexGrid& grid = *MSFlexGrid1;
    Text1->setText(QString());
    Text1->hide();
    // The classic grid keeps its current cell in view; the editor must lie on it.
    if (grid.Row() >= 1)
        grid.scrollTo(grid.gridModel()->index(grid.Row() - 1, grid.Col()));
    const QRect r = CellEditorRectTwips(grid);
    Text1->setGeometry(TwipsToPixels(r.left()), TwipsToPixels(r.top()), TwipsToPixels(qMax(0, r.width())),
                       TwipsToPixels(qMax(0, r.height())));
    const QString text = grid.Text();
    Text1->setText(text);
    Text1->show();
    Text1->raise();
    Text1->setSelection(0, int(text.size()));
    Text1->setFocus(Qt::OtherFocusReason);
}

void Form1::Text1_KeyDown(int KeyCode, int Shift) {
    Q_UNUSED(Shift);
    const int s = Text1->hasSelectedText() ? Text1->selectionStart() : Text1->cursorPosition();
    const int l = int(Text1->selectedText().size());
    const EditorKeyDown k = CellEditorKeyDown(KeyCode, s, l, int(Text1->text().size()));
    switch (k.move) {
    case EditorMove::Right:
        blnMoveRight = true;
        break;
    case EditorMove::Left:
        blnMoveLeft = true;
        break;
    case EditorMove::Down:
        blnMoveDown = true;
        break;
    case EditorMove::Up:
        blnMoveUp = true;
        break;
    case EditorMove::None:
        break;
    }
    if (k.caret >= 0) {
        Text1->deselect();
        Text1->setCursorPosition(k.caret);
    }
}

void Form1::Text1_KeyUp(int KeyCode, int Shift) {
    Q_UNUSED(KeyCode);
    Q_UNUSED(Shift);
    EditorMove move = EditorMove::None;
    if (blnMoveRight) {
        blnMoveRight = false;
        move = EditorMove::Right;
    } else if (blnMoveLeft) {
        blnMoveLeft = false;
        move = EditorMove::Left;
    } else if (blnMoveDown) {
        blnMoveDown = false;
        move = EditorMove::Down;
    } else if (blnMoveUp) {
        blnMoveUp = false;
        move = EditorMove::Up;
    } else {
        return;
    }
    if (commitCellEditor(*this) == Commit::Written)
        ApplyEditorMove(*MSFlexGrid1, move, intCurRow, intCurCol);
}

void Form1::Text1_KeyPress(int KeyAscii) {
    if (KeyAscii == 13) {
        if (commitCellEditor(*this) == Commit::Written)
            ApplyEditorMove(*MSFlexGrid1, EditorMove::Down, intCurRow, intCurCol);
    } else if (KeyAscii == 27) {
        Text1->hide();
    }
}

void Form1::Text1_LostFocus() {
    if (Text1->text().isEmpty()) {
        Text1->hide();
        return;
    }
    if (commitCellEditor(*this) == Commit::Written)
        ApplyEditorMove(*MSFlexGrid1, EditorMove::Down, intCurRow, intCurCol);
}

bool Form1::endCellEdit() {
    // Hidden, not merely not visible: the window itself may not be shown yet.
    if (Text1->isHidden())
        return true;
    return commitCellEditor(*this) != Commit::Refused;
}

// ---------------------------------------------------------------- clipboard

void Form1::cmdCopyCell_Click() {
    strCellBuffer = CopyCell(*MSFlexGrid1, intCurRow, intCurCol);
}

void Form1::cmdPasteCell_Click() {
    PasteCell(*MSFlexGrid1, intCurRow, intCurCol, strCellBuffer);
    blnSaved = false;
}

void Form1::cmdCopyRow_Click() {
    const RowBuffer row = CopyRow(*MSFlexGrid1, intCurRow);
    for (size_t c = 0; c < row.size(); ++c)
        strRowBuffer[c] = row[c];
}

void Form1::cmdPasteRow_Click() {
    RowBuffer row;
    for (size_t c = 0; c < row.size(); ++c)
        row[c] = strRowBuffer[c];
    PasteRow(*MSFlexGrid1, intCurRow, row);
    blnSaved = false;
}

// ---------------------------------------------------------------- records

void Form1::cmdAddNewRecord_Click() {
    // An edit still open (Ctrl+A typed in the editor, or the menu, which does
    // not take the editor's focus) ends first, as Enter ends it: its text goes
    // into its own cell, never into the new row, and is not lost.
    if (!endCellEdit())
        return;
    const bool added = AddNewRow(
        *MSFlexGrid1,
        [](const NewRowQuestion& q) { return InputBoxOrCancel(q.prompt, q.title, q.defaultText); },
        [](const QString& message) { MsgBox(message, vbOKOnly | vbExclamation); });
    if (added)
        blnSaved = false;
}

void Form1::cmdDeleteRecords_Click() {
    // An edit still open ends first, as Enter ends it, while its row is
    // still there; the rows are then removed with the editor closed.
    if (!endCellEdit())
        return;
    // The mark walk moves the current cell; it must not open the editor.
    blnEditReady = false;
    {
        const TableViewKeeper keep(*MSFlexGrid1);
        DeleteSelectedRows(*MSFlexGrid1);
    }
    blnSaved = false;
    blnEditReady = true;
}
