// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS menu of the main window on a scripted port, and the progress window.
#include "fakecommport.h"
#include "gps/frmcommunication.h"
#include "gps/gpsdevice.h"
#include "gps/magellansentence.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

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
    // 35 deg 49.499 min N, 86 deg 50.827 min E, by hand to 15 significant digits.
    const QStringList home{"HOME", "35.8249833333333", "86.8471166666667", "0000257M", "gate, left", "c"};
    EXPECT_EQ(row(3), camp);
    EXPECT_EQ(row(4), home);
    EXPECT_EQ(row(5), camp);
    EXPECT_EQ(row(6), home);
    for (int r = 1; r < grid().Rows(); ++r)
        EXPECT_FALSE(grid().isMarked(r)) << r;
}

TEST_F(GpsMenu, DownloadSaysHowManyRowsCameAndMarksTheTableUnsaved) {
    connect();
    receiver.waypointLines = {Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a"),
                              Framed("PMGNWPL,3549.499,N,08650.827,E,0000257,M,HOME,,c")};
    form.updateTitleAndStatus();
    EXPECT_TRUE(form.findChild<QLabel*>("StatusReceiver")->text().startsWith("Receiver: "));
    EXPECT_NE(form.findChild<QLabel*>("StatusReceiver")->text(), "Receiver: none");
    form.item("cmdGetWaypoints")->trigger();
    EXPECT_EQ(form.findChild<QLabel*>("StatusMessage")->text(), "2 rows added from the receiver.");
    EXPECT_EQ(form.windowTitle(), "Untitled* \u2014 Korvel Transfer");
    EXPECT_EQ(form.findChild<QLabel*>("StatusRows")->text(), "2 rows, 0 marked");
}

TEST_F(GpsMenu, TrackDownload) {
    connect();
    receiver.trackLines = {Framed("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A,,020302"),
                           Framed("PMGNTRK,3605.260,N,08644.390,W,00152,M,201449.61,A,RIVER,020302")};
    form.cmdGetTrack_Click();
    ASSERT_EQ(grid().Rows(), 3);
    EXPECT_EQ(row(1), (QStringList{"201444.61", "36.08765", "-86.7398166666667", "00151M", "A", ""}));
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
    EXPECT_EQ(grid().TextMatrix(2, 3), QStringLiteral("-90.2763333333333")); // 90 deg 16.58 min W
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

// Upload and deletion: the table rows a test starts from, and what the port saw.
class GpsTransfer : public GpsMenu {
protected:
    void addRow(const QString& name, const QString& lat, const QString& lon, const QString& elevation,
                const QString& message, const QString& icon, bool marked) {
        AppendTableRow(grid(), {name, lat, lon, elevation, message, icon}, marked);
    }
    void answerMessages(int n) {
        for (int i = 0; i < n; ++i)
            prompts.answerMessage();
    }
    // How many sentences have been written so far, and those written since.
    int sentSoFar() const { return static_cast<int>(port->writes().size()); }
    QStringList sentSince(int from) const { return port->writtenTexts().mid(from); }
    // Answers every sentence starting with prefix with reply, delayMs later.
    void answer(const QString& prefix, const QString& reply, int delayMs = 100) {
        port->responder = [prefix, reply, delayMs](FakeCommPort& self, int, const QString& text) {
            if (text.startsWith(prefix))
                self.deliverAfter(delayMs, reply);
        };
    }
};

TEST_F(GpsTransfer, UploadSendsOnlyTheMarkedRow) {
    connect();
    addRow("FIRST", "35.1", "-86.1", "0000001M", "one", "a", false);
    addRow("CAMP", "-35.2763833333333", "-90.2763833333333", "0000028M", "near, the ford", "c", true);
    addRow("THIRD", "35.3", "-86.3", "0000003M", "three", "b", false);
    port->responder = nullptr; // the receiver stays silent: accepted
    form.blnSaved = true;
    form.blnEditReady = true; // as after a left click on a data cell
    grid().setMouseCell(2, 2);
    const int before = sentSoFar();
    prompts.answerMessage();
    form.cmdUploadWPs_Click();
    EXPECT_EQ(sentSince(before),
              QStringList{Framed("PMGNWPL,3516.583,S,09016.583,W,0028,M,CAMP,near, the ford,c")});
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});
    EXPECT_TRUE(form.blnSaved);
    EXPECT_EQ(grid().Rows(), 4);
    EXPECT_FALSE(form.Text1->isVisibleTo(&form)); // walking the marks did not open the editor
}

