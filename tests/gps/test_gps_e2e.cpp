// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the real QSerialPort over pseudo-terminals against magellan-sim.
#include "gps/gpsdevice.h"
#include "gps/progressview.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "gps/waypointtransfer.h"
#include "platform/numbers.h"
#include "simulator.h"
#include "support/scriptedprompts.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

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

// The simulator's waypoint store as written by --dump: one "W|..." line each.
QStringList storedWaypoints(const QString& dump) {
    QFile f(dump);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString& line : QString::fromLatin1(f.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("W|")))
            out << line;
    return out;
}

QStringList storedNames(const QString& dump) {
    QStringList names;
    for (const QString& line : storedWaypoints(dump))
        names << line.section(QLatin1Char('|'), 7, 7);
    return names;
}

// Connects to the simulator on port 1; the connection message is taken.
void connectTo(GPSDevice& device, const Simulator& sim) {
    qputenv("KORVEL_COMM_PORTS", sim.path().toLocal8Bit());
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(device.SearchForDevice());
}

constexpr double kThousandthMinute = 0.001 / 60;

// A receiver simulator holding `waypoints` and `tracks` generated points (when
// either is non-zero), connected on port 1, with an empty seven-column table;
// the simulator's store is written to store() as it changes.
struct ConnectedReceiver {
    ConnectedReceiver(int waypoints, int tracks, QStringList extra = {}) {
        QStringList args{"--dump", dir.filePath("store.txt"), "--no-pacing"};
        if (waypoints || tracks) {
            WriteSimulatorData(dir.filePath("receiver.txt"), waypoints, tracks);
            args << "--data" << dir.filePath("receiver.txt");
        }
        receiver = std::make_unique<Simulator>(args + extra);
        connectTo(device, *receiver);
        grid.setCols(7);
        grid.setRows(1);
    }
    ~ConnectedReceiver() {
        device.CloseDevice();
        qunsetenv("KORVEL_COMM_PORTS");
    }
    QString store() const { return dir.filePath("store.txt"); }

    QTemporaryDir dir;
    std::unique_ptr<Simulator> receiver;
    SerialCommPort port;
    GPSDevice device{&port};
    FlexGrid grid;
};

TEST(GpsEndToEnd, UploadMarkedRowsThenReadThemBackAndWithGpsbabel) {
    ConnectedReceiver r(3, 0);
    FlexGrid& grid = r.grid;
    GPSDevice& device = r.device;
    const QList<QStringList> rows{
        {"CAMP", "-35.2763833333333", "-90.2763833333333", "0000028M", "near the ford", "a"},
        {"SKIP", "10", "10", "0000001M", "not marked", "b"},
        {"SUMMIT", "36.5678912", "-83.4987654", "0002025M", "", "c"},
        {"DEEP", "0.5", "12.0000049", "-0000012M", "below sea", "d"}};
    for (int i = 0; i < rows.size(); ++i)
        AppendTableRow(grid, rows[i], i != 1);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    const UploadResult up = UploadSelectedWaypoints(grid, device);
    EXPECT_EQ(up.uploaded, 3);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP001", "WP002", "CAMP", "SUMMIT", "DEEP"}));

    ASSERT_TRUE(device.ReceiveWaypoints());
    FlexGrid back;
    back.setCols(7);
    back.setRows(1);
    ASSERT_EQ(AppendReceivedPoints(back, device.receivedDataLines()).added, 6);
    const QStringList elevations{"0000028M", "0002025M", "-000012M"};
    for (int k = 0, r = 4; r <= 6; ++k, ++r) {
        const QStringList& sent = rows[k == 0 ? 0 : k + 1];
        EXPECT_EQ(back.TextMatrix(r, 1), sent[0]);
        EXPECT_NEAR(back.TextMatrix(r, 2).toDouble(), sent[1].toDouble(), kThousandthMinute / 2)
            << sent[0].toStdString();
        EXPECT_NEAR(back.TextMatrix(r, 3).toDouble(), sent[2].toDouble(), kThousandthMinute / 2)
            << sent[0].toStdString();
        EXPECT_EQ(back.TextMatrix(r, 4), elevations[k]);
        EXPECT_EQ(back.TextMatrix(r, 5), sent[4]);
        EXPECT_EQ(back.TextMatrix(r, 6), sent[5]);
    }
    EXPECT_TRUE(device.CloseDevice());

    // A client nobody here wrote reads the same waypoints from the receiver.
    QProcess babel;
    babel.start(QStringLiteral("gpsbabel"), {"-w", "-i", "magellan", "-f", r.receiver->path(), "-o", "gpx",
                                             "-F", r.dir.filePath("out.gpx")});
    ASSERT_TRUE(babel.waitForFinished(120000));
    ASSERT_EQ(babel.exitCode(), 0) << babel.readAllStandardError().toStdString();
    QFile gpx(r.dir.filePath("out.gpx"));
    ASSERT_TRUE(gpx.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(gpx.readAll());
    static const QRegularExpression re(
        QStringLiteral("<wpt lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\">.*?<name>([^<]*)</name>"),
        QRegularExpression::DotMatchesEverythingOption);
    int matched = 0;
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        for (int r = 1; r < back.Rows(); ++r) {
            if (back.TextMatrix(r, 1) != m.captured(3))
                continue;
            ++matched;
            EXPECT_NEAR(m.captured(1).toDouble(), back.TextMatrix(r, 2).toDouble(), 1e-8)
                << m.captured(3).toStdString();
            EXPECT_NEAR(m.captured(2).toDouble(), back.TextMatrix(r, 3).toDouble(), 1e-8)
                << m.captured(3).toStdString();
        }
    }
    EXPECT_EQ(matched, 6);
}

