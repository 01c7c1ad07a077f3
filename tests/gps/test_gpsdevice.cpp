// SPDX-License-Identifier: GPL-3.0-or-later
// GPSDevice against a scripted port on the virtual clock: the port search,
// the connection report, downloads and their failures.
#include "fakecommport.h"
#include "gps/gpsdevice.h"
#include "gps/magellansentence.h"
#include "gps/progressview.h"
#include "gps/waypointtransfer.h"
#include "support/scriptedprompts.h"
#include "support/shownresults.h"
#include "support/tablerows.h"
#include "table/waypointrows.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
const QString crlf = QStringLiteral("\r\n");

struct RecordingProgress final : ProgressView {
    QStringList captions;
    QStringList texts;
    int shows = 0, hides = 0, dots = 0;
    bool visible = false;
    bool cancellable = false;
    qint64 cancelAtMs = -1; // virtual time from which Cancel is chosen (-1: never)
    void setProgressText(const QString& t) override { texts << t; }
    void setCancellable(bool on) override { cancellable = on; }
    bool cancelRequested() const override { return cancelAtMs >= 0 && CurrentClock().NowMs() >= cancelAtMs; }
    void setCaption(const QString& c) override { captions << c; }
    void showProgress() override {
        ++shows;
        visible = true;
    }
    void hideProgress() override {
        ++hides;
        visible = false;
    }
    void DoDots(int& index) override {
        ++dots;
        index = index > 4 ? 1 : index + 1;
    }
};

class GpsDeviceTest : public ::testing::Test {
protected:
    GpsDeviceTest() : port(clock), device(&port, &progress) { clock.setProcessEvents(false); }
    VirtualClock clock;
    ScopedClock scoped{&clock};
    ScriptedPrompts prompts;
    FakeCommPort port;
    RecordingProgress progress;
    GPSDevice device;
    FakeReceiver receiver;

    QString connectMessage(const QString& model, const QString& serial, const QString& version) {
        return QStringLiteral("You have successfully connected to a ") + model +
               QStringLiteral(".\r\n Serial Number: ") + serial + QStringLiteral("\r\nSoftware Version: ") +
               version;
    }
    void connectOn(int n) {
        receiver.port = n;
        receiver.attach(port);
        prompts.answerMessage();
        ASSERT_TRUE(Shown(device.SearchForDevice()));
        prompts.clear();
    }
};

TEST_F(GpsDeviceTest, ReceiverOnPortThreeAfterTwoSilentPorts) {
    receiver.port = 3;
    receiver.attach(port);
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.SearchForDevice()));

    EXPECT_EQ(port.opens(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(port.closes(), 2); // the silent ports were closed again
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.commPortNumber(), 3);
    EXPECT_EQ(port.Settings(), QStringLiteral("4800,n,8,1"));
    EXPECT_EQ(port.Handshaking(), 0);
    // Each silent port costs 15 polls of 500 ms; port 3 answers at the first poll,
    // then "TON" is answered at the first of its polls.
    EXPECT_EQ(clock.totalSlept(), 2 * 15 * 500 + 500 + 500);
    EXPECT_EQ(port.writtenTexts(),
              (QStringList{kVersionRequest, kVersionRequest, kVersionRequest, kTonCommand}));
    EXPECT_EQ(port.writes().back().port, 3);
    EXPECT_EQ(progress.dots, 31); // the version polls step the dots, the TON wait does not
    EXPECT_EQ(progress.captions, (QStringList{QStringLiteral("Searching For GPS Device"),
                                              QStringLiteral("Searching For GPS Device On Comm Port 1"),
                                              QStringLiteral("Searching For GPS Device On Comm Port 2"),
                                              QStringLiteral("Searching For GPS Device On Comm Port 3")}));
    EXPECT_FALSE(progress.visible);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages().at(0), connectMessage("SporTrak", "12345678", "1.06"));
    EXPECT_EQ(prompts.prompts().at(0).title, QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(device.deviceModel(), QStringLiteral("SporTrak"));
    EXPECT_EQ(device.deviceSerialNumber(), QStringLiteral("12345678"));
}

