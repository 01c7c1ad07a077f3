// SPDX-License-Identifier: GPL-3.0-or-later
// main() of every test executable: an offscreen QApplication, private settings
// and data folders, the program folder at the build's bin/ (where Support/ is).
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir config, data;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    // Where an installed program would keep the user's files: never the real one.
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    SetAppTitle(QStringLiteral("Korvel Transfer"));
    UnexpectedPrompts unexpected;
    SetPromptResponder(&unexpected);
    const int result = RUN_ALL_TESTS();
    SetPromptResponder(nullptr);
    return result;
}
