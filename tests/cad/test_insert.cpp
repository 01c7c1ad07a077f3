// SPDX-License-Identifier: GPL-3.0-or-later
// Insert All and Insert Selected through the main window, end to end into a
// drawing of the built-in engine read back by ezdxf.
#include "cad/acadstuff.h"
#include "cad/pointinsertion.h"
#include "test_insert_fixture.h"

namespace {

constexpr double Lat = 35.2763888888889;
constexpr double Lon = -90.2763888888889;
const QString kAllInserted = QStringLiteral("All way points in the list were Inserted.");
const QString kNoneSelected = QStringLiteral("No points were selected.");

QJsonArray inserts(const QJsonObject& drawing) {
    return drawing.value("inserts").toArray();
}

} // namespace

TEST_F(InsertTest, InsertAllPlacesEachRowAtItsRoundedUtmOnANewLayer) {
    load("Message", "Flag", "Survey Points", true);
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "0000028M", "CAMP 4", "a"});
    addRow({"NOLAT", "", NumberToText(Lon), "0000010M", "skip me", "a"});
    addRow({"NOLON", NumberToText(Lat), "", "0000010M", "skip me too", "a"});
    addRow({"WP2", "-33.5", "151.25", "", "Harbour", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    EXPECT_EQ(prompts.messages(), QStringList{kAllInserted});

    QJsonObject r = drawn();
    EXPECT_TRUE(r.value("layers").toArray().contains("Survey Points"));
    QJsonArray got = inserts(r);
    ASSERT_EQ(got.size(), 2);
    // The conversion's own reference point: 747726.7435 E, 3907096.1763 N.
    EXPECT_EQ(got[0].toObject().value("point").toArray(), (QJsonArray{747726.74, 3907096.18, 28.0}));
    EXPECT_TRUE(placedAt(got[1].toObject().value("point"), -33.5, 151.25, 0, true));
    for (const auto& v : got) {
        EXPECT_EQ(v.toObject().value("block").toString(), "Flag");
        EXPECT_EQ(v.toObject().value("layer").toString(), "Survey Points");
    }
    EXPECT_EQ(label(got[0].toObject()), "CAMP 4");
    EXPECT_EQ(label(got[1].toObject()), "Harbour");
}

TEST_F(InsertTest, FeetScalePositionsAndElevations) {
    load("Name", "Flag", "Landmarks", false);
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "0000028M", "", ""});
    addRow({"WP2", NumberToText(Lat), NumberToText(Lon), "120F", "", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 2);
    // 2453164.33188 ft E, 12818518.3481 ft N; 28 m = 91.86324 ft.
    EXPECT_EQ(got[0].toObject().value("point").toArray(), (QJsonArray{2453164.33, 12818518.35, 91.86}));
    EXPECT_EQ(got[1].toObject().value("point").toArray()[2].toDouble(), 120.0);
    EXPECT_EQ(label(got[0].toObject()), "WP1");
}

// The zone chosen in Options reaches the conversion with the other options,
// whatever the process-wide copy for the four-argument LatLongToUTM says.
TEST_F(InsertTest, AZoneChosenInOptionsPlacesEveryPointInThatZone) {
    SaveSetting(kApp, "Options", "Zone", "15");
    load("Name", "Flag", "Landmarks", true);
    CurrentUtmOptions() = UtmOptions{};
    addRow({"EAST", "35", "-89.8", "", "", ""}); // zone 16 by its longitude, 0.2 degrees from 15
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    const QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(placedAt(got[0].toObject().value("point"), 35, -89.8, 0, true, 15));
}

TEST_F(InsertTest, LabelFollowsTheAttributeChoiceAndAnUnknownOneActsAsMessage) {
    load("Message", "Flag", "Landmarks", true);
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "", "Trail head", ""});
    const QStringList choices{"Message", "Name", "Message && Name", "Name && Message", "Comment"};
    for (const QString& choice : choices) {
        reoption("Attribute", choice);
        prompts.answerMessage();
        form->cmdInsertAll_Click();
    }
    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 5);
    const QStringList want{"Trail head", "WP1", "Trail head: WP1", "WP1: Trail head", "Trail head"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(label(got[i].toObject()), want[i]) << choices[i].toStdString();
}

TEST_F(InsertTest, ByIconUsesTheModelFolderAndFallsBackToTheFlag) {
    load("Name", "By Icon", "Icons", true);
    ACADStuff acad(nullptr, [] { return short(0); });
    InsertionContext c;
    c.acad = &acad;
    c.options = {"Name", "By Icon", "Icons", true};
    c.deviceModel = "SporTrak";
    addRow({"A", NumberToText(Lat), NumberToText(Lon), "", "", "a"});
    addRow({"MISSING", NumberToText(Lat), NumberToText(Lon), "", "", "z"});
    addRow({"EMPTY", NumberToText(Lat), NumberToText(Lon), "", "", ""});
    InsertionReport report = PointInsertion::InsertPoints(form->MSFlexGrid1->rows(), c, false);
    EXPECT_EQ(report.inserted, 3);
    // Through the window: no receiver connected yet, so no model folder.
    prompts.answerMessage();
    form->cmdInsertAll_Click();

    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 6);
    const QStringList want{"a", "Flag", "Flag", "Flag", "Flag", "Flag"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[i].toObject().value("block").toString(), want[i]) << i;
        EXPECT_EQ(got[i].toObject().value("layer").toString(), "Icons");
    }
    EXPECT_EQ(label(got[0].toObject()), "A");
}

