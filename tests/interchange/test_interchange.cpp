// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/formats.h"
#include "otherwriters.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Name, latitude, longitude and elevation: what every writer carries.
QStringList core(const PointRow& r) {
    return {r.name, r.latitude, r.longitude, r.elevation};
}

class Interchange : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(Interchange, FilesOfOtherWritersImportToTheSameRows) {
    const QString src = path("source.gpx");
    writeFile(src, SampleGpx());
    const QString sql = QStringLiteral("SELECT name, ST_Y(geometry) AS Lat, ST_X(geometry) AS LONGITUDE, "
                                       "ele AS Altitude FROM waypoints");
    const QList<QPair<QString, QStringList>> makers = {
        {"babel.gpx", {"gpsbabel", "-i", "gpx", "-f", src, "-o", "gpx", "-F", path("babel.gpx")}},
        {"babel.kml", {"gpsbabel", "-i", "gpx", "-f", src, "-o", "kml", "-F", path("babel.kml")}},
        {"babel.csv", {"gpsbabel", "-i", "gpx", "-f", src, "-o", "unicsv", "-F", path("babel.csv")}},
        {"gdal.gpx", {"ogr2ogr", "-f", "GPX", path("gdal.gpx"), src, "waypoints"}},
        {"gdal.kml", {"ogr2ogr", "-f", "KML", path("gdal.kml"), src, "waypoints"}},
        {"gdal.csv", {"ogr2ogr", "-f", "CSV", path("gdal.csv"), src, "-dialect", "SQLite", "-sql", sql}},
        {"source.gpx", {}},
    };
    for (const auto& [file, command] : makers) {
        SCOPED_TRACE(file.toStdString());
        if (!command.isEmpty()) {
            const ToolRun made = RunTool(command.first(), command.mid(1));
            ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        }
        const ReadResult read = ReadInterchangeFile(path(file));
        ASSERT_TRUE(read.ok) << read.error.toStdString();
        EXPECT_EQ(read.skipped, 0);
        ASSERT_EQ(read.rows.size(), SamplePoints().size());
        for (size_t i = 0; i < read.rows.size(); ++i)
            EXPECT_EQ(core(read.rows[i]), core(SamplePoints()[i])) << "row " << i;
    }
}

// The points of an export as another reader gives them back.
struct ReadBack {
    QString name;
    double lat = 0, lon = 0;
    double ele = NAN;
};

