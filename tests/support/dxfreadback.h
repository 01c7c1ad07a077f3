// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a drawing back with an independent reader: tests/support/dxfcheck.py run by
// Debian's /usr/bin/python3 (which has ezdxf), its JSON answer parsed here.
#pragma once
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

inline QJsonObject readBack(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(KORVEL_SOURCE_DIR "/tests/support/dxfcheck.py"), path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << "dxfcheck.py failed on " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Every problem the structural check and ezdxf's audit found, one per line.
inline std::string problemsOf(const QJsonObject& r) {
    std::string out;
    for (const char* key : {"structure", "audit_errors"})
        for (const auto& v : r.value(QLatin1String(key)).toArray())
            out += v.toString().toStdString() + "\n";
    return out;
}