// A two-letter icon takes its own block file when there is one, else that of
// its first letter; an icon never reaches a file outside the model's folder.
TEST_F(InsertTest, ByIconLooksForTheWholeIconThenItsFirstLetter) {
    load("Name", "By Icon", "Icons", true);
    QFile::copy(folder.insertsDir() + "SporTrak/b.dxf", folder.insertsDir() + "SporTrak/ap.dxf");
    QFile::copy(folder.insertsDir() + "SporTrak/b.dxf", folder.insertsDir() + "outside.dxf");
    ACADStuff acad(nullptr, [] { return short(0); });
    InsertionContext c;
    c.acad = &acad;
    c.options = {"Name", "By Icon", "Icons", true};
    c.deviceModel = "SporTrak";
    const QStringList icons{"ap", "aa", "zz", "../outside"};
    for (const QString& icon : icons)
        addRow({icon, NumberToText(Lat), NumberToText(Lon), "", "", icon});
    EXPECT_EQ(PointInsertion::InsertPoints(form->MSFlexGrid1->rows(), c, false).inserted, 4);

    const QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 4);
    const QStringList want{"ap", "a", "Flag", "Flag"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(got[i].toObject().value("block").toString(), want[i]) << icons[i].toStdString();
}

TEST_F(InsertTest, ByMessageCutsTheRuleWordOnlyFromAMessageLabel) {
    load("Message", "By Message", "Landmarks", true,
         {{"CAMP", folder.insertsDir() + "SporTrak/b.dxf", "Left"}});
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "", "CAMP 4", ""});
    addRow({"WP2", NumberToText(Lat), NumberToText(Lon), "", "Spring", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    reoption("Attribute", "Name && Message");
    prompts.answerMessage();
    form->cmdInsertAll_Click();

    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(got[0].toObject().value("block").toString(), "b");
    EXPECT_EQ(label(got[0].toObject()), " 4"); // the blank after the word stays
    EXPECT_EQ(got[1].toObject().value("block").toString(), "Flag");
    EXPECT_EQ(label(got[1].toObject()), "Spring");
    EXPECT_EQ(got[2].toObject().value("block").toString(), "b");
    EXPECT_EQ(label(got[2].toObject()), "WP1: CAMP 4");
    // The grid itself is never changed by the cut.
    EXPECT_EQ(form->MSFlexGrid1->TextMatrix(1, 5), "CAMP 4");
}

TEST_F(InsertTest, InsertSelectedTakesMarkedRowsOnly) {
    load("Name", "Flag", "Landmarks", true);
    addRow({"ONE", NumberToText(Lat), NumberToText(Lon), "", "", ""});
    addRow({"TWO", "", "", "", "", ""});
    addRow({"THREE", "36", "-90", "5M", "", ""});

    // Nothing marked.
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    EXPECT_EQ(prompts.messages().last(), kNoneSelected);

    // Marked, but without coordinates: nothing to draw, yet no failure either.
    form->MSFlexGrid1->setMarked(2, true);
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    EXPECT_EQ(prompts.messages().last(), kAllInserted);

    form->MSFlexGrid1->setMarked(3, true);
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    EXPECT_EQ(prompts.messages().last(), kAllInserted);
    // The walk over the marks leaves the current cell where it was.
    EXPECT_EQ(form->MSFlexGrid1->Row(), 0);
    EXPECT_EQ(form->MSFlexGrid1->Col(), 0);

    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(label(got[0].toObject()), "THREE");
    EXPECT_TRUE(placedAt(got[0].toObject().value("point"), 36, -90, 5, true));
}

TEST_F(InsertTest, AnUnreachableDrawingIsReportedAndNoRowIsProcessed) {
    QFile f(drawing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a drawing\n");
    f.close();
    load("Message", "Flag", "Landmarks", true);
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "", "x", ""}, true);
    addRow({"WP2", "36", "-90", "", "y", ""}, true);
    for (auto command :
         {&Form1::cmdInsertAll_Click, &Form1::cmdInsertSelected_Click, &Form1::cmdInsertLine_Click}) {
        prompts.clear();
        prompts.answerMessage();
        (form.get()->*command)();
        ASSERT_EQ(prompts.messages().size(), 1); // the description, no closing message
        EXPECT_NE(prompts.messages()[0], kAllInserted);
        EXPECT_NE(prompts.messages()[0], "The line was Inserted.");
        if (command != &Form1::cmdInsertLine_Click) {
            EXPECT_EQ(form->MSFlexGrid1->Row(), 0); // the rows were not walked
        }
    }
    EXPECT_EQ(engine.running(), nullptr);
    QFile back(drawing);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), "this is not a drawing\n");
}