TEST(GpsEndToEnd, RefusedUploadsAreReported) {
    ConnectedReceiver r(0, 0, {"--fault", "unable"});
    FlexGrid& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"ONE", "35.5", "-86.5", "0000001M", "", "a"}, true);
    AppendTableRow(grid, {"TWO", "35.6", "-86.6", "0000002M", "", "a"}, true);
    ScriptedPrompts prompts;
    prompts.answerMessage().answerMessage().answerMessage();
    EXPECT_EQ(UploadSelectedWaypoints(grid, device).uploaded, 0);
    EXPECT_EQ(prompts.messages(), (QStringList{"An error ocurred while trying to uplaod waypoint ONE.",
                                               "An error ocurred while trying to uplaod waypoint TWO.",
                                               "0 of the 2 selected waypoints were uploaded."}));
}

TEST(GpsEndToEnd, DeleteOneByOneOnASporTrak) {
    ConnectedReceiver r(5, 10);
    FlexGrid& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"WP001", "", "", "", "", "b"}, false);
    AppendTableRow(grid, {"WP003", "", "", "", "", "d"}, true);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_EQ(DeleteListedWaypoints(grid, device).failed, 0);
    EXPECT_EQ(
        prompts.messages(),
        QStringList{"All user waypoints have been deleted\r\nfrom the GPS device SporTrak\r\nSerial Number: "
                    "12345678\r\n The list will now be cleared."});
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP002", "WP004"}));

    // A name the receiver does not hold: it answers UNABLE, and the list
    // stays. The blank row the clearing left is not sent at all.
    AppendTableRow(grid, {"WP004", "", "", "", "", "e"}, false);
    AppendTableRow(grid, {"GHOST", "", "", "", "", "a"}, false);
    prompts.clear();
    prompts.answerMessage().answerMessage();
    EXPECT_EQ(DeleteListedWaypoints(grid, device).failed, 1);
    EXPECT_EQ(prompts.messages(),
              (QStringList{"Could not delete way point GHOST",
                           "1 of the 2 waypoints in the list could not be deleted from the "
                           "GPS device SporTrak.\r\nThe list was not cleared."}));
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(3, 1), QStringLiteral("GHOST"));
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP002"}));
}

TEST(GpsEndToEnd, DeleteAllAtOnceOnAMeridian) {
    ConnectedReceiver r(5, 10, {"--model", "Meridian", "--serial", "31415"});
    FlexGrid& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"WP001", "", "", "", "", "b"}, false);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    const DeleteResult result = DeleteListedWaypoints(grid, device);
    EXPECT_TRUE(result.all);
    EXPECT_TRUE(result.cleared);
    EXPECT_EQ(
        prompts.messages(),
        QStringList{"All user waypoints have been deleted\r\nfrom the GPS device Meridian\r\nSerial Number: "
                    "31415\r\n The list will now be cleared."});
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_TRUE(storedWaypoints(r.store()).isEmpty());
}
} // namespace

// A progress view that asks to stop once enough lines have arrived.
struct CancelAfterLines final : ProgressView {
    explicit CancelAfterLines(int lines) : after(lines) {}
    void setCaption(const QString&) override {}
    void showProgress() override { seen = 0; }
    void hideProgress() override {}
    void DoDots(int&) override {}
    void setProgressText(const QString& text) override {
        const QRegularExpressionMatch m = QRegularExpression("^(\\d+) lines received$").match(text);
        if (m.hasMatch())
            seen = m.captured(1).toInt();
    }
    bool cancelRequested() const override { return seen >= after; }
    int after;
    int seen = 0;
};

TEST(GpsEndToEnd, CancelDuringATrackDownloadKeepsTheCompleteLines) {
    QTemporaryDir dir;
    const QStringList data = WriteSimulatorData(dir.filePath("receiver.txt"), 2, 150);
    // Paced (about 35 lines a second), so Cancel comes while the track is arriving.
    Simulator receiver({"--data", dir.filePath("receiver.txt"), "--baud", "19200"});
    ASSERT_FALSE(receiver.path().isEmpty());
    SerialCommPort port;
    CancelAfterLines progress(10);
    GPSDevice device(&port, &progress);
    connectTo(device, receiver);

    ASSERT_TRUE(device.ReceiveTracks());
    EXPECT_TRUE(device.lastDownloadCancelled());
    EXPECT_FALSE(device.lastDownloadComplete());
    FlexGrid grid;
    grid.setCols(7);
    const AddedPoints added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_GE(added.added, 10);
    EXPECT_LT(added.added, 150);
    EXPECT_EQ(added.skipped(), 0); // no half line
    for (int r = 1; r < grid.Rows(); ++r)
        ASSERT_EQ(tableRow(grid, r), expectedRow(data.at(2 + r - 1))) << "row " << r;

    // The rest of the track did not stay in the port: the next download is clean.
    progress.after = 1 << 30;
    ScriptedPrompts prompts; // a "trash" message would fail here
    ASSERT_TRUE(device.ReceiveWaypoints());
    EXPECT_TRUE(device.lastDownloadComplete());
    EXPECT_EQ(device.receivedDataLines().size(), 2);
    device.CloseDevice();
    qunsetenv("KORVEL_COMM_PORTS");
}