// gpsbabel's GPX of any input it reads: nine decimals, enough for 1e-7.
std::vector<ReadBack> viaGpsbabel(const QString& format, const QString& file) {
    const ToolRun r = RunTool("gpsbabel", {"-i", format, "-f", file, "-o", "gpx", "-F", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<ReadBack> out;
    static const QRegularExpression wpt(
        "<wpt lat=\"([^\"]+)\" lon=\"([^\"]+)\">\\s*(?:<ele>([^<]+)</ele>\\s*)?<name>([^<]*)</name>");
    for (auto m = wpt.globalMatch(QString::fromUtf8(r.out)); m.hasNext();) {
        const auto g = m.next();
        out.push_back({g.captured(4).replace("&quot;", "\""), g.captured(1).toDouble(),
                       g.captured(2).toDouble(), g.captured(3).isEmpty() ? NAN : g.captured(3).toDouble()});
    }
    return out;
}

// ogrinfo's listing: each feature's name and ele fields and its POINT.
std::vector<ReadBack> viaOgrinfo(const QString& file) {
    QStringList args = {"-al", "-q", file};
    if (file.endsWith(".csv"))
        args << "-oo"
             << "X_POSSIBLE_NAMES=longitude"
             << "-oo"
             << "Y_POSSIBLE_NAMES=latitude"
             << "-oo"
             << "Z_POSSIBLE_NAMES=elevation";
    const ToolRun r = RunTool("ogrinfo", args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<ReadBack> out;
    ReadBack cur;
    static const QRegularExpression point("POINT Z? ?\\(([-0-9.e]+) ([-0-9.e]+)(?: ([-0-9.e]+))?\\)");
    for (const QString& line : QString::fromUtf8(r.out).split('\n')) {
        const QString t = line.trimmed();
        if (t.startsWith("OGRFeature"))
            cur = ReadBack{};
        else if (t.startsWith("name (String) = ") || t.startsWith("Name (String) = "))
            cur.name = t.mid(16);
        else if (t.startsWith("ele (Real) = ") || t.startsWith("elevation (Real) = ") ||
                 t.startsWith("elevation (String) = "))
            cur.ele = t.section(" = ", 1).toDouble();
        else if (const auto m = point.match(t); m.hasMatch()) {
            cur.lon = m.captured(1).toDouble();
            cur.lat = m.captured(2).toDouble();
            if (!m.captured(3).isEmpty())
                cur.ele = m.captured(3).toDouble();
            out.push_back(cur);
        }
    }
    return out;
}

TEST_F(Interchange, ExportsAreReadBackByGpsbabelAndGdal) {
    // Decimals beyond the other writers', a feet elevation, a row left out.
    PointRows rows = {
        {QStringLiteral("Zürich Brücke"), "47.3768871234", "8.5416940987", "0000408M", "Bahnhof & <Quai>",
         "a"},
        {QStringLiteral("東京タワー"), "35.6585805", "139.7454329", "0001000F", "", ""},
        {QStringLiteral("Москва"), "55.755826", "-37.6173", "", "x", ""},
        {"bad", "north", "1", "", "", ""},
    };
    const std::vector<std::pair<QString, QString>> exports = {
        {"out.gpx", "gpx"}, {"out.kml", "kml"}, {"out.csv", "unicsv"}};
    for (const auto& [file, babelFormat] : exports) {
        SCOPED_TRACE(file.toStdString());
        const WriteResult w = WriteInterchangeFile(path(file), rows);
        ASSERT_TRUE(w.ok) << w.error.toStdString();
        EXPECT_EQ(w.written, 3);
        EXPECT_EQ(w.skipped, 1);
        if (!file.endsWith(".csv")) {
            const ToolRun lint = RunTool("xmllint", {"--noout", path(file)});
            EXPECT_EQ(lint.exitCode, 0) << lint.err.toStdString();
        }
        const double elevations[] = {408, 1000 / 3.28083, NAN};
        for (const auto& back : {viaGpsbabel(babelFormat, path(file)), viaOgrinfo(path(file))}) {
            ASSERT_EQ(back.size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(back[i].name, rows[i].name);
                EXPECT_NEAR(back[i].lat, rows[i].latitude.toDouble(), 1e-7);
                EXPECT_NEAR(back[i].lon, rows[i].longitude.toDouble(), 1e-7);
                if (std::isnan(elevations[i]))
                    EXPECT_TRUE(std::isnan(back[i].ele) || back[i].ele == 0) << back[i].ele;
                else
                    EXPECT_NEAR(back[i].ele, elevations[i], 0.01);
            }
        }
        // And by this program: the same rows, the feet elevation now in metres.
        const ReadResult again = ReadInterchangeFile(path(file));
        ASSERT_TRUE(again.ok);
        ASSERT_EQ(again.rows.size(), 3u);
        EXPECT_EQ(again.rows[0].name, rows[0].name);
        EXPECT_EQ(again.rows[0].latitude, rows[0].latitude);
        EXPECT_EQ(again.rows[0].message, rows[0].message);
        EXPECT_EQ(again.rows[0].icon, "a");
        EXPECT_EQ(again.rows[1].elevation, "0000305M");
        EXPECT_EQ(again.rows[2].elevation, "");
    }
}

TEST_F(Interchange, BadFilesGiveAReasonAndNoRows) {
    const std::vector<std::tuple<QString, QByteArray, QString>> cases = {
        {"notxml.gpx", "this is not XML <", "not well-formed XML"},
        {"other.kml", "<?xml version=\"1.0\"?><gpx/>", "not a KML file"},
        {"nolat.csv", "name;lon;ele\nA;1;2\n", "no latitude column"},
        {"empty.gpx", "", "the file is empty"},
        {"empty.csv", "\n\n", "the file is empty"},
        {"cut.gpx", "<gpx><wpt lat=\"1\" lon=\"2\"><name>A</name></wpt><wpt", "not well-formed XML"},
        {"nokml.kmz", "PK\x05\x06" + QByteArray(18, '\0'), "holds no KML file"},
        {"folder.gpx", {}, "it is a folder"},
    };
    for (const auto& [file, bytes, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        if (file == "folder.gpx")
            ASSERT_TRUE(QDir(dir.path()).mkdir(file));
        else
            writeFile(path(file), bytes);
        const ReadResult r = ReadInterchangeFile(path(file));
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.rows.empty());
        EXPECT_TRUE(r.error.contains(path(file)) && r.error.contains(reason)) << r.error.toStdString();
    }
    // Coordinates that are not numbers or out of range are counted, the rest kept.
    writeFile(path("broken.gpx"), "<gpx><wpt lat=\"4x.5\" lon=\"1\"/><wpt lat=\"91\" lon=\"1\"/>"
                                  "<wpt lat=\"1\" lon=\"-180.5\"/><wpt lat=\"-90\" lon=\"180\"/></gpx>");
    const ReadResult r = ReadInterchangeFile(path("broken.gpx"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.skipped, 3);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].latitude, "-90");
}

TEST_F(Interchange, CsvDialectsTracksAndKmz) {
    // BOM, semicolons, columns in another order and case, quoted separators
    // and line breaks, an elevation in feet; tab-separated with short rows.
    const QByteArray semicolons = "\xEF\xBB\xBF"
                                  "Symbol;DESC;Lon;LAT;Alt;Name\r\n"
                                  "b;\"one; two\";-90.5;35.25;91F;\"A \"\"B\"\"\nC\"\r\n"
                                  "\r\n"
                                  "c;;10;-5;;Z\r\n";
    const QByteArray tabs = "lat\tlng\tname\n1.5\t2.5\n";
    writeFile(path("semi.csv"), semicolons);
    writeFile(path("tabs.csv"), tabs);
    ReadResult r = ReadInterchangeFile(path("semi.csv"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0], (PointRow{"A \"B\"\nC", "35.25", "-90.5", "0000028M", "one; two", "b"}));
    EXPECT_EQ(r.rows[1], (PointRow{"Z", "-5", "10", "", "", "c"}));
    r = ReadInterchangeFile(path("tabs.csv"));
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0], (PointRow{"", "1.5", "2.5", "", "", ""}));

    // GPX 1.0 route and track: track points named by UTC time of day, or by number.
    writeFile(path("track.gpx"),
              "<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\">"
              "<rte><rtept lat=\"1\" lon=\"2\"><name>R1</name><cmt>c</cmt></rtept></rte>"
              "<trk><trkseg><trkpt lat=\"3\" lon=\"4\"><ele>1.5</ele><time>2014-06-02T13:05:05.776Z</time>"
              "</trkpt><trkpt lat=\"5\" lon=\"6\"><time>2014-06-02T01:00:00-02:30</time></trkpt>"
              "<trkpt lat=\"7\" lon=\"8\"/></trkseg></trk></gpx>");
    r = ReadInterchangeFile(path("track.gpx"));
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.rows[0], (PointRow{"R1", "1", "2", "", "c", ""}));
    EXPECT_EQ(r.rows[1], (PointRow{"130505.78", "3", "4", "0000002M", "", ""}));
    EXPECT_EQ(r.rows[2].name, "033000.00");
    EXPECT_EQ(r.rows[3].name, "3");

    // A KMZ made by Python's zipfile (deflated), with a line and a point.
    const QByteArray kml = "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>"
                           "<Placemark><name>P</name><Point><coordinates>8.5,47.25,400</coordinates></Point>"
                           "</Placemark><Placemark><name>L</name><LineString><coordinates>1,2 3,4,5\n"
                           "x,6</coordinates></LineString></Placemark></Document></kml>";
    writeFile(path("doc.kml"), kml);
    const ToolRun zip =
        RunTool("/usr/bin/python3", {"-c",
                                     "import sys, zipfile\n"
                                     "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                                     "z.writestr('files/readme.txt', 'x')\nz.write(sys.argv[2], 'doc.kml')\n",
                                     path("t.kmz"), path("doc.kml")});
    ASSERT_EQ(zip.exitCode, 0) << zip.err.toStdString();
    r = ReadInterchangeFile(path("t.kmz"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.skipped, 1);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0], (PointRow{"P", "47.25", "8.5", "0000400M", "", ""}));
    EXPECT_EQ(r.rows[1], (PointRow{"1", "2", "1", "", "", ""}));
    EXPECT_EQ(r.rows[2], (PointRow{"2", "4", "3", "0000005M", "", ""}));
}

