// SPDX-License-Identifier: GPL-3.0-or-later
// Receivers that refuse, end to end: the real QSerialPort over pseudo-terminals
// against magellan-sim's refusal and delay modes.
#include "gps/gpsdevice.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "gps/waypointtransfer.h"
#include "simulator.h"
#include "support/scopedenv.h"
#include "support/scriptedprompts.h"
#include "support/shownresults.h"
#include "support/tablerows.h"
#include "table/waypointrows.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct PortList {
    explicit PortList(const QStringList& paths) : env("KORVEL_COMM_PORTS", paths.join(',').toLocal8Bit()) {}
    ScopedEnv env;
};

} // namespace

// A port whose device answers even the version request with UNABLE holds no
// receiver (it was reported as "a ." and kept open): the search goes on.
TEST(GpsRefusals, ARefusingDeviceIsNoReceiver) {
    Simulator refuser({"--fault", "unable-all", "--no-pacing"});
    Simulator receiver({"--no-pacing", "--serial", "44556677"});
    ASSERT_FALSE(refuser.path().isEmpty());
    ASSERT_FALSE(receiver.path().isEmpty());
    SerialCommPort port;
    GPSDevice device(&port);
    {
        PortList ports({refuser.path(), receiver.path()});
        ScriptedPrompts prompts;
        prompts.answerMessage();
        ASSERT_TRUE(Shown(device.SearchForDevice()));
        EXPECT_EQ(port.commPortNumber(), 2);
        EXPECT_TRUE(prompts.messages().value(0).startsWith("You have successfully connected to a SporTrak."));
        EXPECT_TRUE(Shown(device.CloseDevice()));
    }
    PortList ports({refuser.path()});
    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("No GPS Found!")});
    EXPECT_FALSE(port.PortOpen());
}

TEST(GpsRefusals, ARefusedDownloadIsToldAndAddsNothing) {
    Simulator receiver({"--fault", "unable", "--no-pacing"});
    PortList ports({receiver.path()});
    SerialCommPort port;
    GPSDevice device(&port);
    ScriptedPrompts prompts;
    prompts.answerMessage().answerMessage();
    ASSERT_TRUE(Shown(device.SearchForDevice()));
    EXPECT_FALSE(Shown(device.ReceiveWaypoints()));
    EXPECT_EQ(prompts.messages().value(1), QStringLiteral("The GPS device refused the request (it answered "
                                                          "UNABLE).\r\nNothing was added to the list."));
    Shown(device.CloseDevice());
}

// A slow receiver refusing every upload (each answer later than the wait for
// it): the refusals are all told, and the next download is the receiver's
// list, not a late refusal taken as its answer.
TEST(GpsRefusals, SlowRefusalsOfAnUploadLeaveTheNextDownloadRight) {
    QTemporaryDir dir;
    const QStringList data = WriteSimulatorData(dir.filePath("receiver.txt"), 4, 0);
    Simulator receiver({"--data", dir.filePath("receiver.txt"), "--no-pacing", "--fault", "refuse-uploads",
                        "--delay", "700"});
    PortList ports({receiver.path()});
    SerialCommPort port;
    GPSDevice device(&port);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(Shown(device.SearchForDevice()));

    WaypointRows grid;
    grid.setCols(7);
    grid.setRows(1);
    for (const char* name : {"ONE", "TWO", "THREE"})
        AppendTableRow(grid, {name, "35.5", "-86.5", "0000001M", "", "a"}, true);
    prompts.setAnswerMessagesWithOk(true); // refusals by name (as timing falls), then the closing message
    const UploadResult up = UploadShown(grid, device);
    EXPECT_LT(up.uploaded, 3);
    EXPECT_NE(prompts.messages().last(), QStringLiteral("All waypoints were uploaded."));

    prompts.setAnswerMessagesWithOk(false);
    prompts.clear();
    ASSERT_TRUE(Shown(device.ReceiveWaypoints())); // a stale-input message would fail here
    WaypointRows back;
    back.setCols(7);
    back.setRows(1);
    EXPECT_EQ(AppendReceivedPoints(back, device.receivedDataLines()).added, 4);
    Shown(device.CloseDevice());
}

// A version reply without model and serial number is no connection.
TEST(GpsRefusals, AShortVersionReplyIsNoConnection) {
    Simulator receiver({"--no-pacing", "--fault", "short-version"});
    PortList ports({receiver.path()});
    SerialCommPort port;
    GPSDevice device(&port);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages().at(0).startsWith(
        QStringLiteral("The device on Comm Port 1 answered the version request with \"$PMGNVER,37*")))
        << prompts.messages().at(0).toStdString();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(device.deviceModel(), QString());
}
