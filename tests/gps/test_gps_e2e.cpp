// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the real QSerialPort over pseudo-terminals against magellan-sim.
#include "cad/drawingimport.h"
#include "gps/gpsdevice.h"
#include "gps/progressview.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "gps/waypointtransfer.h"
#include "platform/settings.h"
#include "shell/interchangetable.h"
#include "simulator.h"
#include "support/scriptedprompts.h"
#include "support/shownresults.h"
#include "support/sitedrawing.h"
#include "support/tablerows.h"
#include "support/utmreference.h"
#include "table/waypointrows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// Degrees and minutes with three decimals ("1200.074": 12 degrees, 0.074
// minutes) as decimal degrees in the table's text: 15 significant digits,
// trailing zeros dropped, worked in whole numbers (the value is
// units / 60000 exactly), not by the program's number parsing or formatting.
QString decimalDegrees(const QString& field, int degreeDigits, bool negative) {
    const qint64 units = field.left(degreeDigits).toLongLong() * 60000 +
                         QString(field.mid(degreeDigits)).remove(QLatin1Char('.')).toLongLong();
    if (units == 0)
        return QStringLiteral("0");
    const int intDigits = QString::number(units / 60000).size();
    const int decimals = units / 60000 == 0 ? 15 : 15 - intDigits; // degrees >= 0.1 here
    __int128 scaled = units;
    for (int i = 0; i < decimals; ++i)
        scaled *= 10;
    scaled = (scaled + 30000) / 60000; // half up; never a tie (60000 holds a factor 3)
    QString digits;
    for (__int128 v = scaled; v > 0; v /= 10)
        digits.prepend(QChar(char('0' + int(v % 10))));
    digits = digits.rightJustified(decimals + 1, QLatin1Char('0'));
    QString text = digits.left(digits.size() - decimals) + QLatin1Char('.') + digits.right(decimals);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return negative ? QLatin1Char('-') + text : text;
}

// The table row a data file line must give: name, latitude, longitude,
// elevation with its unit, message ("A" for a track point), first letter of
// the icon (of the track name).
QStringList expectedRow(const QString& dataLine) {
    const QStringList f = dataLine.split(QLatin1Char('|'));
    const QString lat = decimalDegrees(f[1], 2, f[2] == QLatin1String("S"));
    const QString lon = decimalDegrees(f[3], 3, f[4] == QLatin1String("W"));
    if (f[0] == QLatin1String("W"))
        return {f[7], lat, lon, f[5] + f[6], f[8], f[9].left(1)};
    return {f[7], lat, lon, f[5] + f[6], QStringLiteral("A"), f[8].left(1)};
}

QStringList tableRow(const WaypointRows& g, int r) {
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
    ASSERT_FALSE(silent2.path().isEmpty());
    ASSERT_FALSE(receiver.path().isEmpty());
    ScopedCommPorts ports({silent1.path(), silent2.path(), receiver.path()});

    SerialCommPort port;
    GPSDevice device(&port);
    WaypointRows grid;
    grid.setCols(7);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(Shown(device.SearchForDevice())) << prompts.messages().join(" | ").toStdString();
    EXPECT_EQ(prompts.messages(),
              QStringList{QStringLiteral("You have successfully connected to a SporTrak.\r\n "
                                         "Serial Number: 44556677\r\nSoftware Version: 1.06")});
    EXPECT_EQ(port.commPortNumber(), 3);
    EXPECT_EQ(port.deviceName(), receiver.path());

    ASSERT_TRUE(Shown(device.ReceiveWaypoints()));
    AddedPoints added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_EQ(added.added, 500);
    EXPECT_EQ(added.skipped(), 0);
    ASSERT_TRUE(Shown(device.ReceiveTracks()));
    added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_EQ(added.added, 2000);
    ASSERT_EQ(grid.Rows(), 1 + 2500);
    for (int r = 1; r < grid.Rows(); ++r)
        ASSERT_EQ(tableRow(grid, r).join('|').toStdString(),
                  expectedRow(data.at(r - 1)).join('|').toStdString())
            << "row " << r;
    // Worked by hand from the data lines: "W|1200.074|N|00200.182|E|0000006|M|WP002|gate 2|c",
    // "W|1300.111|S|00300.273|W|0000009|M|WP003||d" and the last track point
    // "T|3525.987|N|08633.983|W|00299|M|121999.00|RIVER|140602".
    EXPECT_EQ(tableRow(grid, 3),
              (QStringList{"WP002", "12.0012333333333", "2.00303333333333", "0000006M", "gate 2", "c"}));
    EXPECT_EQ(tableRow(grid, 4), (QStringList{"WP003", "-13.00185", "-3.00455", "0000009M", "", "d"}));
    EXPECT_EQ(tableRow(grid, 2500),
              (QStringList{"121999.00", "35.4331166666667", "-86.5663833333333", "00299M", "A", "R"}));
    EXPECT_TRUE(Shown(device.CloseDevice()));
}

