// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/frmmain.h"
#include "calculator/modmain.h"
#include "calculator/utmcalculation.h"
#include "crs/coordinatesystem.h"
#include "platform/settings.h"
#include "platform/twips.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

namespace {

QString storedMetric() {
    return GetSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"), QStringLiteral("Metric"),
                      QStringLiteral("<none>"));
}

class ZenobarWindow : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(SettingsFilePath(QStringLiteral("Zenobar"))); // every test is a first run
        SetAppTitle(QStringLiteral("Zenobar"));
    }
    void TearDown() override { SetAppTitle(QStringLiteral("Korvel Transfer")); }

    // Types the texts and presses Calculate with the mouse.
    static void calculate(frmMain& f, const QString& lat, const QString& lon, const QString& zone) {
        f.Text[0]->setText(lat);
        f.Text[1]->setText(lon);
        f.UTM[2]->setText(zone);
        QTest::mouseClick(f.Command1, Qt::LeftButton);
    }
    static QStringList results(const frmMain& f) {
        return {f.UTM[2]->text(), f.UTM[1]->text(), f.UTM[0]->text()}; // zone, easting, northing
    }
};

} // namespace

TEST_F(ZenobarWindow, LayoutFromTwips) {
    frmMain f;
    EXPECT_EQ(f.windowTitle(), "Zenobar");
    // The designed layout, widened or heightened only where the font needs it.
    EXPECT_GE(f.width(), TwipsToPixels(3120));
    EXPECT_GE(f.height(), TwipsToPixels(2700));
    struct Case {
        QWidget* w;
        QString caption;
        int left, top, width, height;
    } cases[] = {
        {f.Label1[0], "Latitude", 53, 120, 1215, 255},  {f.Text[0], "", 1253, 120, 1815, 285},
        {f.Label1[1], "Longitude", 53, 480, 1215, 255}, {f.Text[1], "", 1253, 480, 1815, 285},
        {f.Option1[0], "Feet", 173, 840, 1215, 255},    {f.Option1[1], "Meters", 1853, 840, 1215, 255},
        {f.Command1, "Calculate", 53, 1200, 3015, 375}, {f.Label2[2], "UTM Zone", 53, 1680, 1215, 255},
        {f.UTM[2], "", 1253, 1680, 1815, 285},          {f.Label2[0], "Northing", 53, 2040, 1215, 255},
        {f.UTM[0], "", 1253, 2040, 1815, 285},          {f.Label2[1], "Easting", 53, 2400, 1215, 255},
        {f.UTM[1], "", 1253, 2400, 1815, 285},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption.toStdString() + " at " + std::to_string(c.top));
        const QRect g = c.w->geometry();
        EXPECT_GE(g.left(), TwipsToPixels(c.left));
        EXPECT_GE(g.top(), TwipsToPixels(c.top));
        EXPECT_GE(g.width(), TwipsToPixels(c.width));
        EXPECT_GE(g.height(), TwipsToPixels(c.height));
        EXPECT_TRUE(f.rect().contains(g));
        QString caption;
        if (auto* l = qobject_cast<QLabel*>(c.w))
            caption = l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(c.w))
            caption = b->text();
        else
            caption = qobject_cast<QLineEdit*>(c.w)->text();
        EXPECT_EQ(caption, c.caption);
    }
    EXPECT_TRUE(f.Option1[0]->isChecked()) << "Feet is selected at design";
    EXPECT_FALSE(f.Option1[1]->isChecked());

    // Tab order: latitude, longitude, northing, easting, the two units, Calculate, zone.
    QList<QWidget*> expected = {f.Text[1],    f.UTM[0],   f.UTM[1], f.Option1[0],
                                f.Option1[1], f.Command1, f.UTM[2]};
    QWidget* w = f.Text[0];
    for (QWidget* next : expected) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w, next);
    }
}

TEST_F(ZenobarWindow, UnitChoiceSurvivesARestart) {
    {
        auto f = ZenobarStartUp();
        EXPECT_TRUE(f->isVisible());
        EXPECT_TRUE(f->Option1[1]->isChecked()) << "first run selects Meters";
        QTest::mouseClick(f->Option1[0], Qt::LeftButton);
        EXPECT_TRUE(f->Option1[0]->isChecked());
        EXPECT_TRUE(f->close());
    }
    EXPECT_EQ(storedMetric(), "False");
    {
        auto f = ZenobarStartUp();
        EXPECT_TRUE(f->Option1[0]->isChecked()) << "next run starts with Feet";
        EXPECT_FALSE(f->Option1[1]->isChecked());
        f->Option1[1]->setChecked(true);
        f->close();
    }
    EXPECT_EQ(storedMetric(), "True");
}

