// SPDX-License-Identifier: GPL-3.0-or-later
// Downloads 500 waypoints from magellan-sim paced at 4800 baud, once with
// GPSDevice over SerialCommPort and once with gpsbabel, and prints both times
// beside the wire time (bytes the receiver sent x 10 bits / 4800 baud).
// Targets: GPSDevice within wire time + 1.6 s, and no slower than gpsbabel.
#include "gps/gpsdevice.h"
#include "gps/serialcommport.h"
#include "platform/prompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {
// Answers every message with OK and echoes it, so the run needs no one at the keyboard.
class EchoPrompts final : public PromptResponder {
public:
    int msgBox(const QString& text, int, const QString&) override {
        std::printf("  [message] %s\n",
                    qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))));
        return vbOK;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList chooseFile(const FileChooserRequest&) override { return {}; }
};

QString startSimulator(QProcess& sim, const QString& data) {
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/magellan-sim"),
              {QStringLiteral("--data"), data});
    if (!sim.waitForStarted(5000))
        return QString();
    for (int i = 0; i < 50 && !sim.canReadLine(); ++i)
        sim.waitForReadyRead(100);
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

void stop(QProcess& p) {
    p.terminate();
    if (!p.waitForFinished(3000))
        p.kill();
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    EchoPrompts prompts;
    SetPromptResponder(&prompts);
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("receiver.txt"));
    {
        QFile f(data);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < 500; ++i)
            f.write(QStringLiteral("W|35%1.%2|N|086%3.%4|W|%5|M|WPT%6|waypoint number %6|%7\n")
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .arg(i * 7 % 1000, 3, 10, QLatin1Char('0'))
                        .arg(i * 3 % 60, 2, 10, QLatin1Char('0'))
                        .arg(i * 11 % 1000, 3, 10, QLatin1Char('0'))
                        .arg(200 + i, 7, 10, QLatin1Char('0'))
                        .arg(i, 3, 10, QLatin1Char('0'))
                        .arg(QChar(QLatin1Char('a' + i % 26)))
                        .toLatin1());
    }

    // Korvel Transfer's GPSDevice.
    QProcess sim;
    const QString tty = startSimulator(sim, data);
    if (tty.isEmpty()) {
        std::fprintf(stderr, "magellan-sim did not start\n");
        return 1;
    }
    qputenv("KORVEL_COMM_PORTS", tty.toLocal8Bit());
    SerialCommPort port;
    GPSDevice device(&port);
    if (!device.SearchForDevice().ok)
        return 1;
    QElapsedTimer t;
    t.start();
    const bool ok = device.ReceiveWaypoints().ok;
    const double ours = t.elapsed() / 1000.0;
    const qint64 bytes = device.receivedLines().join(QStringLiteral("\r\n")).toLatin1().size();
    const int points = static_cast<int>(device.receivedDataLines().size());
    device.CloseDevice();
    stop(sim);
    if (!ok)
        return 1;

    // gpsbabel on a fresh simulator (its own handshake included in its time).
    QProcess sim2;
    const QString tty2 = startSimulator(sim2, data);
    QProcess babel;
    t.restart();
    babel.start(QStringLiteral("gpsbabel"),
                {QStringLiteral("-w"), QStringLiteral("-i"), QStringLiteral("magellan"), QStringLiteral("-f"),
                 tty2, QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"),
                 dir.filePath(QStringLiteral("out.gpx"))});
    const bool babelOk = babel.waitForFinished(300000) && babel.exitCode() == 0;
    const double theirs = t.elapsed() / 1000.0;
    stop(sim2);

    const double wire = bytes * 10.0 / 4800.0;
    std::printf("download of %d waypoints at 4800 baud (%lld bytes from the receiver)\n", points,
                static_cast<long long>(bytes));
    std::printf("  wire time             %7.2f s\n", wire);
    std::printf("  GPSDevice             %7.2f s  (wire + %.2f s; target wire + 1.60 s: %s)\n", ours,
                ours - wire, ours <= wire + 1.6 ? "met" : "MISSED");
    if (babelOk)
        std::printf("  gpsbabel              %7.2f s  (GPSDevice %s)\n", theirs,
                    ours <= theirs ? "no slower: met" : "slower: MISSED");
    else
        std::printf("  gpsbabel              failed (%s)\n", babel.readAllStandardError().constData());
    return 0;
}
