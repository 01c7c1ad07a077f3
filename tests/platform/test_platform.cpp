// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ansi.h"
#include "platform/clock.h"
#include "platform/durablewrite.h"
#include "platform/numbers.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "platform/qtpromptresponder.h"
#include "platform/settings.h"
#include "platform/twips.h"
#include "support/scriptedprompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/stat.h>

TEST(Ansi, Windows1252RoundTripAndUnmappable) {
    const QString text = QStringLiteral("Caf\u00e9 \u20ac5 \u2013 \u0160");
    const QByteArray bytes = ToAnsi(text);
    EXPECT_EQ(bytes, QByteArray("Caf\xe9 \x80"
                                "5 \x96 \x8a"));
    EXPECT_EQ(FromAnsi(bytes), text);
    // Characters the code page lacks become one '?' each, astral ones included.
    EXPECT_EQ(ToAnsi(QStringLiteral("a\u4e2db\U0001F600c")), QByteArray("a?b?c"));
    // Every byte reads back as itself.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

TEST(Numbers, TextFormsAsTheClassicRuntimePrints) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {35.2763888888889, "35.2763888888889"},
        {-90.25, "-90.25"},
        {35.5, "35.5"},
        {0, "0"},
        {-0.0, "0"},
        {1e-5, "1E-05"},
        {0.0001, "0.0001"},
        {1e15, "1E+15"},
        {999999999999999.0, "999999999999999"},
        {1.0 / 3.0, "0.333333333333333"},
        {2453164.33188, "2453164.33188"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {-1.5e-7, "-1.5E-07"},
        {100, "100"},
        {0.1 + 0.2, "0.3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToText(c.x).toStdString(), c.text) << c.x;
    EXPECT_EQ(NumberToText(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("NaN"));
}

TEST(Numbers, ParsingIgnoresLocaleAndRejectsPartialText) {
    bool ok = false;
    EXPECT_DOUBLE_EQ(TextToNumber(QStringLiteral(" -90.25 "), &ok), -90.25);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(TextToNumber(QStringLiteral("1E-05"), &ok), 1e-5);
    EXPECT_TRUE(ok);
    for (const char* bad : {"", " ", ".", "-", "35N", "3x5", "1,5", "1e", "--1", "1.2.3"}) {
        EXPECT_FALSE(IsNumeric(QString::fromLatin1(bad))) << bad;
        TextToNumber(QString::fromLatin1(bad), &ok);
        EXPECT_FALSE(ok) << bad;
    }
    EXPECT_TRUE(IsNumeric(QStringLiteral(".5")));
    EXPECT_TRUE(IsNumeric(QStringLiteral("5.")));
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("  28M")), 28.0);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("M28")), 0.0);
    // Every printed form parses back to the same double.
    for (double x : {35.2763888888889, -90.2763833333333, 1e-5, 1e15, 747726.7435})
        EXPECT_EQ(TextToNumber(NumberToText(x)), x);
}

TEST(Twips, FifteenTwipsPerPixel) {
    EXPECT_EQ(TwipsToPixels(10830), 722);
    EXPECT_EQ(TwipsToPixels(300), 20);
    EXPECT_EQ(TwipsToPixels(-150), -10);
    EXPECT_EQ(PixelsToTwips(20), 300);
}

TEST(Settings, StoredPerApplicationAsText) {
    EXPECT_EQ(GetSetting("Korvel Transfer", "Options", "Zone", "0"), QStringLiteral("0"));
    SaveSetting("Korvel Transfer", "Options", "Zone", "15");
    SaveSetting("Zenobar", "Options", "Metric", "False");
    EXPECT_EQ(GetSetting("Korvel Transfer", "Options", "Zone", "0"), QStringLiteral("15"));
    EXPECT_EQ(GetSetting("Korvel Transfer", "Options", "Metric", "True"), QStringLiteral("True"));
    EXPECT_EQ(GetSetting("Zenobar", "Options", "Metric", "True"), QStringLiteral("False"));
    const QString file = SettingsFilePath("Zenobar");
    EXPECT_TRUE(file.startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))) << file.toStdString();
    EXPECT_TRUE(QFile::exists(file));
}

