// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/frmoptions.h"

#include "cad/insertionsettings.h"

#include "conversion/utmoptions.h"
#include "crs/coordinatesystem.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "rules/frmrules.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {
const QString kApp = QStringLiteral("Korvel Transfer");
const QString kSection = QStringLiteral("Options");

template <std::size_t N>
bool selectByCaption(const std::array<QRadioButton*, N>& options, std::size_t count, const QString& caption) {
    for (std::size_t i = 0; i < count && i < N; ++i) {
        if (options[i]->text() == caption) {
            options[i]->setChecked(true);
            return true;
        }
    }
    return false;
}

// Text that names a system rather than words of a name: "EPSG:2274", "2274".
bool looksLikeCode(const QString& text) {
    const QString t = NormalisedCrsCode(text);
    return t.contains(QLatin1Char(':')) || t.startsWith(QLatin1Char('+'));
}

// The transformation from WGS 84 in words, with PROJ's own name and accuracy.
QString describeTransformation(const CoordinateSystem& system) {
    QString text = QStringLiteral("Transformation: ") + QString::fromStdString(system.transformationName());
    if (system.isBallpark())
        return text +
               QStringLiteral("\nPROJ has only a ballpark transformation: positions may be off by up to "
                              "some hundred metres.");
    if (system.transformationAccuracy() < 0)
        return text + QStringLiteral("\nPROJ states no accuracy for it: positions may be off by up to some "
                                     "hundred metres.");
    return text + QStringLiteral("\nAccuracy: %1 m, as PROJ states it.")
                      .arg(QString::number(system.transformationAccuracy(), 'g', 4));
}

