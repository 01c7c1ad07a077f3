// SPDX-License-Identifier: GPL-3.0-or-later
// The left-button state seen through the application-wide event filter.
#include "platform/mousestate.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

TEST(MouseState, PollTellsAClickSinceTheLastPollFromAButtonHeldDown) {
    MouseState* state = ApplicationMouseState();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(ApplicationMouseState(), state) << "one tracker per application";
    GetAsyncKeyState(VK_LBUTTON);
    QWidget w;
    w.resize(100, 100);
    w.show();

    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
    QTest::mouseClick(&w, Qt::LeftButton);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 1) << "clicked and released";
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0) << "the poll clears the click";

    QTest::mousePress(&w, Qt::LeftButton);
    short held = GetAsyncKeyState(VK_LBUTTON);
    EXPECT_LT(held, 0) << "held down";
    EXPECT_EQ(held & 1, 1);
    EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
    QTest::mouseRelease(&w, Qt::LeftButton);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0) << "released without a new press";

    QTest::mouseClick(&w, Qt::RightButton);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0) << "other buttons do not count";
    QTest::mouseClick(&w, Qt::LeftButton);
    EXPECT_EQ(GetAsyncKeyState(2), 0) << "only the left button is tracked";
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 1);
}
