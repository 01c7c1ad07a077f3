// SPDX-License-Identifier: GPL-3.0-or-later
// Design points of a DXF drawing turned into waypoint rows: the headless side
// of File > Import... for drawings and of the command line's drawing input.
//
// A point this program placed (its extended data, PointData) is turned back by
// the placement it records (UTM zone, hemisphere and unit, or the projected
// system) and keeps its row's name, message and icon; its position is always
// read from the geometry, so a block moved in CAD comes back where it stands.
// Other points are placed by the options (a UTM zone or a projected system)
// and named by DrawingPointName, with empty message and icon.
#pragma once
#include "interchange/pointrows.h"
#include "platform/settings.h"

#include <QString>
#include <QStringList>

struct DrawingImportOptions {
    int zone = 0;          // 1..60; 0: not given
    bool south = false;    // southern hemisphere (northings carry the 10,000,000 m false northing)
    bool metric = true;    // drawing units metres; false: the program's feet (3.28083 per metre)
    QString crs;           // a projected system of the PROJ database; when set, zone/south/metric unused
    QStringList layers;    // empty: every layer
    bool vertices = false; // polyline vertices count as points
};

struct DrawingImportResult {
    bool ok = false;           // false: nothing to add; error says why
    QString error;             // names the file and the reason
    bool needsOptions = false; // points without the program's data and no zone/CRS given (ok false)
    PointRows rows;            // in drawing order
    QStringList layers;        // the drawing's layers (for the dialog), also when !ok
    int fromOwnData = 0;       // rows placed by the program's own data
    int longNames = 0;         // names longer than the receiver keeps (8 characters, as Upload counts)
    int outsideZone = 0;       // positions more than 0 degrees outside their zone's band (UTM only)
    int outsideArea = 0;       // CRS: positions outside the system's area of use
    int leftOut = 0;           // points with no finite position (not added)
};

DrawingImportResult ReadDrawingRows(const QString& path, const DrawingImportOptions& options);

// What the closing message adds: how many names will be shortened on upload, how many points lie
// outside their zone / the system's area, how many were left out; "" when none.
QString DrawingImportNotes(const DrawingImportResult& result);

// The answers remembered in the settings (section "DrawingImport": Zone, South, Metric, CRS, Layers,
// Vertices) and saving them (each key through SaveSetting; the first failure is returned, else success).
DrawingImportOptions StoredDrawingImportOptions();
SettingSaved SaveDrawingImportOptions(const DrawingImportOptions& options);