template <std::size_t N> int checkedIndex(const std::array<QRadioButton*, N>& options, std::size_t count) {
    for (std::size_t i = 0; i < count && i < N; ++i)
        if (options[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}
} // namespace

frmOptions::frmOptions(QWidget* parent, frmRules* rules, FormLoader loadForm)
    : QWidget(parent, Qt::Window), rules_(rules), loadForm_(std::move(loadForm)) {
    setWindowTitle(QStringLiteral("Options"));

    Frame1 = new QGroupBox(QStringLiteral("Attribute Field"), this);
    auto* attributeBox = new QVBoxLayout(Frame1);
    const char* attributes[] = {"Message", "Name", "Message && Name", "Name && Message"};
    for (int i = 0; i < 4; ++i) {
        Option1[i] = new QRadioButton(QString::fromLatin1(attributes[i]), Frame1);
        attributeBox->addWidget(Option1[i]);
    }

    Frame2 = new QGroupBox(QStringLiteral("Block Options"), this);
    auto* blockBox = new QVBoxLayout(Frame2);
    const char* blocks[] = {"Flag", "By Icon", "By Message"};
    for (int i = 0; i < 3; ++i) {
        Option2[i] = new QRadioButton(QString::fromLatin1(blocks[i]), Frame2);
        blockBox->addWidget(Option2[i]);
    }
    cmdRules = new QPushButton(QStringLiteral("Set Rules"), Frame2);
    blockBox->addWidget(cmdRules);

    Frame3 = new QGroupBox(QStringLiteral("Layer Options"), this);
    auto* layerBox = new QGridLayout(Frame3);
    const char* layers[] = {"GPS", "Landmarks", "0", ""};
    for (int i = 0; i < 4; ++i) {
        Option3[i] = new QRadioButton(QString::fromLatin1(layers[i]), Frame3);
        layerBox->addWidget(Option3[i], i, 0);
    }
    Text1 = new QLineEdit(QStringLiteral("Temp"), Frame3);
    layerBox->addWidget(Text1, 3, 1);

    Frame4 = new QGroupBox(QStringLiteral("Units"), this);
    auto* unitBox = new QVBoxLayout(Frame4);
    Option4[0] = new QRadioButton(QStringLiteral("Meters"), Frame4);
    Option4[1] = new QRadioButton(QStringLiteral("Feet"), Frame4);
    unitBox->addWidget(Option4[0]);
    unitBox->addWidget(Option4[1]);

    Frame5 = new QGroupBox(QStringLiteral("UTM NAD 83 Zone"), this);
    auto* zoneBox = new QGridLayout(Frame5);
    Option5[0] = new QRadioButton(QStringLiteral("By Point"), Frame5);
    Option5[1] = new QRadioButton(QStringLiteral("Zone #"), Frame5);
    Text2 = new QLineEdit(Frame5);
    zoneBox->addWidget(Option5[0], 0, 0);
    zoneBox->addWidget(Option5[1], 1, 0);
    zoneBox->addWidget(Text2, 1, 1);
    lblUnit = new QLabel(Frame4);
    lblUnit->hide();
    unitBox->addWidget(lblUnit);

    Frame6 = new QGroupBox(QStringLiteral("Coordinate System"), this);
    auto* crsBox = new QGridLayout(Frame6);
    Option6[0] = new QRadioButton(QStringLiteral("UTM NAD 83 (built in)"), Frame6);
    Option6[1] = new QRadioButton(QStringLiteral("Other, by EPSG code or name:"), Frame6);
    Text3 = new QLineEdit(Frame6);
    Text3->setPlaceholderText(QStringLiteral("EPSG:2274 or a name"));
    cmdFind = new QPushButton(QStringLiteral("Search"), Frame6);
    lstCrs = new QTreeWidget(Frame6);
    lstCrs->setColumnCount(3);
    lstCrs->setHeaderLabels({QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Area of use")});
    lstCrs->setRootIsDecorated(false);
    lstCrs->setUniformRowHeights(true);
    // Beside the other frames rather than under them, so the window still fits
    // a 1600 x 1000 screen at scale 2.
    lstCrs->setMinimumSize(lstCrs->fontMetrics().averageCharWidth() * 48, lstCrs->fontMetrics().height() * 6);
    lstCrs->header()->setSectionResizeMode(QHeaderView::Interactive);
    lblCrs = new QLabel(Frame6);
    lblCrs->setWordWrap(true);
    // Room for the system, its area and the transformation, so the window
    // does not change size as systems are picked.
    lblCrs->setMinimumHeight(lblCrs->fontMetrics().lineSpacing() * 7);
    lblCrs->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    crsBox->addWidget(Option6[0], 0, 0, 1, 2);
    crsBox->addWidget(Option6[1], 1, 0, 1, 2);
    crsBox->addWidget(Text3, 2, 0);
    crsBox->addWidget(cmdFind, 2, 1);
    crsBox->addWidget(lstCrs, 3, 0, 1, 2);
    crsBox->addWidget(lblCrs, 4, 0, 1, 2);
    crsBox->setRowStretch(3, 1);

    Command1 = new QPushButton(QStringLiteral("Apply"), this);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Frame1, 0, 0);
    grid->addWidget(Frame2, 0, 1);
    grid->addWidget(Frame3, 1, 0);
    grid->addWidget(Frame4, 1, 1);
    grid->addWidget(Frame5, 2, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    grid->addLayout(buttons, 2, 1);
    grid->addWidget(Frame6, 0, 2, 3, 1);

    connect(Command1, &QPushButton::clicked, this, &frmOptions::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmOptions::Command2_Click);
    connect(cmdRules, &QPushButton::clicked, this, &frmOptions::cmdRules_Click);
    for (int i = 0; i < 3; ++i)
        connect(Option2[i], &QRadioButton::clicked, this, [this, i] { Option2_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(Option5[i], &QRadioButton::clicked, this, [this, i] { Option5_Click(i); });
    for (int i = 0; i < 2; ++i)
        connect(Option6[i], &QRadioButton::clicked, this, [this, i] { Option6_Click(i); });
    connect(cmdFind, &QPushButton::clicked, this, &frmOptions::cmdFind_Click);
    connect(Text3, &QLineEdit::returnPressed, this, &frmOptions::cmdFind_Click);
    connect(lstCrs, &QTreeWidget::itemClicked, this, &frmOptions::lstCrs_Click);
    Text2->installEventFilter(this);
    Option6[0]->setChecked(true);
}

frmOptions::~frmOptions() = default;

void frmOptions::Form_Load() {
    OptionSettings();
}

frmRules* frmOptions::loadedRules() {
    if (!rules_ || !loadForm_ || !loadForm_(rules_))
        return nullptr;
    return rules_->databaseOpen() ? rules_ : nullptr;
}

InsertionOptions frmOptions::insertionOptions() const {
    return {strAttribute, strBlock, strLayer, blnMetric, intZone, strCrs};
}

void frmOptions::publishUtmOptions() {
    UtmOptions& options = CurrentUtmOptions();
    options.intZone = intZone;
    options.blnMetric = blnMetric;
}

void frmOptions::OptionSettings() {
    const InsertionOptions stored = StoredInsertionOptions();
    strAttribute = stored.strAttribute;
    strBlock = stored.strBlock;
    strLayer = stored.strLayer;
    blnMetric = stored.blnMetric;
    intZone = static_cast<short>(stored.intZone);
    strCrs = stored.strCrs;
    publishUtmOptions();

    selectByCaption(Option1, 4, strAttribute);

    // Without a readable rules database the block buttons are left as they are.
    if (frmRules* rules = loadedRules()) {
        if (strBlock == QLatin1String("By Message") && rules->rulesEmpty()) {
            // Shown as "Flag"; the stored setting changes only when applied.
            strBlock = QStringLiteral("Flag");
            Option2[0]->setChecked(true);
        } else {
            selectByCaption(Option2, 3, strBlock);
        }
    }

    if (!selectByCaption(Option3, 3, strLayer)) {
        Option3[3]->setChecked(true);
        Text1->setText(strLayer);
    }

    Option4[blnMetric ? 0 : 1]->setChecked(true);

    if (intZone == 0) {
        Option5[0]->setChecked(true);
        Text2->clear();
    } else {
        Option5[1]->setChecked(true);
        Text2->setText(QString::number(intZone));
    }

    Option6[strCrs.isEmpty() ? 0 : 1]->setChecked(true);
    Text3->setText(strCrs);
    lstCrs->clear();
    showCrs(strCrs);
}

const CoordinateSystem* frmOptions::showCrs(const QString& code, QString* error) {
    const QString wanted = NormalisedCrsCode(code);
    if (!wanted.isEmpty() && !(shownCrs_ && QString::fromStdString(shownCrs_->code()) == wanted)) {
        shownCrs_.reset();
        try {
            shownCrs_ = std::make_unique<CoordinateSystem>(wanted.toStdString());
        } catch (const CoordinateSystemError& e) {
            if (error)
                *error = QString::fromStdString(e.what());
            lblCrs->setText(QString::fromStdString(e.what()));
        }
    }
    const CoordinateSystem* system = wanted.isEmpty() ? nullptr : shownCrs_.get();
    Frame4->setEnabled(!system);
    Frame5->setEnabled(!system);
    lblUnit->setVisible(system != nullptr);
    if (system) {
        lblUnit->setText(QString::fromStdString(system->unitName()));
        // An area can list dozens of counties: one line of it here, all of it in the tooltip.
        const QString area = QString::fromStdString(system->areaOfUse().name);
        lblCrs->setText(QString::fromStdString(system->name()) + QStringLiteral(" (") +
                        QString::fromStdString(system->code()) + QStringLiteral(")\n") +
                        lblCrs->fontMetrics().elidedText(area, Qt::ElideRight, lstCrs->minimumWidth()) +
                        QStringLiteral("\n") + describeTransformation(*system));
        lblCrs->setToolTip(area);
    } else if (wanted.isEmpty()) {
        lblCrs->clear();
        lblCrs->setToolTip(QString());
    }
    return system;
}

void frmOptions::Command1_Click() {
    // The system is checked first: a refused code keeps every setting as it
    // was and the window open to correct it.
    QString crs;
    if (Option6[1]->isChecked()) {
        crs = NormalisedCrsCode(Text3->text());
        if (crs.isEmpty()) {
            MsgBox(QStringLiteral("Please type an EPSG code or choose a coordinate system from the list."));
            return;
        }
        QString error;
        if (!showCrs(crs, &error)) {
            MsgBox(error + vbCrLf + QStringLiteral("The options were not changed."));
            return;
        }
    }
    strCrs = crs;

    if (const int i = checkedIndex(Option1, 4); i >= 0)
        strAttribute = Option1[i]->text();
    if (const int i = checkedIndex(Option2, 3); i >= 0)
        strBlock = Option2[i]->text();

    if (const int i = checkedIndex(Option3, 3); i >= 0) {
        strLayer = Option3[i]->text();
    } else if (Text1->text().isEmpty()) {
        MsgBox(QStringLiteral("Please type a name for the layer.") + vbCrLf +
               QStringLiteral("The layer was not changed."));
    } else {
        strLayer = Text1->text();
    }

    blnMetric = Option4[0]->isChecked();

    // Empty (By Point) or not a number: 0, each point's own zone.
    bool overflow = false;
    const QString zoneText = Text2->text();
    const short zone = SettingTextToShort(zoneText, &overflow);
    if (overflow)
        MsgBox(QStringLiteral("6: Overflow"));
    else if (IsNumeric(zoneText) && (zone < 1 || zone > 60))
        MsgBox(QStringLiteral("UTM zones run from 1 to 60.") + vbCrLf +
               QStringLiteral("The zone was not changed."));
    else
        intZone = zone;

    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("Attribute"), strAttribute));
    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("Block"), strBlock));
    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("Layer"), strLayer));
    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("Metric"),
                                 blnMetric ? QStringLiteral("True") : QStringLiteral("False")));
    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("Zone"), QString::number(intZone)));
    ShowSettingSaved(SaveSetting(kApp, kSection, QStringLiteral("CRS"), strCrs));
    publishUtmOptions();
    hide();
}