TEST_F(GpsTransfer, UploadLeavesTheCurrentCellAndScrollPosition) {
    connect();
    for (int i = 1; i <= 200; ++i)
        addRow(QStringLiteral("WP%1").arg(i), "35.1", "-86.1", "0000001M", "", "a", i == 150 || i == 190);
    port->responder = nullptr;
    form.resize(800, 400);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    grid().setRow(60);
    grid().setCol(3);
    QCoreApplication::processEvents();
    grid().verticalScrollBar()->setValue(40);
    prompts.answerMessage();
    form.cmdUploadWPs_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});
    EXPECT_EQ(grid().Row(), 60);
    EXPECT_EQ(grid().Col(), 3);
    EXPECT_EQ(grid().verticalScrollBar()->value(), 40);
}

TEST_F(GpsTransfer, CancelStopsTheUploadAfterTheCurrentWaypoint) {
    connect();
    for (int i = 1; i <= 5; ++i)
        addRow(QStringLiteral("WP%1").arg(i), "35.1", "-86.1", "0000001M", "", "a", true);
    port->responder = nullptr;
    frmCommunication* window = form.communicationWindow();
    QStringList counts;
    // Cancel while the second waypoint waits for its answer.
    clock.addListener([&](qint64) {
        auto* count = window->findChild<QLabel*>("Count");
        if (counts.isEmpty() || counts.last() != count->text())
            counts << count->text();
        if (count->text() == "2 of 5")
            window->findChild<QPushButton*>("CancelButton")->click();
    });
    const int before = sentSoFar();
    prompts.answerMessage();
    form.cmdUploadWPs_Click();
    EXPECT_EQ(sentSince(before).size(), 2);
    EXPECT_EQ(prompts.messages(),
              QStringList{"The upload was cancelled: 2 of the 5 selected waypoints were uploaded."});
    EXPECT_EQ(counts.first(), "1 of 5");
    EXPECT_FALSE(window->isVisible());
}

TEST_F(GpsTransfer, RefusedRowsAreNamedAndTheNextRowStillGoes) {
    connect();
    addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", true);
    addRow("TWO", "35.6", "-86.6", "0000002M", "", "a", true);
    addRow("THREE", "35.7", "-86.7", "0000003M", "", "a", true);
    // The receiver refuses TWO within the 500 ms; ONE's answer comes too late
    // to count and is dropped before TWO is sent.
    port->responder = [](FakeCommPort& self, int, const QString& text) {
        if (text.contains(QLatin1String(",ONE,")))
            self.deliverAfter(600, QStringLiteral("late\r\n"));
        if (text.contains(QLatin1String(",TWO,")))
            self.deliverAfter(400, kUnableReply + crlf);
    };
    const int before = sentSoFar();
    answerMessages(2);
    form.cmdUploadWPs_Click();
    EXPECT_EQ(sentSince(before).size(), 3);
    EXPECT_EQ(prompts.messages(),
              (QStringList{QStringLiteral("An error ocurred while trying to uplaod waypoint TWO."),
                           QStringLiteral("2 of the 3 selected waypoints were uploaded.")}));
}

// A receiver answering 700 ms after each sentence: each refusal lands in the
// next row's wait, the last one after all of them. It is waited for, counted
// without a name, and not left for the next download to take as its answer.
TEST_F(GpsTransfer, LateRefusalsAreCountedAndDoNotReachTheNextDownload) {
    connect();
    addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", true);
    addRow("TWO", "35.6", "-86.6", "0000002M", "", "a", true);
    addRow("THREE", "35.7", "-86.7", "0000003M", "", "a", true);
    port->responder = [](FakeCommPort& self, int, const QString& text) {
        if (text.startsWith(QLatin1String("$PMGNWPL,")))
            self.deliverAfter(700, kUnableReply + crlf);
        else if (text == kWaypointRequest)
            self.deliverAfter(100, kEndReply + crlf);
    };
    answerMessages(3);
    form.cmdUploadWPs_Click();
    EXPECT_EQ(prompts.messages(),
              (QStringList{QStringLiteral("An error ocurred while trying to uplaod waypoint TWO."),
                           QStringLiteral("An error ocurred while trying to uplaod waypoint THREE."),
                           QStringLiteral("0 of the 3 selected waypoints were uploaded.\r\nThe GPS device "
                                          "refused 1 more after the wait for its answer; which waypoints it "
                                          "refused cannot be told.")}));
    prompts.clear();
    form.cmdGetWaypoints_Click(); // any message here fails the test
    EXPECT_EQ(grid().Rows(), 4);
}

