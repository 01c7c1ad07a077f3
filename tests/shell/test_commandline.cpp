// SPDX-License-Identifier: GPL-3.0-or-later
// The command line run as users run it: the built program, with no display
// and no platform chosen, against files, drawings and the receiver simulator.
#include "../gps/simulator.h"
#include "cad/frmoptions.h"
#include "dxf/dxfengine.h"
#include "files/pointsfile.h"
#include "files/pointstable.h"
#include "gps/gpsdevice.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "interchange/formats.h"
#include "interchange/otherwriters.h"
#include "platform/ansi.h"
#include "platform/settings.h"
#include "shell/form1.h"
#include "shell/interchangetable.h"
#include "shell/modmain.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"
#include "support/scriptedprompts.h"
#include "support/shownresults.h"
#include "support/utmreference.h"
#include "table/waypointrows.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <unistd.h>

namespace {

// shellSetUp: shell commands run first in the program's process (limits).
ToolRun korvel(const QStringList& args, const QString& shellSetUp = QString(),
               const QString& program = QStringLiteral(KORVEL_BIN_DIR "/korvel-transfer")) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (shellSetUp.isEmpty())
        return RunTool(program, args, env);
    return RunTool("/bin/sh", QStringList{"-c", shellSetUp + "; exec \"$0\" \"$@\"", program} + args, env);
}

// The built program in a program folder of its own, whose Support/Inserts a
// test fills: a hard link beside the build's (a link's folder is the program
// folder; a symbolic one would lead back to the build's).
class OwnProgramFolder {
public:
    OwnProgramFolder() {
        const QString support = QStringLiteral(KORVEL_BIN_DIR "/Support/");
        EXPECT_TRUE(QDir(dir_.path()).mkpath("Support/Inserts"));
        EXPECT_EQ(::link(KORVEL_BIN_DIR "/korvel-transfer", QFile::encodeName(program()).constData()), 0);
        for (const char* file : {"Rules.rls", "Checkmark2.gif", "Inserts/Flag.dxf"})
            EXPECT_TRUE(QFile::copy(support + file, dir_.filePath(QStringLiteral("Support/") + file)));
    }
    QString program() const { return dir_.filePath("korvel-transfer"); }
    QString inserts() const { return dir_.filePath("Support/Inserts/"); }

private:
    QTemporaryDir dir_{QStringLiteral(KORVEL_BIN_DIR "/program-XXXXXX")};
};

// The rows a file holds, read as this program reads its format.
PointRows rowsOf(const QString& path) {
    if (!path.endsWith(".gps"))
        return ReadInterchangeFile(path).rows;
    WaypointRows grid;
    EXPECT_TRUE(LoadPointsFile(path, grid).ok);
    return TableRows(grid, false);
}

QStringList rowTexts(const PointRows& rows) {
    QStringList out;
    for (const PointRow& r : rows)
        out << QStringList{r.name, r.latitude, r.longitude, r.elevation, r.message, r.icon}.join('|');
    return out;
}

class CommandLine : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(CommandLine, ConvertsBetweenEveryPairOfFormats) {
    QFile src(path("source.gpx"));
    ASSERT_TRUE(src.open(QIODevice::WriteOnly));
    src.write(SampleGpx());
    src.close();
    const QStringList formats = {"gps", "gpx", "csv", "kml"};
    for (const QString& from : formats) {
        const QString input = path("in." + from);
        ASSERT_EQ(korvel({"--convert", path("source.gpx"), input}).exitCode, 0);
        for (const QString& to : formats) {
            SCOPED_TRACE((from + " to " + to).toStdString());
            const QString output = path(from + "-out." + to);
            const ToolRun r = korvel({"--convert", input, output});
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(r.out, "5 waypoints written to " + output.toUtf8() + "\n");
            // Points files hold Windows-1252 text: other scripts' letters become "?".
            PointRows expected = SamplePoints();
            if (from == "gps" || to == "gps")
                for (PointRow& e : expected)
                    e.name = FromAnsi(ToAnsi(e.name));
            EXPECT_EQ(rowTexts(rowsOf(output)), rowTexts(expected));
            // Four of the names hold letters a points file cannot keep: said, not hidden.
            if (to == "gps" && from != "gps") {
                EXPECT_TRUE(r.err.contains("4 field(s) held characters that a points file cannot keep"))
                    << r.err.toStdString();
            }
        }
    }
}

