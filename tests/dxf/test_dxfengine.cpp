// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in drawing engine: what it writes must read back in ezdxf exactly
// as written and pass a structural check of its own tags; what a drawing held
// before must survive byte for byte; refused drawings must stay untouched.
#include "dxf/drawingpoints.h"
#include "dxf/dxfdocument.h"
#include "dxf/dxfengine.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

namespace {

class DxfEngineTest : public DrawingPathTest {
protected:
    // Starts the engine on the drawing the setting names, as the main window gives it.
    std::shared_ptr<DxfApplication> start(DxfAutomation& a) {
        a.setDrawingPath(drawingPathSetting());
        auto app = std::dynamic_pointer_cast<DxfApplication>(a.CreateObject());
        EXPECT_TRUE(app);
        return app;
    }
    // The drawing path named inside a file standing where its folder should
    // be: no save can succeed until unblockSaves().
    QString blockSaves() {
        writeAll(dir.filePath("blocker"), "a file where a folder should be");
        const QString bad = dir.filePath("blocker/Drawing1.dxf");
        setDrawingPath(bad);
        return bad;
    }
    void unblockSaves() {
        ASSERT_TRUE(QFile::remove(dir.filePath("blocker")));
        ASSERT_TRUE(QDir(dir.path()).mkdir("blocker"));
    }
};

QByteArray entitiesBody() {
    return "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n"
           "  0\r\nLINE\r\n  5\r\n20\r\n  8\r\nRoads\r\n 10\r\n1.5\r\n 20\r\n2.25\r\n 30\r\n0\r\n"
           " 11\r\n100\r\n 21\r\n200\r\n 31\r\n0\r\n1001\r\nACAD\r\n1000\r\nsurveyed 1998 "
           "\r\n1040\r\n3.14\r\n"
           "999\r\na comment among entities\r\n"
           "  0\r\nACME_WIDGET\r\n  5\r\n21\r\n  8\r\n0\r\n 10\r\n5\r\n 20\r\n6\r\n300\r\nwidget data\r\n";
}
QByteArray extraSection() {
    return "  0\r\nSECTION\r\n  2\r\nACME_NOTES\r\n  0\r\nNOTE\r\n  1\r\nkeep me\r\n  0\r\nENDSEC\r\n";
}

// An R12 drawing a user might have: handles, XDATA on a line, an entity type
// the engine does not know, comments, an extra section, CR LF line ends.
QByteArray userDrawing() {
    QByteArray s =
        "999\r\nmade by hand\r\n"
        "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n"
        "  9\r\n$HANDLING\r\n 70\r\n1\r\n  9\r\n$HANDSEED\r\n  5\r\n40\r\n  0\r\nENDSEC\r\n"
        "  0\r\nSECTION\r\n  2\r\nTABLES\r\n"
        "  0\r\nTABLE\r\n  2\r\nLTYPE\r\n 70\r\n1\r\n  0\r\nLTYPE\r\n  5\r\n10\r\n  2\r\nCONTINUOUS\r\n"
        " 70\r\n0\r\n  3\r\nSolid line\r\n 72\r\n65\r\n 73\r\n0\r\n 40\r\n0.0\r\n  0\r\nENDTAB\r\n"
        "  0\r\nTABLE\r\n  2\r\nLAYER\r\n 70\r\n2\r\n  0\r\nLAYER\r\n  5\r\n11\r\n  2\r\n0\r\n 70\r\n0\r\n"
        " 62\r\n7\r\n  6\r\nCONTINUOUS\r\n  0\r\nLAYER\r\n  5\r\n12\r\n  2\r\nRoads\r\n 70\r\n0\r\n"
        " 62\r\n1\r\n  6\r\nCONTINUOUS\r\n  0\r\nENDTAB\r\n"
        "  0\r\nTABLE\r\n  2\r\nSTYLE\r\n 70\r\n1\r\n  0\r\nSTYLE\r\n  5\r\n13\r\n  2\r\nSTANDARD\r\n"
        " 70\r\n0\r\n 40\r\n0.0\r\n 41\r\n1.0\r\n 50\r\n0.0\r\n 71\r\n0\r\n 42\r\n0.2\r\n  3\r\ntxt\r\n"
        "  4\r\n\r\n  0\r\nENDTAB\r\n"
        "  0\r\nTABLE\r\n  2\r\nAPPID\r\n 70\r\n1\r\n  0\r\nAPPID\r\n  5\r\n14\r\n  2\r\nACAD\r\n"
        " 70\r\n0\r\n  0\r\nENDTAB\r\n  0\r\nENDSEC\r\n"
        "  0\r\nSECTION\r\n  2\r\nBLOCKS\r\n  0\r\nENDSEC\r\n";
    s += entitiesBody();
    s += "  0\r\nENDSEC\r\n";
    s += extraSection();
    s += "  0\r\nEOF\r\n";
    return s;
}
} // namespace