TEST(GpsEndToEnd, PortNumbersWithoutDevices) {
    ScopedCommPorts ports({"", "/dev/korvel-no-such-tty"});
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
}

// The line settings of a terminal as the driver holds them, read through a
// separate descriptor (not from the QSerialPort that set them): "baud,parity
// (n/e/o),data bits,stop bits,flow (none/hardware/software)".
QString lineSettings(const QString& device) {
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    const bool ok = fd >= 0 && tcgetattr(fd, &t) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        return QStringLiteral("unreadable");
    const speed_t speed = cfgetospeed(&t);
    const int baud = speed == B4800 ? 4800 : speed == B9600 ? 9600 : -1;
    const int bits = (t.c_cflag & CSIZE) == CS8 ? 8 : (t.c_cflag & CSIZE) == CS7 ? 7 : -1;
    const char* parity = !(t.c_cflag & PARENB) ? "n" : (t.c_cflag & PARODD) ? "o" : "e";
    const char* flow = (t.c_cflag & CRTSCTS)          ? "hardware"
                       : (t.c_iflag & (IXON | IXOFF)) ? "software"
                                                      : "none";
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(baud)
        .arg(parity)
        .arg(bits)
        .arg(t.c_cflag & CSTOPB ? 2 : 1)
        .arg(flow);
}

TEST(SerialLine, SettingsAreOnTheLineAfterOpening) {
    const struct {
        const char* settings;
        int handshaking;
        const char* line;
    } cases[] = {{"4800,n,8,1", 0, "4800,n,8,1,none"},
                 // A pseudo-terminal always holds 8 data bits and no parity
                 // (the kernel forces them), so only baud, stop bits and flow
                 // control can differ here.
                 {"9600,e,7,2", 2, "9600,n,8,2,hardware"},
                 {"4800,o,8,1", 1, "4800,n,8,1,software"}};
    for (const auto& c : cases) {
        int master = -1, slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        ScopedCommPorts ports({QString::fromLocal8Bit(name)});
        SerialCommPort port;
        port.setCommPort(1);
        port.setSettings(QLatin1String(c.settings));
        port.setHandshaking(c.handshaking);
        port.setPortOpen(true);
        EXPECT_EQ(lineSettings(QString::fromLocal8Bit(name)), QLatin1String(c.line)) << c.settings;
        port.setPortOpen(false);
        ::close(master);
    }
}

