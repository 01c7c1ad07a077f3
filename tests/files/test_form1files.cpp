// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu of the main window: New, Open, Save, Save As, OpenFile.
#include "files/pointsfile.h"
#include "hexdump.h"
#include "platform/programfolder.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray twoRecords() {
    QByteArray out;
    AppendRecord(out, {"WP1", 35.5, -90.25, "0000028M", "", "a"});
    AppendRecord(out, {"WP2", -1.5, 2.25, "0000003M", "hut", "b"});
    return out;
}

class FileMenu : public ::testing::Test {
protected:
    FileMenu() {
        LoadForm(&form);
        // Then a program folder of its own, so Support/Data/ is ours to remove.
        SetAppPathOverride(dir.path());
        QDir().mkpath(dir.filePath("Support/Data"));
    }
    ~FileMenu() override { SetAppPathOverride(QString()); }

    QString path(const QString& name) const { return dir.filePath(name); }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    void addRow(const QString& name, const QString& lat, const QString& lon) {
        AppendTableRow(grid(), {name, lat, lon});
    }

    QTemporaryDir dir;
    Form1 form;
};

} // namespace

TEST_F(FileMenu, OpenAsksWithThePointsFilterInSupportDataAndLoads) {
    ASSERT_TRUE(writeBytes(path("trip.gps"), twoRecords()));
    addRow("stale", "1", "1");
    form.blnSaved = false;

    ScriptedPrompts prompts;
    prompts.answerFile(path("trip.gps"));
    form.cmdOpen_Click();

    ASSERT_EQ(prompts.prompts().size(), 1);
    const FileChooserRequest& r = prompts.prompts()[0].file;
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.initialDir, SupportPath("Data/"));
    ASSERT_EQ(r.filters.size(), 1);
    EXPECT_EQ(r.filters[0], qMakePair(QStringLiteral("GPS_Points"), QStringLiteral("*.gps")));
    EXPECT_TRUE(r.title.isEmpty());
    EXPECT_FALSE(r.fileMustExist || r.multiSelect || r.hideReadOnly);

    EXPECT_EQ(form.strCurrentFile, path("trip.gps"));
    EXPECT_TRUE(form.blnSaved);
    ASSERT_EQ(grid().Rows(), 3);
    EXPECT_EQ(grid().TextMatrix(2, colMessage), QStringLiteral("hut"));
    EXPECT_EQ(grid().TextMatrix(2, colLongitude), QStringLiteral("2.25"));

    // Save without edits writes the very same bytes back.
    form.cmdSave_Click();
    EXPECT_TRUE(sameBytes(fileBytes(path("trip.gps")), twoRecords()));
}

TEST_F(FileMenu, CancelledOpenKeepsTheTableButForgetsTheFile) {
    addRow("kept", "1", "2");
    form.strCurrentFile = path("old.gps");
    form.blnSaved = false;
    ScriptedPrompts prompts;
    prompts.answerFile("");
    form.cmdOpen_Click();
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(form.strCurrentFile, QString());
    EXPECT_TRUE(form.blnSaved);
}

TEST_F(FileMenu, UnreadableFileIsReportedAndCannotBeOverwrittenBySave) {
    ASSERT_TRUE(QDir().mkpath(path("folder.gps")));
    form.strCurrentFile = path("earlier.gps");
    ScriptedPrompts prompts;
    prompts.answerFile(path("folder.gps")).answerMessage(vbOK);
    form.cmdOpen_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(path("folder.gps")));
    EXPECT_EQ(form.strCurrentFile, QString());
    EXPECT_EQ(grid().Rows(), 1);

    // Save now asks for a name instead of writing over the unread file.
    addRow("new", "1", "2");
    prompts.answerFile("");
    form.cmdSave_Click();
    EXPECT_EQ(prompts.prompts().back().kind, PromptRecord::File);
    EXPECT_TRUE(QFileInfo(path("folder.gps")).isDir());

    // OpenFile itself reports failure; a name where nothing is gives an empty file.
    prompts.answerMessage(vbOK);
    EXPECT_FALSE(form.OpenFile(path("folder.gps")));
    EXPECT_TRUE(form.OpenFile(path("fresh.gps")));
    EXPECT_TRUE(QFile::exists(path("fresh.gps")));
    EXPECT_TRUE(form.OpenFile(QString()));
}

