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
    const PointsLoadResult result = LoadPointsFile(path, *MSFlexGrid1);
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
    // A name where nothing was and nothing could be created fails quietly, as
    // it always has. A file that is there but could not be read is reported.
    if (result.fileExisted)
        MsgBox(result.error, vbOKOnly | vbExclamation);
    return false;
}

Form1::SaveAnswer Form1::askToSaveChanges() {
    if (blnSaved)
        return SaveAnswer::GoOn;
    const int answer = MsgBox(QStringLiteral("Do you want to save changes?"), vbYesNoCancel,
                              QStringLiteral("Korvel Transfer"));
    if (answer == vbCancel)
        return SaveAnswer::Stop;
    if (answer != vbYes)
        return SaveAnswer::GoOn;
    const bool viaSaveAs = strCurrentFile.isEmpty();
    if (viaSaveAs)
        cmdSaveAs_Click();
    else
        cmdSave_Click();
    if (blnSaved)
        return SaveAnswer::GoOn;
    return viaSaveAs && strCurrentFile.isEmpty() ? SaveAnswer::SaveAsCancelled : SaveAnswer::Stop;
}

void Form1::cmdNewDB_Click() {
    // Unsaved rows are offered for saving first; Cancel, or a save that did
    // not happen, keeps the table as it is.
    if (askToSaveChanges() != SaveAnswer::GoOn)
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
    if (askToSaveChanges() != SaveAnswer::GoOn)
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
    if (strCurrentFile.isEmpty()) {
        cmdSaveAs_Click();
        return;
    }
    if (PointsFileChangedSince(pointsFileStamp, strCurrentFile) &&
        MsgBox(QStringLiteral("\"%1\" was changed by another program since it was opened. Overwrite it?")
                   .arg(strCurrentFile),
               vbYesNo | vbQuestion) != vbYes)
        return;
    const PointsSaveResult result = SavePointsFile(strCurrentFile, *MSFlexGrid1);
    if (!result.ok) {
        MsgBox(result.error, vbOKOnly | vbExclamation);
        return;
    }
    pointsFileStamp = result.stamp;
    blnSaved = true;
    if (!result.changedNote.isEmpty())
        MsgBox(result.changedNote + vbCrLf +
                   QStringLiteral("The table still shows them as typed; File > Export... to GPX, CSV or KML "
                                  "keeps every character."),
               vbOKOnly | vbExclamation);
}

void Form1::cmdSaveAs_Click() {
    FileDialog dialog;
    SetUpPointsDialog(dialog, ownerHandle(this));
    strCurrentFile = dialog.ShowSave();
    if (strCurrentFile.isEmpty())
        return;
    strCurrentFile = WithPointsExtension(strCurrentFile);
    cmdSave_Click();
}
