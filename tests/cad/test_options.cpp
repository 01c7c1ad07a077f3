// SPDX-License-Identifier: GPL-3.0-or-later
// The insertion options dialog: settings in and out, the zone box, the block
// choice against the rules table, and the values handed to the UTM conversion.
#include "cad/frmoptions.h"
#include "conversion/gpsconversion.h"
#include "conversion/utmoptions.h"
#include "platform/settings.h"
#include "rules/frmrules.h"
#include "support/scriptedprompts.h"
#include "support/test_rules_fixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {
const QString kApp = QStringLiteral("Korvel Transfer");

QString stored(const QString& key) {
    return GetSetting(kApp, QStringLiteral("Options"), key, QStringLiteral("<none>"));
}
void store(const QString& key, const QString& value) {
    SaveSetting(kApp, QStringLiteral("Options"), key, value);
}

// Loads a window once, as the start-up module does.
bool loadOnce(QWidget* w) {
    if (!w->property("loaded").toBool()) {
        QMetaObject::invokeMethod(w, "Form_Load", Qt::DirectConnection);
        w->setProperty("loaded", true);
    }
    return true;
}

template <std::size_t N> int checked(const std::array<QRadioButton*, N>& options) {
    for (std::size_t i = 0; i < N; ++i)
        if (options[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}

class Options : public ::testing::Test {
protected:
    ProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    frmRules* rules = nullptr;
    frmOptions* form = nullptr;

    Options() {
        QFile::remove(SettingsFilePath(kApp));
        QSettings(SettingsFilePath(kApp), QSettings::IniFormat).clear();
        CurrentUtmOptions() = UtmOptions{};
    }
    void open(const QVector<RuleRow>& rules_ = {}) {
        writeRulesFile(folder.rulesFile(), rules_);
        rules = new frmRules(owner.get());
        form = new frmOptions(owner.get(), rules, loadOnce);
        loadOnce(form);
    }
};
} // namespace

TEST_F(Options, FirstRunShowsTheDefaults) {
    open();
    EXPECT_EQ(form->strAttribute, "Message");
    EXPECT_EQ(form->strBlock, "Flag");
    EXPECT_EQ(form->strLayer, "Landmarks");
    EXPECT_FALSE(form->blnMetric);
    EXPECT_EQ(form->intZone, 0);
    EXPECT_EQ(checked(form->Option1), 0);
    EXPECT_EQ(checked(form->Option2), 0);
    EXPECT_EQ(checked(form->Option3), 1);
    EXPECT_EQ(checked(form->Option4), 1); // feet
    EXPECT_EQ(checked(form->Option5), 0); // by point
    EXPECT_EQ(form->Text1->text(), "Temp");
    EXPECT_EQ(form->Text2->text(), "");
    EXPECT_EQ(stored("Block"), "<none>"); // reading stores nothing
}

TEST_F(Options, StoredChoicesReappear) {
    store("Attribute", "Name && Message");
    store("Block", "By Icon");
    store("Layer", "Survey Points");
    store("Metric", "True");
    store("Zone", "16");
    open();
    EXPECT_EQ(checked(form->Option1), 3);
    EXPECT_EQ(form->Option1[3]->text(), "Name && Message");
    EXPECT_EQ(checked(form->Option2), 1);
    EXPECT_EQ(checked(form->Option3), 3);
    EXPECT_EQ(form->Text1->text(), "Survey Points");
    EXPECT_EQ(checked(form->Option4), 0);
    EXPECT_EQ(checked(form->Option5), 1);
    EXPECT_EQ(form->Text2->text(), "16");
    EXPECT_EQ(CurrentUtmOptions().intZone, 16);
    EXPECT_TRUE(CurrentUtmOptions().blnMetric);
}

TEST_F(Options, ByMessageNeedsRules) {
    store("Block", "By Message");
    open();
    EXPECT_EQ(form->strBlock, "Flag");
    EXPECT_EQ(checked(form->Option2), 0);
    EXPECT_EQ(stored("Block"), "By Message"); // unchanged until applied

    form->Option2[1]->setChecked(true);
    form->strBlock = "By Icon";
    form->Option2[2]->setChecked(true);
    prompts.answerMessage();
    form->Option2_Click(2);
    EXPECT_EQ(prompts.messages(),
              QStringList{"You must create rules for inserting\r\nblocks before this option is availible."});
    EXPECT_EQ(checked(form->Option2), 1);
}

TEST_F(Options, ByMessageWithRulesIsKept) {
    store("Block", "By Message");
    open({{"CAMP ", "camp.dxf", "Left"}});
    EXPECT_EQ(form->strBlock, "By Message");
    EXPECT_EQ(checked(form->Option2), 2);
    form->Option2_Click(2); // no message
}

TEST_F(Options, ZoneBoxTakesDigitsOnlyAndEnterMovesOn) {
    open();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->Text2->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), form->Text2);
    QTest::keyClicks(form->Text2, "a1x2-");
    EXPECT_EQ(form->Text2->text(), "12");
    EXPECT_EQ(checked(form->Option5), 1);
    QTest::keyClick(form->Text2, Qt::Key_Backspace);
    EXPECT_EQ(form->Text2->text(), "1");
    QTest::keyClick(form->Text2, Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), form->Text2);
    EXPECT_EQ(form->Text2->text(), "1");
    EXPECT_EQ(checked(form->Option5), 1);
}