TEST_F(Interchange, CsvReadsOnPastAnUnclosedQuoteAndNamesTheLine) {
    // A name whose opening quote is never closed, with many rows after it.
    QByteArray csv = "name,latitude,longitude\nA,1,2\n\"Hill,3,4\n";
    for (int i = 0; i < 1000; ++i)
        csv += "P" + QByteArray::number(i) + ",5,6\n";
    writeFile(path("quote.csv"), csv);
    const ReadResult r = ReadInterchangeFile(path("quote.csv"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.skipped, 0);
    ASSERT_EQ(r.rows.size(), 1002u);
    EXPECT_EQ(r.rows[1], (PointRow{"\"Hill", "3", "4", "", "", ""}));
    EXPECT_EQ(r.rows[1001].name, "P999");
    ASSERT_EQ(r.notes.size(), 1);
    EXPECT_TRUE(r.notes[0].startsWith("Line 3 opens a quoted field that is never closed") &&
                r.notes[0].contains("the 1000 line(s) after it"))
        << r.notes[0].toStdString();
}

TEST_F(Interchange, CsvThatIsNotUtf8IsReadAsWindows1252AndSaysSo) {
    // An old spreadsheet's export: Windows-1252 bytes, the euro sign among them.
    writeFile(path("ansi.csv"), "name;lat;lon;desc\nCaf\xE9 M\xFCller;47.5;8.5;\x80 5\n");
    const ReadResult r = ReadInterchangeFile(path("ansi.csv"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].name, QStringLiteral("Caf\u00E9 M\u00FCller"));
    EXPECT_EQ(r.rows[0].message, QStringLiteral("\u20AC 5"));
    ASSERT_EQ(r.notes.size(), 1);
    EXPECT_TRUE(r.notes[0].contains("read as Windows-1252")) << r.notes[0].toStdString();
    // gpsbabel told the code page reads the same name.
    const std::vector<ReadBack> babel = viaGpsbabel("unicsv,codec=windows-1252", path("ansi.csv"));
    ASSERT_EQ(babel.size(), 1u);
    EXPECT_EQ(babel[0].name, r.rows[0].name);
}

TEST_F(Interchange, CsvTextThatLooksLikeAFormulaIsMarkedAndComesBackUnchanged) {
    const PointRows rows = {
        {"=HYPERLINK(\"x\")", "35.5", "-90.25", "", "+1 555", "@"},
        {"-Pit", "-0.5", "-1E-05", "-0000012M", "\tTab", "a"},
        {"'=quoted", "1", "2", "", "''-twice", "'plain"},
    };
    ASSERT_TRUE(WriteInterchangeFile(path("f.csv"), rows).ok);
    QFile f(path("f.csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 4);
    // Text fields open with "'" (a quoted field inside its quotes); numbers,
    // negative ones included, are written as numbers.
    EXPECT_EQ(lines[1], "\"'=HYPERLINK(\"\"x\"\")\",35.5,-90.25,,'+1 555,'@\r");
    EXPECT_EQ(lines[2], "'-Pit,-0.5,-0.00001,-12,\"'\tTab\",a\r");
    EXPECT_EQ(lines[3], "''=quoted,1,2,,'''-twice,'plain\r");
    const ReadResult back = ReadInterchangeFile(path("f.csv"));
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.rows.size(), 3u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(back.rows[i].name, rows[i].name);
        EXPECT_EQ(back.rows[i].message, rows[i].message);
        EXPECT_EQ(back.rows[i].icon, rows[i].icon);
    }
    // Another reader sees the marked name and the negative numbers intact.
    const std::vector<ReadBack> babel = viaGpsbabel("unicsv", path("f.csv"));
    ASSERT_EQ(babel.size(), 3u);
    EXPECT_EQ(babel[1].name, "'-Pit");
    EXPECT_EQ(babel[1].lat, -0.5);
    EXPECT_EQ(babel[0].lon, -90.25);
}

} // namespace
