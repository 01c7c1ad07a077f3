// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu of the main window: New, Open, Save, Save As, OpenFile.
#include "files/pointsfile.h"
#include "hexdump.h"
#include "platform/programfolder.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/deadline.h"
#include "support/faultinjection.h"
#include "support/scriptedprompts.h"
#include "support/smalltmpfs.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
    // The unsaved table is offered for saving first; No drops it.
    prompts.answerMessage(vbNo).answerFile(path("trip.gps"));
    form.cmdOpen_Click();

    ASSERT_EQ(prompts.prompts().size(), 2);
    const FileChooserRequest& r = prompts.prompts()[1].file;
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

// A cancelled Open, at the question or in the chooser, used to forget the
// file and mark the table saved, so Exit then dropped it without asking.
TEST_F(FileMenu, CancelledOpenKeepsTheTableItsFileAndItsUnsavedState) {
    addRow("kept", "1", "2");
    form.strCurrentFile = path("old.gps");
    for (bool atQuestion : {true, false}) {
        SCOPED_TRACE(atQuestion);
        form.blnSaved = false;
        ScriptedPrompts prompts;
        if (atQuestion)
            prompts.answerMessage(vbCancel);
        else
            prompts.answerMessage(vbNo).answerFile("");
        form.cmdOpen_Click();
        ASSERT_EQ(prompts.messages(), QStringList{"Do you want to save changes?"});
        EXPECT_EQ(prompts.prompts()[0].detail, QStringLiteral("old.gps has unsaved changes."));
        EXPECT_EQ(prompts.prompts()[0].buttons & 0xF, int(vbYesNoCancel));
        EXPECT_EQ(grid().Rows(), 2);
        EXPECT_EQ(form.strCurrentFile, path("old.gps"));
        EXPECT_FALSE(form.blnSaved);
    }
    EXPECT_FALSE(QFile::exists(path("old.gps")));

    // An Open that fails leaves no current file: the title cannot name a file
    // the table does not hold (a name that cannot be created was kept). It is
    // told, too (it used to fail without a word).
    ASSERT_TRUE(writeBytes(path("blocked"), "x"));
    form.blnSaved = true;
    ScriptedPrompts prompts;
    prompts.answerFile(path("blocked/new.gps")).answerMessage(vbOK);
    form.cmdOpen_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(path("blocked/new.gps")))
        << prompts.messages()[0].toStdString();
    EXPECT_EQ(grid().Rows(), 1);
    EXPECT_EQ(form.strCurrentFile, QString());
    EXPECT_TRUE(form.blnSaved); // an empty table: nothing to ask about on Exit
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

    // Cancelled: nothing written, still unsaved, and the current file stays
    // (it used to be forgotten, so the next Save asked for a name again).
    form.blnSaved = false;
    const QString current = form.strCurrentFile;
    ScriptedPrompts prompts;
    prompts.answerFile("");
    form.cmdSaveAs_Click();
    EXPECT_FALSE(form.blnSaved);
    EXPECT_EQ(form.strCurrentFile, current);
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

TEST_F(FileMenu, SaveSaysHowManyTextsThePointsFileCouldNotHoldAsTyped) {
    AppendTableRow(grid(),
                   {QStringLiteral("\u6771\u4EAC\u30BF\u30EF\u30FC"), "35.5", "139.75", "", "\u03A9"});
    AppendTableRow(grid(), {QStringLiteral("Caf\u00E9 \u20AC"), "1", "2"}); // all in the code page
    AppendTableRow(grid(), {"Z", "3", "4", "", "", QStringLiteral("\U0001F600")});
    ScriptedPrompts prompts;
    prompts.answerFile(path("t.gps")).answerMessage(vbOK);
    form.cmdSaveAs_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    const QString& m = prompts.messages()[0];
    EXPECT_TRUE(m.startsWith("3 field(s) held characters that a points file cannot keep") &&
                m.contains(QStringLiteral("row 1, column Waypoint, \"\u6771\u4EAC\u30BF\u30EF\u30FC\" was "
                                          "saved as \"?????\"")) &&
                m.contains("File > Export"))
        << m.toStdString();
    EXPECT_TRUE(form.blnSaved);
    EXPECT_EQ(grid().TextMatrix(3, colIcon), QStringLiteral("\U0001F600")); // the table keeps what was typed
}