TEST_F(Options, ZoneBoxLosingFocusKeepsOnlyNumbers) {
    open();
    form->Text2->setText("7");
    form->Text2_LostFocus();
    EXPECT_EQ(checked(form->Option5), 1);
    form->Text2->setText("7a");
    form->Text2_LostFocus();
    EXPECT_EQ(form->Text2->text(), "");
    EXPECT_EQ(checked(form->Option5), 0);

    form->Text2->setText("9");
    form->Option5[0]->click(); // "By Point" empties the box
    EXPECT_EQ(form->Text2->text(), "");
}

TEST_F(Options, ApplyStoresEveryChoiceAndHandsZoneAndUnitsOn) {
    open();
    form->Option1[2]->setChecked(true);
    form->Option2[1]->setChecked(true);
    form->Option3[3]->setChecked(true);
    form->Text1->setText("Wells");
    form->Option4[0]->setChecked(true);
    form->Text2->setText("33");
    form->show();
    form->Command1_Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("Attribute"), "Message && Name");
    EXPECT_EQ(stored("Block"), "By Icon");
    EXPECT_EQ(stored("Layer"), "Wells");
    EXPECT_EQ(stored("Metric"), "True");
    EXPECT_EQ(stored("Zone"), "33");
    EXPECT_EQ(form->strLayer, "Wells");

    // The main program's conversion now uses zone 33 in metres.
    double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
    GPSConversion::LatLongToUTM(45.0, 15.0, e1, n1);
    int zone = 33;
    GPSConversion::LatLongToUTM(45.0, 15.0, e2, n2, true, zone);
    EXPECT_EQ(e1, e2);
    EXPECT_EQ(n1, n2);
    zone = 0;
    GPSConversion::LatLongToUTM(45.0, 10.0, e2, n2, true, zone); // automatic zone would be 32
    GPSConversion::LatLongToUTM(45.0, 10.0, e1, n1);
    EXPECT_NE(e1, e2);
}

TEST_F(Options, AnotherCoordinateSystemFixesUnitsAndZoneAndIsStored) {
    open();
    EXPECT_TRUE(form->Option6[0]->isChecked());
    form->Text3->setText("Tennessee");
    form->cmdFind_Click();
    QTreeWidgetItem* tennessee = nullptr;
    for (int i = 0; i < form->lstCrs->topLevelItemCount(); ++i)
        if (form->lstCrs->topLevelItem(i)->text(1) == "NAD83 / Tennessee (ftUS)")
            tennessee = form->lstCrs->topLevelItem(i);
    ASSERT_NE(tennessee, nullptr);
    EXPECT_EQ(tennessee->text(0), "EPSG:2274");
    EXPECT_TRUE(tennessee->text(2).contains("Tennessee"));

    form->lstCrs->setCurrentItem(tennessee);
    form->lstCrs_Click();
    EXPECT_TRUE(form->Option6[1]->isChecked());
    EXPECT_EQ(form->Text3->text(), "EPSG:2274");
    EXPECT_FALSE(form->Frame4->isEnabled());
    EXPECT_FALSE(form->Frame5->isEnabled());
    EXPECT_EQ(form->lblUnit->text(), "US survey foot");
    EXPECT_TRUE(form->lblCrs->text().contains("Transformation: "));
    EXPECT_EQ(stored("CRS"), "<none>"); // only Apply stores

    form->show();
    form->Command1_Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("CRS"), "EPSG:2274");
    EXPECT_EQ(form->insertionOptions().strCrs, "EPSG:2274");

    // Read back by a fresh dialog.
    auto* again = new frmOptions(owner.get(), rules, loadOnce);
    loadOnce(again);
    EXPECT_TRUE(again->Option6[1]->isChecked());
    EXPECT_EQ(again->Text3->text(), "EPSG:2274");
    EXPECT_FALSE(again->Frame4->isEnabled());

    // Back to the built-in conversion: units and zone are the user's again.
    again->Option6[0]->setChecked(true);
    again->Option6_Click(0);
    EXPECT_TRUE(again->Frame4->isEnabled());
    EXPECT_TRUE(again->Frame5->isEnabled());
    EXPECT_FALSE(again->lblUnit->isVisibleTo(again));
    again->Command1_Click();
    EXPECT_EQ(stored("CRS"), "");
    EXPECT_EQ(again->strCrs, "");
}

