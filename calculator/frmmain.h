// SPDX-License-Identifier: GPL-3.0-or-later
// Zenobar's one window: latitude and longitude in, UTM zone, northing and
// easting out, or (the direction switch below) the other way round. Controls
// keep their classic names; arrays are addressed by index.
#pragma once
#include <QWidget>

#include <array>
#include <memory>

class CoordinateSystem;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

    std::array<QLabel*, 2> Label1{};        // 0 "Latitude", 1 "Longitude"
    std::array<QLineEdit*, 2> Text{};       // 0 latitude, 1 longitude
    std::array<QRadioButton*, 2> Option1{}; // 0 "Feet", 1 "Meters"
    QPushButton* Command1 = nullptr;        // "Calculate"
    std::array<QLabel*, 3> Label2{};        // 0 "Northing", 1 "Easting", 2 "UTM Zone"
    std::array<QLineEdit*, 3> UTM{};        // 0 northing, 1 easting, 2 zone (in and out)
    // Below the results: which zone was used and why, and a warning when a
    // zone kept in the zone box puts the point outside that zone's band.
    QLabel* lblZoneNote = nullptr;
    // A projected coordinate system to convert into instead of UTM (an EPSG
    // code such as EPSG:2274, crs/coordinatesystem.h); empty: the built-in
    // UTM. With a system, Feet and Meters are disabled (the results are in
    // the system's own unit) and the zone box shows the system's name.
    QLabel* lblCoordinateSystem = nullptr;
    QLineEdit* txtCoordinateSystem = nullptr;
    // The direction: 0 "Lat/Long -> UTM" (the classic one), 1 "UTM -> Lat/Long":
    // then the zone box (with the hemisphere beside it), the northing and the
    // easting are read (in Feet or Meters, or the coordinate system's unit) and
    // the latitude and longitude boxes show decimal degrees; the note below
    // gives them as degrees, minutes and seconds.
    std::array<QRadioButton*, 2> optDirection{};
    QComboBox* cboHemisphere = nullptr; // "N", "S"; shown in the UTM -> Lat/Long direction

    // Whether the UTM -> Lat/Long direction is chosen.
    bool inverse() const;

public slots:
    // Converts the two boxes with the chosen unit and the zone box's zone. A
    // failure is told in a message box and leaves every box, the zone box too,
    // and the zone note as they were. Enter in any of the three input boxes
    // does the same.
    void Command1_Click();

private slots:
    void txtCoordinateSystem_Change();
    void optDirection_Click();

protected:
    // Saves the unit choice ("Metric") before the window, and so the program, ends.
    // Also keeps the coordinate system box ("CoordinateSystem") and the
    // direction ("Direction": "LatLongToUTM" or "UTMToLatLong").
    void closeEvent(QCloseEvent* event) override;

private:
    // Calculate with a coordinate system from txtCoordinateSystem.
    void calculateInSystem(double latitude, double longitude);
    // Calculate in the UTM -> Lat/Long direction.
    void calculateInverse();
    // The system named in txtCoordinateSystem (kept in system_), or
    // CalculationError saying why it cannot be used.
    const CoordinateSystem& boxSystem();
    // The note's part about the system: its name, unit and datum shift.
    QString systemNote() const;
    // Zone box geometry for each direction (narrower beside the hemisphere).
    QRect zoneBoxWide_, zoneBoxNarrow_;
    // The system of the last Calculate, kept while the box holds its code.
    std::shared_ptr<const CoordinateSystem> system_;
};
