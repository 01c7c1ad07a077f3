// SPDX-License-Identifier: GPL-3.0-or-later
// frmDrawingImport: "Import Drawing", where a drawing that holds no positions
// of its own is placed before its points are read: the UTM zone, hemisphere
// and units its coordinates are in, or a projected system's code that fixes
// all three (the zone, hemisphere and unit controls are then disabled); which
// of its layers are read; and whether polyline vertices count as points.
//
// Opened pre-filled from the stored import options; OK checks the answers
// (zone 1..60 unless a code is given, a code PROJ reads, at least one layer),
// stores them and closes; a refused answer is told through the prompt service
// and the dialog stays open. The dialog shows nothing else and reads no file.
#pragma once
#include "cad/drawingimport.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

class frmDrawingImport : public QDialog {
    Q_OBJECT
public:
    // fileName: the drawing's name as shown in the dialog's first line;
    // layers: the drawing's layers, in the order listed.
    frmDrawingImport(QWidget* parent, const QString& fileName, const QStringList& layers);

    // The answers as shown (valid after OK; before it, what the controls hold).
    // layers is empty when every layer is checked: the whole drawing.
    DrawingImportOptions options() const;

    QLabel* lblFile = nullptr;
    QLineEdit* txtZone = nullptr;     // UTM zone, 1..60
    QRadioButton* optNorth = nullptr; // hemisphere of the zone
    QRadioButton* optSouth = nullptr;
    QRadioButton* optMeters = nullptr;
    QRadioButton* optFeet = nullptr;
    QLineEdit* txtCrs = nullptr;      // a projected system's code; "" for the UTM zone above
    QListWidget* lstLayers = nullptr; // one checkable item per layer of the drawing
    QCheckBox* chkVertices = nullptr; // "Polyline vertices are points"
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    // Checks and stores the answers, then accepts; a refused answer keeps the dialog open.
    void cmdOK_Click();
    // Greys out the zone, hemisphere and units while a code is typed.
    void txtCrs_Change();

private:
    void showOptions(const DrawingImportOptions& stored);

    QWidget* placement_ = nullptr; // the zone, hemisphere and units frames
};

// Shows the dialog modally for the drawing at path with its layers; the
// answers, stored, after OK; nothing after Cancel.
std::optional<DrawingImportOptions> AskDrawingImportOptions(QWidget* parent, const QString& path,
                                                            const QStringList& layers);