// Rewrites of the same length in quick succession are read back, not an
// earlier copy the settings reader cached (it compares size and time only).
TEST(Settings, QuickRewritesOfTheSameLengthAreReadBack) {
    for (int i = 0; i < 200; ++i) {
        const QString value = i % 2 ? QStringLiteral("15") : QStringLiteral("60");
        SaveSetting("Korvel Transfer", "Options", "Zone", value);
        ASSERT_EQ(GetSetting("Korvel Transfer", "Options", "Zone"), value) << "rewrite " << i;
    }
}

TEST(Clock, VirtualClockAdvancesOnlyWhenSleptAndTellsListeners) {
    VirtualClock clock;
    ScopedClock scope(&clock);
    std::vector<qint64> seen;
    clock.addListener([&](qint64 now) { seen.push_back(now); });
    Sleep(500);
    Sleep(1500);
    Sleep(-3);
    DoEvents();
    EXPECT_EQ(clock.NowMs(), 2000);
    EXPECT_EQ(seen, (std::vector<qint64>{500, 2000, 2000}));
    EXPECT_EQ(clock.doEventsCalls(), 1);
}

TEST(Clock, RealClockSleepsAtLeastTheTime) {
    RealClock clock;
    const qint64 start = clock.NowMs();
    clock.Sleep(30);
    EXPECT_GE(clock.NowMs() - start, 30);
}

// A wait that something ends early: the condition is met by an event the wait
// itself must deliver (a timer), well before the 60 s it would otherwise take.
TEST(Clock, SleepUntilEndsWhenTheConditionHolds) {
    RealClock real;
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    EXPECT_TRUE(real.SleepUntil(60000, [&] { return fired; }));

    VirtualClock virt;
    int asked = 0;
    EXPECT_FALSE(virt.SleepUntil(1500, [&] { return ++asked > 5; }));
    EXPECT_EQ(virt.NowMs(), 1500);
    EXPECT_EQ(asked, 1);
}

TEST(Prompts, DefaultTitleIsTheApplicationsAndAnswersComeFromTheScript) {
    ScriptedPrompts prompts;
    prompts.answerMessage(vbNo).answerInput(QStringLiteral("typed")).answerFile(QStringLiteral("/tmp/x.gps"));
    EXPECT_EQ(MsgBox(QStringLiteral("Do you want to save changes?"), vbYesNoCancel), vbNo);
    EXPECT_EQ(InputBox(QStringLiteral("Name"), QStringLiteral("Title"), QStringLiteral("a")),
              QStringLiteral("typed"));
    FileChooserRequest r;
    r.initialDir = QStringLiteral("/tmp");
    EXPECT_EQ(ChooseFile(r), QStringList{QStringLiteral("/tmp/x.gps")});
    ASSERT_EQ(prompts.prompts().size(), 3);
    EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(prompts.prompts()[0].buttons, int(vbYesNoCancel));
    EXPECT_EQ(prompts.prompts()[1].title, QStringLiteral("Title"));
    EXPECT_EQ(prompts.prompts()[1].defaultText, QStringLiteral("a"));
}

// With no responder installed, the default answers; with no default either
// (a program without windows), every prompt gets the answer Escape gives.
TEST(Prompts, UninstalledFallsToTheDefaultAndWithoutOneToTheEscapeAnswer) {
    ScriptedPrompts fallback; // installs itself; taken out again below to act as the default
    SetPromptResponder(nullptr);
    SetDefaultPromptResponder(&fallback);
    fallback.answerMessage(vbRetry);
    EXPECT_EQ(MsgBox(QStringLiteral("Again?"), vbRetryCancel), vbRetry);
    EXPECT_EQ(fallback.prompts().size(), 1);

    SetDefaultPromptResponder(nullptr);
    EXPECT_EQ(MsgBox(QStringLiteral("Save?"), vbYesNo), vbNo);
    EXPECT_EQ(MsgBox(QStringLiteral("Save?"), vbYesNoCancel | vbDefaultButton2), vbCancel);
    EXPECT_EQ(MsgBox(QStringLiteral("Done.")), vbOK);
    EXPECT_EQ(MsgBoxWithDetail(QStringLiteral("Stop?"), QStringLiteral("x.gps"), vbRetryCancel), vbCancel);
    EXPECT_FALSE(InputBoxOrCancel(QStringLiteral("Name"), QString(), QStringLiteral("a")).has_value());
    EXPECT_EQ(InputBox(QStringLiteral("Name"), QString(), QStringLiteral("a")), QString());
    EXPECT_TRUE(ChooseFile(FileChooserRequest{}).isEmpty());
    EXPECT_EQ(fallback.prompts().size(), 1);

    UseQtPrompts(); // as the test main left it; fallback's destructor reinstalls the responder before it
}

