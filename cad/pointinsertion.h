// SPDX-License-Identifier: GPL-3.0-or-later
// Point and line insertion: waypoint table rows in, calls to the connection
// adapter (ACADStuff) out. No prompts: the closing messages (a drawing that
// cannot be reached included) are composed here and shown by the caller.
//
// Rows are read by column: 1 name, 2 latitude, 3 longitude (decimal degrees as
// text, south and west negative), 4 elevation text, 5 message, 6 icon. Row 0 is
// the header.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class ACADStuff;
class CoordinateSystem;
class WaypointRows;

// The insertion options as frmOptions holds them.
struct InsertionOptions {
    QString strAttribute =
        QStringLiteral("Message");             // "Message", "Name", "Message && Name", "Name && Message"
    QString strBlock = QStringLiteral("Flag"); // "Flag", "By Icon", "By Message"
    QString strLayer = QStringLiteral("Landmarks");
    bool blnMetric = false; // metres; false: feet
    // 0: each point in the zone of its longitude; 1..60: every point in that
    // zone (the special areas of Norway and Svalbard still apply).
    int intZone = 0;
    // A projected coordinate system of the PROJ database ("EPSG:2274"): points
    // go in at its easting and northing, in its unit, and blnMetric and
    // intZone are not used. "": the built-in UTM conversion.
    QString strCrs = QString();
};

// What insertion needs besides the table. Zone and unit reach the UTM
// conversion from options; nothing is read from elsewhere.
struct InsertionContext {
    ACADStuff* acad = nullptr; // not owned
    InsertionOptions options;
    QString deviceModel; // model of the last connected receiver; "" when none
    // The rules lookup (frmRules::CheckRules): block path for a message, cutting
    // the matched value from it. Null: every message gets the default block.
    std::function<QString(QString&)> checkRules;
    // Loads the options window (LoadForm); false skips the row. Null: loaded.
    std::function<bool()> loadOptions;
};

// What a command did, for its closing message. Row lists hold table row numbers.
struct InsertionReport {
    bool connected = false;          // ConnectAcad succeeded (false: nothing else was done)
    QString connectProblem;          // when not connected after trying: why (the closing message)
    bool rowSelected = false;        // Insert Selected / line: at least one marked row was met
    int markedRows = 0;              // line: marked rows counted before connecting
    int inserted = 0;                // blocks inserted (points) or vertices appended (line)
    int noCoordinates = 0;           // rows skipped silently: latitude or longitude empty
    QList<int> unusableCoordinates;  // coordinates not numbers, or no finite UTM position
    QList<int> unreadableElevations; // elevation text not understood; 0 used
    QList<int> failedInsertions;     // the drawing refused the block (empty handle)
    QStringList refusals;            // why it refused them, each reason once, in the order met
    bool lineDrawn = false;          // line: AddPolyline3D succeeded
    QString layerProblem;            // points: why the layer name cannot be used (no row was processed)
    QString saveError;               // why the drawing could not be saved at the end ("" when it was)
    // With a coordinate system chosen (options.strCrs):
    QString crsProblem;  // why it cannot be used (nothing was done); "" when it can
    QString crsName;     // its name, for the closing message
    QString crsCaution;  // a ballpark or unknown-accuracy transformation, in words; "" otherwise
    int outsideArea = 0; // points placed outside its area of use
};

// One row's insertion point (easting, northing, elevation), each rounded to
// two decimals with halves to even. Units as the options' blnMetric chooses.
struct RowPosition {
    double easting = 0;
    double northing = 0;
    double elevation = 0;
    bool elevationRead = true; // false: the elevation text was not understood and 0 was used
    int zone = 0;              // UTM zone the conversion used (1..60); 0 in a projected system
    bool south = false;        // UTM: southern hemisphere (northing from the false northing)
};

namespace PointInsertion {

// x rounded to two decimals, a half going to the even neighbour (2.125 gives
// 2.12, 2.135 gives 2.14; the decision is made on x * 100 as a double).
double RoundTo2(double x);

// Elevation of a row in the output unit. Empty: 0. Feet (metric false): the
// elevation text in feet ("28M" is 91.86324). Metres: a bare number as is, a
// number followed by "M"/"m" as is, a number followed by "F"/"f" divided by
// 3.28083 ("91F" is 27.7369...). Anything else gives 0 with *read false.
double Elevation(const QString& text, bool metric, bool* read = nullptr);

// The position of a row from its latitude, longitude and elevation texts, or
// nothing when either coordinate is not a number, the latitude is not strictly
// between -90 and 90, or the conversion gives no finite position.
// Zone: 0 for the zone of the longitude, else that zone (LatLongToUTM's in-out
// zone; the zone it used is given in the result, not written back here).
std::optional<RowPosition> Position(const QString& latitude, const QString& longitude,
                                    const QString& elevation, bool metric, int zone);

// The same in a projected coordinate system: easting, northing and elevation
// in its unit (unitToMetres metres), rounded as above. Elevation rules as for
// feet with that unit in place of feet: "28M" is 28 metres in the unit, "91F"
// 91 feet (of 3.28083 per metre) in the unit, a bare number is in the unit
// already. *insideArea says whether the point lies in the system's area of use.
std::optional<RowPosition> Position(const QString& latitude, const QString& longitude,
                                    const QString& elevation, const CoordinateSystem& system,
                                    bool* insideArea = nullptr);

// Elevation text in the unit of unitToMetres metres (rules above); 0 with
// *read false for text that cannot be read.
double ElevationInUnit(const QString& text, double unitToMetres, bool* read = nullptr);

// The label for a row by strAttribute. An unknown value composes as "Message".
QString AttributeText(const QString& strAttribute, const QString& name, const QString& message);

// Insert All (selectedOnly false) and Insert Selected (true: the marked rows).
// Connects first; when that fails nothing else happens (connected false).
InsertionReport InsertPoints(WaypointRows& grid, const InsertionContext& context, bool selectedOnly);

// One 3D polyline through the marked rows, in table order. Counts the marked
// rows first; with fewer than two it returns without connecting. Rows lacking coordinates, or
// with unusable ones, add no vertex. No limit on the number of rows.
InsertionReport InsertLine(WaypointRows& grid, const InsertionContext& context);

// What a closing message says of changes a failed save left unwritten. The
// window keeps them and its next drawing command saves them again; a run of
// the command line ends after one command, drops them, and leaves the drawing
// file as it was.
enum class UnsavedChanges { KeptForNextCommand, Dropped };

// Closing messages. Points: the layer name's problem when the layer cannot be
// used; "No points were selected." when Insert Selected met
// no marked row; otherwise "All way points in the list were Inserted." unless
// rows were left out for unusable coordinates or refused by the drawing, which
// the message then counts (with the drawing's reasons for refusing, such as the
// block drawing and the entity it could not take); unreadable elevations are
// counted after it.
QString PointsClosingMessage(const InsertionReport& report, bool selectedOnly,
                             UnsavedChanges unsaved = UnsavedChanges::KeptForNextCommand);
// Line: "No points were selected." with no marked row, a message that a line
// needs two selected points with one; "The line was
// Inserted." (with any rows left out or elevations not read counted after it);
// "" when the drawing was not reached or the line was not drawn. A drawing that
// could not be saved is reported as for points.
QString LineClosingMessage(const InsertionReport& report,
                           UnsavedChanges unsaved = UnsavedChanges::KeptForNextCommand);

} // namespace PointInsertion