TEST(SerialLine, PortNumbersFromTheSettingsOrAdaptersFirst) {
    EXPECT_EQ(adaptersFirst({"/dev/ttyS1", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"}),
              (QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0", "/dev/ttyS1"}));
    const QString app = QStringLiteral("Korvel Transfer");
    SaveSetting(app, QStringLiteral("Ports"), QStringLiteral("Comm1"), QStringLiteral("/dev/ttyS4"));
    SaveSetting(app, QStringLiteral("Ports"), QStringLiteral("Comm3"), QStringLiteral(" /dev/ttyUSB7 "));
    EXPECT_EQ(commPortDevices(), (QStringList{"/dev/ttyS4", "", "/dev/ttyUSB7", ""}));
    {
        ScopedCommPorts ports({"/dev/pts/99"}); // the environment wins
        EXPECT_EQ(commPortDevices(), QStringList{"/dev/pts/99"});
    }
    QSettings(SettingsFilePath(app), QSettings::IniFormat).remove(QStringLiteral("Ports"));
    EXPECT_FALSE(commPortDevices().contains(QStringLiteral("/dev/ttyS4")));
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
void connectTo(GPSDevice& device) {
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(Shown(device.SearchForDevice())) << prompts.messages().join(" | ").toStdString();
}

constexpr double kThousandthMinute = 0.001 / 60;

// A receiver simulator holding `waypoints` and `tracks` generated points (when
// either is non-zero), connected on port 1, with an empty seven-column table;
// the simulator's store is written to store() as it changes. It sends at full
// speed unless paced (4800 baud, as a receiver sends).
struct ConnectedReceiver {
    ConnectedReceiver(int waypoints, int tracks, QStringList extra = {}, bool paced = false,
                      ProgressView* progress = nullptr)
        : progressView(progress) {
        QStringList args{"--dump", dir.filePath("store.txt")};
        if (!paced)
            args << "--no-pacing";
        if (waypoints || tracks) {
            WriteSimulatorData(dir.filePath("receiver.txt"), waypoints, tracks);
            args << "--data" << dir.filePath("receiver.txt");
        }
        receiver = std::make_unique<Simulator>(args + extra);
        EXPECT_FALSE(receiver->path().isEmpty());
        ports = std::make_unique<ScopedCommPorts>(QStringList{receiver->path()});
        connectTo(device);
        grid.setCols(7);
        grid.setRows(1);
    }
    ~ConnectedReceiver() { Shown(device.CloseDevice()); }
    QString store() const { return dir.filePath("store.txt"); }

    QTemporaryDir dir;
    std::unique_ptr<Simulator> receiver;
    std::unique_ptr<ScopedCommPorts> ports;
    SerialCommPort port;
    ProgressView* progressView;
    GPSDevice device{&port, progressView};
    WaypointRows grid;
};

TEST(GpsEndToEnd, FaultsAreReportedNotHung) {
    // Bad checksums, then the receiver stops sending part way and stays
    // silent: 10 s without a byte end the download with the complete lines
    // kept. Fast, and paced at 4800 baud as a receiver sends.
    for (const bool paced : {false, true}) {
        ConnectedReceiver r(40, 0, {"--fault", "badsum=10", "--fault", "stop-after=35"}, paced);
        ScriptedPrompts prompts;
        prompts.answerMessage(); // the stall
        ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
        EXPECT_FALSE(r.device.lastDownloadComplete());
        EXPECT_TRUE(prompts.messages().last().contains(QStringLiteral("35 complete lines"))) << paced;
        const AddedPoints added = AppendReceivedPoints(r.grid, r.device.receivedDataLines());
        EXPECT_EQ(added.added, 32) << paced;
        EXPECT_EQ(added.badChecksum, 3) << paced;
        EXPECT_EQ(r.grid.TextMatrix(r.grid.Rows() - 1, 1), QStringLiteral("WP034")) << paced;
    }
}

TEST(GpsEndToEnd, UploadMarkedRowsThenReadThemBackAndWithGpsbabel) {
    ConnectedReceiver r(3, 0);
    WaypointRows& grid = r.grid;
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
    const UploadResult up = UploadShown(grid, device);
    EXPECT_EQ(up.uploaded, 3);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP001", "WP002", "CAMP", "SUMMIT", "DEEP"}));

    ASSERT_TRUE(Shown(device.ReceiveWaypoints()));
    WaypointRows back;
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
    EXPECT_TRUE(Shown(device.CloseDevice()));

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

TEST(GpsEndToEnd, ConnectingSetsTheLineToFourThousandEightHundredEightNoneOne) {
    ConnectedReceiver r(0, 0);
    ASSERT_TRUE(r.port.PortOpen());
    EXPECT_EQ(lineSettings(r.receiver->path()), QStringLiteral("4800,n,8,1,none"));
}

TEST(GpsEndToEnd, RefusedUploadsAreReported) {
    ConnectedReceiver r(0, 0, {"--fault", "unable"});
    WaypointRows& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"ONE", "35.5", "-86.5", "0000001M", "", "a"}, true);
    AppendTableRow(grid, {"TWO", "35.6", "-86.6", "0000002M", "", "a"}, true);
    ScriptedPrompts prompts;
    prompts.answerMessage().answerMessage().answerMessage();
    EXPECT_EQ(UploadShown(grid, device).uploaded, 0);
    EXPECT_EQ(prompts.messages(), (QStringList{"An error ocurred while trying to uplaod waypoint ONE.",
                                               "An error ocurred while trying to uplaod waypoint TWO.",
                                               "0 of the 2 selected waypoints were uploaded."}));
}

TEST(GpsEndToEnd, DeleteOneByOneOnASporTrak) {
    ConnectedReceiver r(5, 10);
    WaypointRows& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"WP001", "", "", "", "", "b"}, false);
    AppendTableRow(grid, {"WP003", "", "", "", "", "d"}, true);
    ScriptedPrompts prompts;
    prompts.answerMessage(vbYes).answerMessage(); // the question before deleting, then the result
    EXPECT_EQ(DeleteShown(grid, device).failed, 0);
    EXPECT_EQ(prompts.messages(),
              (QStringList{"Delete 2 waypoints from the GPS device SporTrak? Each waypoint in the list is "
                           "deleted on the device by its name.",
                           "All user waypoints have been deleted\r\nfrom the GPS device SporTrak\r\nSerial "
                           "Number: 12345678\r\n The list will now be cleared."}));
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP002", "WP004"}));

    // A name the receiver does not hold: it answers UNABLE, and the list
    // stays. The blank row the clearing left is not sent at all.
    AppendTableRow(grid, {"WP004", "", "", "", "", "e"}, false);
    AppendTableRow(grid, {"GHOST", "", "", "", "", "a"}, false);
    prompts.clear();
    prompts.answerMessage(vbYes).answerMessage().answerMessage();
    EXPECT_EQ(DeleteShown(grid, device).failed, 1);
    EXPECT_EQ(prompts.messages(),
              (QStringList{"Delete 2 waypoints from the GPS device SporTrak? Each waypoint in the list is "
                           "deleted on the device by its name.",
                           "Could not delete way point GHOST",
                           "1 of the 2 waypoints in the list could not be deleted from the "
                           "GPS device SporTrak.\r\nThe list was not cleared."}));
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(3, 1), QStringLiteral("GHOST"));
    EXPECT_EQ(storedNames(r.store()), (QStringList{"WP000", "WP002"}));
}

TEST(GpsEndToEnd, DeleteAllAtOnceOnAMeridian) {
    ConnectedReceiver r(5, 10, {"--model", "Meridian", "--serial", "31415"});
    WaypointRows& grid = r.grid;
    GPSDevice& device = r.device;
    AppendTableRow(grid, {"WP001", "", "", "", "", "b"}, false);
    ScriptedPrompts prompts;
    prompts.answerMessage(vbYes).answerMessage(); // the question before deleting, then the result
    const DeleteResult result = DeleteShown(grid, device);
    EXPECT_TRUE(result.all);
    EXPECT_TRUE(result.cleared);
    EXPECT_EQ(
        prompts.messages().value(0),
        QStringLiteral("Delete every user waypoint on the GPS device Meridian? This model deletes them all "
                       "at once, not only the 1 waypoint in the list."));
    EXPECT_EQ(
        prompts.messages().mid(1),
        QStringList{"All user waypoints have been deleted\r\nfrom the GPS device Meridian\r\nSerial Number: "
                    "31415\r\n The list will now be cleared."});
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_TRUE(storedWaypoints(r.store()).isEmpty());
}
} // namespace