void frmOptions::Command2_Click() {
    OptionSettings();
    hide();
}

void frmOptions::cmdRules_Click() {
    if (!rules_ || !loadForm_ || !loadForm_(rules_))
        return;
    // A database that failed to open is tried again, and its failure shown again.
    if (!rules_->ensureDatabase())
        return;
    rules_->show();
    rules_->raise();
    rules_->activateWindow();
}

void frmOptions::Option2_Click(int Index) {
    if (Index != 2)
        return;
    frmRules* rules = loadedRules();
    if (rules && !rules->rulesEmpty())
        return;
    MsgBox(QStringLiteral("You must create rules for inserting") + vbCrLf +
           QStringLiteral("blocks before this option is availible."));
    // Back to the block in force; "Flag" when that was "By Message" itself
    // (its rules deleted since the dialog was loaded).
    if (!selectByCaption(Option2, 2, strBlock))
        Option2[0]->setChecked(true);
}

void frmOptions::Option5_Click(int Index) {
    if (Index == 0)
        Text2->clear();
}

void frmOptions::Option6_Click(int Index) {
    showCrs(Index == 0 ? QString() : Text3->text());
}

void frmOptions::cmdFind_Click() {
    const QString text = Text3->text().trimmed();
    if (text.isEmpty())
        return;
    if (looksLikeCode(text)) {
        Option6[1]->setChecked(true);
        showCrs(text);
        return;
    }
    lstCrs->clear();
    const std::vector<CoordinateSystemInfo> found = FindCoordinateSystems(text.toStdString());
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(found.size()));
    for (const CoordinateSystemInfo& info : found) {
        const QString area = QString::fromStdString(info.areaName);
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(info.code), QString::fromStdString(info.name), area});
        item->setToolTip(2, area);
        items.append(item);
    }
    lstCrs->addTopLevelItems(items);
    lstCrs->resizeColumnToContents(0);
    lstCrs->resizeColumnToContents(1);
    lblCrs->setText(found.empty()
                        ? QStringLiteral("No projected coordinate system has a name with those words.")
                        : QStringLiteral("%1 found: pick one from the list.").arg(found.size()));
}

