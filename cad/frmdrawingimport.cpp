// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/frmdrawingimport.h"

#include "cad/insertionsettings.h"
#include "crs/coordinatesystem.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/settings.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmDrawingImport::frmDrawingImport(QWidget* parent, const QString& fileName, const QStringList& layers)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Import Drawing"));
    setObjectName(QStringLiteral("frmDrawingImport"));

    lblFile = new QLabel(
        QStringLiteral("%1 holds points this program did not place.\nWhere do its coordinates lie?")
            .arg(fileName),
        this);

    placement_ = new QWidget(this);
    auto* zoneFrame = new QGroupBox(QStringLiteral("UTM NAD 83 Zone"), placement_);
    auto* zoneBox = new QGridLayout(zoneFrame);
    txtZone = new QLineEdit(zoneFrame);
    txtZone->setMaxLength(2);
    txtZone->setMaximumWidth(txtZone->fontMetrics().averageCharWidth() * 6);
    optNorth = new QRadioButton(QStringLiteral("North"), zoneFrame);
    optSouth = new QRadioButton(QStringLiteral("South"), zoneFrame);
    zoneBox->addWidget(new QLabel(QStringLiteral("Zone #"), zoneFrame), 0, 0);
    zoneBox->addWidget(txtZone, 0, 1, Qt::AlignLeft);
    zoneBox->addWidget(optNorth, 1, 0);
    zoneBox->addWidget(optSouth, 1, 1);
    zoneBox->setColumnStretch(2, 1);

    auto* unitFrame = new QGroupBox(QStringLiteral("Units"), placement_);
    auto* unitBox = new QVBoxLayout(unitFrame);
    optMeters = new QRadioButton(QStringLiteral("Meters"), unitFrame);
    optFeet = new QRadioButton(QStringLiteral("Feet"), unitFrame);
    unitBox->addWidget(optMeters);
    unitBox->addWidget(optFeet);

    auto* placementBox = new QHBoxLayout(placement_);
    placementBox->setContentsMargins(0, 0, 0, 0);
    placementBox->addWidget(zoneFrame);
    placementBox->addWidget(unitFrame);

    auto* crsFrame = new QGroupBox(QStringLiteral("Coordinate System"), this);
    auto* crsBox = new QVBoxLayout(crsFrame);
    crsBox->addWidget(
        new QLabel(QStringLiteral("Or another, by EPSG code (replaces zone and units):"), crsFrame));
    txtCrs = new QLineEdit(crsFrame);
    txtCrs->setPlaceholderText(QStringLiteral("EPSG:2274"));
    crsBox->addWidget(txtCrs);

    auto* layerFrame = new QGroupBox(QStringLiteral("Layers"), this);
    auto* layerBox = new QVBoxLayout(layerFrame);
    lstLayers = new QListWidget(layerFrame);
    for (const QString& layer : layers) {
        auto* item = new QListWidgetItem(layer, lstLayers);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    lstLayers->setMinimumHeight(lstLayers->fontMetrics().height() * 6);
    layerBox->addWidget(lstLayers);

    chkVertices = new QCheckBox(QStringLiteral("Polyline vertices are points"), this);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* grid = new QVBoxLayout(this);
    grid->addWidget(lblFile);
    grid->addWidget(placement_);
    grid->addWidget(crsFrame);
    grid->addWidget(layerFrame, 1);
    grid->addWidget(chkVertices);
    grid->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmDrawingImport::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(txtCrs, &QLineEdit::textChanged, this, &frmDrawingImport::txtCrs_Change);

    showOptions(StoredDrawingImportOptions());
}

void frmDrawingImport::showOptions(const DrawingImportOptions& stored) {
    txtZone->setText(stored.zone >= 1 && stored.zone <= 60 ? QString::number(stored.zone) : QString());
    (stored.south ? optSouth : optNorth)->setChecked(true);
    (stored.metric ? optMeters : optFeet)->setChecked(true);
    txtCrs->setText(stored.crs);
    // Layers stored from another drawing may name none of this one's: then all stay checked.
    bool anyStored = false;
    for (int i = 0; i < lstLayers->count(); ++i)
        anyStored = anyStored || stored.layers.contains(lstLayers->item(i)->text());
    if (anyStored)
        for (int i = 0; i < lstLayers->count(); ++i)
            lstLayers->item(i)->setCheckState(
                stored.layers.contains(lstLayers->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
    chkVertices->setChecked(stored.vertices);
    txtCrs_Change();
}

DrawingImportOptions frmDrawingImport::options() const {
    DrawingImportOptions o;
    o.crs = NormalisedCrsCode(txtCrs->text());
    if (o.crs.isEmpty()) {
        o.zone = txtZone->text().trimmed().toInt();
        o.south = optSouth->isChecked();
        o.metric = optMeters->isChecked();
    }
    QStringList checked;
    for (int i = 0; i < lstLayers->count(); ++i)
        if (lstLayers->item(i)->checkState() == Qt::Checked)
            checked << lstLayers->item(i)->text();
    if (checked.size() != lstLayers->count())
        o.layers = checked;
    o.vertices = chkVertices->isChecked();
    return o;
}

void frmDrawingImport::txtCrs_Change() {
    placement_->setEnabled(txtCrs->text().trimmed().isEmpty());
}

void frmDrawingImport::cmdOK_Click() {
    const DrawingImportOptions answers = options();
    if (answers.crs.isEmpty()) {
        const QString zone = txtZone->text().trimmed();
        if (!IsNumeric(zone) || answers.zone < 1 || answers.zone > 60 || zone.contains(QLatin1Char('.'))) {
            MsgBox(QStringLiteral("UTM zones run from 1 to 60."), vbOKOnly | vbExclamation);
            txtZone->setFocus();
            return;
        }
    } else {
        try {
            CoordinateSystem system(answers.crs.toStdString());
        } catch (const CoordinateSystemError& e) {
            MsgBox(QString::fromStdString(e.what()), vbOKOnly | vbExclamation);
            txtCrs->setFocus();
            return;
        }
    }
    bool anyChecked = false;
    for (int i = 0; i < lstLayers->count(); ++i)
        anyChecked = anyChecked || lstLayers->item(i)->checkState() == Qt::Checked;
    if (lstLayers->count() > 0 && !anyChecked) {
        MsgBox(QStringLiteral("Please check at least one layer to read points from."),
               vbOKOnly | vbExclamation);
        return;
    }
    ShowSettingSaved(SaveDrawingImportOptions(answers));
    accept();
}

std::optional<DrawingImportOptions> AskDrawingImportOptions(QWidget* parent, const QString& path,
                                                            const QStringList& layers) {
    frmDrawingImport dialog(parent, QFileInfo(path).fileName(), layers);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.options();
}