TEST_F(GpsDeviceTest, MissingPortsAreSkippedWithoutMessages) {
    port.present = {4};
    receiver.port = 4;
    receiver.attach(port);
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.SearchForDevice()));
    EXPECT_EQ(port.opens(), (std::vector<int>{4}));
    EXPECT_EQ(clock.totalSlept(), 1000); // no waiting on ports that are not there
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).startsWith(QStringLiteral("You have successfully connected")));
}

TEST_F(GpsDeviceTest, NoReceiverAnywhere) {
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("No GPS Found!")});
    EXPECT_EQ(port.closes(), 4);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(clock.totalSlept(), 4 * 15 * 500);
    EXPECT_EQ(device.deviceModel(), QString());

    port.present.clear();
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("No GPS Found!"));
    EXPECT_FALSE(progress.visible);
}

TEST_F(GpsDeviceTest, OtherOpenFailuresAreReportedAndEndTheSearch) {
    receiver.attach(port);
    port.setCommPort(1);
    port.setPortOpen(true); // already open: opening again raises 8005
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("8005: Port already open")});
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(progress.visible);
}

TEST_F(GpsDeviceTest, SoftwareVersionAndShortReplies) {
    const struct {
        const char* reply;
        const char* model;
        const char* serial;
        const char* version;
    } cases[] = {
        {"$PMGNVER,37,VER 1 06,SporTrak,0,12345678", "SporTrak", "12345678", "1.06"},
        {"$PMGNVER,37,VER  1 06,SporTrak,0,12345678", "SporTrak", "12345678",
         " 1 06"}, // leading space: unchanged
        {"$PMGNVER,33,VER 5.32,Meridian,0,87654321", "Meridian", "87654321", "5.32"},
        {"$PMGNVER,37,VER 2 1 a,Mystic,0,42,extra", "Mystic", "42", "2.1.a"}, // more fields: serial whole
    };
    for (const auto& c : cases) {
        receiver.versionReply = QString::fromLatin1(c.reply);
        receiver.attach(port);
        prompts.answerMessage();
        EXPECT_TRUE(Shown(device.SearchForDevice())) << c.reply;
        EXPECT_EQ(prompts.messages().last(), connectMessage(c.model, c.serial, c.version)) << c.reply;
        EXPECT_EQ(device.deviceModel(), QLatin1String(c.model));
        port.setPortOpen(false);
    }
    // Fewer than six fields name no receiver (they used to connect to "a ."):
    // the port is closed and the answer shown; the last model stays.
    for (const char* reply : {"$PMGNVER,37,VER 1 06,SporTrak", "$PMGNVER,37,VE"}) {
        receiver.versionReply = QString::fromLatin1(reply);
        receiver.attach(port);
        prompts.answerMessage();
        EXPECT_FALSE(Shown(device.SearchForDevice())) << reply;
        EXPECT_TRUE(prompts.messages().last().startsWith(
            QStringLiteral("The device on Comm Port 1 answered the version request with \"%1*")
                .arg(QLatin1String(reply))))
            << prompts.messages().last().toStdString();
        EXPECT_FALSE(port.PortOpen());
        EXPECT_EQ(device.deviceModel(), QStringLiteral("Mystic"));
    }
}

TEST_F(GpsDeviceTest, VersionReplyCutBetweenTwoPollsIsJoined) {
    receiver.attach(port);
    port.responder = [](FakeCommPort& self, int, const QString& text) {
        if (text == kVersionRequest)
            self.deliverPieces(
                400, 200,
                {QStringLiteral("$PMGNVER,37,VER 1 06,Spor"), QStringLiteral("Trak,0,12345678*10\r\n")});
        else
            self.deliverAfter(100, Framed(QStringLiteral("PMGNCMD,TON")));
    };
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.SearchForDevice()));
    EXPECT_EQ(device.deviceModel(), QStringLiteral("SporTrak"));
    EXPECT_EQ(device.deviceSerialNumber(), QStringLiteral("12345678"));
}

