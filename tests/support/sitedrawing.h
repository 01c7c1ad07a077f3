// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing written by another program (ezdxf, run by Debian's /usr/bin/python3):
// one FLAG block per point carrying its name in a TRANSFERTEXT attribute, on
// the layer given with the point, at its easting and northing in drawing units,
// and nothing of this program's own data. For the import of drawings that say
// nothing of where they lie.
#pragma once
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>

#include <vector>

#include <gtest/gtest.h>

struct SitePoint {
    QString name;
    double easting = 0;
    double northing = 0;
    double elevation = 0;
    QString layer = QStringLiteral("Sites");
};

inline ::testing::AssertionResult WriteSiteDrawing(const QString& path,
                                                   const std::vector<SitePoint>& points) {
    static const char* script = R"(
import ezdxf, json, sys
points = json.loads(sys.argv[2])
doc = ezdxf.new("R2000")
flag = doc.blocks.new("FLAG")
flag.add_line((0, 0), (0, 3))
flag.add_attdef("TRANSFERTEXT", (0.2, 2.5), dxfattribs={"height": 1})
msp = doc.modelspace()
for name, x, y, z, layer in points:
    if layer not in doc.layers:
        doc.layers.add(layer)
    ref = msp.add_blockref("FLAG", (x, y, z), dxfattribs={"layer": layer})
    ref.add_attrib("TRANSFERTEXT", name, (x + 0.2, y + 2.5))
doc.saveas(sys.argv[1])
)";
    QJsonArray list;
    for (const SitePoint& p : points)
        list.append(QJsonArray{p.name, p.easting, p.northing, p.elevation, p.layer});
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromLatin1(script), path,
             QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact))});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return ::testing::AssertionFailure() << "ezdxf could not write " << path.toStdString() << ": "
                                             << p.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}
