// SPDX-License-Identifier: GPL-3.0-or-later
#include "crs/coordinatesystem.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Point {
    double latitude, longitude;
};

// Eastings and northings of cs2cs EPSG:4326 code for the points, to 0.1 mm.
std::vector<std::pair<double, double>> Cs2cs(const std::string& code, const std::vector<Point>& points) {
    QProcess p;
    p.start(QStringLiteral(CS2CS), {"-f", "%.4f", "EPSG:4326", QString::fromStdString(code)});
    EXPECT_TRUE(p.waitForStarted());
    for (const Point& pt : points)
        p.write(QString("%1 %2\n").arg(pt.latitude, 0, 'g', 17).arg(pt.longitude, 0, 'g', 17).toUtf8());
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    std::vector<std::pair<double, double>> out;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        out.emplace_back(f.value(0).toDouble(), f.value(1).toDouble());
    }
    return out;
}

struct SystemCase {
    const char* code;
    const char* name;
    const char* unit;
    std::vector<Point> inside; // in the area of use, edges and corners among them
};

const std::vector<SystemCase>& Systems() {
    static const std::vector<SystemCase> cases = {
        {"EPSG:2274",
         "NAD83 / Tennessee (ftUS)",
         "US survey foot",
         {{36.16, -86.78}, {35.0, -90.3}, {36.68, -81.65}, {35.2763888888889, -90.2763888888889}}},
        {"EPSG:27700",
         "OSGB36 / British National Grid",
         "metre",
         {{51.5007, -0.1246}, {57.15, -2.11}, {50.07, -5.7}, {60.15, -1.15}}},
        {"EPSG:28356",
         "GDA94 / MGA zone 56",
         "metre",
         {{-33.8568, 151.2153}, {-27.47, 153.02}, {-37.5, 150.0}}},
        {"2056", "CH1903+ / LV95", "metre", {{46.9480, 7.4474}, {47.37, 8.54}, {45.9, 6.1}, {47.7, 10.4}}},
    };
    return cases;
}

} // namespace

// Each system's description, and its points to 1 mm of the real cs2cs, one
// at a time and many at once.
TEST(CoordinateSystem, AgreesWithCs2cs) {
    for (const SystemCase& c : Systems()) {
        SCOPED_TRACE(c.code);
        const CoordinateSystem system(c.code);
        EXPECT_EQ(system.code(), c.code);
        EXPECT_EQ(system.name(), c.name);
        EXPECT_EQ(system.unitName(), c.unit);
        EXPECT_FALSE(system.areaOfUse().name.empty());
        EXPECT_FALSE(system.transformationName().empty());
        EXPECT_FALSE(system.isBallpark()) << system.transformationName();

        std::vector<Point> points = c.inside;
        points.push_back({-40, 20}); // far outside: ballpark datum shift, still as cs2cs
        const std::string code(c.code);
        const auto expected = Cs2cs(code.find(':') == std::string::npos ? "EPSG:" + code : code, points);
        ASSERT_EQ(expected.size(), points.size());
        std::vector<double> lat, lon, e(points.size()), n(points.size());
        std::vector<unsigned char> inside(points.size());
        for (const Point& p : points)
            lat.push_back(p.latitude), lon.push_back(p.longitude);
        system.forward(lat.data(), lon.data(), points.size(), e.data(), n.data(), inside.data());
        for (std::size_t i = 0; i < points.size(); ++i) {
            SCOPED_TRACE(i);
            const ProjectedPoint one = system.forward(points[i].latitude, points[i].longitude);
            const double mm = 0.001 / system.unitToMetres();
            EXPECT_NEAR(one.easting, expected[i].first, mm);
            EXPECT_NEAR(one.northing, expected[i].second, mm);
            EXPECT_EQ(one.easting, e[i]);
            EXPECT_EQ(one.northing, n[i]);
            EXPECT_EQ(one.insideArea, i < c.inside.size());
            EXPECT_EQ(bool(inside[i]), one.insideArea);
        }
    }
    EXPECT_NEAR(CoordinateSystem("EPSG:2274").unitToMetres(), 1200.0 / 3937, 1e-15);
}

TEST(CoordinateSystem, RefusesWhatIsNotAProjectedSystem) {
    const std::pair<const char*, const char*> refused[] = {{"EPSG:4326", "not a projected system"},
                                                           {"4326", "not a projected system"},
                                                           {"EPSG:999999", "does not know it"},
                                                           {"nonsense", "does not know it"},
                                                           {"  ", "no code"}};
    for (const auto& [code, why] : refused) {
        try {
            CoordinateSystem system(code);
            ADD_FAILURE() << code << " was accepted as " << system.name();
        } catch (const CoordinateSystemError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(std::string("\"") + code + "\""), std::string::npos) << what;
            EXPECT_NE(what.find(why), std::string::npos) << what;
        }
    }
}

// Points outside the reach of a projection give infinities, not numbers; so
// do latitudes and longitudes out of range.
TEST(CoordinateSystem, PointsOutOfReach) {
    const CoordinateSystem lv95("EPSG:2056");
    for (const Point p : {Point{91, 7}, Point{46, 181}, Point{NAN, 7}}) {
        const ProjectedPoint r = lv95.forward(p.latitude, p.longitude);
        EXPECT_TRUE(std::isinf(r.easting) && std::isinf(r.northing)) << p.latitude << " " << p.longitude;
        EXPECT_FALSE(r.insideArea);
    }
}