TEST_F(ZenobarWindow, UnreadableStoredUnitMeansMeters) {
    for (const char* stored : {"", "yes", "1"}) {
        SaveSetting("Zenobar", "Options", "Metric", stored);
        auto f = ZenobarStartUp();
        EXPECT_TRUE(f->Option1[1]->isChecked()) << stored;
    }
}

TEST_F(ZenobarWindow, CalculateDecimalAndAngleTextAndZones) {
    ScriptedPrompts prompts; // no message expected anywhere here
    frmMain f;
    f.Option1[1]->setChecked(true);
    const QStringList reference = {"15", "747726.7435", "3907096.1763"};

    calculate(f, "35.2763888888889", "-90.2763888888889", "");
    EXPECT_EQ(results(f), reference) << "plain decimal degrees";

    calculate(f, "35N16'35\"", "90w16'35\"", "");
    EXPECT_EQ(results(f), reference) << "angle text";

    calculate(f, "35.2763888888889", "-90.2763888888889", "abc");
    EXPECT_EQ(results(f), reference) << "a zone box with letters is emptied and shows the chosen zone";

    calculate(f, "35.2763888888889", "-90.2763888888889", "14");
    EXPECT_EQ(results(f), (QStringList{"14", "1294381.6404", "3938779.2232"}));
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    EXPECT_EQ(f.UTM[2]->text(), "14") << "the zone box keeps forcing its zone";

    calculate(f, "35.2763888888889", "-90.2763888888889", "14.5");
    EXPECT_EQ(f.UTM[2]->text(), "14") << "halves round to even";

    calculate(f, "60", "5", "33");
    EXPECT_EQ(f.UTM[2]->text(), "32") << "the special area moves a forced zone";

    calculate(f, "0S30'", "0E30'", "");
    EXPECT_EQ(f.UTM[2]->text(), "31");
    EXPECT_GT(f.UTM[0]->text().toDouble(), 9900000) << "0S30' is south of the equator";
    EXPECT_LT(f.UTM[1]->text().toDouble(), 500000) << "0E30' is west of the central meridian 3E";

    f.Option1[0]->setChecked(true);
    calculate(f, "35.2763888888889", "-90.2763888888889", "");
    EXPECT_EQ(f.UTM[2]->text(), "15");
    // Feet with the 4 decimals of the metres (they used to show 15 digits).
    EXPECT_EQ(f.UTM[1]->text(), "2453164.3319") << "747726.7435 m in feet";
    EXPECT_EQ(f.UTM[0]->text(), "12818518.3481") << "3907096.1763 m in feet";
    EXPECT_TRUE(prompts.prompts().isEmpty());
}