TEST(ProgramFolder, SupportPathsHangOffTheProgramFolder) {
    EXPECT_EQ(AppPath(), QCoreApplication::applicationDirPath());
    EXPECT_TRUE(FileExists(SupportPath("Checkmark2.gif")));
    EXPECT_FALSE(FileExists(SupportPath("Data"))); // a folder
    QTemporaryDir dir;
    SetAppPathOverride(dir.path() + "/");
    EXPECT_EQ(SupportPath("Data/"), dir.path() + "/Support/Data/");
    EXPECT_FALSE(FileExists(SupportPath("Checkmark2.gif")));
    EXPECT_FALSE(FileExists(QString()));
    SetAppPathOverride(QString());
    EXPECT_EQ(AppPath(), QCoreApplication::applicationDirPath());
}

// Installed (the install step's marker in Support/), the programs keep each
// user's files in a private folder under XDG_DATA_HOME, and the rules in the
// user's own copy of the installed file; a build tree keeps them beside the
// program.
TEST(ProgramFolder, InstalledProgramsKeepEachUsersFilesInTheirDataFolder) {
    QTemporaryDir program, home;
    ASSERT_TRUE(QDir().mkpath(program.path() + "/Support"));
    ASSERT_TRUE(WriteFileDurably(program.path() + "/Support/Rules.rls", QByteArray("shipped rules")));
    SetAppPathOverride(program.path());
    EXPECT_FALSE(IsInstalledProgram());
    EXPECT_EQ(UserDataPath("Drawing1.dxf"), program.path() + "/Support/Data/Drawing1.dxf");
    EXPECT_EQ(WritableSupportFile("Rules.rls"), program.path() + "/Support/Rules.rls");

    ASSERT_TRUE(WriteFileDurably(program.path() + "/Support/" + kInstalledMarker, QByteArray("installed")));
    EXPECT_TRUE(IsInstalledProgram());
    const QByteArray savedData = qgetenv("XDG_DATA_HOME"), savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const mode_t savedUmask = ::umask(022);
    const QString xdg = home.path() + "/xdg data", fallback = home.path() + "/.local/share";
    struct Case {
        const char* what;
        QString env, folder;
    } cases[] = {
        {"XDG_DATA_HOME", xdg, xdg + "/korvel-transfer/"},
        {"unset", QString(), fallback + "/korvel-transfer/"},
        {"relative, which the base-directory rules ignore", "data", fallback + "/korvel-transfer/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.env.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", QFile::encodeName(c.env));
        QString error;
        EXPECT_EQ(UserDataPath("Drawing1.dxf", &error), c.folder + "Drawing1.dxf");
        EXPECT_EQ(error, "");
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(c.folder).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    // The rules: copied on first use, the copy kept from then on.
    QString warning;
    const QString copy = WritableSupportFile("Rules.rls", &warning);
    EXPECT_EQ(copy, fallback + "/korvel-transfer/Rules.rls");
    EXPECT_EQ(warning, "");
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "shipped rules");
    file.close();
    ASSERT_TRUE(WriteFileDurably(copy, QByteArray("the user's rules")));
    EXPECT_EQ(WritableSupportFile("Rules.rls"), copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the user's rules");
    file.close();
    // No data folder can be made (a file has its name): the installed rules, and why.
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg + "/blocked"));
    ASSERT_TRUE(QDir().mkpath(xdg + "/blocked"));
    ASSERT_TRUE(WriteFileDurably(xdg + "/blocked/korvel-transfer", QByteArray("not a folder")));
    EXPECT_EQ(WritableSupportFile("Rules.rls", &warning), program.path() + "/Support/Rules.rls");
    EXPECT_TRUE(warning.contains("could not be made")) << warning.toStdString();

    ::umask(savedUmask);
    qputenv("HOME", savedHome);
    qputenv("XDG_DATA_HOME", savedData);
    SetAppPathOverride(QString());
}