// Rows the classic command would have crashed on or drawn at nonsense
// positions are left out and counted; feet elevations are read in metres.
TEST_F(InsertTest, UnusableRowsAreLeftOutAndCountedInTheClosingMessage) {
    load("Name", "Flag", "Landmarks", true);
    addRow({"GOOD", NumberToText(Lat), NumberToText(Lon), "91F", "", ""});
    addRow({"WORDS", "north", NumberToText(Lon), "", "", ""});
    addRow({"POLE", "90", NumberToText(Lon), "", "", ""});
    addRow({"BEYOND", "-95.5", NumberToText(Lon), "", "", ""});
    addRow({"ODDELEV", "36", "-90", "about 20", "", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    const QString text = prompts.messages()[0];
    EXPECT_FALSE(text.contains(kAllInserted)) << text.toStdString();
    EXPECT_TRUE(text.startsWith("2 way points were Inserted.")) << text.toStdString();
    EXPECT_TRUE(
        text.contains("\r\n3 rows not inserted (latitude or longitude is not a usable position): rows 2, "
                      "3, 4.\r\n"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("\r\n1 row given elevation 0 (elevation could not be read): row 5."))
        << text.toStdString();

    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(label(got[0].toObject()), "GOOD");
    EXPECT_EQ(got[0].toObject().value("point").toArray()[2].toDouble(), 27.74); // 91 ft in metres
    EXPECT_EQ(label(got[1].toObject()), "ODDELEV");
    EXPECT_EQ(got[1].toObject().value("point").toArray()[2].toDouble(), 0.0);
}

TEST_F(InsertTest, ABlockTheDrawingRefusesIsNotReportedAsInserted) {
    const QString broken = folder.insertsDir() + "broken.dxf";
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0\nGARBAGE\n");
    f.close();
    load("Message", "By Message", "Landmarks", true, {{"BAD", broken, "Left"}});
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "", "BAD one", ""});
    addRow({"WP2", NumberToText(Lat), NumberToText(Lon), "", "fine", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    // The message also says why the drawing refused the block.
    EXPECT_EQ(prompts.messages()[0].toStdString(),
              ("1 way point was Inserted.\r\n1 row not inserted (the drawing refused the block): row 1.\r\n"
               "The block drawing \"" +
               broken +
               "\" cannot be used. The file is not a DXF drawing (it does not begin with a section).")
                  .toStdString());
    QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(label(got[0].toObject()), "fine");
}

// A layer name no drawing can hold would leave unlabelled blocks on layer 0.
TEST_F(InsertTest, ALayerNameNoDrawingAllowsInsertsNothingAndSaysWhy) {
    load("Name", "Flag", "Survey/2024", true);
    addRow({"WP1", NumberToText(Lat), NumberToText(Lon), "", "", ""}, true);
    for (auto command : {&Form1::cmdInsertAll_Click, &Form1::cmdInsertSelected_Click}) {
        prompts.clear();
        prompts.answerMessage();
        (form.get()->*command)();
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_TRUE(prompts.messages()[0].contains("\"Survey/2024\"")) << prompts.messages()[0].toStdString();
        EXPECT_TRUE(prompts.messages()[0].endsWith("No way points were inserted."));
    }
    EXPECT_EQ(inserts(drawn()).size(), 0);
}

// A coordinate system stored in Options replaces the UTM zone and units; one
// that cannot be used stops the command before the drawing is touched.
TEST_F(InsertTest, AStoredCoordinateSystemPlacesThePointsInItsGrid) {
    SaveSetting(kApp, "Options", "CRS", "EPSG:27700");
    load("Name", "Flag", "Landmarks", false);
    addRow({"EYE", "51.5033", "-0.1196", "10M", "", ""}); // the London Eye
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    EXPECT_EQ(prompts.messages().last(), kAllInserted);
    const QJsonArray got = inserts(drawn());
    ASSERT_EQ(got.size(), 1);
    const QJsonArray at = got[0].toObject().value("point").toArray();
    // "cs2cs -f %.3f EPSG:4326 EPSG:27700" gives 530609.501 179938.749, in
    // metres: the feet option no longer applies.
    EXPECT_NEAR(at[0].toDouble(), 530609.50, 0.006);
    EXPECT_NEAR(at[1].toDouble(), 179938.75, 0.006);
    EXPECT_DOUBLE_EQ(at[2].toDouble(), 10);

    reoption("CRS", "EPSG:4326");
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    EXPECT_TRUE(prompts.messages().last().startsWith("The coordinate system \"EPSG:4326\" cannot be used"))
        << prompts.messages().last().toStdString();
    EXPECT_TRUE(prompts.messages().last().endsWith("No way points were inserted."));
    EXPECT_EQ(inserts(drawn()).size(), 1);
}
