// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing the insertion commands wrote reads back into rows without being
// told any zone or system: every point by the placement it carries (UTM zones
// north and south, metres and feet, British National Grid), with its row's
// texts; a block moved in another program comes back where it now stands.
#include "cad/drawingimport.h"
#include "dxf/drawingpoints.h"
#include "support/utmreference.h"
#include "test_insert_fixture.h"

#include <QProcess>

namespace {

// Metres between two positions (degrees), on a sphere of the earth's mean radius.
double metresApart(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kMetresPerDegree = 6371008.8 * M_PI / 180;
    const double dy = (lat1 - lat2) * kMetresPerDegree;
    const double dx = (lon1 - lon2) * kMetresPerDegree * std::cos(lat1 * M_PI / 180);
    return std::hypot(dx, dy);
}

TEST_F(InsertTest, InsertedPointsReadBackWithoutOptions) {
    const QStringList rows[] = {
        {"MEMPHIS", "35.5", "-90.25", "0000028M", "Corner stake", "ap"},
        {"SYDNEY", "-33.9", "151.2", "0000003M", "Harbour", "flag"},
        {"OSLO", "59.91", "10.75", "-0000002M", "Caf\u00e9 \u2116 7", ""}, // zone 32, not its longitude's 31
        {"LONDON", "51.5", "-0.12", "0000020M", "Bridge", "b"},
    };
    load("Name", "Flag", "Landmarks", true);
    for (const QStringList& row : rows)
        addRow(row, row[0] == QLatin1String("LONDON"));
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    reoption("Metric", "False");
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    reoption("CRS", "EPSG:27700");
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    ASSERT_TRUE(engine.running());
    ASSERT_TRUE(engine.running()->flush());

    const DrawingImportResult r = ReadDrawingRows(drawing, DrawingImportOptions{});
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(r.rows.size(), 9u);
    EXPECT_EQ(r.fromOwnData, 9);
    EXPECT_EQ(r.outsideZone, 0);
    EXPECT_EQ(r.outsideArea, 0);
    EXPECT_EQ(DrawingImportNotes(r), "");
    for (size_t i = 0; i < r.rows.size(); ++i) {
        const QStringList& want = rows[i < 8 ? i % 4 : 3];
        const PointRow& got = r.rows[i];
        EXPECT_EQ(QStringList({got.name, got.message, got.icon}), QStringList({want[0], want[4], want[5]}))
            << i;
        EXPECT_LE(metresApart(got.latitude.toDouble(), got.longitude.toDouble(), want[1].toDouble(),
                              want[2].toDouble()),
                  0.02)
            << i << ": " << got.latitude.toStdString() << " " << got.longitude.toStdString();
        EXPECT_EQ(got.elevation, want[3]) << i;
    }

    // Sydney's first block moved in another program to where GeographicLib
    // puts another place of zone 56 south.
    engine.running()->discardChanges();
    const auto moved = UtmExactGrid(-33.95, 151.1, 56, true);
    QProcess move;
    move.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/pointdrawings.py"), QStringLiteral("move"),
                drawing, ReadDrawingPoints(drawing, {}).points.at(1).handle,
                QString::number(moved[0], 'f', 6), QString::number(moved[1], 'f', 6), QStringLiteral("7")});
    ASSERT_TRUE(move.waitForFinished(120000));
    ASSERT_EQ(move.exitCode(), 0) << move.readAllStandardError().toStdString();
    const DrawingImportResult after = ReadDrawingRows(drawing, DrawingImportOptions{});
    ASSERT_TRUE(after.ok) << after.error.toStdString();
    ASSERT_EQ(after.rows.size(), 9u);
    const PointRow& sydney = after.rows[1];
    EXPECT_EQ(sydney.name, "SYDNEY");
    EXPECT_EQ(sydney.message, "Harbour");
    EXPECT_NEAR(sydney.latitude.toDouble(), -33.95, 1e-9);
    EXPECT_NEAR(sydney.longitude.toDouble(), 151.1, 1e-9);
    EXPECT_EQ(sydney.elevation, "0000007M");
}

} // namespace