// A progress view that asks to stop once enough lines have arrived, once:
// a cleared request stays cleared. It keeps every text it was given.
struct CancelAfterLines final : ProgressView {
    explicit CancelAfterLines(int lines) : after(lines) {}
    void setCaption(const QString&) override {}
    void showProgress() override { seen = 0; }
    void hideProgress() override {}
    void DoDots(int&) override {}
    void setProgressText(const QString& text) override {
        texts << text;
        const QRegularExpressionMatch m =
            QRegularExpression("^(\\d+) (of \\d+|waypoints received|track points received)$").match(text);
        if (m.hasMatch())
            seen = m.captured(1).toInt();
    }
    bool cancelRequested() const override { return seen >= after; }
    void clearCancelRequest() override { after = 1 << 30; }
    int after;
    int seen = 0;
    QStringList texts;
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
    ScopedCommPorts ports({receiver.path()});
    connectTo(device);

    ASSERT_TRUE(Shown(device.ReceiveTracks()));
    EXPECT_TRUE(device.lastDownloadCancelled());
    EXPECT_FALSE(device.lastDownloadComplete());
    WaypointRows grid;
    grid.setCols(7);
    const AddedPoints added = AppendReceivedPoints(grid, device.receivedDataLines());
    EXPECT_GE(added.added, 10);
    EXPECT_LT(added.added, 150);
    EXPECT_EQ(added.skipped(), 0); // no half line
    for (int r = 1; r < grid.Rows(); ++r)
        ASSERT_EQ(tableRow(grid, r).join('|').toStdString(),
                  expectedRow(data.at(2 + r - 1)).join('|').toStdString())
            << "row " << r;