// Each thread has its own context: the same system used from several threads
// at once gives the same results.
TEST(CoordinateSystem, SharedBetweenThreads) {
    const CoordinateSystem system("EPSG:27700");
    const ProjectedPoint expected = system.forward(51.5007, -0.1246);
    std::vector<std::thread> threads;
    std::vector<int> good(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const ProjectedPoint r = system.forward(51.5007, -0.1246);
                good[t] += r.easting == expected.easting && r.northing == expected.northing;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good, std::vector<int>(4, 200));
}

TEST(CoordinateSystem, AreaAcrossTheAntimeridian) {
    const AreaOfUse fiji{175, -20, -178, -15, "Fiji"};
    EXPECT_TRUE(fiji.contains(-18, 179));
    EXPECT_TRUE(fiji.contains(-18, -179));
    EXPECT_FALSE(fiji.contains(-18, 0));
    EXPECT_FALSE(fiji.contains(-10, 179));
}

TEST(FindCoordinateSystems, ByWordsOfTheName) {
    const auto has = [](const std::vector<CoordinateSystemInfo>& list, const std::string& code,
                        const std::string& name) {
        for (const auto& i : list)
            if (i.code == code && i.name == name && !i.areaName.empty())
                return true;
        return false;
    };
    const auto tennessee = FindCoordinateSystems("Tennessee");
    EXPECT_TRUE(has(tennessee, "EPSG:2274", "NAD83 / Tennessee (ftUS)"));
    for (const auto& i : tennessee)
        EXPECT_NE(i.name.find("Tennessee"), std::string::npos) << i.name;
    EXPECT_TRUE(has(FindCoordinateSystems("mga 56"), "EPSG:28356", "GDA94 / MGA zone 56"));
    EXPECT_TRUE(has(FindCoordinateSystems("British"), "EPSG:27700", "OSGB36 / British National Grid"));
    EXPECT_TRUE(FindCoordinateSystems("WGS 84").size() > 100);
    for (const auto& i : FindCoordinateSystems("WGS 84"))
        ASSERT_NE(i.code, "EPSG:4326") << "projected systems only";
    EXPECT_TRUE(FindCoordinateSystems("no such system anywhere").empty());
}

namespace {

// Latitudes and longitudes of cs2cs code EPSG:4326 for the grid points.
std::vector<Point> Cs2csInverse(const std::string& code, const std::vector<std::pair<double, double>>& grid) {
    QProcess p;
    p.start(QStringLiteral(CS2CS), {"-f", "%.12f", QString::fromStdString(code), "EPSG:4326"});
    EXPECT_TRUE(p.waitForStarted());
    for (const auto& [e, n] : grid)
        p.write(QString("%1 %2\n").arg(e, 0, 'g', 17).arg(n, 0, 'g', 17).toUtf8());
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    std::vector<Point> out;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        out.push_back({f.value(0).toDouble(), f.value(1).toDouble()});
    }
    return out;
}

} // namespace

// Grid points of a feet system and a metre one back to latitude and longitude,
// one at a time and many at once, against the real cs2cs run backwards.
TEST(CoordinateSystem, InverseAgreesWithCs2cs) {
    for (const SystemCase& c : Systems()) {
        if (std::string(c.code) != "EPSG:2274" && std::string(c.code) != "EPSG:27700")
            continue;
        SCOPED_TRACE(c.code);
        const CoordinateSystem system(c.code);
        std::vector<std::pair<double, double>> grid;
        for (const Point& pt : c.inside) {
            const ProjectedPoint p = system.forward(pt.latitude, pt.longitude);
            grid.emplace_back(p.easting, p.northing);
        }
        grid.emplace_back(grid[0].first + 123456.789, grid[0].second - 98765.4321); // off the list's points
        const std::vector<Point> expected = Cs2csInverse(c.code, grid);
        ASSERT_EQ(expected.size(), grid.size());

        std::vector<double> es, ns, lats(grid.size()), lons(grid.size());
        for (const auto& [e, n] : grid)
            es.push_back(e), ns.push_back(n);
        std::vector<unsigned char> inside(grid.size());
        system.inverse(es.data(), ns.data(), grid.size(), lats.data(), lons.data(), inside.data());
        for (std::size_t i = 0; i < grid.size(); ++i) {
            SCOPED_TRACE(i);
            const GeographicPoint g = system.inverse(grid[i].first, grid[i].second);
            EXPECT_NEAR(g.latitude, expected[i].latitude, 1e-9);
            EXPECT_NEAR(g.longitude, expected[i].longitude, 1e-9);
            EXPECT_EQ(g.latitude, lats[i]);
            EXPECT_EQ(g.longitude, lons[i]);
            EXPECT_EQ(g.insideArea, inside[i] != 0);
            if (i < c.inside.size()) { // and back where the points started, to the
                // centimetre a Helmert shift run backwards keeps (1e-7 degree)
                EXPECT_NEAR(g.latitude, c.inside[i].latitude, 1e-7);
                EXPECT_NEAR(g.longitude, c.inside[i].longitude, 1e-7);
                EXPECT_TRUE(g.insideArea);
            }
        }
    }
}

TEST(CoordinateSystem, InverseOfWhatCannotBeReachedIsInfinite) {
    const CoordinateSystem system("EPSG:27700");
    for (auto [e, n] : {std::pair{NAN, 100000.0}, {400000.0, INFINITY}, {1e30, 1e30}}) {
        const GeographicPoint g = system.inverse(e, n);
        EXPECT_TRUE(std::isinf(g.latitude)) << e << ' ' << n;
        EXPECT_TRUE(std::isinf(g.longitude));
        EXPECT_FALSE(g.insideArea);
    }
    // Far outside the area, but still a point: converts, outside.
    const GeographicPoint far = system.inverse(-3000000, -2000000);
    EXPECT_TRUE(std::isfinite(far.latitude));
    EXPECT_FALSE(far.insideArea);
}
