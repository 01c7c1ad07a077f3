// SPDX-License-Identifier: GPL-3.0-or-later
// FileDialog: stored filter form, title rule, start folder check, flags, and
// what reaches the chooser and comes back from it.
#include "files/filedialog.h"
#include "support/scriptedprompts.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
const QChar NUL(0);
}

TEST(FileDialog, FilterIsStoredNulSeparatedAndReadsBack) {
    struct Case {
        QString written, stored, readBack;
    };
    const Case cases[] = {
        {"GPS_Points|*.gps", QString("GPS_Points") + NUL + "*.gps" + NUL, "GPS_Points|*.gps"},
        // Already ending in two NULs once converted: no third one.
        {"GPS_Points|*.gps|", QString("GPS_Points") + NUL + "*.gps" + NUL + NUL, "GPS_Points|*.gps|"},
        {"A|*.a|B|*.b||", QString("A") + NUL + "*.a" + NUL + "B" + NUL + "*.b" + NUL + NUL, "A|*.a|B|*.b|"},
        {"", QString(NUL), ""},
    };
    for (const Case& c : cases) {
        FileDialog d;
        d.setFilter(c.written);
        EXPECT_EQ(d.storedFilter(), c.stored) << c.written.toStdString();
        EXPECT_EQ(d.Filter(), c.readBack) << c.written.toStdString();
    }
}

TEST(FileDialog, EmptyTitleKeepsThePreviousOne) {
    FileDialog d;
    EXPECT_EQ(d.Title(), QString());
    d.setTitle("Pick a file");
    d.setTitle("");
    EXPECT_EQ(d.Title(), QStringLiteral("Pick a file"));
}

TEST(FileDialog, InitialDirMustBeAnExistingFolder) {
    QTemporaryDir tmp;
    FileDialog d;
    d.setInitialDir(tmp.path() + "/"); // existing and empty: accepted
    EXPECT_EQ(d.initialDir(), tmp.path() + "/");
    try {
        d.setInitialDir(tmp.path() + "/missing/");
        FAIL() << "no error for a missing folder";
    } catch (const FileDialogError& e) {
        EXPECT_EQ(e.number(), 514);
        EXPECT_EQ(e.source(), QStringLiteral("FileDialog"));
        EXPECT_EQ(e.description(), QStringLiteral("Invalid Initial Directory"));
    }
    EXPECT_EQ(d.initialDir(), tmp.path() + "/");
    // A file is not a folder.
    QFile f(tmp.path() + "/plain");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_THROW(d.setInitialDir(f.fileName()), FileDialogError);
}

TEST(FileDialog, FlagsAreTheSumOfTheSwitchesThatAreOn) {
    struct Case {
        bool hide, multi, mustExist;
        int open, save;
    };
    const Case cases[] = {
        {false, false, false, 0, 0},          {true, false, false, 0x4, 0},
        {false, true, false, 0x80200, 0},     {false, false, true, 0x1000, 0x1000},
        {true, true, false, 0x80204, 0},      {true, false, true, 0x1004, 0x1000},
        {false, true, true, 0x81200, 0x1000}, {true, true, true, 0x81204, 0x1000},
    };
    for (const Case& c : cases) {
        FileDialog d;
        d.setHideReadOnly(c.hide);
        d.setMultiSelect(c.multi);
        d.setFileMustExist(c.mustExist);
        EXPECT_EQ(d.openFlags(), c.open) << c.hide << c.multi << c.mustExist;
        EXPECT_EQ(d.saveFlags(), c.save) << c.hide << c.multi << c.mustExist;
        // The chooser gets the switches the flags carry; saving knows only must-exist.
        const FileChooserRequest open = d.request(false), save = d.request(true);
        EXPECT_EQ(open.hideReadOnly, c.hide);
        EXPECT_EQ(open.multiSelect, c.multi);
        EXPECT_EQ(open.fileMustExist, c.mustExist);
        EXPECT_FALSE(save.hideReadOnly || save.multiSelect);
        EXPECT_EQ(save.fileMustExist, c.mustExist);
    }
}

TEST(FileDialog, ChooserGetsTheSettingsAndItsAnswerComesBackAsIs) {
    QTemporaryDir tmp;
    FileDialog d;
    d.setFilter("GPS_Points|*.gps|All files|*");
    d.setInitialDir(tmp.path() + "/");
    d.setTitle("Points");

    ScriptedPrompts prompts;
    prompts.answerFile(tmp.path() + "/my trip.gps").answerFile("").answerFile(tmp.path() + "/out.gps");
    EXPECT_EQ(d.ShowOpen(), tmp.path() + "/my trip.gps");
    EXPECT_EQ(d.ShowOpen(), QString()); // cancelled
    EXPECT_EQ(d.ShowSave(), tmp.path() + "/out.gps");

    ASSERT_EQ(prompts.prompts().size(), 3);
    const FileChooserRequest& r = prompts.prompts()[0].file;
    EXPECT_FALSE(r.save);
    EXPECT_TRUE(prompts.prompts()[2].file.save);
    EXPECT_EQ(r.initialDir, tmp.path() + "/");
    EXPECT_EQ(r.title, QStringLiteral("Points"));
    ASSERT_EQ(r.filters.size(), 2);
    EXPECT_EQ(r.filters[0], qMakePair(QStringLiteral("GPS_Points"), QStringLiteral("*.gps")));
    EXPECT_EQ(r.filters[1], qMakePair(QStringLiteral("All files"), QStringLiteral("*")));
}

namespace {
class ManyFiles final : public PromptResponder {
public:
    int msgBox(const QString&, int, const QString&) override { return vbOK; }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList chooseFile(const FileChooserRequest&) override { return {"/data/a.gps", "/data/b.gps"}; }
};
} // namespace

TEST(FileDialog, SeveralChosenFilesComeBackAsFolderThenNames) {
    ManyFiles responder;
    PromptResponder* previous = &CurrentPromptResponder();
    SetPromptResponder(&responder);
    FileDialog d;
    d.setMultiSelect(true);
    const QString result = d.ShowOpen();
    SetPromptResponder(previous);
    EXPECT_EQ(result, QString("/data") + NUL + "a.gps" + NUL + "b.gps");
}
