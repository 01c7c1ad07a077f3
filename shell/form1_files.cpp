// SPDX-License-Identifier: GPL-3.0-or-later
// File menu handlers of Form1: New, Open, Save, Save As, and OpenFile. The
// work is done in files/; these turn its results into the user's messages.
#include "files/filedialog.h"
#include "files/pointsdialog.h"
#include "files/pointstable.h"
#include "platform/prompts.h"
#include "shell/form1.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QFileInfo>
#include <QLineEdit>

namespace {
// The owner handle the chooser gets; 0 until the window has a native window,
// so asking never creates one.
std::int32_t ownerHandle(const QWidget* w) {
    return static_cast<std::int32_t>(w->internalWinId());
}
} // namespace

bool Form1::OpenFile(const QString& strFile) {
    // A copy: callers pass strCurrentFile itself, which a failure below clears.
    const QString path = strFile;
    if (path.isEmpty()) {
        blnSaved = true;
        return true;
    }
    // The table is about to be replaced: an editor left open over it (a menu
    // does not take its focus) is closed unwritten, as its cell is gone.
    Text1->hide();
    // Loading sets up the rows; the columns get their standard widths again.
    SetUpEmptyTable(*MSFlexGrid1);
    const PointsLoadResult result = LoadPointsFile(path, MSFlexGrid1->rows());
    pointsFileStamp = result.stamp;
    if (result.ok) {
        blnSaved = true;
        if (!result.warning.isEmpty())
            MsgBox(result.warning, vbOKOnly | vbExclamation);
        return true;
    }
    // The table now holds nothing, or the records read before the failure: it
    // is no file's copy. It stops having a current file, so Save cannot write
    // a part over the whole; rows it holds count as unsaved, so closing offers
    // to keep them, while an empty table has nothing to ask about.
    strCurrentFile.clear();
    blnSaved = MSFlexGrid1->Rows() < 2;
    // Every failure is told: a file that could not be read, and a new name
    // where no file could be made (the user would otherwise take the empty,
    // untitled table for the new file).
    if (!result.error.isEmpty())
        MsgBox(result.error, vbOKOnly | vbExclamation);
    return false;
}

bool Form1::askToSaveChanges() {
    if (blnSaved)
        return true;
    // The question keeps its classic words; the line under it says which
    // table it is about, as closing, New and Open all ask it.
    const QString detail =
        strCurrentFile.isEmpty()
            ? QStringLiteral("The table is untitled: it has not been saved to a file yet.")
            : QStringLiteral("%1 has unsaved changes.").arg(QFileInfo(strCurrentFile).fileName());
    const int answer = MsgBoxWithDetail(QStringLiteral("Do you want to save changes?"), detail, vbYesNoCancel,
                                        QStringLiteral("Korvel Transfer"));
    if (answer == vbCancel)
        return false;
    if (answer != vbYes)
        return true;
    if (strCurrentFile.isEmpty())
        cmdSaveAs_Click();
    else
        cmdSave_Click();
    return blnSaved;
}

void Form1::cmdNewDB_Click() {
    // An edit still open is stored first, so the question below covers it.
    if (!endCellEdit())
        return;
    // Unsaved rows are offered for saving first; Cancel, or a save that did
    // not happen, keeps the table as it is.
    if (!askToSaveChanges())
        return;
    // As for OpenFile: the cell under an open editor is gone.
    Text1->hide();
    MSFlexGrid1->Clear();
    SetUpEmptyTable(*MSFlexGrid1);
    // An untitled table: the next Save asks for a name instead of replacing
    // the last file with it.
    strCurrentFile.clear();
    pointsFileStamp = PointsFileStamp();
    blnSaved = true;
}

void Form1::cmdOpen_Click() {
    if (!endCellEdit())
        return;
    if (!askToSaveChanges())
        return;
    FileDialog dialog;
    SetUpPointsDialog(dialog, ownerHandle(this));
    const QString path = dialog.ShowOpen();
    // Cancelled in the chooser: the table, its file and its saved state stay
    // exactly as they were.
    if (path.isEmpty())
        return;
    if (OpenFile(path))
        strCurrentFile = path;
}

void Form1::cmdSave_Click() {
    // The text still being edited is what the user sees in the table: it is saved too.
    if (!endCellEdit())
        return;
    if (strCurrentFile.isEmpty()) {
        cmdSaveAs_Click();
        return;
    }
    savePoints();
}

bool Form1::savePoints() {
    if (PointsFileChangedSince(pointsFileStamp, strCurrentFile) &&
        MsgBox(QStringLiteral("\"%1\" was changed by another program since it was opened. Overwrite it?")
                   .arg(strCurrentFile),
               vbYesNo | vbQuestion) != vbYes)
        return false;
    const PointsSaveResult result = SavePointsFile(strCurrentFile, MSFlexGrid1->rows());
    if (!result.ok) {
        MsgBox(result.error, vbOKOnly | vbExclamation);
        return false;
    }
    pointsFileStamp = result.stamp;
    blnSaved = true;
    if (!result.changedNote.isEmpty())
        MsgBox(result.changedNote + vbCrLf +
                   QStringLiteral("The table still shows them as typed; File > Export... to GPX, CSV or KML "
                                  "keeps every character."),
               vbOKOnly | vbExclamation);
    return true;
}

void Form1::cmdSaveAs_Click() {
    if (!endCellEdit())
        return;
    FileDialog dialog;
    SetUpPointsDialog(dialog, ownerHandle(this));
    const QString chosen = dialog.ShowSave();
    // Cancelled: the current file stays the current file, so the next Save
    // still writes there instead of asking for a name again.
    if (chosen.isEmpty())
        return;
    const QString previous = strCurrentFile;
    strCurrentFile = WithPointsExtension(chosen);
    // A save that did not happen (declined or failed) leaves the table tied to
    // the file it came from, not to a name that holds nothing of it.
    if (!savePoints())
        strCurrentFile = previous;
}