TEST_F(DxfEngineTest, NewDrawingReadsBackWithInsertsAttributesLayersAndPolyline) {
    DxfAutomation automation;
    auto app = start(automation);
    auto doc = app->ActiveDocument();
    auto ms = doc->ModelSpace();
    doc->Layers()->Add(QStringLiteral("Waypoints"));

    auto a = ms->InsertBlock({500000.25, 4100000.5, 28}, flag(), 1, 1, 1, 0);
    a->setLayer(QStringLiteral("Waypoints"));
    auto attrs = a->GetAttributes();
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0]->TagString(), QStringLiteral("TRANSFERTEXT"));
    attrs[0]->setTextString(QStringLiteral("Café 5€: Gate"));
    // Rotated a quarter turn and doubled: the attribute moves with the block.
    auto b = ms->InsertBlock({10, 20, 0}, flag(), 2, 2, 2, std::numbers::pi / 2);
    b->GetAttributes()[0]->setTextString(QStringLiteral("line1\nline2"));
    ms->Add3DPoly({0, 0, 0, 10, 0, 5, 10, 10, 7.5});
    app->ZoomExtents();
    app->Update();
    ASSERT_TRUE(app->flush());

    QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    QJsonArray inserts = r.value("inserts").toArray();
    ASSERT_EQ(inserts.size(), 2);
    QJsonObject first = inserts[0].toObject();
    EXPECT_EQ(first.value("layer").toString(), "Waypoints");
    EXPECT_EQ(first.value("point").toArray(), (QJsonArray{500000.25, 4100000.5, 28.0}));
    EXPECT_EQ(first.value("handle").toString(), a->Handle());
    QJsonArray attrib = first.value("attribs").toArray()[0].toArray();
    EXPECT_EQ(attrib[0].toString(), "TRANSFERTEXT");
    EXPECT_EQ(attrib[1].toString(), QStringLiteral("Café 5€: Gate"));
    // Flag.dxf puts its attribute at (2, 0) from the insertion point.
    EXPECT_EQ(attrib[2].toArray(), (QJsonArray{500002.25, 4100000.5, 28.0}));

    QJsonObject second = inserts[1].toObject();
    EXPECT_EQ(second.value("layer").toString(), "0");
    QJsonArray pos = second.value("attribs").toArray()[0].toArray()[2].toArray();
    EXPECT_NEAR(pos[0].toDouble(), 10, 1e-9);
    EXPECT_NEAR(pos[1].toDouble(), 24, 1e-9);
    // A line break cannot live in a DXF value line.
    EXPECT_EQ(second.value("attribs").toArray()[0].toArray()[1].toString(), "line1 line2");

    EXPECT_TRUE(r.value("layers").toArray().contains("Waypoints"));
    EXPECT_EQ(r.value("blocks").toArray(), QJsonArray{"Flag"});
    QJsonArray poly = r.value("polylines").toArray();
    ASSERT_EQ(poly.size(), 1);
    EXPECT_EQ(poly[0].toArray(), (QJsonArray{QJsonArray{0.0, 0.0, 0.0}, QJsonArray{10.0, 0.0, 5.0},
                                             QJsonArray{10.0, 10.0, 7.5}}));
    // Extents cover every block's symbol, the polyline and the attributes.
    EXPECT_NEAR(r.value("extmin").toArray()[0].toDouble(), 0, 1e-9);
    EXPECT_NEAR(r.value("extmax").toArray()[1].toDouble(), 4100003.5, 1e-9);
}