TEST_F(GpsDeviceTest, SilentAfterTonIsBoundedAndLeavesTheProgramDisconnected) {
    receiver.answerTon = false;
    receiver.attach(port);
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(clock.totalSlept(), 500 + 5000);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).contains(QStringLiteral("stopped answering")))
        << prompts.messages().at(0).toStdString();
    EXPECT_EQ(device.deviceModel(), QString()); // no successful connection
    EXPECT_FALSE(progress.visible);
}

// Cancel while a silent port is polled, and while the receiver is asked for
// "TON": the search ends at the next slice of the wait, the port is closed,
// no further port is tried and nothing claims a receiver.
TEST_F(GpsDeviceTest, CancelEndsThePortSearchPromptly) {
    for (const bool duringTon : {false, true}) {
        SCOPED_TRACE(duringTon ? "during TON" : "silent port");
        FakeCommPort fresh(clock);
        GPSDevice searching(&fresh, &progress);
        FakeReceiver silentOrDeaf;
        silentOrDeaf.answerTon = false;
        silentOrDeaf.port = duringTon ? 1 : 5; // 5: ports 1 to 4 stay silent
        silentOrDeaf.attach(fresh);
        const qint64 start = clock.NowMs();
        progress.cancelAtMs = start + (duringTon ? 800 : 1200);
        EXPECT_FALSE(Shown(searching.SearchForDevice()));
        EXPECT_TRUE(progress.cancellable);
        EXPECT_LE(clock.NowMs() - start, 1500);
        EXPECT_EQ(fresh.opens(), std::vector<int>{1});
        EXPECT_FALSE(fresh.PortOpen());
        EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join(" | ").toStdString();
        EXPECT_EQ(searching.deviceModel(), QString());
        EXPECT_FALSE(progress.visible);
    }
}

TEST_F(GpsDeviceTest, CloseDevice) {
    connectOn(1);
    EXPECT_TRUE(Shown(device.CloseDevice()));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(device.deviceModel(), QStringLiteral("SporTrak")); // kept after a disconnect
}

TEST_F(GpsDeviceTest, DownloadEndsAtEndOrUnable) {
    connectOn(2);
    receiver.waypointLines = {Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c"),
                              Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a")};
    const qint64 before = clock.totalSlept();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(clock.totalSlept() - before, 1500);
    EXPECT_EQ(port.writtenTexts().last(), kWaypointRequest);
    EXPECT_EQ(device.receivedLines().size(), 4);
    EXPECT_EQ(device.receivedLines().at(2), kEndReply);
    EXPECT_EQ(device.receivedDataLines().size(), 2);
    EXPECT_TRUE(device.lastDownloadComplete());
    EXPECT_EQ(progress.captions.last(), QStringLiteral("Getting Waypoints From GPS Device"));
    EXPECT_FALSE(progress.visible);

    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(100, Framed("PMGNTRK,3605.259,N,08644.389,W,00151,M,201444.61,A,,020302") +
                                   kUnableReply + crlf);
    };
    // Refused after a line: the line is kept and the refusal told (every line
    // used to be dropped).
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.ReceiveTracks()));
    EXPECT_TRUE(device.lastDownloadRefused());
    EXPECT_EQ(device.receivedDataLines().size(), 1);
    EXPECT_EQ(port.writtenTexts().last(), kTrackRequest);
    EXPECT_EQ(progress.captions.last(), QStringLiteral("Getting Tracks From GPS Device"));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral(
                                      "The GPS device refused the rest of the transfer (it answered "
                                      "UNABLE).\r\nThe 1 complete lines received before that will be added "
                                      "to the list.")});
    EXPECT_FALSE(progress.visible);

    // Refused before any line: told, and nothing to add.
    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(100, kUnableReply + crlf);
    };
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.ReceiveTracks()));
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("The GPS device refused the request (it answered "
                                                        "UNABLE).\r\nNothing was added to the list."));
}