TEST_F(GpsTransfer, RowsRemovedDuringTheTransferAreNotRead) {
    connect();
    for (int i = 0; i < 4; ++i)
        addRow(QStringLiteral("P%1").arg(i), "35.5", "-86.5", "0000001M", "", "a", true);
    // The user removes rows while the first sentence waits for its answer.
    port->responder = [this](FakeCommPort&, int, const QString& text) {
        if (text.contains(QLatin1String(",P0,")) || text.contains(QLatin1String("PMGNDWP,P0")))
            grid().setRows(3);
    };
    const int before = sentSoFar();
    prompts.answerMessage();
    form.cmdUploadWPs_Click();
    EXPECT_EQ(sentSince(before).size(), 2);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});

    addRow("P2", "35.5", "-86.5", "0000001M", "", "a", false);
    addRow("P3", "35.5", "-86.5", "0000001M", "", "a", false);
    const int beforeDelete = sentSoFar();
    prompts.answerMessage(vbYes); // deleting is confirmed first
    prompts.answerMessage();
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(sentSince(beforeDelete), (QStringList{Framed("PMGNDWP,P0,a"), Framed("PMGNDWP,P1,a")}));
    EXPECT_EQ(grid().Rows(), 2);
}

TEST_F(GpsTransfer, RowsThatCannotBeSentAreReportedAndSkipped) {
    connect();
    addRow("GOOD", "35.5", "-86.5", "0000001M", "", "a", true);
    addRow("NOLAT", "north", "-86.5", "0000001M", "", "a", true);
    addRow("NOLON", "35.5", "", "0000001M", "", "a", true);
    addRow("NOELEV", "35.5", "-86.5", "M", "", "a", true);
    addRow("LAST", "36", "-87", "0000002M", "", "b", true);
    port->responder = nullptr;
    const int before = sentSoFar();
    answerMessages(4);
    form.cmdUploadWPs_Click();
    const QStringList sent = sentSince(before);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_TRUE(sent.at(0).contains(QLatin1String(",GOOD,")));
    EXPECT_EQ(sent.at(1),
              Framed("PMGNWPL,3600.000,N,08700.000,W,0002,M,LAST,,b")); // nothing of the rows before
    const QStringList m = prompts.messages();
    ASSERT_EQ(m.size(), 4);
    EXPECT_EQ(m.at(0),
              QStringLiteral("Row 2 (NOLAT) was not uploaded: its latitude \"north\" is not a number."));
    EXPECT_EQ(m.at(1), QStringLiteral("Row 3 (NOLON) was not uploaded: its longitude \"\" is not a number."));
    EXPECT_TRUE(m.at(2).startsWith(QStringLiteral("Row 4 (NOELEV) was not uploaded: its elevation \"M\"")));
    EXPECT_EQ(m.at(3), QStringLiteral("2 of the 5 selected waypoints were uploaded."));
}

TEST_F(GpsTransfer, OneByOneDeletionClearsTheTableToTwoRows) {
    receiver.versionReply = QStringLiteral("$PMGNVER,33,VER 1 06,Meridian Color,0,555");
    connect();
    addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", true);
    addRow("TWO,X", "35.6", "-86.6", "0000002M", "", "", false);
    port->responder = nullptr;
    form.blnSaved = false;
    const int before = sentSoFar();
    prompts.answerMessage(vbYes); // deleting is confirmed first
    prompts.answerMessage();
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(sentSince(before), (QStringList{Framed("PMGNDWP,ONE,a"), Framed("PMGNDWP,TWO,X,")}));
    EXPECT_EQ(
        prompts.messages().mid(1),
        QStringList{QStringLiteral("All user waypoints have been deleted\r\nfrom the GPS device Meridian "
                                   "Color\r\nSerial Number: 555\r\n The list will now be cleared.")});
    ASSERT_EQ(grid().Rows(), 2);
    EXPECT_EQ(grid().TextMatrix(0, 1), QString()); // headings cleared too
    EXPECT_EQ(row(1), QStringList(6));
    EXPECT_FALSE(grid().isMarked(1));
    EXPECT_FALSE(form.blnSaved); // unchanged
}