    // The rest of the track did not stay in the port: the next download is clean.
    progress.after = 1 << 30;
    ScriptedPrompts prompts; // a "trash" message would fail here
    ASSERT_TRUE(Shown(device.ReceiveWaypoints()));
    EXPECT_TRUE(device.lastDownloadComplete());
    EXPECT_EQ(device.receivedDataLines().size(), 2);
    Shown(device.CloseDevice());
}

// A receiver deaf to the host while it sends a 2,434-point track, about 14 s
// at 115200 baud: after Cancel the rest is discarded up to its end line,
// however long that takes, so the next command gets its own answer.
TEST(GpsEndToEnd, AfterCancelTheRestOfALongTrackIsDiscardedBeforeTheNextCommand) {
    CancelAfterLines progress(10);
    ConnectedReceiver r(3, 2434, {"--fault", "stream-on", "--baud", "115200"}, true, &progress);
    ASSERT_TRUE(Shown(r.device.ReceiveTracks()));
    EXPECT_TRUE(r.device.lastDownloadCancelled());
    const qsizetype kept = r.device.receivedDataLines().size();
    EXPECT_GE(kept, 10);
    EXPECT_LT(kept, 2434);
    EXPECT_TRUE(progress.texts.contains(QStringLiteral("Discarding the rest of the receiver's answer...")));

    ScriptedPrompts prompts; // a stale-input message would fail here
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    EXPECT_TRUE(r.device.lastDownloadComplete());
    const AddedPoints added = AppendReceivedPoints(r.grid, r.device.receivedDataLines());
    EXPECT_EQ(added.added, 3);
    EXPECT_EQ(added.skipped(), 0);
    EXPECT_EQ(r.grid.TextMatrix(1, 1), QStringLiteral("WP000"));
}

// A progress view that keeps every text and bar it is given and, when
// cancelAfterMs >= 0, chooses Cancel that long after it was shown.
struct WatchingView final : ProgressView {
    void setCaption(const QString&) override {}
    void showProgress() override {
        shownAt.start();
        visible = true;
    }
    void hideProgress() override { visible = false; }
    void DoDots(int&) override {}
    void setProgressText(const QString& text) override { texts << text; }
    void setProgressBar(int done, int total) override {
        bars << QStringLiteral("%1/%2").arg(done).arg(total);
    }
    bool cancelRequested() const override { return cancelAfterMs >= 0 && shownAt.elapsed() >= cancelAfterMs; }
    QElapsedTimer shownAt;
    qint64 cancelAfterMs = -1;
    bool visible = false;
    QStringList texts, bars;
};