// A port that never ends its answer is stopped at an hour, or at 8 MiB,
// whichever comes first; nothing is kept and the port is closed.
TEST_F(GpsDeviceTest, DownloadThatNeverEndsIsStoppedAtABound) {
    const QString line = Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c");
    const struct {
        int lineEveryMs;
        int linesEach;
        const char* said;
        qint64 minMs, maxMs;
    } cases[] = {
        {1000, 1, "The GPS device was still sending after 60 minutes", GPSDevice::kDownloadMaxMs,
         GPSDevice::kDownloadMaxMs + 1500},
        {1000, 100000, "The GPS device sent more than 8 MB", 0, 4 * 1500},
    };
    bool sending = false;
    qint64 next = 0;
    int every = 0;
    QString burst;
    clock.addListener([&](qint64 now) {
        for (; sending && next <= now; next += every)
            port.deliverAfter(0, burst);
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        connectOn(1);
        port.responder = [&](FakeCommPort&, int, const QString& text) { sending = text == kWaypointRequest; };
        burst = line.repeated(c.linesEach);
        every = c.lineEveryMs;
        prompts.answerMessage();
        const qint64 start = clock.NowMs();
        next = start;
        EXPECT_FALSE(Shown(device.ReceiveWaypoints()));
        sending = false;
        EXPECT_GE(clock.NowMs() - start, c.minMs);
        EXPECT_LE(clock.NowMs() - start, c.maxMs);
        EXPECT_TRUE(prompts.messages().last().startsWith(QLatin1String(c.said)))
            << prompts.messages().last().left(200).toStdString();
        EXPECT_TRUE(device.receivedDataLines().isEmpty());
        EXPECT_FALSE(port.PortOpen());
        EXPECT_FALSE(progress.visible);
    }
}

TEST_F(GpsDeviceTest, DownloadJoinsPiecesAcrossPolls) {
    connectOn(1);
    const QString all = Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c") +
                        Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a") + kEndReply + crlf;
    port.responder = [&](FakeCommPort& self, int, const QString&) {
        // Cut inside the first line, inside the second, and inside "END".
        self.deliverPieces(1000, 1500,
                           {all.left(20), all.mid(20, 50), all.mid(70, all.size() - 75), all.right(5)});
    };
    const int dotsBefore = progress.dots;
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(device.receivedDataLines(),
              (QStringList{Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c").chopped(2),
                           Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a").chopped(2)}));
    EXPECT_EQ(progress.dots - dotsBefore, 4); // one step per 1.5 s poll
}

TEST_F(GpsDeviceTest, DownloadEndsOnlyWhenTheClosingLineIsComplete) {
    connectOn(1);
    const QString line = Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c");
    port.responder = [&](FakeCommPort& self, int, const QString&) {
        // "END" is in by the first poll, its CR LF only by the second.
        self.deliverPieces(1000, 1500, {line + kEndReply, crlf});
    };
    const qint64 before = clock.totalSlept();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(clock.totalSlept() - before, 3000);
    EXPECT_TRUE(device.lastDownloadComplete());
    EXPECT_EQ(device.receivedDataLines(), QStringList{line.chopped(2)});
    // Nothing was left in the port: the next download has no stale input to
    // report (an unexpected message fails the test).
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(device.receivedDataLines(), QStringList{line.chopped(2)});
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(GpsDeviceTest, StaleInputIsShownThenDropped) {
    connectOn(1);
    receiver.waypointLines.clear();
    port.deliverAfter(0, crlf);
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("This trash was in the input:\r\n\r\n")});
    EXPECT_TRUE(device.receivedDataLines().isEmpty());

    port.deliverAfter(0, QStringLiteral("$GPRMC,junk"));
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("This trash was in the input:\r\n$GPRMC,junk"));
    EXPECT_TRUE(device.receivedDataLines().isEmpty()); // the stale text is not part of the reply
}

TEST_F(GpsDeviceTest, StalledDownloadKeepsCompleteLinesAndSaysSo) {
    connectOn(1);
    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(100, Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c") +
                                   Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a") +
                                   QStringLiteral("$PMGNWPL,35"));
    };
    prompts.answerMessage();
    const qint64 before = clock.totalSlept();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_FALSE(device.lastDownloadComplete());
    EXPECT_EQ(device.receivedDataLines().size(), 2);
    // Data at the first poll, then nothing for 10 s: 7 more polls of 1.5 s.
    EXPECT_EQ(clock.totalSlept() - before, 1500 + 7 * 1500);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).contains(QStringLiteral("before the transfer was finished")));
    EXPECT_TRUE(prompts.messages().at(0).contains(QStringLiteral("2 complete lines")));
    EXPECT_FALSE(progress.visible);

    port.responder = nullptr; // a receiver that never answers at all
    prompts.answerMessage();
    EXPECT_TRUE(Shown(device.ReceiveTracks()));
    EXPECT_TRUE(device.receivedDataLines().isEmpty());
    EXPECT_TRUE(prompts.messages().last().contains(QStringLiteral("Nothing was received.")));
}