void frmOptions::lstCrs_Click() {
    const QTreeWidgetItem* item = lstCrs->currentItem();
    if (!item)
        return;
    Text3->setText(item->text(0));
    Option6[1]->setChecked(true);
    showCrs(item->text(0));
}

void frmOptions::Text2_KeyPress(int& KeyAscii) {
    if (KeyAscii == 8 || (KeyAscii >= '0' && KeyAscii <= '9')) {
        Option5[1]->setChecked(true);
        return;
    }
    if (KeyAscii == 13) {
        KeyAscii = 0;
        // Enter moves on, as a Tab keystroke would.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(Text2, &tab);
        return;
    }
    KeyAscii = 0;
}

void frmOptions::Text2_LostFocus() {
    if (IsNumeric(Text2->text())) {
        Option5[1]->setChecked(true);
    } else {
        Text2->clear();
        Option5[0]->setChecked(true);
    }
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text2) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            int ascii = -1;
            if (key->key() == Qt::Key_Backspace)
                ascii = 8;
            else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                ascii = 13;
            else if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab && !key->text().isEmpty())
                ascii = key->text().at(0).unicode();
            // Keys that type no character (arrows, Delete, Home...) reach the box untouched.
            if (ascii >= 0) {
                Text2_KeyPress(ascii);
                if (ascii == 0)
                    return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            Text2_LostFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}
