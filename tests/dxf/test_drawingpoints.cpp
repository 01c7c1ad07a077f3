// SPDX-License-Identifier: GPL-3.0-or-later
// Points read out of drawings other programs wrote (ezdxf R12, R2000, R2018 and
// GDAL; tests/dxf/pointdrawings.py): blocks with attributes, POINTs, polyline
// vertices, a block turned upside down (OCS), paper space skipped, layer
// filters; and files that are no drawings.
#include "dxf/drawingpoints.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// One line per point, handles left out (each writer numbers its own):
// kind, layer, block, x y z, vertex number, attributes, and the name.
std::vector<std::string> describe(const DrawingPointsResult& r) {
    std::vector<std::string> out;
    for (const DrawingPoint& p : r.points) {
        QString line = QStringLiteral("%1 %2 %3 %4 %5 %6")
                           .arg(p.kind == DrawingPoint::Kind::Block   ? "B"
                                : p.kind == DrawingPoint::Kind::Point ? "P"
                                                                      : "V")
                           .arg(p.layer, p.block.isEmpty() ? QStringLiteral("-") : p.block)
                           .arg(p.x)
                           .arg(p.y)
                           .arg(p.z);
        if (p.vertex)
            line += QStringLiteral(" #%1").arg(p.vertex);
        for (const auto& [tag, text] : p.attributes)
            line += QStringLiteral(" %1=%2").arg(tag, text);
        QString name = DrawingPointName(p);
        const QString h = p.handle;
        if (!h.isEmpty() && (name == h || name.startsWith(h + QLatin1Char('-'))))
            name = QStringLiteral("<h>") + name.mid(h.size());
        else if (!h.isEmpty() && name.endsWith(QLatin1Char('-') + h))
            name = name.chopped(h.size()) + QStringLiteral("<h>");
        line += QStringLiteral(" : ") + name;
        out.push_back(line.toStdString());
    }
    return out;
}

class DrawingPointsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/pointdrawings.py"), dir->path()});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static QString file(const char* name) { return dir->filePath(QLatin1String(name)); }
    static inline QTemporaryDir* dir = nullptr;
};

TEST_F(DrawingPointsTest, DrawingsOfOtherWritersReadToTheirModelSpacePoints) {
    const std::vector<std::string> ezdxfAll = {
        "B Sites FLAG 1000.5 2000.25 3.5 TRANSFERTEXT=Caf\u00e9 A CODE=C1 : Caf\u00e9 A",
        "B Sites PLAIN 10 20 0 : PLAIN-<h>",
        "P Sites - 7 8 9 : <h>",
        "B Other FLAG -5 6 -7 TRANSFERTEXT= CODE=C2 : C2", // OCS (5, 6, 7) under extrusion -Z
        "V Lines - 0 0 12 #1 : <h>-1",
        "V Lines - 10 0 12 #2 : <h>-2",
        "V Lines - 10 10 12 #3 : <h>-3",
        "V Lines - 1 2 3 #1 : <h>-1",
        "V Lines - 4 5 6 #2 : <h>-2",
    };
    const std::vector<std::string> ezdxfLines(ezdxfAll.begin() + 4, ezdxfAll.end());
    const std::vector<std::string> ezdxfNoVertices(ezdxfAll.begin(), ezdxfAll.begin() + 4);
    const std::vector<std::string> gdalAll = {
        "P Sites - 7 8 9 : <h>",
        "P Sites - 1 1 0 : <h>",
        "V Lines - 0 0 0 #1 : <h>-1",
        "V Lines - 3 4 0 #2 : <h>-2",
    };
    struct Case {
        const char* file;
        QStringList layers;
        bool vertices;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"r12.dxf", {}, true, ezdxfAll},
        {"r2000.dxf", {}, true, ezdxfAll},
        {"r2018.dxf", {}, true, ezdxfAll},
        {"r12.dxf", {}, false, ezdxfNoVertices},
        {"r2018.dxf", {QStringLiteral("lines")}, true, ezdxfLines},
        {"r2000.dxf", {QStringLiteral("Sites"), QStringLiteral("OTHER")}, false, ezdxfNoVertices},
        {"gdal.dxf", {}, true, gdalAll},
        {"gdal.dxf", {QStringLiteral("Sites")}, true, {gdalAll[0], gdalAll[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " layers " + c.layers.join(',').toStdString());
        DrawingPointsOptions options;
        options.layers = c.layers;
        options.polylineVertices = c.vertices;
        const DrawingPointsResult r = ReadDrawingPoints(file(c.file), options);
        ASSERT_TRUE(r.ok()) << r.error.toStdString();
        EXPECT_EQ(describe(r), c.want);
        for (const char* layer : {"0", "Sites", "Lines"})
            EXPECT_TRUE(r.layers.contains(QLatin1String(layer)))
                << layer << " in " << r.layers.join(',').toStdString();
        for (const DrawingPoint& p : r.points)
            EXPECT_FALSE(p.data) << "no extended data of the program in these drawings";
    }
}

TEST_F(DrawingPointsTest, FilesThatAreNoDrawingsGiveAnErrorAndNoPoints) {
    QFile f(file("r2018.dxf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    const DrawingPointsOptions all{{}, true};
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* says;
    };
    const Case cases[] = {
        {"text", "Waypoints\nWP1,35.5,-90.2\n", "not a DXF drawing"},
        {"empty", "", "not a DXF drawing"},
        {"binary", QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22) + whole.left(40), "binary DXF"},
        {"cut in its entities", whole.left(whole.indexOf("LWPOLYLINE") + 40), "ends inside section ENTITIES"},
        {"cut in a tag", whole.left(whole.indexOf("ENTITIES") + 9) + " 10", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DrawingPointsResult r = ReadDrawingPointsFromData(c.bytes, all);
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.points.empty());
        EXPECT_TRUE(r.error.contains(QLatin1String(c.says))) << r.error.toStdString();
    }
    const DrawingPointsResult missing = ReadDrawingPoints(file("none.dxf"), all);
    EXPECT_TRUE(missing.error.contains(QLatin1String("was not found"))) << missing.error.toStdString();
    const DrawingPointsResult folder = ReadDrawingPoints(dir->path(), all);
    EXPECT_TRUE(folder.error.contains(QLatin1String("is not a file"))) << folder.error.toStdString();
}

} // namespace