// The zone box keeps the zone used and forces it on the next point: a user who
// never typed a zone is told so beside the results, with a warning when the
// point lies outside the kept zone's band (the result used to come silently).
TEST_F(ZenobarWindow, EnterCalculatesAndTheZoneUsedIsSaid) {
    ScriptedPrompts prompts;
    frmMain f;
    f.Option1[1]->setChecked(true);
    f.Text[0]->setText("35.2763888888889");
    f.Text[1]->setText("-90.2763888888889");
    QTest::keyClick(f.Text[1], Qt::Key_Return);
    EXPECT_EQ(results(f), (QStringList{"15", "747726.7435", "3907096.1763"}));
    EXPECT_EQ(f.lblZoneNote->text(), "Zone 15, the zone of the point's longitude.");

    f.Text[1]->setText("-84.5"); // zone 16; the box still holds 15
    QTest::keyClick(f.Text[0], Qt::Key_Enter);
    EXPECT_EQ(f.UTM[2]->text(), "15");
    EXPECT_EQ(
        f.lblZoneNote->text(),
        QString::fromUtf8("Zone 15 from the UTM Zone box: this point lies in zone 16, 5.5\u00B0 outside "
                          "zone 15. Empty the box to use zone 16."));
    EXPECT_FALSE(f.lblZoneNote->styleSheet().isEmpty()) << "shown as a warning";

    f.UTM[2]->clear();
    QTest::keyClick(f.UTM[2], Qt::Key_Return);
    EXPECT_EQ(f.UTM[2]->text(), "16");
    EXPECT_TRUE(f.lblZoneNote->styleSheet().isEmpty());

    struct Case {
        const char *lat, *lon, *zone, *note;
    } cases[] = {
        {"35", "-90", "15", "Zone 15 from the UTM Zone box."},
        {"35", "-96", "15", "Zone 15 from the UTM Zone box."}, // on the band's west edge
        {"35", "179.5", "1", "Zone 1 from the UTM Zone box: this point lies in zone 60, 0.5\u00B0 outside"},
        {"60", "5", "31", "Zone 32: the special zones of Norway and Svalbard apply here, not zone 31."},
        {"35", "-90", "99", "Zone 99 from the UTM Zone box is not a UTM zone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lon);
        calculate(f, c.lat, c.lon, c.zone);
        EXPECT_TRUE(f.lblZoneNote->text().startsWith(QString::fromUtf8(c.note)))
            << f.lblZoneNote->text().toStdString();
    }
    EXPECT_TRUE(prompts.prompts().isEmpty());
}

TEST_F(ZenobarWindow, FailuresAreToldAndLeaveTheResults) {
    struct Case {
        const char *lat, *lon, *zone, *message;
    } cases[] = {
        {"95", "10", "", "The latitude must lie between -90 and 90 degrees."},
        {"-90.5", "10", "", "The latitude must lie between -90 and 90 degrees."},
        {"91N", "10", "", "The latitude must lie between -90 and 90 degrees."},
        {"abN16'", "10", "zz",
         "The latitude \"abN16'\" cannot be read: \"a\" does not belong in a coordinate. Type decimal "
         "degrees, such as 35.2764, or degrees, minutes and seconds, such as 35N16'35\", 35\u00B016'35\"N, "
         "N35\u00B016.583', 35 16 35 N or 35:16:35."},
        {"95", "10", "zz", "The latitude must lie between -90 and 90 degrees."}, // the zone box was emptied
        {"35", "180.000001", "zz", "The longitude must lie between -180 and 180 degrees."},
        {"35,5", "10", "", nullptr},
        {"", "10", "", nullptr},
        {"35", "9E1x'", "", nullptr}, // message checked by its start below
        {"35", "1e7", "", "The longitude must lie between -180 and 180 degrees."},
        {"35", "-90", "40000", "The UTM zone must be a whole number from -32768 to 32767."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lat) + " " + c.lon);
        ScriptedPrompts prompts;
        prompts.answerMessage(vbOK);
        frmMain f;
        f.UTM[0]->setText("north");
        f.UTM[1]->setText("east");
        calculate(f, c.lat, c.lon, c.zone);
        ASSERT_EQ(prompts.prompts().size(), 1);
        const PromptRecord& p = prompts.prompts()[0];
        if (c.message)
            EXPECT_EQ(p.text, c.message);
        else
            EXPECT_TRUE(p.text.startsWith("The l") && p.text.contains(" cannot be read"))
                << p.text.toStdString();
        EXPECT_EQ(p.title, "Zenobar");
        EXPECT_EQ(f.UTM[0]->text(), "north");
        EXPECT_EQ(f.UTM[1]->text(), "east");
        EXPECT_EQ(f.UTM[2]->text(), c.zone) << "the zone box is untouched";
    }
}

TEST_F(ZenobarWindow, TheWidestValueFitsItsBoxAtAnyFontSize) {
    const QFont original = QApplication::font();
    for (const double factor : {1.0, 2.0}) {
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * factor);
        QApplication::setFont(font);
        frmMain f;
        f.UTM[0]->setText(QStringLiteral("12818518.3480903"));
        f.UTM[1]->setText(QStringLiteral("-12818518.3480903"));
        for (QLineEdit* box : {f.UTM[0], f.UTM[1]}) {
            const int text = QFontMetrics(box->font()).horizontalAdvance(box->text());
            // The line edit's text area: its frame and two-pixel margins off each side.
            EXPECT_GE(box->width() - 2 * 2 - 2 * f.style()->pixelMetric(QStyle::PM_DefaultFrameWidth), text)
                << "factor " << factor;
            EXPECT_GE(box->height(), QFontMetrics(box->font()).height()) << "factor " << factor;
        }
        for (QLabel* caption : {f.Label2[0], f.Label2[1], f.Label2[2], f.Label1[0], f.Label1[1]})
            EXPECT_GE(caption->width(), QFontMetrics(caption->font()).horizontalAdvance(caption->text()));
    }
    QApplication::setFont(original);
}

