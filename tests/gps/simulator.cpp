// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The terminals of every simulator this process started, held open until the
// process ends. QSerialPort closes a device before it removes its lock file
// (/var/lock/LCK..pts_N); when its close is the last one, the kernel frees the
// terminal's number in between, another test running in parallel is given
// that number for its simulator and finds it locked (error 8010 on opening).
// With a descriptor held here, the last close is the kernel's at exit, after
// every port of this process has closed and removed its lock.
// The descriptor is deliberately never closed.
void holdUntilExit(const QString& device) {
    ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}
} // namespace

Simulator::Simulator(const QStringList& args) {
    process_.setProgram(QStringLiteral(KORVEL_BIN_DIR "/magellan-sim"));
    process_.setArguments(args);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    // Start-up prints the terminal's path as the first line. The deadline is
    // generous (a sanitizer build on a busy machine starts slowly); a started
    // simulator answers as soon as it is ready.
    const QDeadlineTimer deadline(60000);
    if (!process_.waitForStarted(static_cast<int>(deadline.remainingTime())))
        return;
    while (!process_.canReadLine() && !deadline.hasExpired() && process_.state() == QProcess::Running)
        process_.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 1000)));
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    if (!path_.isEmpty())
        holdUntilExit(path_);
}

Simulator::~Simulator() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }
}

QStringList WriteSimulatorData(const QString& file, int waypoints, int trackPoints) {
    QStringList lines;
    for (int i = 0; i < waypoints; ++i) {
        const bool south = i % 7 == 3, east = i % 5 == 2;
        const int latMin = (i * 37) % 60000, lonMin = (i * 91) % 60000;
        lines << QStringLiteral("W|%1%2.%3|%4|%5%6.%7|%8|%9|M|WP%10|%11|%12")
                     .arg(10 + i % 70, 2, 10, QLatin1Char('0'))
                     .arg(latMin / 1000, 2, 10, QLatin1Char('0'))
                     .arg(latMin % 1000, 3, 10, QLatin1Char('0'))
                     .arg(south ? "S" : "N")
                     .arg(i % 180, 3, 10, QLatin1Char('0'))
                     .arg(lonMin / 1000, 2, 10, QLatin1Char('0'))
                     .arg(lonMin % 1000, 3, 10, QLatin1Char('0'))
                     .arg(east ? "E" : "W")
                     .arg(i * 3 % 4000, 7, 10, QLatin1Char('0'))
                     .arg(i, 3, 10, QLatin1Char('0'))
                     .arg(i % 3 == 0   ? QString()
                          : i % 3 == 1 ? QStringLiteral("creek, dry")
                                       : QStringLiteral("gate %1").arg(i))
                     .arg(QChar(QLatin1Char('a' + i % 26)));
    }
    for (int i = 0; i < trackPoints; ++i) {
        const int latMin = (i * 13) % 60000, lonMin = (i * 17) % 60000;
        lines << QStringLiteral("T|35%1.%2|N|086%3.%4|W|%5|M|%6.00|%7|140602")
                     .arg(latMin / 1000, 2, 10, QLatin1Char('0'))
                     .arg(latMin % 1000, 3, 10, QLatin1Char('0'))
                     .arg(lonMin / 1000, 2, 10, QLatin1Char('0'))
                     .arg(lonMin % 1000, 3, 10, QLatin1Char('0'))
                     .arg(100 + i % 300, 5, 10, QLatin1Char('0'))
                     .arg(120000 + i % 5000, 6, 10, QLatin1Char('0'))
                     .arg(i < trackPoints / 2 ? QString() : QStringLiteral("RIVER"));
    }
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    return lines;
}
