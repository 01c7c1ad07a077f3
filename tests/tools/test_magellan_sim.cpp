// SPDX-License-Identifier: GPL-3.0-or-later
// magellan-sim checked against a client nobody here wrote (gpsbabel's
// "magellan" serial format) and by raw sentences over its terminal.
#include "../gps/simulator.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

int runGpsbabel(const QStringList& args, QString* err = nullptr) {
    QProcess p;
    p.start(QStringLiteral("gpsbabel"), args);
    if (!p.waitForFinished(180000))
        return -1;
    if (err)
        *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

double ddmm(const QString& field, const QString& hem, int digits) {
    const double v = field.left(digits).toDouble() + field.mid(digits).toDouble() / 60;
    return hem == QLatin1String("S") || hem == QLatin1String("W") ? -v : v;
}

struct GpxPoint {
    double lat, lon;
    QString name;
};
QVector<GpxPoint> gpxPoints(const QString& gpx, const QString& tag) {
    QVector<GpxPoint> out;
    static const QRegularExpression re(QStringLiteral("<(\\w+) lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\">"
                                                      "(?:\\s*<ele>[^<]*</ele>)?(?:\\s*<time>[^<]*</time>)?"
                                                      "(?:\\s*<name>([^<]*)</name>)?"));
    for (auto it = re.globalMatch(gpx); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) == tag)
            out.push_back({m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4)});
    }
    return out;
}

TEST(MagellanSim, GpsbabelDownloadsWaypointsAndTrack) {
    QTemporaryDir dir;
    const QStringList data = WriteSimulatorData(dir.filePath("data.txt"), 120, 600);
    Simulator sim({"--data", dir.filePath("data.txt"), "--no-pacing"});
    ASSERT_FALSE(sim.path().isEmpty());
    QString err;
    ASSERT_EQ(runGpsbabel(
                  {"-w", "-i", "magellan", "-f", sim.path(), "-o", "gpx", "-F", dir.filePath("w.gpx")}, &err),
              0)
        << err.toStdString();
    const auto wpts = gpxPoints(readAll(dir.filePath("w.gpx")), QStringLiteral("wpt"));
    ASSERT_EQ(wpts.size(), 120);
    for (int i = 0; i < 120; ++i) {
        const QStringList f = data.at(i).split(QLatin1Char('|'));
        EXPECT_NEAR(wpts[i].lat, ddmm(f[1], f[2], 2), 1e-8) << i;
        EXPECT_NEAR(wpts[i].lon, ddmm(f[3], f[4], 3), 1e-8) << i;
        EXPECT_EQ(wpts[i].name, f[7]) << i;
    }
    ASSERT_EQ(runGpsbabel(
                  {"-t", "-i", "magellan", "-f", sim.path(), "-o", "gpx", "-F", dir.filePath("t.gpx")}, &err),
              0)
        << err.toStdString();
    const auto trk = gpxPoints(readAll(dir.filePath("t.gpx")), QStringLiteral("trkpt"));
    ASSERT_EQ(trk.size(), 600);
    for (int i = 0; i < 600; ++i) {
        const QStringList f = data.at(120 + i).split(QLatin1Char('|'));
        EXPECT_NEAR(trk[i].lat, ddmm(f[1], f[2], 2), 1e-8) << i;
        EXPECT_NEAR(trk[i].lon, ddmm(f[3], f[4], 3), 1e-8) << i;
    }
}

