// SPDX-License-Identifier: GPL-3.0-or-later
// Which window the Qt dialogs of the prompt service open over. A dialog over
// the wrong window makes the window manager raise that window (and the
// dialog) over the one the user works in.
#include "platform/promptowner.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class PromptParentTest : public ::testing::Test {
protected:
    void SetUp() override {
        before = &CurrentPromptResponder();
        SetPromptResponder(nullptr); // the Qt dialogs themselves
        main.setWindowTitle(QStringLiteral("main"));
        main.show();
        SetPromptParent(&main);
        rules.setWindowFlag(Qt::Window);
        rules.setWindowTitle(QStringLiteral("rules"));
        rules.show();
        rules.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rules));
    }
    void TearDown() override {
        SetPromptParent(nullptr);
        SetPromptResponder(before);
    }
    // Closes the next dialog shown (Cancel or its close box) and records the window it is over.
    void closeNextDialog() {
        QTimer::singleShot(0, qApp, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) {
                closeNextDialog(); // not shown yet
                return;
            }
            parents.append(dialog->parentWidget());
            dialog->close();
        });
    }

    PromptResponder* before = nullptr;
    QMainWindow main;
    QWidget rules{&main};
    QList<QWidget*> parents;
};

} // namespace

TEST_F(PromptParentTest, AMessageAfterAnInputBoxOpensOverTheWindowThatAskedNotTheMainWindow) {
    // A failed Find: the value is asked, then the message says nothing was found.
    closeNextDialog();
    InputBox(QStringLiteral("Value to search for:"), QStringLiteral("Find Rule"));
    closeNextDialog();
    MsgBox(QStringLiteral("No rule found with a Value of x."));
    ASSERT_EQ(parents.size(), 2);
    EXPECT_EQ(parents[0], &rules);
    EXPECT_EQ(parents[1], &rules);
}

TEST_F(PromptParentTest, AnOwnerWinsAndAWindowNoLongerShownIsPassedOver) {
    closeNextDialog();
    {
        const PromptOwner over(&main);
        EXPECT_EQ(PromptDialogParent(), &main);
        MsgBox(QStringLiteral("about the main window"));
    }
    EXPECT_EQ(PromptDialogParent(), &rules) << "the owner ends with its scope";
    rules.hide();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    EXPECT_EQ(PromptDialogParent(), &main);
    ASSERT_EQ(parents.size(), 1);
    EXPECT_EQ(parents[0], &main);
}