// A coordinate system in its box: results in its own unit with its name in
// the zone box, Feet and Meters out of play, a warning for a point outside
// its area, a refused code told without touching the results; empty again
// gives UTM. The box is kept between runs.
TEST_F(ZenobarWindow, CoordinateSystemInsteadOfUtm) {
    ScriptedPrompts prompts;
    std::unique_ptr<frmMain> f = ZenobarStartUp();
    EXPECT_TRUE(f->txtCoordinateSystem->text().isEmpty()) << "UTM on a first run";
    f->txtCoordinateSystem->setText("EPSG:2274");
    EXPECT_FALSE(f->Option1[0]->isEnabled());
    EXPECT_FALSE(f->Option1[1]->isEnabled());
    calculate(*f, "36.16", "-86.78", "15");
    const ProjectedPoint nashville = CoordinateSystem("EPSG:2274").forward(36.16, -86.78);
    EXPECT_EQ(results(*f),
              (QStringList{"NAD83 / Tennessee (ftUS)", QString::fromStdString(ResultText(nashville.easting)),
                           QString::fromStdString(ResultText(nashville.northing))}));
    EXPECT_NEAR(f->UTM[1]->text().toDouble(), 1738244.1972, 0.001) << "cs2cs, in US survey feet";
    EXPECT_TRUE(f->lblZoneNote->text().contains(
        QStringLiteral("unit: US survey foot; datum shift good to 4\u00A0m.")))
        << f->lblZoneNote->text().toStdString();
    EXPECT_TRUE(f->lblZoneNote->styleSheet().isEmpty());

    calculate(*f, "51.5", "-0.12", "");
    EXPECT_TRUE(f->lblZoneNote->text().contains("outside the area")) << f->lblZoneNote->text().toStdString();
    EXPECT_FALSE(f->lblZoneNote->styleSheet().isEmpty());
    EXPECT_TRUE(prompts.prompts().isEmpty());

    const QStringList before = results(*f);
    prompts.answerMessage(vbOK);
    f->txtCoordinateSystem->setText("EPSG:4326");
    QTest::mouseClick(f->Command1, Qt::LeftButton);
    ASSERT_EQ(prompts.prompts().size(), 1);
    EXPECT_TRUE(prompts.prompts()[0].text.startsWith("The coordinate system \"EPSG:4326\" cannot be used"))
        << prompts.prompts()[0].text.toStdString();
    EXPECT_EQ(results(*f), before);

    f->txtCoordinateSystem->setText("27700");
    f->close();
    f = ZenobarStartUp();
    EXPECT_EQ(f->txtCoordinateSystem->text(), "27700");
    f->txtCoordinateSystem->clear();
    EXPECT_TRUE(f->Option1[1]->isEnabled());
    f->Option1[1]->setChecked(true);
    calculate(*f, "35.2763888888889", "-90.2763888888889", "NAD83 / Tennessee (ftUS)");
    EXPECT_EQ(results(*f), (QStringList{"15", "747726.7435", "3907096.1763"})) << "UTM again";
    f->close();
}

