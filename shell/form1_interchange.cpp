// SPDX-License-Identifier: GPL-3.0-or-later
// File > Import... and File > Export... of Form1: waypoints from and to GPX,
// CSV and KML files, and points read from DXF drawings. The formats live in
// interchange/, drawings are read in cad/, the table side is in
// interchangetable.cpp; these choose the file and show the results.
#include "cad/drawingimport.h"
#include "cad/frmdrawingimport.h"
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

const QString kImportFilter =
    QStringLiteral("GPX, CSV, KML files and drawings|*.gpx;*.csv;*.kml;*.kmz;*.dxf|GPX files|*.gpx|CSV "
                   "files|*.csv|KML files|*.kml;*.kmz|Drawings|*.dxf");
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

bool isDrawingPath(const QString& path) {
    return path.endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive);
}

} // namespace

bool Form1::importDrawing(const QString& path) {
    // First without a placement: a drawing this program wrote carries each
    // point's position, and only one that does not needs the user's answers.
    DrawingImportOptions options = StoredDrawingImportOptions();
    options.zone = 0;
    options.crs.clear();
    DrawingImportResult result = ReadDrawingRows(path, options);
    if (result.needsOptions) {
        const std::optional<DrawingImportOptions> answers =
            AskDrawingImportOptions(this, path, result.layers);
        if (!answers)
            return false;
        result = ReadDrawingRows(path, *answers);
    }
    if (!result.ok) {
        MsgBox(result.error, vbOKOnly | vbExclamation);
        return false;
    }
    AppendRowsToTable(MSFlexGrid1->rows(), result.rows);
    if (!result.rows.empty())
        blnSaved = false;
    showRowsAdded(int(result.rows.size()), QFileInfo(path).fileName());
    if (const QString notes = DrawingImportNotes(result); !notes.isEmpty())
        MsgBox(notes, vbOKOnly | vbExclamation);
    return true;
}

bool Form1::ImportFile(const QString& path) {
    Text1->hide(); // rows are appended; an open editor's cell stays, but it closes unwritten
    if (isDrawingPath(path))
        return importDrawing(path);
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
