// SPDX-License-Identifier: GPL-3.0-or-later
// Running the other programs the interchange tests compare with (gpsbabel,
// GDAL's ogr2ogr and ogrinfo, xmllint) and a common set of points.
#pragma once
#include "interchange/pointrows.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolRun RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish: " << p.errorString().toStdString();
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Points with names in several scripts (and a comma and quotes for CSV), at
// most six decimals (gpsbabel's CSV precision) and whole-metre elevations, so
// that every writer's file must give exactly these rows.
inline PointRows SamplePoints() {
    return {
        {QStringLiteral("Zürich Brücke"), "47.376887", "8.541694", "0000408M", "", ""},
        {QStringLiteral("Москва"), "55.755826", "37.6173", "0000156M", "", ""},
        {QStringLiteral("東京タワー"), "35.658581", "139.745433", "", "", ""},
        {QStringLiteral("القدس"), "31.7767", "35.2345", "0000754M", "", ""},
        {QStringLiteral("Ωμέγα, \"Punta\""), "-33.5", "-70.25", "-0000012M", "", ""},
    };
}

// The sample as a GPX 1.1 file written by hand: the one source for the other writers.
inline QByteArray SampleGpx() {
    QString s =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                       "xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
    for (const PointRow& p : SamplePoints()) {
        QString name = p.name;
        name.replace(QLatin1Char('"'), QLatin1String("&quot;"));
        s += QStringLiteral("<wpt lat=\"%1\" lon=\"%2\">").arg(p.latitude, p.longitude);
        if (!p.elevation.isEmpty())
            s += QStringLiteral("<ele>%1</ele>").arg(p.elevation.chopped(1).toInt());
        s += QStringLiteral("<name>%1</name></wpt>\n").arg(name);
    }
    return (s + QStringLiteral("</gpx>\n")).toUtf8();
}