// New used to keep the file's name without asking, so the next Save replaced
// the whole file with the new table.
TEST_F(FileMenu, NewAsksToSaveThenStartsAnUntitledTable) {
    const QByteArray old = twoRecords();
    struct Case {
        int answer;
        bool readOnly; // Yes: the save fails on a read-only file
        bool titled;   // there is a current file (else Yes means Save As, cancelled here)
        bool emptied;
    };
    const Case cases[] = {{vbNo, false, true, true},
                          {vbYes, false, true, true},
                          {vbYes, true, true, false},
                          {vbYes, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        ASSERT_TRUE(writeBytes(path("t.gps"), old));
        QFile::setPermissions(path("t.gps"),
                              QFile::ReadOwner | (c.readOnly ? QFile::Permissions() : QFile::WriteOwner));
        SetUpEmptyTable(grid());
        addRow("WP1", "35.5", "-90.25");
        form.strCurrentFile = c.titled ? path("t.gps") : QString();
        form.blnSaved = false;
        const QString before = form.strCurrentFile;

        ScriptedPrompts prompts;
        prompts.answerMessage(c.answer);
        if (c.readOnly)
            prompts.answerMessage(vbOK); // the save's own failure message
        if (!c.titled)
            prompts.answerFile("");
        form.cmdNewDB_Click();
        ASSERT_FALSE(prompts.messages().isEmpty());
        EXPECT_EQ(prompts.messages()[0], QStringLiteral("Do you want to save changes?"));
        EXPECT_EQ(prompts.prompts()[0].detail,
                  c.titled ? QStringLiteral("t.gps has unsaved changes.")
                           : QStringLiteral("The table is untitled: it has not been saved to a file yet."));
        EXPECT_EQ(prompts.prompts()[0].buttons & 0xF, int(vbYesNoCancel));
        EXPECT_EQ(fileBytes(path("t.gps")).size(), c.answer == vbYes && c.emptied ? 27 : old.size());
        EXPECT_EQ(grid().Rows(), c.emptied ? 1 : 2);
        EXPECT_EQ(form.strCurrentFile, c.emptied ? QString() : before); // untitled: Save asks for a name
        EXPECT_EQ(form.blnSaved, c.emptied);
    }
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

// A full or failing disk at any step of a save: the old file stays byte for
// byte, the message names the file and the system's reason, and the table
// stays unsaved. A small file is the case a buffered writer used to get wrong.
TEST_F(FileMenu, FailingDiskAtAnyStepLeavesTheFileAndSaysWhy) {
    const QByteArray old = twoRecords();
    ASSERT_TRUE(writeBytes(path("keep.gps"), old));
    form.strCurrentFile = path("keep.gps");
    addRow("WP1", "35.5", "-90.25");
    addRow("WP2", "1", "2");
    addRow("WP3", "3", "4");
    for (const WriteFault& c : DurableWriteFaults(3 * 27)) { // three 27-byte records
        SCOPED_TRACE(c.what);
        form.blnSaved = false;
        ScriptedPrompts prompts;
        prompts.answerMessage(vbOK);
        {
            FaultInjection inject(dir.path().toStdString(), c.faults);
            form.cmdSave_Click();
        }
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_TRUE(prompts.messages()[0].contains(c.reason)) << prompts.messages()[0].toStdString();
        EXPECT_TRUE(prompts.messages()[0].contains(path("keep.gps")));
        EXPECT_FALSE(form.blnSaved);
        EXPECT_TRUE(sameBytes(fileBytes(path("keep.gps")), old));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.gps"});
    }
    ScriptedPrompts none;
    form.cmdSave_Click();
    EXPECT_TRUE(form.blnSaved);
    EXPECT_EQ(QFileInfo(path("keep.gps")).size(), 3 * 27);
}

// Another program rewrote the file after this window opened it: Save asks; No
// writes nothing and keeps the table unsaved, Yes writes. A file only touched
// (same content) or saved by this window itself is not asked about.
TEST_F(FileMenu, SaveAsksBeforeOverwritingAnotherProgramsChanges) {
    ASSERT_TRUE(writeBytes(path("trip.gps"), twoRecords()));
    {
        ScriptedPrompts prompts;
        prompts.answerFile(path("trip.gps"));
        form.cmdOpen_Click();
    }
    addRow("WP3", "3", "4");
    form.blnSaved = false;
    {
        QFile touch(path("trip.gps"));
        ASSERT_TRUE(touch.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            touch.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    }
    {
        ScriptedPrompts none; // touched only
        form.cmdSave_Click();
        EXPECT_TRUE(form.blnSaved);
    }
    const QByteArray theirs = twoRecords() + twoRecords();
    ASSERT_TRUE(writeBytes(path("trip.gps"), theirs));
    form.blnSaved = false;
    const QString question =
        "\"" + path("trip.gps") + "\" was changed by another program since it was opened. Overwrite it?";
    ScriptedPrompts prompts;
    prompts.answerMessage(vbNo);
    form.cmdSave_Click();
    ASSERT_EQ(prompts.messages(), QStringList{question});
    EXPECT_EQ(prompts.prompts()[0].buttons, vbYesNo | vbQuestion);
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(sameBytes(fileBytes(path("trip.gps")), theirs));
    EXPECT_EQ(grid().Rows(), 4);

    prompts.answerMessage(vbYes);
    form.cmdSave_Click();
    EXPECT_TRUE(form.blnSaved);
    EXPECT_EQ(fileBytes(path("trip.gps")).size(), twoRecords().size() + 27);
    form.cmdSave_Click(); // our own save is not another program's change
    EXPECT_EQ(prompts.messages().size(), 2);
}

// A file cut short inside its last record: the whole records load, the user is
// told how many bytes were left out, and the file keeps them until a save.
TEST_F(FileMenu, CutShortFileSaysHowManyBytesWereLeftOut) {
    const QByteArray cut = twoRecords().left(twoRecords().size() - 3);
    ASSERT_TRUE(writeBytes(path("cut.gps"), cut));
    ScriptedPrompts prompts;
    prompts.answerMessage(vbOK);
    EXPECT_TRUE(form.OpenFile(path("cut.gps")));
    ASSERT_EQ(prompts.messages().size(), 1);
    const int tail = int(cut.size()) - 36; // the first record is 36 bytes
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("ends with %1 byte(s)").arg(tail)))
        << prompts.messages()[0].toStdString();
    EXPECT_TRUE(prompts.messages()[0].contains(path("cut.gps")));
    EXPECT_EQ(prompts.prompts()[0].buttons, vbOKOnly | vbExclamation);
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(grid().TextMatrix(1, colName), QStringLiteral("WP1"));
    EXPECT_TRUE(form.blnSaved);
    EXPECT_TRUE(sameBytes(fileBytes(path("cut.gps")), cut));
}

// A pipe or a device as the points file: Open and Save say so at once (a pipe
// opened for reading would block the program for good; /dev/zero never ends).
TEST_F(FileMenu, PipesAndDevicesAreRefusedAtOnce) {
    const QString fifo = path("pipe.gps");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& p : {fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(p.toStdString());
        ScriptedPrompts prompts;
        prompts.answerFile(p).answerMessage(vbOK).answerMessage(vbOK);
        FinishWithin(std::chrono::seconds(1), "opening and saving " + p.toStdString(), [&] {
            form.cmdOpen_Click();
            addRow("WP1", "1", "2");
            form.strCurrentFile = p;
            form.cmdSave_Click();
        });
        ASSERT_EQ(prompts.messages().size(), 2);
        for (const QString& m : prompts.messages()) {
            EXPECT_TRUE(m.contains(p)) << m.toStdString();
            EXPECT_TRUE(m.contains(", not a regular file")) << m.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

// The same on a real full disk: a small tmpfs with no block left.
TEST_F(FileMenu, ARealFullDiskLeavesTheFileAndSaysWhy) {
    SmallTmpfs disk(path("disk"));
    if (!disk.mounted())
        SKIP_WITHOUT_A_REAL_DISK(disk.why().toStdString());
    const QString keep = disk.path() + "/keep.gps";
    ASSERT_TRUE(writeBytes(keep, twoRecords()));
    ASSERT_TRUE(disk.fill());
    form.strCurrentFile = keep;
    addRow("WP1", "35.5", "-90.25");
    form.blnSaved = false;
    ScriptedPrompts prompts;
    prompts.answerMessage(vbOK);
    form.cmdSave_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("No space left on device"))
        << prompts.messages()[0].toStdString();
    EXPECT_TRUE(prompts.messages()[0].contains(keep));
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(sameBytes(fileBytes(keep), twoRecords()));
}