// An upload counts "n of m"; the following download counts against the
// receiver's waypoints as this program followed them (the first download
// learnt 5, the upload replaced one and added three), and the simulator's
// own store agrees.
TEST(GpsEndToEnd, UploadAndADownloadWhoseCountIsKnownShowNOfM) {
    WatchingView view;
    ConnectedReceiver r(5, 0, {}, false, &view);
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    EXPECT_EQ(view.texts.last(), QStringLiteral("5 waypoints received")); // nothing known before
    EXPECT_EQ(view.bars.last(), QStringLiteral("5/0"));                   // so no bar

    for (const char* name : {"NEW1", "WP001", "NEW2", "NEW3"})
        AppendTableRow(r.grid, {name, "35.5", "-86.5", "0000010M", "", "a"}, true);
    view.texts.clear();
    view.bars.clear();
    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_EQ(UploadShown(r.grid, r.device).uploaded, 4);
    EXPECT_EQ(view.texts, (QStringList{"0 of 4", "1 of 4", "2 of 4", "3 of 4", "4 of 4"}));
    EXPECT_EQ(view.bars.last(), QStringLiteral("4/4"));
    ASSERT_EQ(storedNames(r.store()).size(), 8);

    view.texts.clear();
    view.bars.clear();
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    ASSERT_FALSE(view.texts.isEmpty());
    EXPECT_EQ(view.texts.first(), QStringLiteral("0 of 8"));
    EXPECT_EQ(view.texts.last(), QStringLiteral("8 of 8"));
    EXPECT_EQ(view.bars.last(), QStringLiteral("8/8"));
    for (const QString& text : std::as_const(view.texts))
        EXPECT_TRUE(text.endsWith(QLatin1String(" of 8"))) << text.toStdString();
}

// Cancel half a second into a search over silent ports ends it at once, where
// the search would otherwise wait 7.5 s on each: no message (in particular none
// claiming a receiver), and the port is closed, so it opens again at once.
TEST(GpsEndToEnd, CancelDuringThePortSearchEndsItPromptly) {
    Simulator silent1({"--fault", "silent"});
    Simulator silent2({"--fault", "silent"});
    ASSERT_FALSE(silent1.path().isEmpty());
    ASSERT_FALSE(silent2.path().isEmpty());
    ScopedCommPorts ports({silent1.path(), silent2.path()});
    SerialCommPort port;
    WatchingView view;
    view.cancelAfterMs = 500;
    GPSDevice device(&port, &view);
    ScriptedPrompts prompts; // any message fails the test
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(Shown(device.SearchForDevice()));
    EXPECT_LT(took.elapsed(), 2500);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(device.deviceModel(), QString());
    SerialCommPort again;
    again.setCommPort(1);
    EXPECT_NO_THROW(again.setPortOpen(true));
    again.setPortOpen(false);
}

