// SPDX-License-Identifier: GPL-3.0-or-later
// Insert a Line From Selected Points, end to end, and the row rules shared with
// point insertion (rounding, elevations, unusable positions).
#include "cad/acadstuff.h"
#include "cad/pointinsertion.h"
#include "test_insert_fixture.h"

#include <QSignalBlocker>

using namespace PointInsertion;

TEST_F(InsertTest, LineFollowsMarkedRowsInTableOrderWithTheirElevations) {
    load("Message", "Flag", "Landmarks", true);
    addRow({"A", "35.1", "-90.1", "0000010M", "", ""}, true);
    addRow({"UNMARKED", "35.9", "-90.9", "0000050M", "", ""});
    addRow({"NOLAT", "", "-90.2", "0000020M", "", ""}, true);
    addRow({"UNMARKED2", "34", "-91", "", "", ""});
    addRow({"C", "35.3", "-90.3", "0000030M", "", ""}, true);
    form->blnEditReady = true;
    {
        // The walk over the rows leaves the current cell where the user had it.
        const QSignalBlocker quiet(form->MSFlexGrid1);
        form->MSFlexGrid1->setRow(2);
        form->MSFlexGrid1->setCol(3);
    }
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    EXPECT_EQ(prompts.messages(), QStringList{"The line was Inserted."});
    EXPECT_FALSE(form->blnEditReady);
    EXPECT_EQ(form->MSFlexGrid1->Row(), 2);
    EXPECT_EQ(form->MSFlexGrid1->Col(), 3);

    QJsonObject r = drawn();
    QJsonArray lines = r.value("polylines").toArray();
    ASSERT_EQ(lines.size(), 1);
    ASSERT_EQ(lines[0].toArray().size(), 2);
    EXPECT_TRUE(placedAt(lines[0].toArray()[0], 35.1, -90.1, 10, true));
    EXPECT_TRUE(placedAt(lines[0].toArray()[1], 35.3, -90.3, 30, true));
    EXPECT_EQ(r.value("inserts").toArray().size(), 0);
}

// One marked row is told apart from none: the user did select a point.
TEST_F(InsertTest, FewerThanTwoMarkedRowsAreNotALineAndTheDrawingIsNotTouched) {
    load("Message", "Flag", "Landmarks", true);
    addRow({"A", "35.1", "-90.1", "", "", ""});
    addRow({"B", "35.2", "-90.2", "", "", ""});
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    form->MSFlexGrid1->setMarked(1, true);
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    EXPECT_EQ(prompts.messages(),
              QStringList({"No points were selected.",
                           "Only one point is selected. A line needs at least two selected points."}));
    EXPECT_EQ(engine.running(), nullptr);
    EXPECT_FALSE(QFile::exists(drawing));
}

TEST_F(InsertTest, MarkedRowsWithoutAUsablePositionAddNoVertexAndAreCounted) {
    load("Message", "Flag", "Landmarks", false);
    addRow({"A", "35.1", "-90.1", "100F", "", ""}, true);
    addRow({"POLE", "-90", "-90.1", "", "", ""}, true);
    addRow({"TEXT", "35.2", "west", "", "", ""}, true);
    addRow({"B", "35.2", "-90.2", "0000010M", "", ""}, true);
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0],
              "The line was Inserted.\r\n2 rows left out of the line (latitude or longitude is not a usable "
              "position): rows 2, 3.");
    QJsonArray lines = drawn().value("polylines").toArray();
    ASSERT_EQ(lines.size(), 1);
    ASSERT_EQ(lines[0].toArray().size(), 2);
    EXPECT_TRUE(placedAt(lines[0].toArray()[0], 35.1, -90.1, 100, false));
    EXPECT_TRUE(placedAt(lines[0].toArray()[1], 35.2, -90.2, 32.81, false));
}

// The classic command counted marked rows in 16 bits and could not draw more
// than 10,922 of them.
TEST_F(InsertTest, LineThroughMoreRowsThanASixteenBitCountHolds) {
    load("Message", "Flag", "Landmarks", true);
    FlexGrid& g = *form->MSFlexGrid1;
    const int n = 11000;
    g.beginBulkUpdate();
    g.setRows(n + 1);
    for (int row = 1; row <= n; ++row) {
        g.setTextMatrix(row, 2, NumberToText(35 + row * 1e-5));
        g.setTextMatrix(row, 3, NumberToText(-90 - row * 1e-5));
        g.setTextMatrix(row, 4, QString::number(row % 100) + "M");
        g.setMarked(row, true);
    }
    g.endBulkUpdate();
    prompts.answerMessage();
    form->cmdInsertLine_Click();
    EXPECT_EQ(prompts.messages(), QStringList{"The line was Inserted."});
    QJsonArray lines = drawn().value("polylines").toArray();
    ASSERT_EQ(lines.size(), 1);
    QJsonArray vertices = lines[0].toArray();
    ASSERT_EQ(vertices.size(), n);
    EXPECT_TRUE(placedAt(vertices[n - 1], 35 + n * 1e-5, -90 - n * 1e-5, n % 100, true));
}

TEST(PointInsertionRules, RoundingToHundredthsSendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundTo2(0.125), 0.12);
    EXPECT_EQ(RoundTo2(0.375), 0.38);
    EXPECT_EQ(RoundTo2(-0.625), -0.62);
    EXPECT_EQ(RoundTo2(747726.7435), 747726.74);
    EXPECT_EQ(RoundTo2(-1234.5651), -1234.57);
}

TEST(PointInsertionRules, ElevationTextsInMetresAndFeet) {
    struct Case {
        const char* text;
        bool metric;
        double value;
        bool read;
    } cases[] = {
        {"", true, 0, true},
        {"0000028M", true, 28, true},
        {"28m", true, 28, true},
        {"12.5", true, 12.5, true},
        {"91F", true, 91 / 3.28083, true},
        {"M", true, 0, false},
        {"28 feet", true, 0, false},
        {"0000028M", false, 28 * 3.28083, true},
        {"91f", false, 91, true},
        {"-3", false, -3, true},
        {"high", false, 0, false},
        // Feet read the number before the first unit letter, as the receiver's text may run on.
        {"28FT", false, 28, true},
        {"10m above", false, 10 * 3.28083, true},
        {"M28", false, 0, false},
    };
    for (const auto& c : cases) {
        bool read = !c.read;
        EXPECT_NEAR(Elevation(c.text, c.metric, &read), c.value, 1e-9) << c.text << " metric " << c.metric;
        EXPECT_EQ(read, c.read) << c.text << " metric " << c.metric;
    }
}