TEST_F(Options, RefusedCoordinateSystemIsNamedAndNothingIsStored) {
    open();
    form->show();
    form->Option4[0]->setChecked(true);
    form->Option6[1]->setChecked(true);
    for (const char* code : {"EPSG:4326", "999999"}) {
        form->Text3->setText(code);
        prompts.answerMessage();
        form->Command1_Click();
        ASSERT_FALSE(prompts.messages().isEmpty());
        EXPECT_TRUE(prompts.messages().last().contains(QString::fromLatin1(code)))
            << prompts.messages().last().toStdString();
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_EQ(stored("CRS"), "<none>");
    EXPECT_EQ(stored("Metric"), "<none>");
    EXPECT_EQ(form->strCrs, "");
    EXPECT_TRUE(form->Frame4->isEnabled());
}

TEST_F(Options, CancelRestoresEveryControlFromTheStore) {
    store("Layer", "GPS");
    open();
    form->Option1[1]->setChecked(true);
    form->Option3[3]->setChecked(true);
    form->Text1->setText("Other");
    form->Option4[0]->setChecked(true);
    form->Option5[1]->setChecked(true);
    form->Text2->setText("12");
    form->Command2_Click();
    EXPECT_EQ(checked(form->Option1), 0);
    EXPECT_EQ(checked(form->Option3), 0);
    EXPECT_EQ(checked(form->Option4), 1);
    EXPECT_EQ(checked(form->Option5), 0);
    EXPECT_EQ(form->Text2->text(), "");
    // Applying now stores nothing of the cancelled changes.
    form->Command1_Click();
    EXPECT_EQ(stored("Zone"), "0");
    EXPECT_EQ(stored("Attribute"), "Message");
}

TEST_F(Options, ZoneOutOfRangeKeepsThePreviousZoneButSavesTheRest) {
    store("Zone", "15");
    open();
    form->Option4[0]->setChecked(true);
    form->Text2->setText("99999");
    prompts.answerMessage();
    form->Command1_Click();
    EXPECT_EQ(prompts.messages(), QStringList{"6: Overflow"});
    EXPECT_EQ(form->intZone, 15);
    EXPECT_EQ(stored("Zone"), "15");
    EXPECT_EQ(stored("Metric"), "True");
    EXPECT_EQ(stored("Attribute"), "Message");

    for (const char* bad : {"61", "0", "-4"}) {
        form->Text2->setText(bad);
        prompts.answerMessage();
        form->Command1_Click();
        EXPECT_EQ(prompts.messages().last(), "UTM zones run from 1 to 60.\r\nThe zone was not changed.")
            << bad;
        EXPECT_EQ(stored("Zone"), "15") << bad;
    }
    form->Text2->setText("60");
    form->Command1_Click();
    EXPECT_EQ(stored("Zone"), "60");
    form->Text2->setText("");
    form->Command1_Click();
    EXPECT_EQ(stored("Zone"), "0");
}

TEST_F(Options, UnnamedLayerNeedsAName) {
    store("Layer", "Wells");
    open();
    form->Text1->setText("");
    form->Option4[0]->setChecked(true);
    prompts.answerMessage();
    form->Command1_Click();
    EXPECT_EQ(prompts.messages(),
              QStringList{"Please type a name for the layer.\r\nThe layer was not changed."});
    EXPECT_EQ(stored("Layer"), "Wells");
    EXPECT_EQ(stored("Metric"), "True");
}

TEST_F(Options, HandEditedStoreFallsBackSafely) {
    store("Metric", "yes please");
    store("Zone", "north");
    open();
    EXPECT_FALSE(form->blnMetric);
    EXPECT_EQ(form->intZone, 0);
    EXPECT_EQ(checked(form->Option5), 0);
}

TEST_F(Options, SetRulesShowsTheRulesWindow) {
    open({{"A", "a.dxf", "Left"}});
    form->cmdRules_Click();
    EXPECT_TRUE(rules->isVisible());
}
