// SPDX-License-Identifier: GPL-3.0-or-later
// Starts magellan-sim (from the build's bin/) for a test and stops it after.
#pragma once
#include "support/scopedenv.h"

#include <QProcess>
#include <QString>
#include <QStringList>

class Simulator {
public:
    // Starts the simulator with args; path() is "" when it did not start.
    explicit Simulator(const QStringList& args);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    QString path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

// Sets KORVEL_COMM_PORTS (the devices behind port numbers 1, 2, ...) for a
// scope and restores it after, so a failed assertion cannot leave it set for
// the next test.
class ScopedCommPorts {
public:
    explicit ScopedCommPorts(const QStringList& devices)
        : env_("KORVEL_COMM_PORTS", devices.join(QLatin1Char(',')).toLocal8Bit()) {}

private:
    ScopedEnv env_;
};

// Writes a data file of the simulator's format; returns the lines written.
// Waypoints have names WPnnn, messages with and without commas, both
// hemispheres; the track has a named and an unnamed part.
QStringList WriteSimulatorData(const QString& file, int waypoints, int trackPoints);