TEST_F(FileMenu, SaveAsAddsTheExtensionOnlyWhenTheNameLacksIt) {
    addRow("WP1", "35.5", "-90.25");
    const std::pair<QString, QString> cases[] = {
        {"trip", "trip.gps"}, {"TRIP.GPS", "TRIP.GPS"}, {"trip.gps.bak", "trip.gps.bak"}};
    for (const auto& [typed, written] : cases) {
        form.blnSaved = false;
        ScriptedPrompts prompts;
        prompts.answerFile(path(typed));
        form.cmdSaveAs_Click();
        ASSERT_EQ(prompts.prompts().size(), 1) << typed.toStdString();
        EXPECT_TRUE(prompts.prompts()[0].file.save);
        EXPECT_EQ(form.strCurrentFile, path(written));
        EXPECT_TRUE(form.blnSaved);
        EXPECT_EQ(QFileInfo(path(written)).size(), 27)
            << written.toStdString(); // WP1, two doubles, three empty texts
    }
    EXPECT_FALSE(QFile::exists(path("trip.gps.bak.gps")));
    EXPECT_FALSE(QFile::exists(path("TRIP.GPS.gps")));

    // Cancelled: nothing written, still unsaved.
    form.blnSaved = false;
    ScriptedPrompts prompts;
    prompts.answerFile("");
    form.cmdSaveAs_Click();
    EXPECT_FALSE(form.blnSaved);
    EXPECT_EQ(form.strCurrentFile, QString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST_F(FileMenu, FailedSaveSaysWhyAndLeavesFileAndStateAlone) {
    const QByteArray old = twoRecords();
    ASSERT_TRUE(writeBytes(path("t.gps"), old));
    form.strCurrentFile = path("t.gps");
    addRow("WP1", "35.5", "-90.25");
    addRow("bad", "north", "2");
    form.blnSaved = false;

    ScriptedPrompts prompts;
    prompts.answerMessage(vbOK);
    form.cmdSave_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("row 2, column Latitude holds \"north\""))
        << prompts.messages()[0].toStdString();
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(sameBytes(fileBytes(path("t.gps")), old));

    // A read-only file is not replaced either.
    grid().setTextMatrix(2, colLatitude, "1");
    QFile::setPermissions(path("t.gps"), QFile::ReadOwner);
    prompts.answerMessage(vbOK);
    form.cmdSave_Click();
    EXPECT_TRUE(prompts.messages().back().contains("read-only"));
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(sameBytes(fileBytes(path("t.gps")), old));
}

TEST_F(FileMenu, NewEmptiesTheTableAndSaveStillGoesToTheSameFile) {
    addRow("WP1", "35.5", "-90.25");
    addRow("WP2", "1", "2");
    grid().setMarked(1, true);
    form.strCurrentFile = path("t.gps");
    form.blnSaved = false;
    form.cmdNewDB_Click();
    EXPECT_EQ(grid().Rows(), 1);
    EXPECT_EQ(grid().Cols(), 7);
    EXPECT_EQ(grid().TextMatrix(0, colName), QStringLiteral("Waypoint"));
    EXPECT_EQ(form.strCurrentFile, path("t.gps"));
    EXPECT_FALSE(form.blnSaved);

    ScriptedPrompts none;
    form.cmdSave_Click();
    EXPECT_TRUE(form.blnSaved);
    EXPECT_TRUE(QFile::exists(path("t.gps")));
    EXPECT_EQ(QFileInfo(path("t.gps")).size(), 0);
}

TEST_F(FileMenu, MissingDataFolderIsCreatedOrTheChooserStartsAtHome) {
    QDir(dir.filePath("Support/Data")).removeRecursively();
    {
        ScriptedPrompts prompts;
        prompts.answerFile("");
        form.cmdOpen_Click();
        ASSERT_EQ(prompts.prompts().size(), 1);
        EXPECT_EQ(prompts.prompts()[0].file.initialDir, SupportPath("Data/"));
        EXPECT_TRUE(QFileInfo(dir.filePath("Support/Data")).isDir());
    }
    // A program folder where Support/ cannot be made (a file stands in the way).
    ASSERT_TRUE(writeBytes(path("blocked"), "x"));
    SetAppPathOverride(path("blocked"));
    addRow("WP1", "35.5", "-90.25");
    ScriptedPrompts prompts;
    prompts.answerFile("");
    form.cmdSaveAs_Click();
    ASSERT_EQ(prompts.prompts().size(), 1);
    EXPECT_EQ(prompts.prompts()[0].file.initialDir, QDir::homePath() + "/");
}