// UTM -> Lat/Long: the zone, hemisphere, northing and easting are read (in the
// unit chosen, or a coordinate system's), latitude and longitude come out in
// decimal degrees and, in the note, as degrees, minutes and seconds. Expected
// figures from GeoConvert -g (GeographicLib) and cs2cs EPSG:27700 EPSG:4326.
TEST_F(ZenobarWindow, UtmBackToLatLong) {
    ScriptedPrompts prompts;
    std::unique_ptr<frmMain> f = ZenobarStartUp();
    EXPECT_TRUE(f->optDirection[0]->isChecked()) << "Lat/Long -> UTM on a first run";
    EXPECT_FALSE(f->cboHemisphere->isVisible());
    QTest::mouseClick(f->optDirection[1], Qt::LeftButton);
    ASSERT_TRUE(f->inverse());
    EXPECT_TRUE(f->cboHemisphere->isVisible());
    EXPECT_TRUE(f->Text[0]->isReadOnly());
    EXPECT_FALSE(f->UTM[2]->geometry().intersects(f->cboHemisphere->geometry()));

    const auto back = [&](const QString& zone, const QString& hemisphere, const QString& northing,
                          const QString& easting) {
        f->UTM[2]->setText(zone);
        f->cboHemisphere->setCurrentText(hemisphere);
        f->UTM[0]->setText(northing);
        f->UTM[1]->setText(easting);
        QTest::keyClick(f->UTM[1], Qt::Key_Return);
        return QStringList{f->Text[0]->text(), f->Text[1]->text()};
    };
    f->Option1[1]->setChecked(true);
    EXPECT_EQ(back("15", "N", "3907096.1763", "747726.7435"),
              (QStringList{"35.2763888954", "-90.2763888885"}));
    EXPECT_TRUE(
        f->lblZoneNote->text().startsWith(QStringLiteral("35\u00B016'35.00002\"N\n90\u00B016'35.00000\"W\n")))
        << f->lblZoneNote->text().toStdString();
    EXPECT_TRUE(f->lblZoneNote->styleSheet().isEmpty());
    EXPECT_EQ(back("56", "S", "6250948.3454", "334368.6336"),
              (QStringList{"-33.8687999999", "151.2092999995"}));
    f->Option1[0]->setChecked(true); // the same point in the program's feet
    EXPECT_EQ(back("15", "N", "12818518.348090328", "2453164.331877105"),
              (QStringList{"35.2763888954", "-90.2763888885"}));
    // A zone that is not the point's own: converted, with a warning.
    f->Option1[1]->setChecked(true);
    back("14", "N", "3938779.2232", "1294381.6404");
    EXPECT_EQ(f->Text[1]->text(), "-90.2763879773") << "cs2cs +proj=etmerc +lon_0=-99 +k=0.9996 ...";
    EXPECT_TRUE(f->lblZoneNote->text().contains(QStringLiteral("5.7\u00B0 outside zone 14")))
        << f->lblZoneNote->text().toStdString();
    EXPECT_FALSE(f->lblZoneNote->styleSheet().isEmpty());
    EXPECT_TRUE(prompts.prompts().isEmpty());

    // Bad input: told, and nothing changes.
    const QStringList before{f->Text[0]->text(), f->Text[1]->text()};
    for (auto [zone, northing, easting, message] :
         {std::tuple{"61", "0", "500000", "The UTM zone must be a whole number from 1 to 60, not \"61\"."},
          {"15", "0", "east",
           "The easting must be a number of metres or feet, such as 747726.7435, not \"east\"."},
          {"15", "", "500000",
           "The northing must be a number of metres or feet, such as 3907096.1763, not \"\"."}}) {
        prompts.answerMessage(vbOK);
        EXPECT_EQ(back(zone, "N", northing, easting), before) << message;
        ASSERT_FALSE(prompts.prompts().isEmpty());
        EXPECT_EQ(prompts.prompts().back().text, message);
    }

    // A coordinate system: its unit, its name in the zone box, no hemisphere.
    f->txtCoordinateSystem->setText("27700");
    EXPECT_FALSE(f->cboHemisphere->isEnabled());
    EXPECT_EQ(back("", "N", "180000", "530000"), (QStringList{"51.5039908276", "-0.1283539405"}));
    EXPECT_EQ(f->UTM[2]->text(), "OSGB36 / British National Grid");

    // The direction is kept with the unit.
    f->txtCoordinateSystem->clear();
    f->close();
    EXPECT_EQ(GetSetting("Zenobar", "Options", "Direction", ""), "UTMToLatLong");
    f = ZenobarStartUp();
    EXPECT_TRUE(f->inverse());
    EXPECT_TRUE(f->Option1[1]->isChecked());
    QTest::mouseClick(f->optDirection[0], Qt::LeftButton);
    EXPECT_FALSE(f->cboHemisphere->isVisible());
    EXPECT_FALSE(f->Text[0]->isReadOnly());
    f->close();
    EXPECT_EQ(GetSetting("Zenobar", "Options", "Direction", ""), "LatLongToUTM");
}
