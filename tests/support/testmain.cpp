// SPDX-License-Identifier: GPL-3.0-or-later
// main() of every test executable: an offscreen QApplication, private settings
// and data folders, the program folder at the build's bin/ (where Support/ is).
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "platform/qtpromptresponder.h"
#include "platform/settings.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Each test starts with no stored settings, as on a first run: what one test
// stored cannot change another, in whatever order they run (--gtest_shuffle).
class FreshSettings final : public ::testing::EmptyTestEventListener {
public:
    explicit FreshSettings(const QString& folder) : folder_(folder) {}
    void OnTestStart(const ::testing::TestInfo&) override {
        const QDir dir(folder_);
        for (const QFileInfo& entry :
             dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (entry.isDir() && !entry.isSymLink())
                QDir(entry.filePath()).removeRecursively();
            else
                QFile::remove(entry.filePath());
        }
    }

private:
    QString folder_;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir config, data;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    // Where an installed program would keep the user's files: never the real one.
    setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings(config.path()));
    SetAppTitle(QStringLiteral("Korvel Transfer"));
    UseQtPrompts(); // SetPromptResponder(nullptr) gives the Qt dialogs, as in the programs
    UnexpectedPrompts unexpected;
    SetPromptResponder(&unexpected);
    const int result = RUN_ALL_TESTS();
    SetPromptResponder(nullptr);
    return result;
}
