// SPDX-License-Identifier: GPL-3.0-or-later
// Design points of drawings ezdxf wrote (tests/cad/importdrawings.py) read into
// rows: blocks with attributes, POINTs and 3D polyline vertices, in metres and
// feet, north and south, and in British National Grid. Grid values come from
// GeographicLib's exact transverse Mercator, or cs2cs, never from the program.
#include "cad/drawingimport.h"
#include "platform/settings.h"
#include "support/utmreference.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Place {
    double lat, lon, metres; // elevation
};

// Runs a program, returns its standard output split into lines.
QStringList run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The pairs converted by cs2cs from one system to another (latitude first for EPSG:4326).
std::vector<std::array<double, 2>> cs2cs(const QString& from, const QString& to,
                                         const std::vector<std::array<double, 2>>& pairs) {
    QByteArray input;
    for (const auto& p : pairs)
        input += QByteArray::number(p[0], 'f', 12) + ' ' + QByteArray::number(p[1], 'f', 12) + '\n';
    std::vector<std::array<double, 2>> out;
    for (const QString& line :
         run(QStringLiteral("cs2cs"), {QStringLiteral("-f"), QStringLiteral("%.12f"), from, to}, input)) {
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        out.push_back({f.value(0).toDouble(), f.value(1).toDouble()});
    }
    return out;
}

} // namespace

// A drawing for one case: grid values of the places, how they are drawn, and
// the rows that must come back.
struct ImportCase {
    const char* label;
    const char* version;
    std::vector<Place> places; // a block named by TRANSFERTEXT, one by CODE, a POINT, a two-vertex polyline
    DrawingImportOptions options;
    int zone = 0; // grid of the reference; 0 with options.crs
};

class DrawingImportTest : public ::testing::TestWithParam<ImportCase> {
protected:
    QTemporaryDir dir;
    std::vector<std::array<double, 2>> expected; // latitude, longitude of each place as drawn

    // Draws the places as the case's entities; returns the handles printed.
    QStringList draw(const QString& path, const ImportCase& c) {
        std::vector<std::array<double, 2>> grid;
        if (!c.options.crs.isEmpty()) {
            std::vector<std::array<double, 2>> latLong;
            for (const Place& p : c.places)
                latLong.push_back({p.lat, p.lon});
            grid = cs2cs(QStringLiteral("EPSG:4326"), c.options.crs, latLong);
            // PROJ's way back is not exactly its way there: the expected
            // positions are cs2cs's reverse of what is drawn.
            expected = cs2cs(c.options.crs, QStringLiteral("EPSG:4326"), grid);
        } else {
            for (const Place& p : c.places)
                grid.push_back(UtmExactGrid(p.lat, p.lon, c.zone, c.options.south, c.options.metric));
            for (const Place& p : c.places)
                expected.push_back({p.lat, p.lon});
        }
        const double unit = c.options.crs.isEmpty() && !c.options.metric ? 3.28083 : 1;
        auto at = [&](size_t i) { return QJsonArray{grid[i][0], grid[i][1], c.places[i].metres * unit}; };
        QJsonArray entities{
            QJsonObject{{"kind", "block"},
                        {"layer", "Sites"},
                        {"at", at(0)},
                        {"attribs",
                         QJsonArray{QJsonArray{"TRANSFERTEXT", "Corner stake"}, QJsonArray{"CODE", "C1"}}}},
            QJsonObject{{"kind", "block"},
                        {"layer", "Sites"},
                        {"at", at(1)},
                        {"attribs", QJsonArray{QJsonArray{"TRANSFERTEXT", ""}, QJsonArray{"CODE", "C2"}}}},
            QJsonObject{{"kind", "point"}, {"layer", "Survey"}, {"at", at(2)}},
            QJsonObject{{"kind", "poly3d"}, {"layer", "Lines"}, {"points", QJsonArray{at(3), at(4)}}},
        };
        const QJsonObject drawing{{"version", c.version}, {"entities", entities}};
        return run(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(KORVEL_SOURCE_DIR "/tests/cad/importdrawings.py"), path,
                    QString::fromUtf8(QJsonDocument(drawing).toJson(QJsonDocument::Compact))});
    }
};