TEST_F(GpsDeviceTest, PortErrorsDuringADownload) {
    connectOn(1);
    port.setPortOpen(false);
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(prompts.messages(),
              QStringList{QStringLiteral("8018: Operation valid only when the port is open")});
    EXPECT_FALSE(progress.visible);

    port.setPortOpen(true);
    port.failNextWrite = true;
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.ReceiveTracks()));
    EXPECT_EQ(prompts.messages().last(),
              QStringLiteral("8010: The hardware is not available (locked by another device)"));
}

TEST_F(GpsDeviceTest, ReadErrorPartWayKeepsTheCompleteLinesAndNeverOldOnes) {
    connectOn(1);
    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(100, Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c") +
                                   Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a") +
                                   QStringLiteral("$PMGNWPL,35"));
    };
    port.failReadsFromMs = clock.NowMs() + 2000; // unplugged after the first poll
    prompts.answerMessage().answerMessage();
    EXPECT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_FALSE(device.lastDownloadComplete());
    ASSERT_EQ(device.receivedDataLines().size(), 2);
    EXPECT_TRUE(device.receivedDataLines().at(1).contains(QStringLiteral("CAMP")));
    EXPECT_EQ(prompts.messages(),
              (QStringList{"8020: Error reading comm device",
                           "The 2 complete lines received so far will be added to the list."}));
    EXPECT_FALSE(progress.visible);

    // Failing before anything arrived: nothing to add, not the lines above.
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.ReceiveTracks()));
    EXPECT_TRUE(device.receivedDataLines().isEmpty());
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("8020: Error reading comm device"));
}
} // namespace