TEST_F(GpsTransfer, BlankRowsAreNotSentForDeletion) {
    connect();
    addRow("", "", "", "", "", "", false); // the empty row a clearing leaves
    addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", false);
    answer(QStringLiteral("$PMGNDWP,,"), kUnableReply + crlf); // a receiver refuses a nameless waypoint
    const int before = sentSoFar();
    prompts.answerMessage(vbYes); // deleting is confirmed first
    prompts.answerMessage();
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(sentSince(before), QStringList{Framed("PMGNDWP,ONE,a")});
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_TRUE(prompts.messages().at(1).startsWith(QStringLiteral("All user waypoints have been deleted")));
    EXPECT_EQ(grid().Rows(), 2);
}

TEST_F(GpsTransfer, FailedOneByOneDeletionKeepsTheTable) {
    connect();
    addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", false);
    addRow("GONE", "35.6", "-86.6", "0000002M", "", "b", false);
    addRow("THREE", "35.7", "-86.7", "0000003M", "", "c", false);
    answer(QStringLiteral("$PMGNDWP,GONE,"), kUnableReply + crlf);
    const int before = sentSoFar();
    prompts.answerMessage(vbYes); // deleting is confirmed first
    answerMessages(2);
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(sentSince(before).size(), 3); // the rows after the failure are still tried
    EXPECT_EQ(
        prompts.messages().mid(1),
        (QStringList{QStringLiteral("Could not delete way point GONE"),
                     QStringLiteral("1 of the 3 waypoints in the list could not be deleted from the GPS "
                                    "device SporTrak.\r\nThe list was not cleared.")}));
    EXPECT_EQ(grid().Rows(), 4);
    EXPECT_EQ(grid().TextMatrix(2, 1), QStringLiteral("GONE"));
}

TEST_F(GpsTransfer, MeridianDeletesAllWithOneSentence) {
    receiver.versionReply = QStringLiteral("$PMGNVER,33,VER 1 06,Meridian,0,98765");
    connect();
    for (int i = 0; i < 5; ++i)
        addRow(QStringLiteral("P%1").arg(i), "35.5", "-86.5", "0000001M", "", "a", i % 2 == 0);
    answer(QStringLiteral("$PMGNCMD,DELETE"), kEndReply + crlf);
    const int before = sentSoFar();
    prompts.answerMessage(vbYes); // deleting is confirmed first
    prompts.answerMessage();
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(sentSince(before), QStringList{kDeleteAllRequest});
    EXPECT_EQ(
        prompts.messages().mid(1),
        QStringList{QStringLiteral("All user waypoints have been deleted\r\nfrom the GPS device "
                                   "Meridian\r\nSerial Number: 98765\r\n The list will now be cleared.")});
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_FALSE(form.communicationWindow()->isVisible());

    // Refused: nothing changes.
    addRow("KEEP", "35.5", "-86.5", "0000001M", "", "a", false);
    answer(QStringLiteral("$PMGNCMD,DELETE"), kUnableReply + crlf);
    prompts.answerMessage(vbYes); // deleting is confirmed first
    prompts.answerMessage();
    form.cmdDeleteWaypoints_Click();
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("Unable to processs command."));
    EXPECT_EQ(grid().Rows(), 3);
    EXPECT_EQ(grid().TextMatrix(2, 1), QStringLiteral("KEEP"));
}