TEST_F(DxfEngineTest, ContentTheEngineDoesNotKnowSurvivesByteForByte) {
    const QByteArray original = userDrawing();
    writeAll(path, original);
    {
        DxfAutomation automation;
        auto app = start(automation);
        auto ref = app->ActiveDocument()->ModelSpace()->InsertBlock({1, 2, 3}, flag(), 1, 1, 1, 0);
        ref->setLayer(QStringLiteral("roads")); // layer names match without regard to case
        EXPECT_EQ(ref->Layer(), "Roads");
        app->Update();
        ASSERT_TRUE(app->flush());
    }
    const QByteArray written = readAll(path);
    EXPECT_TRUE(written.startsWith("999\r\nmade by hand\r\n  0\r\nSECTION\r\n"));
    // Everything the entities section held, then the new objects after it.
    const QByteArray body = entitiesBody();
    qsizetype at = written.indexOf(body);
    ASSERT_GE(at, 0) << written.toStdString();
    EXPECT_EQ(written.mid(at + body.size(), 11), "  0\r\nINSERT");
    EXPECT_TRUE(written.contains(extraSection()));
    EXPECT_TRUE(written.endsWith(extraSection() + "  0\r\nEOF\r\n"));
    // Existing handles stay; new ones start at the old seed.
    qsizetype h = written.indexOf("  0\r\nINSERT\r\n  5\r\n");
    ASSERT_GE(h, 0);
    bool ok = false;
    EXPECT_GE(written.mid(h + 18, written.indexOf('\r', h + 18) - h - 18).toInt(&ok, 16), 0x40);
    EXPECT_TRUE(ok);
    EXPECT_EQ(problemsOf(readBack(path)), "");
    EXPECT_EQ(written.count("\n"), written.count("\r\n"));
}

TEST_F(DxfEngineTest, ReopeningAppendsToWhatEarlierRunsWrote) {
    for (int run = 0; run < 3; ++run) {
        DxfAutomation automation;
        auto app = start(automation);
        auto ms = app->ActiveDocument()->ModelSpace();
        ms->InsertBlock({double(run), 0, 0}, flag(), 1, 1, 1, 0);
        ms->InsertBlock({double(run), 5, 0}, SupportPath(QStringLiteral("Inserts/SporTrak/a.dxf")), 1, 1, 1,
                        0);
        app->Update();
        // The engine object going away writes what is still unsaved.
    }
    QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    EXPECT_EQ(r.value("inserts").toArray().size(), 6);
    // An unchanged block drawing is defined once, not once per run.
    EXPECT_EQ(r.value("blocks").toArray(), (QJsonArray{"Flag", "a"}));
}

TEST_F(DxfEngineTest, TwoBlockFilesWithOneBaseNameGetTwoBlocks) {
    QTemporaryDir other;
    QFile::copy(SupportPath(QStringLiteral("Inserts/SporTrak/b.dxf")), other.filePath("a.dxf"));
    DxfAutomation automation;
    auto app = start(automation);
    auto ms = app->ActiveDocument()->ModelSpace();
    ms->InsertBlock({0, 0, 0}, SupportPath(QStringLiteral("Inserts/SporTrak/a.dxf")), 1, 1, 1, 0);
    ms->InsertBlock({5, 0, 0}, other.filePath("a.dxf"), 1, 1, 1, 0);
    ms->InsertBlock({9, 0, 0}, SupportPath(QStringLiteral("Inserts/SporTrak/a.dxf")), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    EXPECT_EQ(r.value("blocks").toArray(), (QJsonArray{"a", "a_2"}));
    QJsonArray inserts = r.value("inserts").toArray();
    ASSERT_EQ(inserts.size(), 3);
    EXPECT_EQ(inserts[0].toObject().value("block"), "a");
    EXPECT_EQ(inserts[1].toObject().value("block"), "a_2");
    EXPECT_EQ(inserts[2].toObject().value("block"), "a");
}

TEST_F(DxfEngineTest, RefusedDrawingsAreLeftUntouched) {
    // R10: older than the oldest version the engine edits.
    const QByteArray r10 = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1006\n  0\nENDSEC\n"
                           "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";
    const QByteArray binary = QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22) + QByteArray(40, '\x01');
    const QByteArray garbage = "Waypoint list\nNAME,LAT,LON\n";
    const QByteArray truncated = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n";
    const struct {
        QByteArray bytes;
        const char* says;
    } cases[] = {{r10, "AC1006"}, {binary, "binary"}, {garbage, "not a DXF"}, {truncated, "ends inside"}};
    for (const auto& c : cases) {
        writeAll(path, c.bytes);
        DxfAutomation automation(path);
        try {
            automation.CreateObject();
            ADD_FAILURE() << "accepted " << c.says;
        } catch (const AcadError& e) {
            EXPECT_TRUE(e.description().contains(QLatin1String(c.says))) << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(path));
        }
        EXPECT_THROW(automation.GetObject(), AcadError) << "no engine is left running";
        EXPECT_EQ(readAll(path), c.bytes);
    }
}