namespace {
TEST_F(GpsDeviceTest, SendWaypointDropsPendingInputAndCountsOnlySilence) {
    connectOn(1);
    port.responder = nullptr;
    port.deliverAfter(0, kUnableReply + crlf); // a late answer to an earlier sentence
    const qint64 before = clock.totalSlept();
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("3516.583,S,09016.583,W,0028,M,A*B,x,c")));
    EXPECT_EQ(clock.totalSlept() - before, 500); // one wait
    EXPECT_EQ(port.writtenTexts().last(), Framed("PMGNWPL,3516.583,S,09016.583,W,0028,M,A*B,x,c"));

    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(499, QStringLiteral("?"));
    };
    EXPECT_FALSE(device.SendWaypoint(QStringLiteral("f")));
    // An answer after the wait does not count against this sentence, and the
    // next upload drops it before sending.
    port.responder = [](FakeCommPort& self, int, const QString& text) {
        if (text.contains(QLatin1String(",LATE,")))
            self.deliverAfter(501, kUnableReply + crlf);
    };
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,LATE,,a")));
    clock.Sleep(10); // the late answer is in
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,NEXT,,a")));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(progress.shows, 1); // only the connection's: no window for single sentences

    // A port failure is kept for the transfer to tell, not shown.
    port.failNextWrite = true;
    EXPECT_FALSE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,X,,a")));
    EXPECT_EQ(device.takeMessages(),
              QStringList{QStringLiteral("8010: The hardware is not available (locked by another device)")});
    EXPECT_TRUE(device.takeMessages().isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

// The receiver's waypoint count is learnt from a complete download and
// followed through uploads (a held name is replaced) and deletions; a refusal
// makes it unknown. A download counts against it.
TEST_F(GpsDeviceTest, TheWaypointCountIsFollowedUntilSomethingIsUncertain) {
    connectOn(1);
    EXPECT_EQ(device.expectedWaypoints(), -1);
    receiver.waypointLines = {Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c"),
                              Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a")};
    ASSERT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(progress.texts.last(), QStringLiteral("2 waypoints received"));
    EXPECT_EQ(device.expectedWaypoints(), 2);

    port.responder = nullptr; // silence: stored, or deleted
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,HOME,again,a")));
    EXPECT_EQ(device.expectedWaypoints(), 2);
    // The receiver cuts a name to the 8 characters a SporTrak keeps.
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,RIVERBEND1,,a")));
    EXPECT_TRUE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,RIVERBEND2,,a")));
    EXPECT_EQ(device.expectedWaypoints(), 3);
    EXPECT_TRUE(device.DeleteDeviceWaypoint(QStringLiteral("CAMP"), QStringLiteral("a")));
    EXPECT_EQ(device.expectedWaypoints(), 2);

    receiver.attach(port);
    receiver.waypointLines.removeLast();
    receiver.waypointLines << Framed("PMGNWPL,1.000,N,2.000,E,0000003,M,RIVERBEN,,a");
    progress.texts.clear();
    ASSERT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(progress.texts.first(), QStringLiteral("0 of 2"));
    EXPECT_EQ(progress.texts.last(), QStringLiteral("2 of 2"));

    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(100, kUnableReply + crlf);
    };
    EXPECT_FALSE(device.SendWaypoint(QStringLiteral("1,N,2,E,3,M,NEW,,a")));
    EXPECT_EQ(device.expectedWaypoints(), -1);
    // More lines than expected: the text counts alone.
    EXPECT_EQ(DownloadProgressText(3, 2, QStringLiteral("waypoints")),
              QStringLiteral("3 waypoints received"));
}

TEST_F(GpsDeviceTest, DeleteOneWaypoint) {
    connectOn(1);
    port.responder = nullptr;
    const qint64 before = clock.totalSlept();
    EXPECT_TRUE(device.DeleteDeviceWaypoint(QStringLiteral("HOME"), QStringLiteral("c")));
    EXPECT_EQ(clock.totalSlept() - before, 500);
    EXPECT_EQ(port.writtenTexts().last(), QStringLiteral("$PMGNDWP,HOME,c*3B\r\n"));
    port.responder = [](FakeCommPort& self, int, const QString&) {
        self.deliverAfter(300, kUnableReply + crlf);
    };
    EXPECT_FALSE(device.DeleteDeviceWaypoint(QStringLiteral("NONE"), QString()));

    port.setPortOpen(false);
    EXPECT_FALSE(device.DeleteDeviceWaypoint(QStringLiteral("HOME"), QStringLiteral("c")));
    EXPECT_EQ(device.takeMessages(),
              QStringList{QStringLiteral("8018: Operation valid only when the port is open")});
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(GpsDeviceTest, DeleteAllSucceedsOnlyOnExactlyEnd) {
    connectOn(1);
    auto replyWith = [&](const QStringList& pieces) {
        port.responder = [pieces](FakeCommPort& self, int, const QString&) {
            self.deliverPieces(700, 500, pieces);
        };
    };
    replyWith({kEndReply + crlf});
    EXPECT_TRUE(device.DeleteAllDeviceWaypoints());
    EXPECT_EQ(port.writtenTexts().last(), QStringLiteral("$PMGNCMD,DELETE,WAYPOINT*44\r\n"));
    EXPECT_EQ(progress.captions.last(), QStringLiteral("Deleting All Waypoints From GPS Device"));
    EXPECT_FALSE(progress.visible);

    replyWith({QStringLiteral("$PMGNCMD,E"), QStringLiteral("ND*3D\r\n")}); // cut between two polls
    EXPECT_TRUE(device.DeleteAllDeviceWaypoints());
    replyWith({kUnableReply + crlf});
    EXPECT_FALSE(device.DeleteAllDeviceWaypoints());
    replyWith({kEndReply + crlf + QStringLiteral("$PMGNCMD,END*3D\r\n")});
    EXPECT_FALSE(device.DeleteAllDeviceWaypoints());

    port.responder = nullptr; // never answers: bounded
    const qint64 before = clock.totalSlept();
    EXPECT_FALSE(device.DeleteAllDeviceWaypoints());
    EXPECT_EQ(clock.totalSlept() - before, GPSDevice::kDeleteAllWaitMs);
    EXPECT_FALSE(progress.visible);
    EXPECT_TRUE(prompts.messages().isEmpty());
}
} // namespace

namespace {
// One exchange and what it must come to: its outcome and every message, in
// order, with nothing shown on the way (the fixture's prompts fail the test
// on any prompt).
struct ExchangeCase {
    const char* what;
    std::function<void()> arrange;
    std::function<ExchangeResult()> run;
    bool ok;
    QStringList messages;
};
} // namespace

TEST_F(GpsDeviceTest, ExchangesReturnTheirMessagesAndShowNone) {
    const QString home = Framed("PMGNWPL,3549.499,N,08650.827,W,0000257,M,HOME,HOME,c");
    const QString camp = Framed("PMGNWPL,3516.583,S,09016.583,W,0000028,M,CAMP,,a");
    const QString unableRest = QStringLiteral("The GPS device refused the rest of the transfer (it answered "
                                              "UNABLE).\r\nThe 1 complete lines received before that will be "
                                              "added to the list.");
    auto answerDownloads = [&](const QString& answer) {
        port.responder = [answer](FakeCommPort& self, int, const QString& text) {
            if (text == kWaypointRequest || text == kTrackRequest)
                self.deliverAfter(100, answer);
        };
    };
    const ExchangeCase cases[] = {
        {"no receiver on any port",
         [&] { port.present.clear(); },
         [&] { return device.SearchForDevice(); },
         false,
         {QStringLiteral("No GPS Found!")}},
        {"a port that cannot be opened",
         [&] {
             port.present = {1, 2, 3, 4};
             port.setCommPort(1);
             port.setPortOpen(true);
         },
         [&] { return device.SearchForDevice(); },
         false,
         {QStringLiteral("8005: Port already open")}},
        {"a receiver that stops answering while connecting",
         [&] {
             receiver.answerTon = false;
             receiver.attach(port);
         },
         [&] { return device.SearchForDevice(); },
         false,
         {QStringLiteral("The GPS device on Comm Port 1 stopped answering while connecting.\r\nCheck the "
                         "device and its cable, then connect again.")}},
        {"a connection",
         [&] {
             receiver.answerTon = true;
             receiver.attach(port);
         },
         [&] { return device.SearchForDevice(); },
         true,
         {connectMessage("SporTrak", "12345678", "1.06")}},
        {"stale input, then a refusal after one line",
         [&] {
             answerDownloads(home + kUnableReply + crlf);
             port.deliverAfter(0, QStringLiteral("junk\r\n"));
         },
         [&] { return device.ReceiveWaypoints(); },
         true,
         {StaleInputMessage(QStringLiteral("junk\r\n")), unableRest}},
        {"a read failure after two lines",
         [&] {
             answerDownloads(home + camp);
             port.failReadsFromMs = clock.NowMs() + 2000;
         },
         [&] { return device.ReceiveWaypoints(); },
         true,
         {QStringLiteral("8020: Error reading comm device"),
          QStringLiteral("The 2 complete lines received so far will be added to the list.")}},
        {"a download on a closed port",
         [&] {
             port.failReadsFromMs = -1;
             port.setPortOpen(false);
         },
         [&] { return device.ReceiveWaypoints(); },
         false,
         {QStringLiteral("8018: Operation valid only when the port is open")}},
        {"closing a closed port", [] {}, [&] { return device.CloseDevice(); }, true, {}},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        const ExchangeResult result = c.run();
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.messages, c.messages);
        EXPECT_TRUE(device.takeMessages().isEmpty()) << "handed over with the result";
        EXPECT_TRUE(prompts.prompts().isEmpty());
        EXPECT_FALSE(progress.visible);
    }
}

