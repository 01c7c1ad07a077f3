// SPDX-License-Identifier: GPL-3.0-or-later
// frmOptions: "Options", the insertion options. Its six public fields are
// what point and line insertion are given (insertionOptions()); intZone and
// blnMetric are also published to CurrentUtmOptions() whenever they are loaded
// or applied, for the four-argument LatLongToUTM that reads them from there. The dialog is hidden, never
// destroyed, when closed. Settings live in "Korvel Transfer" / "Options": Attribute, Block, Layer, Metric,
// Zone, CRS.
//
// Below the zone frame the user picks the built-in UTM conversion or any
// projected system PROJ knows, by code or by searching its database by name.
// With such a system chosen the Units and Zone frames are disabled (the system
// fixes both) and the transformation PROJ will use is described; a code PROJ
// refuses is reported on Apply and nothing is stored.
#pragma once
#include "cad/pointinsertion.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class CoordinateSystem;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTreeWidget;
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
    ~frmOptions() override;

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
    QGroupBox* Frame6 = nullptr; // "Coordinate System"
    std::array<QRadioButton*, 4> Option1{};
    std::array<QRadioButton*, 3> Option2{};
    std::array<QRadioButton*, 4> Option3{};
    std::array<QRadioButton*, 2> Option4{};
    std::array<QRadioButton*, 2> Option5{};
    std::array<QRadioButton*, 2> Option6{}; // built-in UTM, another system
    QPushButton* cmdRules = nullptr;
    QLineEdit* Text1 = nullptr;      // layer name of the user's own
    QLineEdit* Text2 = nullptr;      // zone number
    QLineEdit* Text3 = nullptr;      // a system's code, or words of its name to search for
    QPushButton* cmdFind = nullptr;  // "Search"
    QTreeWidget* lstCrs = nullptr;   // search matches: code, name, area of use
    QLabel* lblUnit = nullptr;       // in the Units frame: the chosen system's unit
    QLabel* lblCrs = nullptr;        // the chosen system, its area and transformation
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
    // 0: the built-in UTM; 1: the system whose code is in Text3.
    void Option6_Click(int Index);
    // Lists the systems whose names hold every word of Text3; when Text3 is a
    // code PROJ reads, that system is chosen as well.
    void cmdFind_Click();
    // A match picked from the list: its code goes to Text3 and is chosen.
    void lstCrs_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The rules window, loaded and with its database open; null otherwise.
    frmRules* loadedRules();
    void publishUtmOptions();
    // Shows code's system (or, with "" or a refused code, the built-in UTM
    // controls) and enables the Units and Zone frames to match; returns the
    // system, or null with *error set when PROJ refuses the code.
    const CoordinateSystem* showCrs(const QString& code, QString* error = nullptr);

    frmRules* rules_;
    FormLoader loadForm_;
    std::unique_ptr<CoordinateSystem> shownCrs_; // the system shown, kept to avoid asking PROJ again
};
