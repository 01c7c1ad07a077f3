// SPDX-License-Identifier: GPL-3.0-or-later
// frmOptions: "Options", the insertion options. Its five public fields are
// what point and line insertion are given (insertionOptions()); intZone and
// blnMetric are also published to CurrentUtmOptions() whenever they are loaded
// or applied, for the four-argument LatLongToUTM that reads them from there. The dialog is hidden, never
// destroyed, when closed. Settings live in "Korvel Transfer" / "Options": Attribute, Block, Layer, Metric,
// Zone.
#pragma once
#include "cad/pointinsertion.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class frmRules;

class frmOptions : public QWidget {
    Q_OBJECT
public:
    // Loads a window hidden (the start-up module's LoadForm); false on failure.
    using FormLoader = std::function<bool(QWidget*)>;

    // rules: the rules window (not owned; outlives this dialog).
    frmOptions(QWidget* parent, frmRules* rules, FormLoader loadForm);

    QString strAttribute = QStringLiteral("Message");
    QString strBlock = QStringLiteral("Flag");
    QString strLayer = QStringLiteral("Landmarks");
    bool blnMetric = false;
    short intZone = 0; // 0: each point's own zone; otherwise that zone for every point
    // Setting "CRS": a projected coordinate system's code ("EPSG:2274") that
    // replaces the UTM zone and units; "" for the built-in UTM conversion.
    QString strCrs;

    // The five fields as one value, as insertion takes them.
    InsertionOptions insertionOptions() const;

    QGroupBox* Frame1 = nullptr; // "Attribute Field"
    QGroupBox* Frame2 = nullptr; // "Block Options"
    QGroupBox* Frame3 = nullptr; // "Layer Options"
    QGroupBox* Frame4 = nullptr; // "Units"
    QGroupBox* Frame5 = nullptr; // "UTM NAD 83 Zone"
    std::array<QRadioButton*, 4> Option1{};
    std::array<QRadioButton*, 3> Option2{};
    std::array<QRadioButton*, 4> Option3{};
    std::array<QRadioButton*, 2> Option4{};
    std::array<QRadioButton*, 2> Option5{};
    QPushButton* cmdRules = nullptr;
    QLineEdit* Text1 = nullptr;      // layer name of the user's own
    QLineEdit* Text2 = nullptr;      // zone number
    QPushButton* Command1 = nullptr; // "Apply"
    QPushButton* Command2 = nullptr; // "Cancel"

public slots:
    void Form_Load();
    // Reads the five settings into the fields and shows them in the controls.
    void OptionSettings();
    void Command1_Click();
    void Command2_Click();
    void cmdRules_Click();
    void Option2_Click(int Index);
    void Option5_Click(int Index);
    // KeyAscii: the typed character's code; set to 0 when the key is swallowed.
    void Text2_KeyPress(int& KeyAscii);
    void Text2_LostFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The rules window, loaded and with its database open; null otherwise.
    frmRules* loadedRules();
    void publishUtmOptions();

    frmRules* rules_;
    FormLoader loadForm_;
};