// No display and a platform that does not exist: a program that made a GUI
// application would abort. Qt's plugin log shows that no platform plugin is
// even looked for.
TEST_F(CommandLine, ConvertToADrawingNeedsNoDisplayAndNoPlatformPlugin) {
    QFile src(path("source.gpx"));
    ASSERT_TRUE(src.open(QIODevice::WriteOnly));
    src.write(SampleGpx());
    src.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "nosuchplatform");
    env.insert("QT_DEBUG_PLUGINS", "1");
    env.insert("KORVEL_DEBUG", "1"); // Qt's own log reaches standard error
    const QString out = path("out.dxf");
    const ToolRun r = RunTool(QStringLiteral(KORVEL_BIN_DIR "/korvel-transfer"),
                              {"--convert", path("source.gpx"), out, "--line"}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "5 waypoints inserted into " + out.toUtf8() + " with a line\n");
    EXPECT_FALSE(r.err.contains("platforms")) << r.err.toStdString();
    const QJsonObject back = readBack(out);
    EXPECT_EQ(problemsOf(back), "");
    EXPECT_EQ(back["inserts"].toArray().size(), 5);
    EXPECT_EQ(back["polylines"].toArray().size(), 1);
}

TEST_F(CommandLine, ExitStatusTellsWhatWentAndNothingIsWrittenOnFailure) {
    QFile f(path("some.gpx"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<gpx><wpt lat=\"1\" lon=\"2\"/><wpt lat=\"x\" lon=\"2\"/></gpx>");
    f.close();
    QFile bad(path("bad.gpx"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<gpx><wpt lat=\"1\"");
    bad.close();
    // Two whole records and the first 7 bytes of a third.
    QByteArray records;
    AppendRecord(records, {"A", 1, 2, "", "", ""});
    AppendRecord(records, {"B", 3, 4, "", "", ""});
    QFile cut(path("cut.gps"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(records + QByteArray("\x04\x00"
                                   "abcde",
                                   7));
    cut.close();
    const struct {
        QStringList args;
        int status;
        const char* stdoutText;
        const char* stderrPart = nullptr;
    } cases[] = {
        {{"--convert", path("some.gpx"), path("out.csv")}, 1, "1 waypoints written to %1, 1 skipped\n"},
        {{"--convert", path("cut.gps"), path("out.csv")},
         1,
         "2 waypoints written to %1, 1 skipped\n",
         "ends with 7 byte(s) that are not a whole waypoint record"},
        {{"--convert", path("bad.gpx"), path("out.csv")}, 2, ""},
        {{"--convert", path("none.gps"), path("out.csv")}, 2, ""},
        {{"--convert", path("some.gpx"), path("out.txt")}, 2, ""},
        {{"--convert", path("some.gpx")}, 2, ""},
        {{"--convert", path("some.gpx"), path("out.csv"), "--zone", "61"}, 2, ""},
        {{"--convert", path("some.gpx"), path("out.gpx"), "--line"}, 2, ""},
        {{"--receive", "routes", path("out.csv")}, 2, ""},
        {{"--bogus", "--convert", path("some.gpx"), path("out.csv")}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QFile::remove(path("out.csv"));
        const ToolRun r = korvel(c.args);
        EXPECT_EQ(r.exitCode, c.status);
        const QString expectedOut = QString::fromLatin1(c.stdoutText);
        EXPECT_EQ(QString::fromUtf8(r.out),
                  expectedOut.isEmpty() ? expectedOut : expectedOut.arg(path("out.csv")));
        if (c.status == 2) {
            EXPECT_FALSE(r.err.isEmpty());
            EXPECT_FALSE(QFile::exists(path("out.csv")));
        }
        if (c.stderrPart) {
            EXPECT_TRUE(r.err.contains(c.stderrPart)) << r.err.toStdString();
        }
    }
    const ToolRun help = korvel({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--convert", "--receive", "--label", "--block", "--layer", "--metres", "--feet",
                             "--zone", "--model", "--line", "--port"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

// A waypoint of the drawing tests: where it is and what it says.
struct Spot {
    const char* name;
    double lat, lon;
    double elevation; // metres; 0: none given
    const char* message;
    const char* icon;
};

// One point in zone 15; one south of the equator in zone 16; one in the band
// of zone 31 that is drawn in zone 32 (the Norway area), forced zone or not.
const Spot kSpots[] = {
    {"P1", 35.2763888888889, -90.2763888888889, 28, "CAMP 4", "c"},
    {"P2", -33.5, -84.5, 0, "OAK-T", ""},
    {"P3", 60.5, 5.5, 100, "plain", "a"},
};

// The spots as a GPX file and as a KMZ (a zip holding doc.kml), both written here.
void writeSpots(const QString& gpx, const QString& kmz) {
    QByteArray g = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                   "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    QByteArray k = "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n";
    for (const Spot& p : kSpots) {
        const QByteArray lat = QByteArray::number(p.lat, 'g', 15), lon = QByteArray::number(p.lon, 'g', 15);
        const QByteArray ele = p.elevation != 0 ? QByteArray::number(p.elevation) : QByteArray();
        g += "<wpt lat=\"" + lat + "\" lon=\"" + lon + "\">" +
             (ele.isEmpty() ? "" : "<ele>" + ele + "</ele>") + "<name>" + p.name + "</name><desc>" +
             p.message + "</desc><sym>" + p.icon + "</sym></wpt>\n";
        k += QByteArray("<Placemark><name>") + p.name + "</name><description>" + p.message +
             "</description><Point><coordinates>" + lon + "," + lat + (ele.isEmpty() ? "" : "," + ele) +
             "</coordinates></Point></Placemark>\n";
    }
    QFile f(gpx);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(g + "</gpx>\n");
    f.close();
    QFile kml(kmz + ".kml");
    ASSERT_TRUE(kml.open(QIODevice::WriteOnly));
    kml.write(k + "</Document></kml>\n");
    kml.close();
    const ToolRun zip = RunTool("/usr/bin/python3", {"-c",
                                                     "import sys, zipfile\n"
                                                     "with zipfile.ZipFile(sys.argv[2], 'w') as z:\n"
                                                     "    z.write(sys.argv[1], 'doc.kml')\n",
                                                     kmz + ".kml", kmz});
    ASSERT_EQ(zip.exitCode, 0) << zip.err.toStdString();
}

// Where a drawn point lies, as ezdxf reads it, against where GeographicLib puts
// (lat, lon) in the zone and unit given, and the elevation in that unit; the
// program's series is within 15 mm of it and rounds to hundredths.
::testing::AssertionResult drawnAt(const QJsonValue& point, double lat, double lon, double elevation,
                                   int forcedZone, bool metric) {
    const auto [e, n] = UtmReference(lat, lon, UtmZoneOf(lat, lon, forcedZone), metric);
    const double unit = metric ? 1 : 3.28083;
    const double want[] = {e, n, elevation * unit};
    const QJsonArray got = point.toArray();
    if (got.size() != 3)
        return ::testing::AssertionFailure() << "not a point: " << got.size() << " values";
    for (int k = 0; k < 3; ++k)
        if (std::fabs(got[k].toDouble() - want[k]) > (k < 2 ? 0.02 * unit : 0.0051))
            return ::testing::AssertionFailure()
                   << "value " << k << " = " << got[k].toDouble() << ", expected about " << want[k];
    return ::testing::AssertionSuccess();
}

QString labelOf(const QJsonObject& insert) {
    const QJsonArray attribs = insert["attribs"].toArray();
    return attribs.isEmpty() ? QString() : attribs[0].toArray()[1].toString();
}

// The drawing as ezdxf reads it: layers, inserts with attributes, polylines.
QJsonObject entities(const QString& path) {
    QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    return {{"layers", r["layers"]}, {"inserts", r["inserts"]}, {"polylines", r["polylines"]}};
}

TEST_F(CommandLine, ConvertToDrawingEqualsInsertAllAndInsertALine) {
    const QString rows = path("rows.gps");
    {
        WaypointRows grid;
        SetUpEmptyRows(grid);
        AppendRowsToTable(grid, SamplePoints());
        AppendRowsToTable(grid, {{"odd", "91", "1", "", "", ""}});
        ASSERT_TRUE(SavePointsFile(rows, grid).ok);
    }
    // Stored options, and the same choices given on the command line instead.
    const QString app = QStringLiteral("Korvel Transfer");
    const struct {
        QStringList stored; // Attribute, Block, Layer, Metric, Zone
        QStringList args;
    } cases[] = {
        {{"Message && Name", "Flag", "Landmarks", "False", "0"}, {}},
        {{"Message", "Flag", "Landmarks", "False", "0"},
         {"--label", "name-message", "--layer", "Survey", "--metres", "--zone", "16"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const QStringList keys = {"Attribute", "Block", "Layer", "Metric", "Zone"};
        for (int k = 0; k < keys.size(); ++k)
            SaveSetting(app, "Options", keys[k], c.stored[k]);
        const QString viaCli = path(QString("cli%1.dxf").arg(n));
        const ToolRun r = korvel(QStringList{"--convert", rows, viaCli, "--line"} + c.args);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString(); // the out-of-range row
        EXPECT_EQ(r.out, "5 waypoints inserted into " + viaCli.toUtf8() + " with a line, 1 skipped\n");

        // The window, with the command line's choices stored as its options.
        if (!c.args.isEmpty()) {
            SaveSetting(app, "Options", "Attribute", "Name && Message");
            SaveSetting(app, "Options", "Layer", "Survey");
            SaveSetting(app, "Options", "Metric", "True");
            SaveSetting(app, "Options", "Zone", "16");
        }
        const QString viaWindow = path(QString("window%1.dxf").arg(n++));
        setDrawingPath(viaWindow);
        {
            DxfAutomation engine;
            SetAcadAutomation(&engine);
            ScriptedPrompts prompts;
            prompts.setAnswerMessagesWithOk(true);
            Form1 form;
            ASSERT_TRUE(LoadForm(&form));
            ASSERT_TRUE(form.OpenFile(rows));
            form.cmdInsertAll_Click();
            form.cmdSelectAll_Click();
            form.cmdInsertLine_Click();
            ASSERT_TRUE(engine.running() && engine.running()->flush());
            SetAcadAutomation(nullptr);
        }
        setDrawingPath(QString());
        const QJsonObject cli = entities(viaCli);
        EXPECT_EQ(cli["inserts"].toArray().size(), 5);
        EXPECT_EQ(cli["polylines"].toArray().size(), 1);
        EXPECT_EQ(cli, entities(viaWindow));
        // Both could be wrong alike: the stored choice (feet, each point's
        // own zone) also puts every point where GeographicLib does.
        if (c.args.isEmpty()) {
            const PointRows sample = SamplePoints();
            const QJsonArray inserts = cli["inserts"].toArray();
            for (size_t i = 0; i < size_t(inserts.size()) && i < sample.size(); ++i) {
                const PointRow& p = sample[i];
                const double metres = p.elevation.isEmpty() ? 0 : p.elevation.chopped(1).toDouble();
                EXPECT_TRUE(drawnAt(inserts[qsizetype(i)].toObject()["point"], p.latitude.toDouble(),
                                    p.longitude.toDouble(), metres, 0, false))
                    << p.name.toStdString();
            }
        }
    }
}

// Every label, block choice, unit and zone choice, from a GPX and a KMZ file:
// the drawing as ezdxf reads it holds each point where GeographicLib puts it.
TEST_F(CommandLine, DrawingOptionsPlaceAndLabelEveryPointAsGeographicLibPutsIt) {
    writeSpots(path("spots.gpx"), path("spots.kmz"));
    const struct {
        const char* input;
        QStringList args;
        QStringList labels, blocks;
        bool metric;
        int zone;
    } cases[] = {
        // The shipped rules: "CAMP " at the left and "-T" at the right, cut off a message label.
        {"spots.gpx",
         {"--label", "message", "--block", "rules", "--metres", "--zone", "0"},
         {"4", "OAK", "plain"},
         {"a", "b", "Flag"},
         true,
         0},
        {"spots.gpx",
         {"--label", "name", "--block", "icon", "--model", "Meridian", "--feet", "--zone", "0"},
         {"P1", "P2", "P3"},
         {"c", "Flag", "a"},
         false,
         0},
        {"spots.gpx",
         {"--label", "name-message", "--block", "flag", "--metres", "--zone", "16"},
         {"P1: CAMP 4", "P2: OAK-T", "P3: plain"},
         {"Flag", "Flag", "Flag"},
         true,
         16},
        {"spots.kmz",
         {"--label", "message-name", "--block", "flag", "--feet", "--zone", "16"},
         {"CAMP 4: P1", "OAK-T: P2", "plain: P3"},
         {"Flag", "Flag", "Flag"},
         false,
         16},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE((c.input + (" " + c.args.join(' '))).toStdString());
        const QString out = path(QStringLiteral("spots%1.dxf").arg(n++));
        const ToolRun r = korvel(QStringList{"--convert", path(c.input), out, "--layer", "Survey"} + c.args +
                                 QStringList{"--line"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QJsonObject drawing = readBack(out);
        EXPECT_EQ(problemsOf(drawing), "");
        const QJsonArray inserts = drawing["inserts"].toArray();
        ASSERT_EQ(inserts.size(), 3);
        const QJsonArray line = drawing["polylines"].toArray();
        ASSERT_EQ(line.size(), 1);
        ASSERT_EQ(line[0].toArray().size(), 3);
        for (int i = 0; i < 3; ++i) {
            const Spot& p = kSpots[i];
            const QJsonObject insert = inserts[i].toObject();
            EXPECT_EQ(labelOf(insert).toStdString(), c.labels[i].toStdString());
            EXPECT_EQ(insert["block"].toString().toStdString(), c.blocks[i].toStdString());
            EXPECT_EQ(insert["layer"].toString().toStdString(), "Survey");
            EXPECT_TRUE(drawnAt(insert["point"], p.lat, p.lon, p.elevation, c.zone, c.metric)) << p.name;
            EXPECT_TRUE(drawnAt(line[0].toArray()[i], p.lat, p.lon, p.elevation, c.zone, c.metric)) << p.name;
        }
    }
}

// Degrees and minutes as the receiver sends them ("1200.074", two or three
// degree digits), as decimal degrees.
double receivedDegrees(const QString& field, int degreeDigits, const QString& hemisphere) {
    const double v = field.left(degreeDigits).toDouble() + field.mid(degreeDigits).toDouble() / 60;
    return hemisphere == "S" || hemisphere == "W" ? -v : v;
}

TEST_F(CommandLine, ReceiveIntoADrawingPlacesTheReceiversWaypoints) {
    const QStringList data = WriteSimulatorData(path("receiver.txt"), 12, 0);
    Simulator receiver({"--data", path("receiver.txt"), "--no-pacing"});
    ASSERT_FALSE(receiver.path().isEmpty());
    const QString out = path("received.dxf");
    const ToolRun r = korvel({"--receive", "waypoints", out, "--port", receiver.path(), "--label", "name",
                              "--block", "flag", "--layer", "GPS", "--metres", "--zone", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject drawing = readBack(out);
    EXPECT_EQ(problemsOf(drawing), "");
    const QJsonArray inserts = drawing["inserts"].toArray();
    ASSERT_EQ(inserts.size(), data.size());
    for (int i = 0; i < data.size(); ++i) {
        // "W|1200.074|N|00200.182|E|0000006|M|WP002|gate 2|c"
        const QStringList f = data[i].split('|');
        SCOPED_TRACE(data[i].toStdString());
        const QJsonObject insert = inserts[i].toObject();
        EXPECT_EQ(labelOf(insert).toStdString(), f[7].toStdString());
        EXPECT_EQ(insert["layer"].toString().toStdString(), "GPS");
        EXPECT_TRUE(drawnAt(insert["point"], receivedDegrees(f[1], 2, f[2]), receivedDegrees(f[3], 3, f[4]),
                            f[5].toDouble(), 0, true));
    }
}

// No command follows a run of the command line, so a drawing it could not
// save is left as it was, and the message says so.
TEST_F(CommandLine, AFailedDrawingSaveSaysTheDrawingWasNotChanged) {
    const QString input = path("in.gpx");
    QFile src(input);
    ASSERT_TRUE(src.open(QIODevice::WriteOnly));
    src.write(SampleGpx());
    src.close();
    const QString drawing = path("site.dxf");
    ASSERT_EQ(korvel({"--convert", input, drawing}).exitCode, 0);
    QFile file(drawing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    // The second run may write no file longer than the drawing is now (the
    // shell's limit counts 512-byte blocks), so adding to it fails.
    const ToolRun r =
        korvel({"--convert", input, drawing}, QString("trap '' XFSZ; ulimit -f %1").arg(before.size() / 512));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("5 way points were inserted into the drawing but not saved.\n"
                               "The drawing file was not changed."))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("next drawing command")) << r.err.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(CommandLine, ReceiveEqualsGetWaypointsAndGetTrack) {
    WriteSimulatorData(path("receiver.txt"), 60, 250);
    Simulator receiver({"--data", path("receiver.txt"), "--no-pacing"});
    ASSERT_FALSE(receiver.path().isEmpty());
    const struct {
        QString what, file, noun;
        int count;
    } cases[] = {{"waypoints", "w.gpx", "waypoints", 60}, {"track", "t.gps", "track points", 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what.toStdString());
        const ToolRun r = korvel({"--receive", c.what, path(c.file), "--port", receiver.path()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.out),
                  QString("%1 %2 written to %3\n").arg(c.count).arg(c.noun, path(c.file)));

        // The same download as the window's GPS menu makes it.
        ScopedCommPorts ports({receiver.path()});
        ScriptedPrompts prompts;
        prompts.setAnswerMessagesWithOk(true);
        SerialCommPort port;
        GPSDevice device(&port);
        WaypointRows grid;
        SetUpEmptyRows(grid);
        ASSERT_TRUE(Shown(device.SearchForDevice()));
        ASSERT_TRUE(c.what == "track" ? Shown(device.ReceiveTracks()) : Shown(device.ReceiveWaypoints()));
        AppendReceivedPoints(grid, device.receivedDataLines());
        Shown(device.CloseDevice());
        PointRows expected = TableRows(grid, false);
        if (c.file.endsWith(".gpx")) // GPX carries elevations in metres
            for (PointRow& e : expected)
                e.elevation = ElevationText(*ElevationMetres(e.elevation));
        EXPECT_EQ(rowTexts(rowsOf(path(c.file))), rowTexts(expected));
    }
    Simulator refusing({"--data", path("receiver.txt"), "--no-pacing", "--fault", "unable"});
    const ToolRun r = korvel({"--receive", "track", path("r.csv"), "--port", refusing.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("refused")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("r.csv")));
    const ToolRun none = korvel({"--receive", "track", path("n.csv"), "--port", "/dev/korvel-no-such-tty"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_FALSE(QFile::exists(path("n.csv")));
}

// Block by icon without a window: --model names the receiver model; with no
// model known, or no blocks for it, every point gets the Flag block and
// standard error says so. A block the drawing refuses is named with the reason.
TEST_F(CommandLine, IconBlocksTakeTheModelAndRefusalsSayWhy) {
    const QString rows = path("icons.gps");
    {
        WaypointRows grid;
        SetUpEmptyRows(grid);
        AppendRowsToTable(grid, {{"P1", "36", "-90", "", "", "a"}, {"P2", "36.001", "-90", "", "", "b"}});
        ASSERT_TRUE(SavePointsFile(rows, grid).ok);
    }
    const struct {
        QStringList args;
        int status;
        QString said; // on standard error
        QStringList blocks;
    } cases[] = {
        {{"--block", "icon"},
         0,
         "No receiver model is known, so every point gets the Flag block",
         {"Flag", "Flag"}},
        {{"--block", "icon", "--model", "Meridan"},
         0,
         "There are no icon blocks for the receiver model \"Meridan\"",
         {"Flag", "Flag"}},
        {{"--block", "icon", "--model", "Meridian"}, 0, "", {"a", "b"}},
        {{"--block", "icon", "--model", "../Meridian"}, 2, "--model takes a receiver model name", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const QString out = path(QStringLiteral("icons%1.dxf").arg(n++));
        const ToolRun r = korvel(QStringList{"--convert", rows, out} + c.args);
        EXPECT_EQ(r.exitCode, c.status) << r.err.toStdString();
        if (c.said.isEmpty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(c.said)) << r.err.toStdString();
            if (c.status == 0) {
                EXPECT_TRUE(r.err.contains("Models with icon blocks: Meridian, SporTrak."))
                    << r.err.toStdString();
            }
        }
        QStringList blocks;
        if (c.status != 2)
            for (const auto& insert : readBack(out)["inserts"].toArray())
                blocks << insert.toObject()["block"].toString();
        EXPECT_EQ(blocks, c.blocks);
    }

    // A block drawing a new (R12) drawing cannot take: the row is left out
    // and standard error names the file, the entity and the reason.
    OwnProgramFolder program;
    ASSERT_TRUE(QDir(program.inserts()).mkdir("Sheets"));
    QFile block(program.inserts() + "Sheets/a.dxf");
    ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    block.write("  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1032\n  0\nENDSEC\n"
                "  0\nSECTION\n  2\nENTITIES\n  0\nMTEXT\n  8\n0\n 10\n0\n 20\n0\n 40\n1\n  1\nnote\n"
                "  0\nENDSEC\n  0\nEOF\n");
    block.close();
    const QString out = path("refused.dxf");
    const ToolRun r = korvel({"--convert", rows, out, "--block", "icon", "--model", "Sheets"}, QString(),
                             program.program());
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out, "1 waypoints inserted into " + out.toUtf8() + ", 1 skipped\n");
    const QString said = QString::fromLocal8Bit(r.err);
    EXPECT_TRUE(said.contains("1 row not inserted (the drawing refused the block): row 1."))
        << r.err.toStdString();
    EXPECT_TRUE(
        said.contains("The block drawing \"" + program.inserts() +
                      "Sheets/a.dxf\" holds a MTEXT entity, which an AutoCAD R12 drawing cannot hold"))
        << r.err.toStdString();
}

// An empty download never replaces a file, nor does an answer that never
// ends (stopped at its size bound); what is not a serial device is said to be.
TEST_F(CommandLine, ReceiveWritesNothingWhenNothingCameAndNamesWhatIsNoSerialDevice) {
    const QByteArray earlier = "an earlier download\n";
    Simulator empty({"--no-pacing"});
    ASSERT_FALSE(empty.path().isEmpty());
    for (const char* name : {"keep.gpx", "keep.gps"}) {
        SCOPED_TRACE(name);
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(earlier);
        f.close();
        const ToolRun r = korvel({"--receive", "waypoints", path(name), "--port", empty.path()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains("Nothing was written to")) << r.err.toStdString();
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), earlier);
    }

    WriteSimulatorData(path("receiver.txt"), 50, 0);
    Simulator endless({"--data", path("receiver.txt"), "--no-pacing", "--fault", "endless"});
    ASSERT_FALSE(endless.path().isEmpty());
    const ToolRun r = korvel({"--receive", "waypoints", path("endless.gpx"), "--port", endless.path()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("sent more than 8 MB without ending its answer"))
        << r.err.left(2000).toStdString();
    EXPECT_FALSE(QFile::exists(path("endless.gpx")));

    QFile plain(path("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const struct {
        QString port;
        const char* said;
    } notSerial[] = {{path("plain.txt"), "is a plain file, not a serial device"},
                     {dir.path(), "is a folder, not a serial device"},
                     {"/dev/null", "is not a serial device"}};
    for (const auto& c : notSerial) {
        SCOPED_TRACE(c.port.toStdString());
        const ToolRun bad = korvel({"--receive", "track", path("n.csv"), "--port", c.port});
        EXPECT_EQ(bad.exitCode, 2);
        EXPECT_TRUE(bad.err.contains(c.said)) << bad.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("n.csv")));
    }
}

} // namespace

// --crs: points at the easting and northing cs2cs gives (EPSG:4326 to the
// system), elevations in the system's unit, points outside its area of use
// placed and counted; a code that is not a projected system, or one given with
// the UTM options, writes nothing.
TEST_F(CommandLine, ACoordinateSystemPlacesPointsAsCs2csDoes) {
    QFile gpx(path("two.gpx"));
    ASSERT_TRUE(gpx.open(QIODevice::WriteOnly));
    gpx.write("<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" "
              "xmlns=\"http://www.topografix.com/GPX/1/1\">"
              "<wpt lat=\"36.1\" lon=\"-86.8\"><ele>28</ele><name>NASH</name></wpt>"
              "<wpt lat=\"51.5\" lon=\"-0.1\"><ele>0</ele><name>LONDON</name></wpt></gpx>\n");
    gpx.close();
    const ToolRun r = korvel({"--convert", path("two.gpx"), path("tn.dxf"), "--crs", "EPSG:2274"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("1 point lies outside the area of use of NAD83 / Tennessee (ftUS)."))
        << r.err.toStdString();

    QProcess cs2cs;
    cs2cs.start("cs2cs", {"-f", "%.6f", "EPSG:4326", "EPSG:2274"});
    ASSERT_TRUE(cs2cs.waitForStarted());
    cs2cs.write("36.1 -86.8\n51.5 -0.1\n");
    cs2cs.closeWriteChannel();
    ASSERT_TRUE(cs2cs.waitForFinished());
    const QStringList lines =
        QString::fromUtf8(cs2cs.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QJsonArray inserts = readBack(path("tn.dxf"))["inserts"].toArray();
    ASSERT_EQ(inserts.size(), 2);
    const double elevations[] = {28 / 0.3048006096012192, 0};
    for (int i = 0; i < 2; ++i) {
        const QStringList want = lines[i].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        const QJsonArray got = inserts[i].toObject()["point"].toArray();
        ASSERT_EQ(got.size(), 3);
        EXPECT_NEAR(got[0].toDouble(), want[0].toDouble(), 0.005) << i;
        EXPECT_NEAR(got[1].toDouble(), want[1].toDouble(), 0.005) << i;
        EXPECT_NEAR(got[2].toDouble(), elevations[i], 0.005) << i;
    }

    for (const QStringList& args : {QStringList{"--crs", "EPSG:4326"}, QStringList{"--crs", "2274", "--feet"},
                                    QStringList{"--crs", "no such system"}}) {
        const ToolRun refused = korvel(QStringList{"--convert", path("two.gpx"), path("no.dxf")} + args);
        EXPECT_EQ(refused.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(refused.err.contains(args[1].toUtf8())) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("no.dxf")));
    }
}

// A drawing ezdxf wrote, in UTM zone 56 south in feet: a labelled block, a
// POINT and a 3D polyline, on two layers (tests/cad/importdrawings.py).
TEST_F(CommandLine, ConvertsADrawingsDesignPointsAsOgrinfoReadsThem) {
    const double places[][3] = {
        {-33.9, 151.2, 3}, {-33.85, 151.25, 40}, {-34.0, 151.0, 99}, {-33.8, 151.3, 1}};
    QJsonArray at;
    for (const auto& p : places) {
        const auto grid = UtmExactGrid(p[0], p[1], 56, true, false);
        at.append(QJsonArray{grid[0], grid[1], p[2] * 3.28083});
    }
    const QJsonObject spec{
        {"version", "R2000"},
        {"entities",
         QJsonArray{
             QJsonObject{{"kind", "block"},
                         {"layer", "Sites"},
                         {"at", at[0]},
                         {"attribs", QJsonArray{QJsonArray{"TRANSFERTEXT", "HARBOUR MASTER"}}}},
             QJsonObject{{"kind", "point"}, {"layer", "Sites"}, {"at", at[1]}},
             QJsonObject{{"kind", "poly3d"}, {"layer", "Lines"}, {"points", QJsonArray{at[2], at[3]}}}}}};
    const ToolRun made =
        RunTool("/usr/bin/python3", {KORVEL_SOURCE_DIR "/tests/cad/importdrawings.py", path("site.dxf"),
                                     QString::fromUtf8(QJsonDocument(spec).toJson())});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QStringList handles = QString::fromUtf8(made.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(handles.size(), 3);

    // Without the grid nothing is written.
    ToolRun r = korvel({"--convert", path("site.dxf"), path("site.gpx"), "--feet"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("name the UTM zone (and hemisphere)")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("site.gpx")));
    for (const QStringList& args :
         {QStringList{"--convert", path("site.dxf"), path("site.dxf"), "--zone", "56"},
          QStringList{"--convert", path("site.dxf"), path("x.gpx"), "--crs", "EPSG:27700", "--south"},
          QStringList{"--convert", path("site.dxf"), path("x.gpx"), "--zone", "56", "--line"}}) {
        EXPECT_EQ(korvel(args).exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(path("x.gpx")));
    }

    r = korvel(
        {"--convert", path("site.dxf"), path("site.gpx"), "--zone", "56", "--south", "--feet", "--vertices"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), "4 waypoints written to " + path("site.gpx"));
    EXPECT_EQ(r.err, "korvel-transfer: 1 name is longer than the receiver keeps (8 characters) and will be "
                     "shortened on upload.\n");
    const ToolRun info = RunTool("ogrinfo", {"-q", "-al", path("site.gpx"), "waypoints"});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QRegularExpression point(R"(POINT \(([-0-9.e]+) ([-0-9.e]+)\))");
    const QRegularExpression name(R"(name \(String\) = (.*))");
    const QString text = QString::fromUtf8(info.out);
    QStringList names;
    int i = 0;
    for (auto m = point.globalMatch(text); m.hasNext(); ++i) {
        const auto p = m.next();
        ASSERT_LT(i, 4);
        EXPECT_NEAR(p.captured(2).toDouble(), places[i][0], 1e-9) << i;
        EXPECT_NEAR(p.captured(1).toDouble(), places[i][1], 1e-9) << i;
    }
    EXPECT_EQ(i, 4);
    for (auto m = name.globalMatch(text); m.hasNext();)
        names << m.next().captured(1).trimmed();
    EXPECT_EQ(names, QStringList({"HARBOUR MASTER", handles[1], handles[2] + "-1", handles[2] + "-2"}));

    // One layer (names compared without regard to case).
    r = korvel({"--convert", path("site.dxf"), path("lines.csv"), "--zone", "56", "--south", "--feet",
                "--vertices", "--layer", "lines"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(rowsOf(path("lines.csv")).size(), 2u);
    EXPECT_EQ(korvel({"--convert", path("lines.csv"), path("y.gpx"), "--south"}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(path("y.gpx")));
}
