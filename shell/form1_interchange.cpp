// SPDX-License-Identifier: GPL-3.0-or-later
// File > Import... and File > Export... of Form1: waypoints from and to GPX,
// CSV and KML files. The formats live in interchange/, the table side in
// interchangetable.cpp; these choose the file and show the results.
#include "files/filedialog.h"
#include "files/pointsdialog.h"
#include "interchange/formats.h"
#include "platform/prompts.h"
#include "shell/form1.h"
#include "shell/interchangetable.h"
#include "table/flexgrid.h"

#include <QFileInfo>
#include <QLineEdit>

namespace {

const QString kImportFilter = QStringLiteral(
    "GPX, CSV and KML files|*.gpx;*.csv;*.kml;*.kmz|GPX files|*.gpx|CSV files|*.csv|KML files|*.kml;*.kmz");
const QString kExportFilter = QStringLiteral("GPX files|*.gpx|CSV files|*.csv|KML files|*.kml");

void setUpDialog(FileDialog& dialog, const QWidget* owner, const QString& filter, const QString& title) {
    dialog.setOwnerHwnd(static_cast<std::int32_t>(owner->internalWinId()));
    dialog.setFilter(filter);
    dialog.setTitle(title);
    try {
        dialog.setInitialDir(PointsStartFolder());
    } catch (const FileDialogError&) {
        // The folder vanished since it was made; the chooser starts where it likes.
    }
}

} // namespace

bool Form1::ImportFile(const QString& path) {
    Text1->hide(); // rows are appended; an open editor's cell stays, but it closes unwritten
    const ImportOutcome result = ImportIntoTable(path, MSFlexGrid1->rows());
    if (!result.ok) {
        MsgBox(result.error, vbOKOnly | vbExclamation);
        return false;
    }
    if (result.added > 0)
        blnSaved = false;
    showRowsAdded(result.added, QFileInfo(path).fileName());
    if (!result.notesMessage.isEmpty())
        MsgBox(result.notesMessage, vbOKOnly | vbExclamation);
    if (!result.skippedMessage.isEmpty())
        MsgBox(result.skippedMessage);
    return true;
}

void Form1::cmdImport_Click() {
    FileDialog dialog;
    setUpDialog(dialog, this, kImportFilter, QStringLiteral("Import Waypoints"));
    dialog.setFileMustExist(true);
    const QString path = dialog.ShowOpen();
    if (!path.isEmpty())
        ImportFile(path);
}

void Form1::cmdExport_Click() {
    if (!endCellEdit())
        return;
    const bool marked = AnyRowMarked(MSFlexGrid1->rows());
    const PointRows rows = TableRows(MSFlexGrid1->rows(), marked);
    FileDialog dialog;
    setUpDialog(dialog, this, kExportFilter,
                marked ? QStringLiteral("Export Marked Rows (%1)").arg(rows.size())
                       : QStringLiteral("Export All Rows (%1)").arg(rows.size()));
    QString path = dialog.ShowSave();
    if (path.isEmpty())
        return;
    if (!FormatForPath(path) || !FormatForPath(path)->write)
        path += QStringLiteral(".gpx"); // a name typed without a known extension
    const WriteResult result = WriteInterchangeFile(path, rows);
    if (!result.ok) {
        MsgBox(result.error, vbOKOnly | vbExclamation);
        return;
    }
    if (const QString skipped = SkippedExportMessage(path, result.skipped); !skipped.isEmpty())
        MsgBox(skipped);
}
