// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS menu of the main window on a scripted port, and the progress window.
#include "fakecommport.h"
#include "gps/frmcommunication.h"
#include "gps/gpsdevice.h"
#include "gps/magellansentence.h"
#include "platform/numbers.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "table/flexgrid.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>

#include <gtest/gtest.h>

namespace {
const QString crlf = QStringLiteral("\r\n");

class GpsMenu : public ::testing::Test {
protected:
    GpsMenu() {
        clock.setProcessEvents(false);
        LoadForm(&form);
        auto fake = std::make_unique<FakeCommPort>(clock);
        port = fake.get();
        form.setCommPort(std::move(fake));
    }
    void connect() {
        receiver.attach(*port);
        prompts.answerMessage();
        form.cmdConnect_Click();
        ASSERT_TRUE(port->PortOpen());
        prompts.clear();
    }
    FlexGrid& grid() { return *form.MSFlexGrid1; }
    QStringList row(int r) {
        QStringList out;
        for (int c = 1; c <= 6; ++c)
            out << grid().TextMatrix(r, c);
        return out;
    }

    VirtualClock clock;
    ScopedClock scoped{&clock};
    ScriptedPrompts prompts;
    Form1 form;
    FakeCommPort* port = nullptr;
    FakeReceiver receiver;
};

TEST_F(GpsMenu, ConnectEnablesTheDeviceCommandsAndDisconnectSaysItIsSafe) {
    connect();
    form.mnuGPS_Click();
    EXPECT_TRUE(form.item("cmdGetWaypoints")->isEnabled());
    EXPECT_TRUE(form.item("cmdDisconnect")->isEnabled());
    EXPECT_FALSE(form.communicationWindow()->isVisible());

    prompts.answerMessage();
    form.cmdDisconnect_Click();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("It is now safe to remove the GPS Device.")});
    EXPECT_FALSE(port->PortOpen());
    form.mnuGPS_Click();
    EXPECT_FALSE(form.item("cmdGetWaypoints")->isEnabled());
}

TEST_F(GpsMenu, ReceiverWithNoWaypointsAddsNothing) {
    connect();
    form.blnSaved = true;
    form.cmdGetWaypoints_Click();
    EXPECT_EQ(grid().Rows(), 1);
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(GpsMenu, TwoDownloadsAppendTwiceAfterExistingRows) {
    connect();
    receiver.waypointLines = {Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,near the ford,a"),
                              Framed("PMGNWPL,3549.499,N,08650.827,E,0000257,M,HOME,gate\x1b"
                                     "2C left,c")};
    grid().setRows(3); // a filled row and a blank row at the end
    grid().setTextMatrix(1, 1, QStringLiteral("MINE"));
    form.cmdGetWaypoints_Click();
    form.cmdGetWaypoints_Click();
    ASSERT_EQ(grid().Rows(), 7);
    EXPECT_EQ(grid().TextMatrix(1, 1), QStringLiteral("MINE"));
    EXPECT_EQ(row(2), QStringList(6));
    const QStringList camp{"CAMP",     "-35.2763833333333", "-90.2763833333333",
                           "0000028M", "near the ford",     "a"};
    const QStringList home{
        "HOME", NumberToText(35 + 49.499 / 60), NumberToText(86 + 50.827 / 60), "0000257M", "gate, left",
        "c"};
    EXPECT_EQ(row(3), camp);
    EXPECT_EQ(row(4), home);
    EXPECT_EQ(row(5), camp);
    EXPECT_EQ(row(6), home);
    for (int r = 1; r < grid().Rows(); ++r)
        EXPECT_FALSE(grid().isMarked(r)) << r;
}

TEST_F(GpsMenu, TrackDownload) {
    connect();
    receiver.trackLines = {Framed("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A,,020302"),
                           Framed("PMGNTRK,3605.260,N,08644.390,W,00152,M,201449.61,A,RIVER,020302")};
    form.cmdGetTrack_Click();
    ASSERT_EQ(grid().Rows(), 3);
    EXPECT_EQ(row(1), (QStringList{"201444.61", NumberToText(36 + 5.259 / 60),
                                   NumberToText(-(86 + 44.389 / 60)), "00151M", "A", ""}));
    EXPECT_EQ(grid().TextMatrix(2, 6), QStringLiteral("R"));
    EXPECT_EQ(port->writtenTexts().last(), kTrackRequest);
}

TEST_F(GpsMenu, LinesThatCannotBeConvertedAreLeftOutAndCounted) {
    connect();
    QString corrupted = Framed("PMGNWPL,3500.000,N,08600.000,W,0000001,M,BAD,x,a");
    corrupted[12] = QLatin1Char('9');
    receiver.waypointLines = {Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,ONE,,a"), corrupted,
                              Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,TWO"),
                              Framed("PMGNWPL,35,S,09016.583,W,0000028,M,THREE,,a"),
                              Framed("PMGNWPL,3516.5830,S,09016.58,W,0000028,M,FOUR,,b")};
    prompts.answerMessage();
    form.cmdGetWaypoints_Click();
    ASSERT_EQ(grid().Rows(), 3);
    EXPECT_EQ(grid().TextMatrix(1, 1), QStringLiteral("ONE"));
    EXPECT_EQ(grid().TextMatrix(2, 1), QStringLiteral("FOUR"));
    EXPECT_EQ(grid().TextMatrix(2, 2), QStringLiteral("-35.2763833333333"));
    EXPECT_EQ(grid().TextMatrix(2, 3), NumberToText(-(90 + 16.58 / 60)));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral(
                                      "3 of the lines received from the GPS device could not be added to the "
                                      "list:\r\n1 with a wrong checksum\r\n1 with fewer than ten fields\r\n"
                                      "1 with a latitude or longitude that could not be read")});
}

TEST_F(GpsMenu, FailedDownloadAddsNothingButCountsAsAChange) {
    connect();
    port->setPortOpen(false);
    form.blnSaved = true;
    prompts.answerMessage();
    form.cmdGetWaypoints_Click();
    EXPECT_EQ(grid().Rows(), 1);
    EXPECT_FALSE(form.blnSaved);
    EXPECT_EQ(prompts.messages(),
              QStringList{QStringLiteral("8018: Operation valid only when the port is open")});
}

TEST(ProgressWindow, DotsCycleEveryFiveCalls) {
    frmCommunication w;
    w.show();
    auto shown = [&] {
        QString s;
        for (int i = 0; i < 5; ++i)
            s += w.Dots(i)->isVisibleTo(&w) ? QLatin1Char('o') : QLatin1Char('.');
        return s;
    };
    EXPECT_EQ(shown(), QStringLiteral("ooooo"));
    int index = 7; // out of range: reset, so this call clears
    w.DoDots(index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(shown(), QStringLiteral("o...."));
    QStringList seen;
    for (int i = 0; i < 5; ++i) {
        w.DoDots(index);
        seen << shown();
    }
    EXPECT_EQ(seen, (QStringList{"oo...", "ooo..", "oooo.", "ooooo", "o...."}));
    EXPECT_EQ(w.Image1->size(), QSize(79, 74));
    EXPECT_EQ(w.Dots(0)->size(), QSize(19, 19));
}

TEST(ProgressWindow, RefusesToClose) {
    frmCommunication w;
    w.setCaption(QStringLiteral("Getting Waypoints From GPS Device"));
    w.showProgress();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Getting Waypoints From GPS Device"));
    w.hideProgress();
    EXPECT_FALSE(w.isVisible());
}
} // namespace
