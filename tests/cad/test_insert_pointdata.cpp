// SPDX-License-Identifier: GPL-3.0-or-later
// Blocks and line vertices the insertion commands put into a drawing say how
// they were placed (extended data): read back by the program's own point
// reader and by ezdxf, in a new (R12) drawing and in a 2018 drawing made by
// ezdxf; a block moved in another program reads at its new place with its data.
#include "dxf/drawingpoints.h"
#include "test_insert_fixture.h"

#include <QProcess>

namespace {

const QString kScript = QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/pointdrawings.py");

QByteArray python(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// "zone hemisphere unit | crs  name/message/icon" of a point's data.
std::string placement(const DrawingPoint& p) {
    if (!p.data)
        return "<none>";
    const PointData& d = *p.data;
    QString s = d.crs.isEmpty()
                    ? QStringLiteral("%1%2 %3").arg(d.zone).arg(d.hemisphere).arg(d.metric ? "m" : "ft")
                    : d.crs;
    return (s + QStringLiteral(" %1/%2/%3").arg(d.name, d.message, d.icon)).toStdString();
}

class PointDataTest : public InsertTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PointDataTest, InsertedBlocksAndLineVerticesCarryHowTheyWerePlaced) {
    const bool r2018 = QByteArray(GetParam()) == "R2018";
    if (r2018)
        python({QStringLiteral("-c"),
                QStringLiteral("import ezdxf, sys; ezdxf.new('R2018').saveas(sys.argv[1])"), drawing});
    load("Name", "Flag", "Landmarks", true);
    addRow({"MEMPHIS", "35.5", "-90.25", "", "Corner stake", "ap"}, true);
    addRow({"SYDNEY", "-33.9", "151.2", "", "Harbour", "flag"}, true);
    addRow({"OSLO", "59.91", "10.75", "", "Caf\u00e9 \u2116 7", ""}); // 32: the zone beside its longitude's
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    reoption("Metric", "False");
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    reoption("CRS", "EPSG:27700");
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    ASSERT_TRUE(engine.running());
    ASSERT_TRUE(engine.running()->flush());

    const DrawingPointsResult r = ReadDrawingPoints(drawing, {{}, true});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    std::vector<std::string> got;
    for (const DrawingPoint& p : r.points)
        got.push_back((p.kind == DrawingPoint::Kind::Vertex ? "V " : "B ") + placement(p));
    const std::vector<std::string> want = {
        "B 15N m MEMPHIS/Corner stake/ap",  "B 56S m SYDNEY/Harbour/flag",
        "B 32N m OSLO/Caf\u00e9 \u2116 7/", "B 15N ft MEMPHIS/Corner stake/ap",
        "B 56S ft SYDNEY/Harbour/flag",     "V 15N ft MEMPHIS/Corner stake/ap",
        "V 56S ft SYDNEY/Harbour/flag",     "B EPSG:27700 MEMPHIS/Corner stake/ap",
        "B EPSG:27700 SYDNEY/Harbour/flag",
    };
    EXPECT_EQ(got, want);
    ASSERT_EQ(r.points.size(), want.size());
    EXPECT_EQ(DrawingPointName(r.points[0]), "MEMPHIS") << "the label names the block";

    // ezdxf: the drawing audits clean and holds the same data under the registered application.
    const QJsonObject x =
        QJsonDocument::fromJson(python({kScript, QStringLiteral("xdata"), drawing})).object();
    EXPECT_EQ(x.value("audit").toArray().size(), 0)
        << QJsonDocument(x.value("audit").toArray()).toJson().toStdString();
    EXPECT_TRUE(x.value("appid").toBool());
    const QJsonObject byHandle = x.value("xdata").toObject();
    EXPECT_EQ(byHandle.size(), int(want.size()));
    const QJsonArray first = byHandle.value(r.points[0].handle).toArray();
    ASSERT_EQ(first.size(), 6);
    EXPECT_EQ(first[0].toArray()[0].toInt(), 1070);
    EXPECT_EQ(first[0].toArray()[1].toInt(), 15);
    EXPECT_EQ(first[1].toArray()[1].toString(), "N");
    EXPECT_EQ(first[2].toArray()[1].toString(), "m");
    EXPECT_EQ(first[3].toArray()[1].toString(), "MEMPHIS");

    // GDAL reads the drawing as well.
    QProcess ogr;
    ogr.start(QStringLiteral("ogrinfo"),
              {QStringLiteral("-ro"), QStringLiteral("-al"), QStringLiteral("-so"), drawing});
    ASSERT_TRUE(ogr.waitForFinished(120000));
    EXPECT_EQ(ogr.exitCode(), 0) << ogr.readAllStandardError().toStdString();

    // Moved in another program: the new place, the same data.
    engine.running()->discardChanges();
    python({kScript, QStringLiteral("move"), drawing, r.points[1].handle, "100.5", "200.25", "3"});
    const DrawingPointsResult moved = ReadDrawingPoints(drawing, {});
    ASSERT_TRUE(moved.ok()) << moved.error.toStdString();
    ASSERT_EQ(moved.points.size(), 7u);
    const DrawingPoint& p = moved.points[1];
    EXPECT_EQ(p.handle, r.points[1].handle);
    EXPECT_EQ(std::vector<double>({p.x, p.y, p.z}), std::vector<double>({100.5, 200.25, 3}));
    EXPECT_EQ(placement(p), "56S m SYDNEY/Harbour/flag");
}

INSTANTIATE_TEST_SUITE_P(Versions, PointDataTest, ::testing::Values("R12", "R2018"));

} // namespace
