// SPDX-License-Identifier: GPL-3.0-or-later
// The rules window's browsing and editing flows, prompts answered from a script.
#include "rules/frmrules.h"
#include "support/deadline.h"
#include "support/fileuser.h"
#include "support/scriptedprompts.h"
#include "support/test_rules_fixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

#include <sys/stat.h>

namespace {
class RulesWindow : public ::testing::Test {
protected:
    ProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<frmRules> form;

    void load(const QVector<RuleRow>& rows) {
        writeRulesFile(folder.rulesFile(), rows);
        form = std::make_unique<frmRules>();
        form->Form_Load();
    }
    QString shown() const {
        QString loc = form->Option1[0]->isChecked() ? "L" : form->Option1[1]->isChecked() ? "R" : "-";
        return form->Text2->text() + "|" + form->Text1->text() + "|" + loc;
    }
    // The file's rules as "Value|BlockPath|Location", in table order.
    QStringList fileRows() const {
        QStringList out;
        for (const RuleRow& r : readRulesFile(folder.rulesFile()))
            out << r.value + "|" + r.blockPath + "|" + r.location;
        return out;
    }
    bool browsing() const { return !form->cmdAdd->isHidden() && form->cmdOK->isHidden(); }
    bool entering() const { return form->cmdAdd->isHidden() && !form->cmdOK->isHidden(); }
};
} // namespace