// A track that never ends: after Cancel the rest of the answer is discarded
// while the progress window says so, no other GPS command starts meanwhile,
// and a second Cancel gives the wait up, closing the port.
TEST_F(GpsTransfer, AfterCancelNoCommandStartsUntilTheAnswerIsOverOrTheWaitIsGivenUp) {
    connect();
    const QString line = Framed("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A,,020302");
    bool streaming = false;
    port->responder = [&](FakeCommPort&, int, const QString& text) { streaming = text == kTrackRequest; };
    frmCommunication* window = form.communicationWindow();
    auto* count = window->findChild<QLabel*>("Count");
    auto* cancel = window->findChild<QPushButton*>("CancelButton");
    qint64 discardingSince = -1;
    int writesBefore = 0;
    clock.addListener([&](qint64 now) {
        if (!streaming)
            return;
        if (count->text() == QLatin1String("5 track points received")) {
            cancel->click();
            return;
        }
        port->deliverAfter(0, line); // a line every poll, for ever
        if (!count->text().startsWith(QLatin1String("Discarding the rest of the receiver's answer...")))
            return;
        if (discardingSince < 0) {
            discardingSince = now;
            writesBefore = sentSoFar();
            form.cmdGetWaypoints_Click(); // refused while the track is still coming
        } else if (now - discardingSince >= 60000 && cancel->isEnabled()) {
            cancel->click();
        }
    });
    prompts.answerMessage().answerMessage();
    form.cmdGetTrack_Click();
    ASSERT_GE(discardingSince, 0);
    EXPECT_EQ(sentSoFar(), writesBefore);
    const QStringList m = prompts.messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_TRUE(m.at(0).startsWith("The GPS device is still busy with the last command"))
        << m.at(0).toStdString();
    EXPECT_TRUE(
        m.at(1).startsWith("You stopped waiting for the GPS device to finish sending. The port was closed"))
        << m.at(1).toStdString();
    EXPECT_GE(clock.NowMs() - discardingSince, 60000);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(grid().Rows(), 1 + 5); // the lines before Cancel
    EXPECT_FALSE(window->isVisible());
}

// Deleting asks first, naming how many waypoints go; No sends nothing.
TEST_F(GpsTransfer, DeleteAsksOnceBeforeItStarts) {
    const struct {
        const char* version;
        const char* question;
    } cases[] = {
        {"$PMGNVER,37,VER 1 06,SporTrak,0,1",
         "Delete 2 waypoints from the GPS device SporTrak? Each waypoint in "
         "the list is deleted on the device by its name."},
        {"$PMGNVER,33,VER 1 06,Meridian,0,1",
         "Delete every user waypoint on the GPS device Meridian? This model "
         "deletes them all at once, not only the 2 waypoints in the list."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        receiver.versionReply = QLatin1String(c.version);
        connect();
        grid().setRows(1);
        addRow("ONE", "35.5", "-86.5", "0000001M", "", "a", false);
        addRow("TWO", "35.6", "-86.6", "0000002M", "", "b", true);
        const int before = sentSoFar();
        prompts.answerMessage(vbNo);
        form.cmdDeleteWaypoints_Click();
        EXPECT_EQ(prompts.messages(), QStringList{QLatin1String(c.question)});
        EXPECT_EQ(prompts.prompts().at(0).buttons & 7, int(vbYesNo));
        EXPECT_EQ(sentSince(before), QStringList());
        EXPECT_EQ(grid().Rows(), 3);
        port->setPortOpen(false);
    }
}

// The older models keep 6 characters of a name: shortened names change the
// table, which is then unsaved.
TEST_F(GpsTransfer, ShortenedNamesLeaveTheTableUnsaved) {
    receiver.versionReply = QStringLiteral("$PMGNVER,24,VER 2 11,GPS 315/320,0,777");
    connect();
    addRow("SUMMIT2", "35.5", "-86.5", "0000001M", "", "a", true);
    port->responder = nullptr;
    form.blnSaved = true;
    const int before = sentSoFar();
    prompts.answerMessage(vbYes).answerMessage();
    form.cmdUploadWPs_Click();
    EXPECT_TRUE(prompts.messages().at(0).startsWith(
        "The GPS device GPS 315/320 keeps waypoint names of at most 6 characters"));
    EXPECT_EQ(sentSince(before), QStringList{Framed("PMGNWPL,3530.000,N,08630.000,W,0001,M,SUMMIT,,a")});
    EXPECT_EQ(grid().TextMatrix(1, 1), QStringLiteral("SUMMIT"));
    EXPECT_FALSE(form.blnSaved);
    EXPECT_TRUE(form.windowTitle().startsWith("Untitled*"));
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
    w.layout()->activate();
    const int firstDotX = w.Dots(0)->x();
    int index = 7; // out of range: reset, so this call clears
    w.DoDots(index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(shown(), QStringLiteral("o...."));
    w.layout()->activate();
    EXPECT_EQ(w.Dots(0)->x(), firstDotX); // the row does not close up around hidden dots
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