namespace {
// A simulator data file in dir holding lines ("W|..." or "T|...").
QString receiverData(const QTemporaryDir& dir, const QStringList& lines) {
    const QString path = dir.filePath(QStringLiteral("own.txt"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    return path;
}
} // namespace

// A receiver with its NMEA output on sends a position fix after every line:
// neither download takes those for points, and the stale-input message lists
// 20 of them and counts the rest.
TEST(GpsEndToEnd, DownloadsTakeOnlyTheirOwnSentences) {
    ConnectedReceiver r(25, 25, {"--fault", "nmea=1"});
    for (const bool track : {false, true}) {
        SCOPED_TRACE(track ? "track" : "waypoints");
        ScriptedPrompts prompts;
        prompts.answerMessage();
        ASSERT_TRUE(track ? Shown(r.device.ReceiveTracks()) : Shown(r.device.ReceiveWaypoints()));
        const AddedPoints added = AppendReceivedPoints(r.grid, r.device.receivedDataLines());
        EXPECT_EQ(added.added, 25);
        EXPECT_EQ(added.skipped(), 0);
        ASSERT_EQ(prompts.messages().size(), 1);
        const QStringList shown = prompts.messages().at(0).split(QStringLiteral("\r\n"));
        ASSERT_EQ(shown.size(), 22);
        EXPECT_EQ(shown.first(), QStringLiteral("This trash was in the input:"));
        for (int i = 1; i <= 20; ++i)
            EXPECT_TRUE(shown.at(i).startsWith(QStringLiteral("$GPGGA,"))) << shown.at(i).toStdString();
        EXPECT_EQ(shown.last(), QStringLiteral("(5 more lines were dropped.)"));
    }
    EXPECT_EQ(r.grid.Rows(), 1 + 50);
}

// A receiver keeps 8 characters of a name. Long names are listed before the
// upload: left out (No), or shortened in the table (Yes), two that would
// come out alike made different. Deletion then finds every waypoint by the
// name the receiver holds, a long name never shortened in the table too.
TEST(GpsEndToEnd, LongNamesAreShortenedOrLeftOutAndDeletedByTheNameTheReceiverHolds) {
    QTemporaryDir data;
    ConnectedReceiver r(
        0, 0, {"--data", receiverData(data, {"W|3516.583|N|09016.583|W|0000028|M|Pine Rid|spring|a"})});
    AppendTableRow(r.grid, {"Fence Corner", "35.5", "-86.5", "0000001M", "", "a"}, true);
    AppendTableRow(r.grid, {"Fence Cottage", "35.6", "-86.6", "0000002M", "", "b"}, true);
    AppendTableRow(r.grid, {"CAMP", "35.7", "-86.7", "0000003M", "", "c"}, true);
    AppendTableRow(r.grid,
                   {"Pine Ridge Spring", "35.2763833333333", "-90.2763833333333", "0000028M", "", "a"});

    ScriptedPrompts prompts;
    prompts.answerMessage(vbNo).answerMessage();
    UploadResult up = UploadShown(r.grid, r.device);
    EXPECT_EQ(up.uploaded, 1);
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_EQ(prompts.messages().at(0),
              QStringLiteral(
                  "The GPS device SporTrak keeps waypoint names of at most 8 characters and cuts "
                  "longer ones. These selected waypoints have longer names:\r\n"
                  "\"Fence Corner\" becomes \"Fence Co\"\r\n\"Fence Cottage\" becomes \"Fence C2\"\r\n\r\n"
                  "Yes: shorten these names in the list as shown, then upload.\r\n"
                  "No: upload the other selected waypoints and leave these out.\r\n"
                  "Cancel: upload nothing."));
    EXPECT_EQ(storedNames(r.store()), (QStringList{"Pine Rid", "CAMP"}));
    EXPECT_EQ(r.grid.TextMatrix(1, 1), QStringLiteral("Fence Corner"));

    prompts.clear();
    prompts.answerMessage(vbYes).answerMessage();
    up = UploadShown(r.grid, r.device);
    EXPECT_EQ(up.uploaded, 3);
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("All waypoints were uploaded."));
    EXPECT_EQ(storedNames(r.store()), (QStringList{"Pine Rid", "CAMP", "Fence Co", "Fence C2"}));
    EXPECT_EQ(r.grid.TextMatrix(1, 1), QStringLiteral("Fence Co"));
    EXPECT_EQ(r.grid.TextMatrix(2, 1), QStringLiteral("Fence C2"));

    prompts.clear();
    prompts.answerMessage(vbYes).answerMessage();
    const DeleteResult gone = DeleteShown(r.grid, r.device);
    EXPECT_EQ(gone.failed, 0);
    EXPECT_TRUE(gone.cleared);
    EXPECT_TRUE(storedNames(r.store()).isEmpty());
}

// Two-letter icons survive the download and the upload back unchanged.
TEST(GpsEndToEnd, TwoLetterIconsAreKeptWhole) {
    QTemporaryDir data;
    ConnectedReceiver r(0, 0,
                        {"--data", receiverData(data, {"W|3516.583|N|09016.583|W|0000028|M|PARK|picnic|aa",
                                                       "W|3549.499|N|08650.827|W|0000257|M|ZOO||ap"})});
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    ASSERT_EQ(AppendReceivedPoints(r.grid, r.device.receivedDataLines()).added, 2);
    EXPECT_EQ(r.grid.TextMatrix(1, 6), QStringLiteral("aa"));
    EXPECT_EQ(r.grid.TextMatrix(2, 6), QStringLiteral("ap"));

    r.grid.setMarked(1, true);
    r.grid.setMarked(2, true);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_EQ(UploadShown(r.grid, r.device).uploaded, 2);
    QStringList icons;
    for (const QString& line : storedWaypoints(r.store()))
        icons << line.section(QLatin1Char('|'), 9, 9);
    EXPECT_EQ(icons, (QStringList{"aa", "ap"}));
}

// A receiver that refuses part way: the lines before the refusal are kept and
// the refusal told.
TEST(GpsEndToEnd, LinesBeforeARefusalAreKept) {
    ConnectedReceiver r(5, 0, {"--fault", "unable-after=3"});
    ScriptedPrompts prompts;
    prompts.answerMessage();
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    EXPECT_TRUE(r.device.lastDownloadRefused());
    EXPECT_EQ(prompts.messages(), QStringList{"The GPS device refused the rest of the transfer (it answered "
                                              "UNABLE).\r\nThe 3 complete lines received before that will be "
                                              "added to the list."});
    EXPECT_EQ(AppendReceivedPoints(r.grid, r.device.receivedDataLines()).added, 3);
    EXPECT_EQ(r.grid.TextMatrix(3, 1), QStringLiteral("WP002"));
}

// Points of a drawing another program wrote, placed by the zone the user gives
// (56 south, feet), reach the receiver and come back by name at the positions
// GeographicLib's inverse gives for the drawing's coordinates.
TEST(GpsEndToEnd, DrawingPointsUploadAndComeBack) {
    ConnectedReceiver r(0, 0);
    const double at[][2] = {{-33.86, 151.21}, {-34.02, 150.75}, {-33.5, 152.9}};
    const QStringList names{"CAMP 1", "OUTLET", "TANK"};
    std::vector<SitePoint> points;
    for (int i = 0; i < 3; ++i) {
        const auto en = UtmExactGrid(at[i][0], at[i][1], 56, true, false);
        // Hundredths of a foot, as a drawing holds them.
        points.push_back({names[i], std::round(en[0] * 100) / 100, std::round(en[1] * 100) / 100, 30.0});
    }
    const QString path = r.dir.filePath("site.dxf");
    ASSERT_TRUE(WriteSiteDrawing(path, points));
    DrawingImportOptions options;
    options.zone = 56;
    options.south = true;
    options.metric = false;
    const DrawingImportResult read = ReadDrawingRows(path, options);
    ASSERT_TRUE(read.ok) << read.error.toStdString();
    ASSERT_EQ(read.rows.size(), 3u);
    AppendRowsToTable(r.grid, read.rows);
    for (int row = 1; row < r.grid.Rows(); ++row)
        r.grid.setMarked(row, true);

    ScriptedPrompts prompts;
    prompts.answerMessage();
    EXPECT_EQ(UploadShown(r.grid, r.device).uploaded, 3);
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("All waypoints were uploaded.")});
    ASSERT_TRUE(Shown(r.device.ReceiveWaypoints()));
    WaypointRows back;
    back.setCols(7);
    back.setRows(1);
    ASSERT_EQ(AppendReceivedPoints(back, r.device.receivedDataLines()).added, 3);
    for (int i = 0; i < 3; ++i) {
        double lat = 0, lon = 0;
        UtmExact().Reverse(6.0 * 56 - 183, points[size_t(i)].easting / 3.28083 - 500000,
                           points[size_t(i)].northing / 3.28083 - 10000000, lat, lon);
        EXPECT_EQ(back.TextMatrix(i + 1, 1), names[i]);
        // The receiver keeps thousandths of a minute; the program's inverse is within a millimetre.
        EXPECT_NEAR(back.TextMatrix(i + 1, 2).toDouble(), lat, kThousandthMinute / 2 + 1e-8) << i;
        EXPECT_NEAR(back.TextMatrix(i + 1, 3).toDouble(), lon, kThousandthMinute / 2 + 1e-8) << i;
    }
}