TEST_F(RulesWindow, BrowsesToEachEndBeforeSayingSo) {
    load({{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Right"}});
    EXPECT_EQ(shown(), "A|a.dxf|L");
    EXPECT_TRUE(browsing());
    form->cmdMove_Click(1);
    EXPECT_EQ(shown(), "B|b.dxf|R");
    form->cmdMove_Click(1); // off the end: empty controls, no message yet
    EXPECT_EQ(shown(), "||-");
    prompts.answerMessage();
    form->cmdMove_Click(1);
    EXPECT_EQ(prompts.messages(), QStringList{"This is the last record"});
    form->cmdMove_Click(0);
    EXPECT_EQ(shown(), "B|b.dxf|R");
    form->cmdMove_Click(0);
    form->cmdMove_Click(0);
    EXPECT_EQ(shown(), "||-");
    prompts.answerMessage();
    form->cmdMove_Click(0);
    EXPECT_EQ(prompts.messages().last(), "This is the first record");
}

TEST_F(RulesWindow, AddNeedsEveryFieldThenSavesAndShowsTheRule) {
    load({{"A", "a.dxf", "Left"}});
    form->cmdAdd_Click();
    EXPECT_TRUE(entering());
    EXPECT_EQ(shown(), "||L"); // the location buttons keep their state
    form->Text2->setText("-W");
    prompts.answerMessage();
    form->cmdOK_Click();
    EXPECT_EQ(prompts.messages(), QStringList{"All fields must be entered."});
    EXPECT_EQ(prompts.prompts().last().title, "Korvel Transfer");
    EXPECT_TRUE(entering());

    // Leaving a box while entering writes nothing yet.
    form->Text1->setText("w.dxf");
    form->Text1_LostFocus();
    form->Option1[1]->setChecked(true);
    form->Option1_Click(1);
    EXPECT_EQ(readRulesFile(folder.rulesFile()).size(), 1);

    form->cmdOK_Click();
    EXPECT_TRUE(browsing());
    EXPECT_EQ(shown(), "-W|w.dxf|R");
    const QVector<RuleRow> rows = readRulesFile(folder.rulesFile());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].value, "-W");
    EXPECT_EQ(rows[1].blockPath, "w.dxf");
    EXPECT_EQ(rows[1].location, "Right");
    EXPECT_EQ(rows[0].location, "Left"); // the click during entry changed no rule
}

TEST_F(RulesWindow, CancelDropsTheNewRule) {
    load({{"A", "a.dxf", "Left"}});
    form->cmdAdd_Click();
    form->Text1->setText("x");
    form->Text2->setText("y");
    form->cmdCancel_Click();
    EXPECT_TRUE(browsing());
    EXPECT_EQ(shown(), "A|a.dxf|L");
    EXPECT_EQ(readRulesFile(folder.rulesFile()).size(), 1);
}

TEST_F(RulesWindow, ChangesToAnExistingRuleAreWrittenAtOnce) {
    load({{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Left"}});
    form->cmdMove_Click(1);
    form->Text2->setText(""); // no "OK" check on an existing rule
    form->Text2_LostFocus();
    form->Text1->setText("c.dxf");
    form->Text1_LostFocus();
    form->Option1[1]->setChecked(true);
    form->Option1_Click(1);
    const QVector<RuleRow> rows = readRulesFile(folder.rulesFile());
    EXPECT_EQ(rows[0].value, "A");
    EXPECT_EQ(rows[1].value, "");
    EXPECT_EQ(rows[1].blockPath, "c.dxf");
    EXPECT_EQ(rows[1].location, "Right");

    // Past the end there is no rule to write into.
    form->cmdMove_Click(1);
    form->Text2->setText("Z");
    form->Text2_LostFocus();
    EXPECT_EQ(readRulesFile(folder.rulesFile()).size(), 2);
}

TEST_F(RulesWindow, BrowseOffersBlockDrawingsAndWritesThePath) {
    load({{"A", "a.dxf", "Left"}});
    prompts.answerFile(folder.insertsDir() + "Tree.dxf");
    form->cmdBrowse_Click();
    const FileChooserRequest& request = prompts.prompts().last().file;
    ASSERT_EQ(request.filters.size(), 1);
    EXPECT_EQ(request.filters[0].first, "AutoCAD_Drawings");
    EXPECT_EQ(request.filters[0].second, "*.dxf");
    EXPECT_EQ(request.initialDir, folder.insertsDir());
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.owner, form.get());
    // Inside the program folder: kept relative to it.
    EXPECT_EQ(form->Text1->text(), "Support/Inserts/Tree.dxf");
    EXPECT_EQ(readRulesFile(folder.rulesFile())[0].blockPath, "Support/Inserts/Tree.dxf");
    QString message = "A";
    EXPECT_EQ(form->CheckRules(message), folder.insertsDir() + "Tree.dxf");

    // Cancelled: nothing changes.
    prompts.answerFile("");
    form->cmdBrowse_Click();
    EXPECT_EQ(form->Text1->text(), "Support/Inserts/Tree.dxf");

    // A block the user keeps elsewhere stays absolute.
    prompts.answerFile("/srv/blocks/Tree.dxf");
    form->cmdBrowse_Click();
    EXPECT_EQ(readRulesFile(folder.rulesFile())[0].blockPath, "/srv/blocks/Tree.dxf");
    message = "A";
    EXPECT_EQ(form->CheckRules(message), "/srv/blocks/Tree.dxf");
}

TEST_F(RulesWindow, ACopiedProgramFolderUsesItsOwnBlocks) {
    // The rules file the build ships, copied into another program folder.
    ASSERT_TRUE(QFile::copy(QStringLiteral(KORVEL_BIN_DIR "/Support/Rules.rls"), folder.rulesFile()));
    form = std::make_unique<frmRules>();
    form->Form_Load();
    QString message = "CAMP by the river";
    EXPECT_EQ(form->CheckRules(message), folder.insertsDir() + "Meridian/a.dxf");
    message = "gate-P";
    EXPECT_EQ(form->CheckRules(message), folder.insertsDir() + "Flag.dxf");
}

TEST_F(RulesWindow, BrowseWithoutAnInsertsFolderStartsInTheProgramFolder) {
    load({{"A", "a.dxf", "Left"}});
    QDir(folder.insertsDir()).removeRecursively();
    form->cmdAdd_Click();
    prompts.answerFile("/tmp/b.dxf");
    form->cmdBrowse_Click();
    EXPECT_EQ(prompts.prompts().last().file.initialDir, folder.path() + "/");
    // While entering, the path waits for OK.
    EXPECT_EQ(form->Text1->text(), "/tmp/b.dxf");
    EXPECT_EQ(readRulesFile(folder.rulesFile())[0].blockPath, "a.dxf");
}

TEST_F(RulesWindow, DeleteAsksFirstAndReportsAMissingRecord) {
    load({{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Right"}});
    form->cmdMove_Click(1);
    prompts.answerMessage(vbCancel);
    form->cmdDelete_Click();
    EXPECT_EQ(readRulesFile(folder.rulesFile()).size(), 2);
    const PromptRecord& ask = prompts.prompts().last();
    EXPECT_EQ(ask.text, "This will delete the current rule.\r\nOk to delete or Cancel to quit.");
    EXPECT_EQ(ask.title, "Warning");
    EXPECT_EQ(ask.buttons, vbOKCancel);

    prompts.answerMessage(vbOK);
    form->cmdDelete_Click();
    EXPECT_EQ(shown(), "A|a.dxf|L");
    ASSERT_EQ(readRulesFile(folder.rulesFile()).size(), 1);

    // Deleting the last rule empties the window without a false alarm.
    prompts.answerMessage(vbOK);
    form->cmdDelete_Click();
    EXPECT_EQ(shown(), "||-");
    EXPECT_TRUE(form->rulesEmpty());

    prompts.answerMessage(vbOK).answerMessage();
    form->cmdDelete_Click();
    EXPECT_EQ(prompts.messages().last(), "There is no current record.");
}

TEST_F(RulesWindow, FindShowsTheRuleOrSaysNoneHasThatValue) {
    load({{"A", "a.dxf", "Left"}, {"O'K", "ok.dxf", "Right"}});
    prompts.answerInput("O'K");
    form->cmdFind_Click();
    EXPECT_EQ(prompts.prompts().last().text, "Value to search for:");
    EXPECT_EQ(prompts.prompts().last().title, "Find Rule");
    EXPECT_EQ(shown(), "O'K|ok.dxf|R");

    prompts.answerInput("' OR ''='").answerMessage();
    form->cmdFind_Click();
    EXPECT_EQ(prompts.messages().last(), "No rule found with a Value of ' OR ''='.");
    EXPECT_EQ(shown(), "O'K|ok.dxf|R");
}

TEST_F(RulesWindow, CheckRulesMovesTheSharedCursorButNotTheControls) {
    load({{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Left"}});
    QString message = "Bx";
    // A relative block path is taken from the program folder.
    EXPECT_EQ(form->CheckRules(message), folder.path() + "/b.dxf");
    EXPECT_EQ(message, "x");
    EXPECT_EQ(shown(), "A|a.dxf|L");
    form->cmdMove_Click(1); // from B: off the end
    EXPECT_EQ(shown(), "||-");

    message = "none";
    EXPECT_EQ(form->CheckRules(message), folder.path() + "/Support/Inserts/Flag.dxf");
}

// A lookup moves the shared cursor but not the controls. Leaving a box, a
// location click, Browse and Delete still act on the rule the window shows:
// writing into the row the lookup left the cursor on would overwrite a rule the
// user never saw (found merely by tabbing through the boxes).
TEST_F(RulesWindow, EditsAfterALookupGoToTheRuleShown) {
    load({{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Left"}, {"C", "c.dxf", "Left"}});
    QString message = "Bx";
    ASSERT_EQ(form->CheckRules(message), folder.path() + "/b.dxf");
    form->Text1_LostFocus(); // unchanged boxes left: nothing moves to B
    form->Text2_LostFocus();
    form->Text2->setText("A2");
    form->Text2_LostFocus();
    message = "Cx";
    ASSERT_EQ(form->CheckRules(message), folder.path() + "/c.dxf");
    form->Option1[1]->setChecked(true);
    form->Option1_Click(1);
    EXPECT_EQ(fileRows(), (QStringList{"A2|a.dxf|Right", "B|b.dxf|Left", "C|c.dxf|Left"}));

    message = "none"; // leaves the cursor past the end
    form->CheckRules(message);
    prompts.answerMessage(vbOK);
    form->cmdDelete_Click();
    EXPECT_EQ(fileRows(), (QStringList{"B|b.dxf|Left", "C|c.dxf|Left"}));
    EXPECT_EQ(shown(), "B|b.dxf|L");

    // Controls emptied by stepping off the end show no rule: nothing to write or delete.
    form->cmdMove_Click(1);
    form->cmdMove_Click(1);
    ASSERT_EQ(shown(), "||-");
    message = "Cx";
    form->CheckRules(message);
    form->Text2_LostFocus();
    prompts.answerMessage(vbOK).answerMessage();
    form->cmdDelete_Click();
    EXPECT_EQ(prompts.messages().last(), "There is no current record.");
    EXPECT_EQ(fileRows(), (QStringList{"B|b.dxf|Left", "C|c.dxf|Left"}));
}

TEST_F(RulesWindow, UnreadableDatabaseIsReportedOnceAndRetriedOnRequest) {
    QFile junk(folder.rulesFile());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'j'));
    junk.close();
    form = std::make_unique<frmRules>();
    prompts.answerMessage();
    form->Form_Load();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(folder.rulesFile()));
    EXPECT_FALSE(form->databaseOpen());
    EXPECT_TRUE(form->rulesEmpty());

    QString message = "CAMP 1";
    EXPECT_EQ(form->CheckRules(message), folder.path() + "/Support/Inserts/Flag.dxf");
    EXPECT_EQ(message, "CAMP 1");
    // Buttons do nothing without a database: no prompt, still browsing, the
    // file left as it was.
    form->cmdAdd_Click();
    form->cmdMove_Click(1);
    form->cmdOK_Click();
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(browsing());
    EXPECT_EQ(shown(), "||-");
    ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
    EXPECT_EQ(junk.readAll(), QByteArray(2048, 'j'));
    junk.close();

    prompts.answerMessage();
    EXPECT_FALSE(form->ensureDatabase());
    EXPECT_EQ(prompts.messages().size(), 2);

    // Repaired: the next request opens it.
    QFile::remove(folder.rulesFile());
    writeRulesFile(folder.rulesFile(), {{"CAMP ", "camp.dxf", "Left"}});
    EXPECT_TRUE(form->ensureDatabase());
    EXPECT_EQ(shown(), "CAMP |camp.dxf|L");
    EXPECT_EQ(form->CheckRules(message), folder.path() + "/camp.dxf");
}

// A pipe or a device as the rules file: the window says so at once and names
// it; nothing is opened (a pipe would block, /dev/zero never ends).
TEST_F(RulesWindow, PipesAndDevicesAreRefusedAtOnce) {
    const QString fifo = folder.path() + "/pipe.rls";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& target : {fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(target.toStdString());
        QFile::remove(folder.rulesFile());
        ASSERT_TRUE(QFile::link(target, folder.rulesFile()));
        prompts.answerMessage();
        FinishWithin(std::chrono::seconds(1), "loading the rules window with " + target.toStdString(), [&] {
            form = std::make_unique<frmRules>();
            form->Form_Load();
        });
        ASSERT_FALSE(prompts.messages().isEmpty());
        EXPECT_TRUE(prompts.messages().last().contains(folder.rulesFile()));
        EXPECT_TRUE(prompts.messages().last().contains(", not a regular file"))
            << prompts.messages().last().toStdString();
        EXPECT_FALSE(form->databaseOpen());
    }
}

// The rules file as installed: read-only, in a folder the user cannot write.
TEST_F(RulesWindow, ReadOnlyRulesFileBrowsesAndRefusesEdits) {
    writeRulesFile(folder.rulesFile(), {{"A", "a.dxf", "Left"}, {"B", "b.dxf", "Right"}});
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto openFolder = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(folder.rulesFile(), readOnly));
    ASSERT_TRUE(QFile::setPermissions(folder.path() + "/Support", openFolder));
    ASSERT_TRUE(QFile::setPermissions(folder.path(), openFolder));
    const QString refused = QStringLiteral("3027: Cannot update. Database or object is read-only.");
    {
        ScopedFileUser nobody(kNobody);
        QFile probe(folder.rulesFile());
        ASSERT_FALSE(probe.open(QIODevice::ReadWrite)) << "the file is still writable";
        form = std::make_unique<frmRules>();
        form->Form_Load();
        EXPECT_TRUE(form->databaseOpen());
        EXPECT_EQ(shown(), "A|a.dxf|L");
        form->cmdMove_Click(1);
        EXPECT_EQ(shown(), "B|b.dxf|R");

        prompts.answerMessage();
        form->Text2->setText("B2");
        form->Text2_LostFocus();
        EXPECT_EQ(prompts.messages(), QStringList{refused});

        form->cmdAdd_Click();
        form->Text2->setText("C");
        form->Text1->setText("c.dxf");
        prompts.answerMessage();
        form->cmdOK_Click();
        EXPECT_EQ(prompts.messages().last(), refused);
        form->cmdCancel_Click();
        EXPECT_TRUE(browsing());

        prompts.answerMessage(vbOK).answerMessage();
        form->cmdDelete_Click();
        EXPECT_EQ(prompts.messages().last(), refused);
        EXPECT_EQ(prompts.messages().size(), 4);
        form.reset();
    }
    EXPECT_EQ(fileRows(), (QStringList{"A|a.dxf|Left", "B|b.dxf|Right"}));
    QFile::setPermissions(folder.path(), openFolder | QFile::WriteOwner);
    QFile::setPermissions(folder.path() + "/Support", openFolder | QFile::WriteOwner);
}