TEST_P(DrawingImportTest, DesignPointsComeBackAsRows) {
    const ImportCase& c = GetParam();
    const QString path = dir.filePath(QStringLiteral("site.dxf"));
    const QStringList handles = draw(path, c);
    ASSERT_EQ(handles.size(), 4);

    DrawingImportOptions without = c.options;
    without.zone = 0;
    without.crs.clear();
    const DrawingImportResult refused = ReadDrawingRows(path, without);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.needsOptions);
    EXPECT_TRUE(refused.error.contains(path)) << refused.error.toStdString();
    EXPECT_TRUE(refused.rows.empty());
    EXPECT_TRUE(refused.layers.contains(QStringLiteral("Survey")));

    const DrawingImportResult r = ReadDrawingRows(path, c.options);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const QStringList names = {QStringLiteral("Corner stake"), QStringLiteral("C2"), handles[2],
                               handles[3] + QStringLiteral("-1"), handles[3] + QStringLiteral("-2")};
    const qsizetype count = c.options.vertices ? 5 : 3;
    ASSERT_EQ(qsizetype(r.rows.size()), count);
    for (qsizetype i = 0; i < count; ++i) {
        const PointRow& row = r.rows[size_t(i)];
        const Place& p = c.places[size_t(i)];
        EXPECT_EQ(row.name, names[i]);
        EXPECT_NEAR(row.latitude.toDouble(), expected[size_t(i)][0], 1e-9) << i;
        EXPECT_NEAR(row.longitude.toDouble(), expected[size_t(i)][1], 1e-9) << i;
        EXPECT_EQ(row.elevation, ElevationText(p.metres)) << i;
        EXPECT_TRUE(row.message.isEmpty() && row.icon.isEmpty());
    }
    EXPECT_EQ(r.fromOwnData, 0);
    EXPECT_EQ(r.longNames, 1); // "Corner stake"
    EXPECT_EQ(r.leftOut, 0);
}

namespace {

const std::vector<Place> kMemphis = {
    {35.5, -90.25, 28.4}, {35.51, -90.2, -12.6}, {35.49, -90.3, 0}, {35.4, -90.1, 101}, {35.6, -90.4, 7.5}};
const std::vector<Place> kSydney = {
    {-33.9, 151.2, 3}, {-33.85, 151.25, 40}, {-33.95, 151.1, 12.2}, {-34.0, 151.0, 99}, {-33.8, 151.3, 1}};
const std::vector<Place> kLondon = {
    {51.5, -0.12, 20}, {51.51, -0.1, 15}, {51.49, -0.2, 8}, {51.45, -0.05, 30}, {51.55, -0.3, 45}};

DrawingImportOptions Utm(int zone, bool south, bool metric, bool vertices) {
    DrawingImportOptions o;
    o.zone = zone;
    o.south = south;
    o.metric = metric;
    o.vertices = vertices;
    return o;
}

DrawingImportOptions Crs(const char* code) {
    DrawingImportOptions o;
    o.crs = QString::fromLatin1(code);
    o.metric = false; // unused with a system
    o.vertices = true;
    return o;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Drawings, DrawingImportTest,
    ::testing::Values(ImportCase{"R12_metres", "R12", kMemphis, Utm(16, false, true, true), 16},
                      ImportCase{"R2018_feet", "R2018", kMemphis, Utm(16, false, false, false), 16},
                      ImportCase{"R2000_south", "R2000", kSydney, Utm(56, true, true, true), 56},
                      ImportCase{"R2018_bng", "R2018", kLondon, Crs("EPSG:27700"), 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DrawingImport, RefusalsNameTheFileAndTheReason) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.dxf"));
    DrawingImportResult r = ReadDrawingRows(missing, Utm(16, false, true, false));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.needsOptions);
    EXPECT_TRUE(r.error.contains(missing)) << r.error.toStdString();

    const QString path = dir.filePath(QStringLiteral("p.dxf"));
    run(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(KORVEL_SOURCE_DIR "/tests/cad/importdrawings.py"), path,
         QStringLiteral(R"({"version":"R2000","entities":[{"kind":"point","at":[500000,3900000,0]}]})")});
    r = ReadDrawingRows(path, Crs("EPSG:4326")); // geographic, not projected
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(path) && r.error.contains(QStringLiteral("EPSG:4326")))
        << r.error.toStdString();
    r = ReadDrawingRows(path, Crs("EPSG:999999"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.rows.empty());
}

TEST(DrawingImport, AnswersAreRememberedInTheSettings) {
    QSettings(SettingsFilePath(QStringLiteral("Korvel Transfer")), QSettings::IniFormat).clear();
    DrawingImportOptions o = StoredDrawingImportOptions();
    EXPECT_EQ(o.zone, 0);
    EXPECT_TRUE(o.metric);
    EXPECT_TRUE(o.layers.isEmpty());
    o.zone = 56;
    o.south = true;
    o.metric = false;
    o.crs = QStringLiteral("EPSG:27700");
    o.layers = QStringList{QStringLiteral("Survey points"), QStringLiteral("A,B")};
    o.vertices = true;
    EXPECT_TRUE(SaveDrawingImportOptions(o).ok);
    const DrawingImportOptions back = StoredDrawingImportOptions();
    EXPECT_EQ(std::tuple(back.zone, back.south, back.metric, back.crs, back.layers, back.vertices),
              std::tuple(o.zone, o.south, o.metric, o.crs, o.layers, o.vertices));
}
