// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing that cannot be saved (a full disk, the preloaded fault injector):
// the insertion command says so at its end, and Exit lets the user settle the
// changes instead of losing them.
#include "support/faultinjection.h"
#include "test_insert_fixture.h"

TEST_F(InsertTest, AFailedDrawingSaveIsReportedByTheCommandAndSettledAtExit) {
    load("Message", "Flag", "Survey Points", true);
    addRow({"WP1", "45.5", "-122.5", "10M", "CAMP 4", ""});
    addRow({"WP2", "-33.5", "151.25", "", "Harbour", ""});
    const QString rescue = work.filePath(QStringLiteral("Rescue.dxf"));
    {
        FaultInjection full("Site.dxf", {0, ENOSPC, 0, 0, 0});
        prompts.answerMessage();
        form->cmdInsertAll_Click();
        ASSERT_EQ(prompts.messages().size(), 1);
        const QString closing = prompts.messages()[0];
        EXPECT_TRUE(closing.startsWith(
            QStringLiteral("The drawing %1 could not be saved: No space left on device").arg(drawing)))
            << closing.toStdString();
        EXPECT_FALSE(closing.contains(QStringLiteral("All way points in the list were Inserted.")));
        EXPECT_TRUE(
            closing.contains(QStringLiteral("2 way points were inserted into the drawing but not saved.")));
        EXPECT_FALSE(QFile::exists(drawing));

        // Exit while the disk is still full: trying again fails and the choice
        // comes back; the drawing then goes under another name.
        prompts.clear();
        prompts.answerMessage(vbYes).answerMessage(vbNo).answerFile(rescue);
        EXPECT_TRUE(form->requestClose());
        ASSERT_EQ(prompts.prompts().size(), 3);
        EXPECT_EQ(prompts.prompts()[0].buttons, vbYesNoCancel + vbExclamation);
        EXPECT_TRUE(prompts.messages()[1].contains(QStringLiteral("No space left on device")));
    }
    const QJsonObject r = readBack(rescue);
    EXPECT_EQ(problemsOf(r), "");
    ASSERT_EQ(r.value("inserts").toArray().size(), 2);
    EXPECT_EQ(label(r.value("inserts").toArray()[1].toObject()), "Harbour");
}
