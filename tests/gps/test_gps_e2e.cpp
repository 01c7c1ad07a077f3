// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the real QSerialPort over pseudo-terminals against magellan-sim.
#include "gps/gpsdevice.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "platform/numbers.h"
#include "simulator.h"
#include "support/scriptedprompts.h"
#include "table/flexgrid.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The table row a data file line must give.
QStringList expectedRow(const QString& dataLine) {
    const QStringList f = dataLine.split(QLatin1Char('|'));
    auto degrees = [](const QString& field, const QString& hem, int digits) {
        const double v = Val(field.left(digits)) + Val(field.mid(digits)) / 60;
        return NumberToText(hem == QLatin1String("S") || hem == QLatin1String("W") ? -v : v);
    };
    const QString lat = degrees(f[1], f[2], 2), lon = degrees(f[3], f[4], 3);
    if (f[0] == QLatin1String("W"))
        return {f[7], lat, lon, f[5] + f[6], f[8], f[9].left(1)};
    return {f[7], lat, lon, f[5] + f[6], QStringLiteral("A"), f[8].left(1)};
}

QStringList tableRow(const FlexGrid& g, int r) {
    QStringList out;
    for (int c = 1; c <= 6; ++c)
        out << g.TextMatrix(r, c);
    return out;
}

TEST(GpsEndToEnd, ConnectOnPortThreeThenDownloadWaypointsAndTrack) {
    QTemporaryDir dir;
    const QStringList data = WriteSimulatorData(dir.filePath("receiver.txt"), 500, 2000);
    Simulator silent1({"--fault", "silent"});
    Simulator silent2({"--fault", "silent"});
    Simulator receiver({"--data", dir.filePath("receiver.txt"), "--no-pacing", "--serial", "44556677"});
    ASSERT_FALSE(silent1.path().isEmpty());
    ASSERT_FALSE(receiver.path().isEmpty());
    qputenv("KORVEL_COMM_PORTS",
            (silent1.path() + "," + silent2.path() + "," + receiver.path()).toLocal8Bit());

    SerialCommPort port;
    GPSDevice device(&port);
    FlexGrid grid;
    grid.setCols(7);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(device.SearchForDevice());
    EXPECT_EQ(prompts.messages(),
              QStringList{QStringLiteral("You have successfully connected to a SporTrak.\r\n "
                                         "Serial Number: 44556677\r\nSoftware Version: 1.06")});
    EXPECT_EQ(port.commPortNumber(), 3);
    EXPECT_EQ(port.deviceName(), receiver.path());

    ASSERT_TRUE(device.ReceiveWaypoints());
    AddedPoints added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_EQ(added.added, 500);
    EXPECT_EQ(added.skipped(), 0);
    ASSERT_TRUE(device.ReceiveTracks());
    added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_EQ(added.added, 2000);
    ASSERT_EQ(grid.Rows(), 1 + 2500);
    for (int r = 1; r < grid.Rows(); ++r)
        ASSERT_EQ(tableRow(grid, r), expectedRow(data.at(r - 1))) << "row " << r;
    EXPECT_TRUE(device.CloseDevice());
    qunsetenv("KORVEL_COMM_PORTS");
}

TEST(GpsEndToEnd, PortNumbersWithoutDevices) {
    qputenv("KORVEL_COMM_PORTS", ",/dev/korvel-no-such-tty");
    SerialCommPort port;
    for (int n : {1, 2, 5}) {
        port.setCommPort(n);
        try {
            port.setPortOpen(true);
            ADD_FAILURE() << "port " << n << " opened";
        } catch (const CommError& e) {
            EXPECT_EQ(e.number, 8002) << n;
            EXPECT_EQ(e.description, QStringLiteral("Invalid port number"));
        }
    }
    EXPECT_FALSE(port.PortOpen());
    qunsetenv("KORVEL_COMM_PORTS");
}

TEST(GpsEndToEnd, FaultsAreReportedNotHung) {
    QTemporaryDir dir;
    WriteSimulatorData(dir.filePath("receiver.txt"), 40, 0);
    Simulator receiver({"--data", dir.filePath("receiver.txt"), "--no-pacing", "--fault", "badsum=10",
                        "--fault", "stop-after=35"});
    qputenv("KORVEL_COMM_PORTS", receiver.path().toLocal8Bit());
    SerialCommPort port;
    GPSDevice device(&port);
    FlexGrid grid;
    grid.setCols(7);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(device.SearchForDevice());
    prompts.answerMessage(); // the stall
    ASSERT_TRUE(device.ReceiveWaypoints());
    EXPECT_FALSE(device.lastDownloadComplete());
    const AddedPoints added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_EQ(added.added, 32);
    EXPECT_EQ(added.badChecksum, 3);
    device.CloseDevice();
    qunsetenv("KORVEL_COMM_PORTS");
}
} // namespace