// Only a drawing that is surely not there starts as a new one: a file that
// cannot be looked at (here a loop of links) is refused, not replaced by a
// new drawing's first save.
TEST_F(DxfEngineTest, ADrawingThatCannotBeLookedAtIsNotTakenAsMissing) {
    const QString other = dir.filePath("other.dxf");
    ASSERT_TRUE(QFile::link(other, path));
    ASSERT_TRUE(QFile::link(path, other));
    DxfAutomation automation(path);
    try {
        automation.CreateObject();
        ADD_FAILURE() << "a new drawing was started";
    } catch (const AcadError& e) {
        EXPECT_TRUE(e.description().contains("cannot be opened: Too many levels of symbolic links"))
            << e.description().toStdString();
    }
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(QFileInfo(other).isSymLink());
}

TEST_F(DxfEngineTest, FailuresOfTheAutomationMembers) {
    DxfAutomation automation;
    EXPECT_THROW(automation.GetObject(), AcadError);
    auto app = start(automation);
    EXPECT_EQ(automation.GetObject(), app);
    auto doc = app->ActiveDocument();
    auto ms = doc->ModelSpace();
    auto ref = ms->InsertBlock({0, 0, 0}, flag(), 1, 1, 1, 0);

    auto code = [](auto&& f) -> std::uint32_t {
        try {
            f();
        } catch (const AcadError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(code([&] { ref->setLayer("Nowhere"); }), acadErrKeyNotFound);
    EXPECT_EQ(ref->Layer(), "0");
    for (QString bad : {"a/b", "x:y", "q?", "t*", "p|q", "e=f", "back`tick", "", "two\nlines", "\u6E2C\u91CF",
                        "Zone \u2116 5"})
        EXPECT_NE(code([&] { doc->Layers()->Add(bad); }), 0u) << bad.toStdString();
    EXPECT_EQ(code([&] { doc->Layers()->Add(QStringLiteral("Kept As Typed-1")); }), 0u);
    EXPECT_EQ(code([&] { ref->setLayer(QStringLiteral("Kept As Typed-1")); }), 0u);
    EXPECT_EQ(code([&] { doc->Layers()->Add(QStringLiteral("Caf\u00E9 \u20AC")); }), 0u); // in Windows-1252

    EXPECT_NE(code([&] { doc->HandleToObject(""); }), 0u);
    EXPECT_NE(code([&] { doc->HandleToObject("FFFFF"); }), 0u);
    EXPECT_EQ(doc->HandleToObject(ref->Handle().toLower())->Handle(), ref->Handle());

    EXPECT_NE(code([&] { ms->Add3DPoly({1, 2, 3}); }), 0u);
    EXPECT_NE(code([&] { ms->Add3DPoly({1, 2, 3, 4, 5}); }), 0u);
    EXPECT_NE(code([&] { ms->Add3DPoly({1, 2, 3, 4, 5, NAN}); }), 0u);
    EXPECT_NE(code([&] { ms->InsertBlock({INFINITY, 0, 0}, flag(), 1, 1, 1, 0); }), 0u);
    EXPECT_NE(code([&] { ms->InsertBlock({0, 0, 0}, dir.filePath("missing.dxf"), 1, 1, 1, 0); }), 0u);
    writeAll(
        dir.filePath("new.dxf"),
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1050\n  0\nENDSEC\n  0\nEOF\n"); // newer than 2018
    EXPECT_NE(code([&] { ms->InsertBlock({0, 0, 0}, dir.filePath("new.dxf"), 1, 1, 1, 0); }), 0u);

    ASSERT_TRUE(app->flush());
    EXPECT_EQ(problemsOf(readBack(path)), "");
    EXPECT_TRUE(readBack(path).value("layers").toArray().contains(QStringLiteral("Caf\u00E9 \u20AC")));
}

TEST_F(DxfEngineTest, UpdatesAreCoalescedIntoOneWrite) {
    DxfAutomation automation;
    auto app = start(automation);
    for (int i = 0; i < 50; ++i) {
        app->ActiveDocument()->ModelSpace()->InsertBlock({double(i), 0, 0}, flag(), 1, 1, 1, 0);
        app->ZoomExtents();
        app->Update();
    }
    EXPECT_EQ(app->saveCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(app->saveCount(), 1);
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 50);
    app->Update(); // nothing new: no second write
    QCoreApplication::processEvents();
    EXPECT_EQ(app->saveCount(), 1);
}

// A drawing another program wrote, lacking what the engine would add before
// appending ($HANDLING, tables): only opened and closed, it stays byte for byte.
TEST_F(DxfEngineTest, ADrawingOnlyOpenedIsNeverRewritten) {
    const QByteArray bare =
        "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\nSite\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"
        "  0\nENDSEC\n  0\nEOF\n";
    writeAll(path, bare);
    {
        DxfAutomation automation;
        auto app = start(automation);
        app->ActiveDocument();
        app->Update();
        QCoreApplication::processEvents();
        EXPECT_TRUE(app->flush());
        EXPECT_EQ(app->saveCount(), 0);
    } // the engine goes, as at exit
    EXPECT_EQ(readAll(path), bare);
}

TEST_F(DxfEngineTest, ADrawingChangedOnDiskIsReadAgainBeforeTheNextCommand) {
    DxfAutomation automation;
    auto app = start(automation);
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    // Another program saves the drawing with a line added.
    QByteArray bytes = readAll(path);
    bytes.replace("  0\nENDSEC\n  0\nEOF\n",
                  "  0\nLINE\n  5\nFFF0\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n9.0\n 21\n9.0\n 31\n0.0\n"
                  "  0\nENDSEC\n  0\nEOF\n");
    writeAll(path, bytes + "999\n");
    app->ActiveDocument()->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    const QByteArray written = readAll(path);
    EXPECT_TRUE(written.contains("  0\nLINE\n  5\nFFF0\n"));
    EXPECT_EQ(problemsOf(readBack(path)), "");
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 2);
}

TEST_F(DxfEngineTest, ChangesNotYetWrittenAreMadeAgainOnAnotherProgramsVersionAndHandlesStayUsable) {
    DxfAutomation automation;
    auto app = start(automation);
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    auto doc = app->ActiveDocument();
    doc->Layers()->Add(QStringLiteral("Pending"));
    auto ref = doc->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    ref->setLayer(QStringLiteral("Pending"));
    PointData placed{17, QLatin1Char('S'), false, {}, "WP2", "pending", "a"};
    ref->SetXData(PointDataXData::toExtendedData(placed));
    PointData vertex{{}, {}, true, "EPSG:2274", "V1", "", ""};
    doc->ModelSpace()->Add3DPolyWithData({0, 0, 0, 5, 5, 5}, {PointDataXData::toExtendedData(vertex), {}});
    const QString given = ref->Handle();
    // Meanwhile another program writes the drawing, its new line taking the
    // very handle given out here for the pending block.
    QByteArray bytes = readAll(path);
    bytes.replace("  0\nENDSEC\n  0\nEOF\n",
                  "  0\nLINE\n  5\n" + given.toLatin1() +
                      "\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n9.0\n 21\n9.0\n"
                      " 31\n0.0\n  0\nENDSEC\n  0\nEOF\n");
    writeAll(path, bytes);

    // The next command reads that version and makes the pending changes on it;
    // the handle given out still finds the block, now under another handle.
    auto again = app->ActiveDocument()->HandleToObject(given);
    EXPECT_EQ(app->rereadCount(), 1);
    EXPECT_NE(again->Handle(), given);
    EXPECT_EQ(ref->Handle(), again->Handle());
    again->GetAttributes().at(0)->setTextString(QStringLiteral("kept"));
    ASSERT_TRUE(app->flush());

    const QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    EXPECT_TRUE(readAll(path).contains("  0\nLINE\n  5\n" + given.toLatin1() + "\n"));
    const QJsonArray inserts = r.value("inserts").toArray();
    ASSERT_EQ(inserts.size(), 2);
    EXPECT_EQ(inserts[1].toObject().value("layer").toString(), "Pending");
    EXPECT_EQ(inserts[1].toObject().value("handle").toString(), ref->Handle());
    EXPECT_EQ(inserts[1].toObject().value("attribs").toArray()[0].toArray()[1].toString(), "kept");
    EXPECT_EQ(r.value("polylines").toArray().size(), 1);
    // Their extended data is made again with them.
    const DrawingPointsResult points = ReadDrawingPoints(path, {{}, true});
    ASSERT_EQ(points.points.size(), 4u);
    EXPECT_FALSE(points.points[0].data);
    EXPECT_EQ(points.points[1].handle, ref->Handle());
    EXPECT_EQ(points.points[1].data, placed);
    EXPECT_EQ(points.points[2].data, vertex);
    EXPECT_FALSE(points.points[3].data);
}

TEST_F(DxfEngineTest, AFailedSaveKeepsTheChangesAndSaysWhy) {
    const QString bad = blockSaves();
    DxfAutomation automation;
    auto app = start(automation);
    auto doc = app->ActiveDocument();
    doc->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    EXPECT_FALSE(app->flush());
    EXPECT_TRUE(app->lastSaveError().contains(bad));
    // An update never ends the caller's operation; the command's own save says why.
    EXPECT_NO_THROW(app->Update());
    EXPECT_THROW(doc->Save(), AcadError);
    ASSERT_TRUE(app->drawing()->modified());
}

TEST_F(DxfEngineTest, AFailedSaveIsTriedAgainByTheNextUpdate) {
    const QString bad = blockSaves();
    DxfAutomation automation;
    auto app = start(automation);
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    EXPECT_FALSE(app->flush());
    // The cause goes away: the next command's update writes everything.
    unblockSaves();
    app->ActiveDocument()->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    EXPECT_NO_THROW(app->Update());
    QCoreApplication::processEvents();
    EXPECT_FALSE(app->drawing()->modified());
    EXPECT_EQ(readBack(bad).value("inserts").toArray().size(), 2);
}

TEST_F(DxfEngineTest, ChangesThatCannotBeSavedAreNotDroppedForAnotherDrawing) {
    const QString bad = blockSaves();
    DxfAutomation automation;
    auto app = start(automation);
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    EXPECT_FALSE(app->flush());
    // Another drawing is named while the changes cannot be written: they stay.
    app->setDrawingPath(path);
    EXPECT_THROW(app->ActiveDocument(), AcadError);
    EXPECT_EQ(app->currentPath(), bad);
    ASSERT_TRUE(app->drawing()->modified());
    unblockSaves();
    app->ActiveDocument(); // written now, then the other drawing opens
    EXPECT_EQ(app->currentPath(), path);
    EXPECT_EQ(readBack(bad).value("inserts").toArray().size(), 1);
}

// The engine works on the drawing its owner gave: the setting naming another
// one changes nothing until the owner gives that one; the engine's own
// commands make their drawing the given one and leave the setting alone.
TEST_F(DxfEngineTest, TheGivenDrawingStaysWhenTheSettingChanges) {
    DxfAutomation automation(path);
    auto app = std::dynamic_pointer_cast<DxfApplication>(automation.CreateObject());
    ASSERT_TRUE(app);
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    const QString other = dir.filePath("Other.dxf");
    setDrawingPath(other);
    app->ActiveDocument()->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    EXPECT_EQ(app->currentPath(), path);
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 2);
    EXPECT_FALSE(QFile::exists(other));

    automation.setDrawingPath(other);
    EXPECT_EQ(automation.drawingPath(), other);
    app->ActiveDocument();
    EXPECT_EQ(app->currentPath(), other);

    setDrawingPath(path);
    const QString fresh = app->newDrawing();
    EXPECT_EQ(app->drawingPath(), fresh);
    EXPECT_EQ(drawingPathSetting(), path);
}

TEST(DxfDocument, ReadingAndWritingGivesBackTheSameBytes) {
    // Odd code spellings, blanks in values and text after EOF survive as read.
    const QByteArray odd = "0\nSECTION\n2\nENTITIES\n 0\nPOINT\n   8\n  layer with blanks  \n10\n1\n20\n2\n"
                           "0\nENDSEC\n0\nEOF\ntrailing words\n";
    EXPECT_EQ(DxfDocument::parse(odd).toBytes(), odd);
    // Lines ending in several carriage returns: what is written once reads
    // back to the same bytes (a kept return used to be lost at every save).
    const QByteArray returns =
        "0\nSECTION\n2\nENTITIES\n0\nTEXT\n  8\r\r\r\n0\n1\nA\r\r\n0\nENDSEC\n0\nEOF\n";
    const QByteArray once = DxfDocument::parse(returns).toBytes();
    EXPECT_EQ(DxfDocument::parse(once).toBytes(), once);
    EXPECT_FALSE(once.contains('\r'));
    EXPECT_EQ(DxfDocument::formatNumber(0.1), "0.1");
    EXPECT_EQ(DxfDocument::formatNumber(-0.0), "0.0");
    EXPECT_EQ(DxfDocument::formatNumber(4100000), "4100000.0");
    EXPECT_EQ(DxfDocument::formatNumber(1e-7), "1e-07");
    EXPECT_EQ(DxfDocument::parseNumber(" +2.5 "), 2.5);
    EXPECT_FALSE(DxfDocument::parseNumber("2,5"));
    EXPECT_FALSE(DxfDocument::parseNumber("nan"));
}

TEST(DxfDrawing, ADrawingWithoutHandlesKeepsItsEntitiesAsTheyWere) {
    // An entities-only file (valid for old readers), one entity without a
    // handle and two sharing one: they stay as they are, byte for byte; what
    // is added gets handles above all of them and the tables it needs.
    const QByteArray entities = "  0\nLINE\n  8\nSite\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"
                                "  0\nLINE\n  5\n7\n  8\n0\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"
                                "  0\nLINE\n  5\n7\n  8\n0\n 10\n0\n 20\n0\n 11\n2\n 21\n2\n";
    const QByteArray bare = "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
    DxfDrawing d = DxfDrawing::open(bare);
    EXPECT_FALSE(d.modified()); // the tables it lacks come with the first change, not on opening
    const QByteArray added = d.add3DPolyline({0, 0, 0, 1, 1, 1});
    EXPECT_TRUE(d.modified());
    EXPECT_GT(added.toULongLong(nullptr, 16), 7u);
    const QByteArray written = d.toBytes();
    EXPECT_TRUE(written.contains("ENTITIES\n" + entities)) << written.toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath("bare.dxf");
    writeAll(out, written);
    QJsonObject r = readBack(out);
    EXPECT_EQ(r.value("audit_errors").toArray(), QJsonArray());
    EXPECT_TRUE(r.value("layers").toArray().contains("Site"));
    EXPECT_EQ(r.value("polylines").toArray().size(), 1);

    // A table head that carries a handle keeps it to itself.
    const QByteArray headed =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n 70\n1\n"
        "  0\nLAYER\n  5\n1\n  2\n0\n 70\n0\n 62\n7\n  6\nCONTINUOUS\n  0\nENDTAB\n"
        "  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n0\n 20\n0\n 11\n1\n 21\n1\n"
        "  0\nENDSEC\n  0\nEOF\n";
    DxfDrawing h = DxfDrawing::open(headed);
    EXPECT_GT(h.add3DPolyline({0, 0, 0, 1, 1, 1}).toULongLong(nullptr, 16), 2u);
}
