// SPDX-License-Identifier: GPL-3.0-or-later
// The options and rules windows as the main window loads and opens them.
#include "cad/frmoptions.h"
#include "conversion/utmoptions.h"
#include "platform/settings.h"
#include "rules/frmrules.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "support/test_rules_fixture.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>

namespace {
const QString kApp = QStringLiteral("Korvel Transfer");

class MainWindowOptions : public ::testing::Test {
protected:
    ProgramFolder folder;
    ScriptedPrompts prompts;
    MainWindowOptions() {
        QSettings(SettingsFilePath(kApp), QSettings::IniFormat).clear();
        CurrentUtmOptions() = UtmOptions{};
    }
};
} // namespace

TEST_F(MainWindowOptions, LoadingTheMainWindowLoadsTheStoredOptions) {
    writeRulesFile(folder.rulesFile(), {{"CAMP ", "camp.dxf", "Left"}});
    SaveSetting(kApp, "Options", "Zone", "12");
    SaveSetting(kApp, "Options", "Metric", "True");
    SaveSetting(kApp, "Options", "Block", "By Message");
    Form1 form;
    ASSERT_TRUE(LoadForm(&form));
    ASSERT_NE(form.optionsWindow, nullptr);
    ASSERT_NE(form.rulesWindow, nullptr);
    EXPECT_FALSE(form.optionsWindow->isVisible());
    EXPECT_FALSE(form.rulesWindow->isVisible());
    EXPECT_EQ(form.optionsWindow->intZone, 12);
    EXPECT_EQ(form.optionsWindow->strBlock, "By Message");
    EXPECT_EQ(CurrentUtmOptions().intZone, 12);
    EXPECT_TRUE(CurrentUtmOptions().blnMetric);
    QString message = "CAMP 4";
    EXPECT_EQ(form.rulesWindow->CheckRules(message), folder.path() + "/camp.dxf");
    EXPECT_EQ(message, "4");

    // "Options" shows the dialog with what the store holds now.
    SaveSetting(kApp, "Options", "Zone", "0");
    form.cmdOptions_Click();
    EXPECT_TRUE(form.optionsWindow->isVisible());
    EXPECT_TRUE(form.optionsWindow->Option5[0]->isChecked());
    EXPECT_EQ(CurrentUtmOptions().intZone, 0);
    form.optionsWindow->Command2_Click();
    EXPECT_FALSE(form.optionsWindow->isVisible());
}

TEST_F(MainWindowOptions, MissingRulesFileIsReportedOnceAndTheProgramRunsOn) {
    SaveSetting(kApp, "Options", "Block", "By Message");
    Form1 form;
    prompts.answerMessage();
    ASSERT_TRUE(LoadForm(&form));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(folder.rulesFile()));
    EXPECT_FALSE(QFile::exists(folder.rulesFile()));

    QString message = "CAMP 4";
    EXPECT_EQ(form.rulesWindow->CheckRules(message), folder.path() + "/Support/Inserts/Flag.dxf");

    // Opening the options does not repeat it; "Set Rules" does.
    form.cmdOptions_Click();
    EXPECT_EQ(prompts.messages().size(), 1);
    prompts.answerMessage();
    form.optionsWindow->cmdRules_Click();
    EXPECT_EQ(prompts.messages().size(), 2);
    EXPECT_FALSE(form.rulesWindow->isVisible());
}