// Upload and delete put their one question to the caller and return every
// message, in order; the prompt service hears nothing from them.
TEST_F(GpsDeviceTest, TransfersAskTheCallerAndReturnTheirMessages) {
    connectOn(1);             // SporTrak: names of up to 8 characters
    port.responder = nullptr; // a silent receiver stores every waypoint
    WaypointRows grid;
    grid.setCols(7);
    grid.setRows(1);
    AppendTableRow(grid, {"RIVERBENDS", "35.5", "-86.5", "0000257M", "", "a"}, true);
    AppendTableRow(grid, {"CAMP", "north", "-86.5", "0000257M", "", "a"}, true);
    AppendTableRow(grid, {"HOME", "35.5", "-86.5", "0000257M", "", "a"}, true);
    QStringList questions;
    QList<int> buttons;
    auto answer = [&](int reply) {
        return [&questions, &buttons, reply](const QString& text, int b) {
            questions << text;
            buttons << b;
            return reply;
        };
    };

    UploadResult up = UploadSelectedWaypoints(grid, device, answer(vbNo));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("\"RIVERBENDS\" becomes \"RIVERBEN\"")));
    EXPECT_EQ(buttons[0], vbYesNoCancel + vbQuestion);
    EXPECT_EQ(up.longNamesLeftOut, 1);
    EXPECT_EQ(up.uploaded, 1);
    EXPECT_EQ(
        up.messages,
        (QStringList{QStringLiteral("Row 2 (CAMP) was not uploaded: its latitude \"north\" is not a number."),
                     QStringLiteral("1 of the 3 selected waypoints were uploaded.")}));

    // Cancel sends and tells nothing.
    const int writes = int(port.writes().size());
    up = UploadSelectedWaypoints(grid, device, answer(vbCancel));
    EXPECT_TRUE(up.cancelled);
    EXPECT_TRUE(up.messages.isEmpty());
    EXPECT_EQ(int(port.writes().size()), writes);

    // Delete: No sends and tells nothing; a port failure comes in its place.
    DeleteResult gone = DeleteListedWaypoints(grid, device, answer(vbNo));
    EXPECT_TRUE(gone.declined);
    EXPECT_TRUE(gone.messages.isEmpty());
    EXPECT_EQ(questions.last(), QStringLiteral("Delete 3 waypoints from the GPS device SporTrak? Each "
                                               "waypoint in the list is deleted on the device by its name."));
    EXPECT_EQ(buttons.last(), vbYesNo + vbQuestion);
    port.failNextWrite = true;
    gone = DeleteListedWaypoints(grid, device, answer(vbYes));
    EXPECT_EQ(gone.failed, 1);
    EXPECT_EQ(
        gone.messages,
        (QStringList{QStringLiteral("8010: The hardware is not available (locked by another device)"),
                     QStringLiteral("Could not delete way point RIVERBENDS"),
                     QStringLiteral("1 of the 3 waypoints in the list could not be deleted from the GPS "
                                    "device SporTrak.\r\nThe list was not cleared.")}));
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_TRUE(prompts.prompts().isEmpty());
}