TEST(MagellanSim, GpsbabelUploadsWithAndWithoutHandshake) {
    QTemporaryDir dir;
    QFile gpx(dir.filePath("up.gpx"));
    ASSERT_TRUE(gpx.open(QIODevice::WriteOnly));
    gpx.write("<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" creator=\"test\">\n"
              "<wpt lat=\"35.5\" lon=\"-90.25\"><ele>28</ele><name>ALPHA</name><desc>first</desc></wpt>\n"
              "<wpt lat=\"-12.125\" lon=\"45.75\"><ele>3</ele><name>BRAVO</name><desc>second</desc></wpt>\n"
              "</gpx>\n");
    gpx.close();
    for (const QString& format : {QStringLiteral("magellan"), QStringLiteral("magellan,noack")}) {
        Simulator sim({"--dump", dir.filePath("store.txt"), "--no-pacing"});
        QString err;
        ASSERT_EQ(
            runGpsbabel({"-w", "-i", "gpx", "-f", dir.filePath("up.gpx"), "-o", format, "-F", sim.path()},
                        &err),
            0)
            << format.toStdString() << err.toStdString();
        // The last sentence may still be on its way (no acknowledgement to wait for).
        QStringList store;
        for (const QDeadlineTimer deadline(30000); !deadline.hasExpired(); QThread::msleep(50)) {
            store = readAll(dir.filePath("store.txt")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (store.size() >= 2)
                break;
        }
        ASSERT_EQ(store.size(), 2) << format.toStdString();
        EXPECT_EQ(store[0], QStringLiteral("W|3530.000|N|09015.000|W|0000028|M|ALPHA|first|a"))
            << format.toStdString();
        EXPECT_EQ(store[1], QStringLiteral("W|1207.500|S|04545.000|E|0000003|M|BRAVO|second|a"));
    }
}

// "$" body "*hh" CR LF.
QByteArray s(const char* body) {
    unsigned sum = 0;
    for (const char* p = body; *p; ++p)
        sum ^= static_cast<unsigned char>(*p);
    return "$" + QByteArray(body) + "*" + QByteArray::number(sum, 16).toUpper().rightJustified(2, '0') +
           "\r\n";
}

// Raw sentences over the terminal. Nothing is timed: the simulator answers in
// order, so a version request sent after a sentence marks the end of that
// sentence's answer (and that the sentence was dealt with). The deadlines only
// bound a simulator that has stopped answering.
class RawLink {
public:
    explicit RawLink(const QString& path) {
        port.setPortName(path);
        ok = port.open(QIODevice::ReadWrite);
    }
    // Sends text and returns what came back before the marker's answer.
    QByteArray exchange(const QByteArray& text) {
        const qsizetype markers = 1 + text.count(QByteArrayView("VERSION"));
        QByteArray got = collect(text + "$PMGNCMD,VERSION,2*36\r\n", [&](const QByteArray& g) {
            return g.count(QByteArrayView("$PMGNVER,")) >= markers &&
                   g.indexOf("\r\n", g.lastIndexOf("$PMGNVER,")) >= 0;
        });
        return got.left(got.lastIndexOf("$PMGNVER,"));
    }
    // Sends text and reads until `done` holds for what came back.
    template <typename Done> QByteArray collect(const QByteArray& text, Done done) {
        port.write(text);
        port.waitForBytesWritten(30000);
        QByteArray got;
        for (const QDeadlineTimer deadline(30000); !done(got);) {
            if (deadline.hasExpired()) {
                ADD_FAILURE() << "no complete answer to " << text.constData() << " within 30 s; got "
                              << got.constData();
                break;
            }
            if (port.waitForReadyRead(100))
                got += port.readAll();
        }
        return got;
    }
    QSerialPort port;
    bool ok = false;
};

TEST(MagellanSim, CommandsDeletionsAndHandshake) {
    QTemporaryDir dir;
    WriteSimulatorData(dir.filePath("data.txt"), 3, 0);
    Simulator sim({"--data", dir.filePath("data.txt"), "--dump", dir.filePath("store.txt"), "--no-pacing",
                   "--model", "Meridian"});
    RawLink link(sim.path());
    ASSERT_TRUE(link.ok);
    const QByteArray unable = "$PMGNCMD,UNABLE*63\r\n";
    EXPECT_EQ(link.exchange("$PMGNCMD,VERSION,2*36\r\n"), s("PMGNVER,33,VER 1 06,Meridian,0,12345678"));
    EXPECT_EQ(link.exchange("$PMGNCMD,TON*27\r\n"), QByteArray("$PMGNCMD,TON*27\r\n"));
    EXPECT_EQ(link.exchange(s("PMGNCMD,NMEAOFF")), QByteArray());
    QByteArray badSum = s("PMGNCMD,FOO");
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
    EXPECT_EQ(link.exchange(badSum), QByteArray()); // wrong checksum: ignored
    EXPECT_EQ(link.exchange(s("PMGNCMD,FOO")), unable);
    EXPECT_EQ(link.exchange(s("PMGNDWP,WP001,b")), QByteArray());
    EXPECT_EQ(link.exchange(s("PMGNDWP,WP001,b")), unable);
    EXPECT_EQ(readAll(dir.filePath("store.txt")).count(QLatin1Char('\n')), 2);
    EXPECT_EQ(link.exchange(s("PMGNWPL,3530.000,N,09015.000,W,0000028,M,NEW,a\x1b"
                              "2C b,c")),
              QByteArray());
    EXPECT_TRUE(readAll(dir.filePath("store.txt")).contains(QStringLiteral("|NEW|a, b|c\n")));
    // Handshaking: every sentence is acknowledged with its own checksum, and
    // an unacknowledged answer is sent again (three times in all). Switching it
    // on answers nothing: the first bytes back are the acknowledgement.
    const QByteArray handshake = s("PMGNCSM,44") + s("PMGNCMD,END") + s("PMGNCMD,END") + s("PMGNCMD,END");
    EXPECT_EQ(link.collect(s("PMGNCMD,HANDON") + "$PMGNCMD,DELETE,WAYPOINT*44\r\n",
                           [&](const QByteArray& g) { return g.size() >= handshake.size(); }),
              handshake);
    EXPECT_EQ(readAll(dir.filePath("store.txt")), QString());
}
} // namespace
