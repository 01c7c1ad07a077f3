// SPDX-License-Identifier: GPL-3.0-or-later
// Drawings other programs wrote (ezdxf in every version R12..2018, GDAL): the
// engine adds points and a line; ezdxf must read the result without an audit
// error and find every entity that was there with the same handle and tags;
// LibreCAD and GDAL must read it; what the engine did not change stays byte
// for byte. Block drawings of other versions, nested blocks and a user's block
// of the same name as ours.
#include "dxf/dxfdrawing.h"
#include "support/dxfreadback.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kFlag = QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/Flag.dxf");
const QString kLabel = QStringLiteral("Caf\u00E9 \u20AC");
const QString kLabel2 = QStringLiteral("P2 \u2116"); // outside Windows-1252

QByteArray readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs a program; its exit code, or -1 when it did not finish.
int run(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The strings of a JSON array, one a line ("" for none): readable when a check fails.
std::string lines(const QJsonValue& v) {
    std::string out;
    for (const auto& s : v.toArray())
        out += s.toString().toStdString() + "\n";
    return out;
}

QJsonObject compare(const QString& before, const QString& after) {
    QByteArray out;
    int rc =
        run(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/otherwriters.py"), "check", before, after}, &out);
    EXPECT_EQ(rc, 0) << out.toStdString();
    return QJsonDocument::fromJson(out.mid(out.indexOf('{'))).object();
}

// The text of a section as the file holds it, from its name to its ENDSEC,
// with the file's own line ends (CR LF or LF); "" when there is none.
QByteArray sectionText(const QByteArray& file, const char* name) {
    const qsizetype firstLf = file.indexOf('\n');
    const QByteArray eol = firstLf > 0 && file.at(firstLf - 1) == '\r' ? "\r\n" : "\n";
    qsizetype at = file.indexOf(eol + name + eol);
    if (at < 0)
        return {};
    qsizetype end = file.indexOf(eol + "ENDSEC", at);
    return file.mid(at, end - at);
}

class OtherWriters : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        ASSERT_EQ(run("/usr/bin/python3",
                      {QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/otherwriters.py"), "make", dir_->path()}),
                  0);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString path(const QString& name) { return dir_->filePath(name); }

    // Two labelled points at `at` and 1 unit east of it and a 3D line between
    // them added to the drawing at `in`, written to `out`; returns the handle
    // of the first point.
    static QByteArray addPoints(const QString& in, const QString& out, const QString& block = kFlag,
                                std::array<double, 2> at = {100, 200}) {
        DxfDrawing d = DxfDrawing::open(readFile(in));
        const QString name = d.blockFromFile(block);
        QByteArray first;
        for (int i = 0; i < 2; ++i) {
            QByteArray h = d.insertBlock(name, {at[0] + i, at[1], 3}, 1, 1, 1, 0.5);
            for (int a : d.attributesOf(d.entityIndex(h)))
                d.setAttributeText(a, i == 0 ? kLabel : kLabel2);
            first = first.isEmpty() ? h : first;
        }
        d.add3DPolyline({at[0], at[1], 3, at[0] + 1, at[1], 4});
        d.addLayer(kLabel);
        d.setEntityLayer(d.entityIndex(first), kLabel);
        d.zoomExtents();
        writeFile(out, d.toBytes());
        return first;
    }

    static QTemporaryDir* dir_;
};
QTemporaryDir* OtherWriters::dir_ = nullptr;

TEST_F(OtherWriters, EveryVersionTakesPointsAndALineAndLosesNothing) {
    // GDAL's DXF writer, from a small GeoJSON file.
    writeFile(path("site.geojson"),
              R"({"type":"FeatureCollection","features":[
              {"type":"Feature","properties":{"Layer":"Kerb"},"geometry":{"type":"LineString","coordinates":[[0,0],[10,5]]}},
              {"type":"Feature","properties":{"Layer":"Pegs"},"geometry":{"type":"Point","coordinates":[3,4]}}]})");
    ASSERT_EQ(run("ogr2ogr", {"-f", "DXF", path("drawing-gdal.dxf"), path("site.geojson")}), 0);

    for (const char* v :
         {"R12", "R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018", "gdal"}) {
        SCOPED_TRACE(v);
        const QString in = path(QStringLiteral("drawing-%1.dxf").arg(v));
        const QString out = path(QStringLiteral("out-%1.dxf").arg(v));
        const QByteArray handle = addPoints(in, out);
        const QByteArray before = readFile(in), after = readFile(out);
        for (const char* section : {"ENTITIES", "OBJECTS", "CLASSES"}) {
            // R12 has neither OBJECTS nor CLASSES; every other writer here has all three.
            if (QByteArray(v) == "R12" && QByteArray(section) != "ENTITIES")
                continue;
            const QByteArray text = sectionText(before, section);
            ASSERT_FALSE(text.isEmpty()) << section << " not found in the drawing before";
            EXPECT_TRUE(after.contains(text)) << section << " changed";
        }

        QJsonObject r = compare(in, out);
        EXPECT_EQ(lines(r.value("audit_errors")), "");
        EXPECT_EQ(lines(r.value("missing")), "");
        EXPECT_EQ(lines(r.value("changed")), "");
        EXPECT_EQ(r.value("polylines").toInt(), 1);
        QJsonArray inserts = r.value("inserts").toArray();
        ASSERT_EQ(inserts.size(), 2);
        EXPECT_EQ(inserts[0].toObject().value("attribs").toObject().value("TRANSFERTEXT").toString(), kLabel);
        EXPECT_EQ(inserts[1].toObject().value("attribs").toObject().value("TRANSFERTEXT").toString(),
                  kLabel2);
        EXPECT_EQ(inserts[0].toObject().value("layer").toString(), kLabel);
        // The label reads back through the engine too, from the drawing as written.
        DxfDrawing again = DxfDrawing::open(after);
        EXPECT_EQ(again.version(), DxfDrawing::open(before).version());
        std::vector<int> attribs = again.attributesOf(again.entityIndex(handle));
        ASSERT_EQ(attribs.size(), 1u);
        EXPECT_EQ(again.decodeText(again.entity(attribs[0]).value(1)), kLabel);

        QByteArray said;
        EXPECT_EQ(run("ogrinfo", {"-ro", "-al", "-so", out}, &said), 0) << said.toStdString();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QString pdf = path(QStringLiteral("out-%1.pdf").arg(v));
        EXPECT_EQ(run("librecad", {"dxf2pdf", "-o", pdf, out}, &said), 0) << said.toStdString();
        EXPECT_GT(QFileInfo(pdf).size(), 0) << said.toStdString();
    }
}

TEST_F(OtherWriters, BlockDrawingsOfLaterVersionsAreConvertedOrRefusedByName) {
    // LWPOLYLINE with a bulge becomes a POLYLINE with the same bulge in the
    // versions before it (R12, R13), its extended data's application registered.
    for (const char* v : {"R12", "R13"}) {
        SCOPED_TRACE(v);
        const QString in = path(QStringLiteral("drawing-%1.dxf").arg(v));
        const QString out = path(QStringLiteral("lw-%1.dxf").arg(v));
        addPoints(in, out, path("block-lw.dxf"));
        QJsonObject r = compare(in, out);
        EXPECT_EQ(lines(r.value("audit_errors")), "");
        EXPECT_EQ(r.value("blocks").toObject().value("block-lw").toArray(),
                  (QJsonArray{"POLYLINE", "ATTDEF"}));
        EXPECT_EQ(r.value("bulges").toArray(), (QJsonArray{1.0, 0.0, 0.0}));
        EXPECT_TRUE(r.value("appids").toArray().contains("SURVEYCO"));
    }

    // MTEXT has no exact R12 form: refused, naming the file and the type.
    DxfDrawing r12 = DxfDrawing::open(readFile(path("drawing-R12.dxf")));
    try {
        r12.blockFromFile(path("block-r2018.dxf"));
        ADD_FAILURE() << "an R12 drawing took an MTEXT";
    } catch (const DxfError& e) {
        EXPECT_TRUE(e.description().contains("block-r2018.dxf")) << e.description().toStdString();
        EXPECT_TRUE(e.description().contains("MTEXT")) << e.description().toStdString();
    }

    addPoints(path("drawing-R2018.dxf"), path("mtext-r2018.dxf"), path("block-r2018.dxf"));
    QJsonObject r = compare(path("drawing-R2018.dxf"), path("mtext-r2018.dxf"));
    EXPECT_EQ(lines(r.value("audit_errors")), "");
    EXPECT_EQ(r.value("blocks").toObject().value("block-r2018").toArray(),
              (QJsonArray{"LWPOLYLINE", "ATTDEF", "MTEXT"}));
    EXPECT_EQ(r.value("inserts").toArray().size(), 2);
}

TEST_F(OtherWriters, NestedBlocksAndAUsersBlockOfTheSameName) {
    for (const char* v : {"R12", "R2018"}) {
        SCOPED_TRACE(v);
        const QString in = path(QStringLiteral("drawing-%1.dxf").arg(v));
        const QString out = path(QStringLiteral("nested-%1.dxf").arg(v));
        addPoints(in, out, path("nested.dxf"));
        QJsonObject r = compare(in, out);
        EXPECT_EQ(lines(r.value("audit_errors")), "");
        EXPECT_EQ(lines(r.value("undefined_blocks")), "");
        EXPECT_EQ(r.value("blocks").toObject().value("nested$PEG").toArray(), QJsonArray{"CIRCLE"});
    }

    // The user's "Flag" keeps its line; ours is another block.
    addPoints(path("userflag.dxf"), path("userflag-out.dxf"));
    QJsonObject r = compare(path("userflag.dxf"), path("userflag-out.dxf"));
    EXPECT_EQ(lines(r.value("audit_errors")), "");
    EXPECT_EQ(r.value("blocks").toObject().value("Flag").toArray(), QJsonArray{"LINE"});
    EXPECT_EQ(r.value("inserts").toArray()[0].toObject().value("block").toString(), "Flag_2");
}

// CAD programs of 2000 to 2007 write MTEXT columns as MTEXTs whose extended
// data names the next columns by handle: in the copy it names their copies.
// Extended data naming what is not copied (paper space) is left out whole.
TEST_F(OtherWriters, HandlesInACopiedBlockNameTheCopiedEntities) {
    for (const char* block : {"R2000", "R2004", "R2007"})
        for (const char* v : {"R2000", "R2018"}) {
            SCOPED_TRACE(std::string(block) + " into " + v);
            const QString in = path(QStringLiteral("drawing-%1.dxf").arg(v));
            const QString out = path(QStringLiteral("columns-%1-in-%2.dxf").arg(block, v));
            addPoints(in, out, path(QStringLiteral("columns-%1.dxf").arg(block)));
            QJsonObject r = compare(in, out);
            EXPECT_EQ(lines(r.value("audit_errors")), "");
            EXPECT_EQ(r.value("columns").toArray(), (QJsonArray{3}));
            EXPECT_EQ(r.value("block_xdata").toArray(), (QJsonArray{"ACAD", "SURVEYCO"}));
            EXPECT_EQ(r.value("inserts").toArray().size(), 2);
            QByteArray said;
            EXPECT_EQ(run("ogrinfo", {"-ro", "-al", "-so", out}, &said), 0) << said.toStdString();
        }
}

// Block drawings of AutoCAD 2.6 (AC1003) and Release 10 (AC1006): lines with
// all x before all y, the 3DLINE of the time, layer names later releases
// refuse. Copied in the form readers need; what cannot be paired is refused.
TEST_F(OtherWriters, OldBlockDrawingsAreMadeValidOrRefusedByName) {
    const struct {
        const char* file;
        QJsonArray entities, lines;
        const char* layer;
    } cases[] = {
        {"old-ac1003",
         {"LINE", "LINE", "ATTDEF"},
         {QJsonArray{0, 0, 0, 4, 3, 2}, QJsonArray{4, 3, 0, 4, 0, 0}},
         "FENCE_OLD"},
        {"old-ac1006",
         {"LINE", "LINE", "ATTDEF"},
         {QJsonArray{0, 0, 0, 4, 3, 2}, QJsonArray{4, 3, 0, 4, 0, 0}},
         "PEGS_OLD"},
    };
    for (const auto& c : cases)
        for (const char* v : {"R12", "R2000", "R2018"}) {
            SCOPED_TRACE(std::string(c.file) + " into " + v);
            const QString in = path(QStringLiteral("drawing-%1.dxf").arg(v));
            const QString out = path(QStringLiteral("%1-in-%2.dxf").arg(c.file, v));
            addPoints(in, out, QStringLiteral(KORVEL_SOURCE_DIR "/tests/dxf/data/%1.dxf").arg(c.file));
            QJsonObject r = compare(in, out);
            EXPECT_EQ(lines(r.value("audit_errors")), "");
            EXPECT_EQ(r.value("blocks").toObject().value(c.file).toArray(), c.entities);
            EXPECT_EQ(r.value("block_lines").toArray(), c.lines);
            EXPECT_TRUE(r.value("layers").toArray().contains(c.layer));
            EXPECT_TRUE(r.value("layers").toArray().contains("PEGS_OLD"));
            EXPECT_EQ(r.value("inserts").toArray().size(), 2);
            QByteArray said;
            EXPECT_EQ(run("ogrinfo", {"-ro", "-al", "-so", out}, &said), 0) << said.toStdString();
        }

    // A coordinate without its partner cannot be put right: refused, naming
    // the file, the entity and the group codes.
    QByteArray damaged = readFile(KORVEL_SOURCE_DIR "/tests/dxf/data/old-ac1006.dxf");
    damaged.replace(" 21\n0.0\n", "");
    DxfDrawing d = DxfDrawing::open(readFile(path("drawing-R2018.dxf")));
    try {
        d.blockFromData(QStringLiteral("/site/damaged.dxf"), damaged);
        ADD_FAILURE() << "a line without its y was copied";
    } catch (const DxfError& e) {
        for (const char* word : {"\"/site/damaged.dxf\"", "LINE", "11, 21 and 31"})
            EXPECT_TRUE(e.description().contains(word)) << e.description().toStdString();
    }
}

// The header's extents take in what the drawing stated before (geometry whose
// bounds only a text or curve measure finds) and the inserted blocks, and an
// MTEXT's direction or an ellipse's axis is no point far from the drawing.
TEST_F(OtherWriters, AppendingWidensTheStatedExtents) {
    const QString out = path("survey-out.dxf");
    addPoints(path("survey.dxf"), out, kFlag, {500100, 4000200});
    QJsonObject r = compare(path("survey.dxf"), out);
    EXPECT_EQ(lines(r.value("audit_errors")), "");
    auto corner = [&](const char* key, int which, int axis) {
        return r.value(key).toArray()[which].toArray()[axis].toDouble();
    };
    for (int axis = 0; axis < 2; ++axis) {
        SCOPED_TRACE(axis);
        EXPECT_LE(corner("extents", 0, axis), corner("extents_before", 0, axis));
        EXPECT_GE(corner("extents", 1, axis), corner("extents_before", 1, axis));
        EXPECT_LE(corner("extents", 0, axis), corner("inserts_box", 0, axis) + 1);
        EXPECT_GE(corner("extents", 1, axis), corner("inserts_box", 1, axis) - 1);
        EXPECT_GE(corner("extents", 0, axis), corner("geometry", 0, axis) - 1);
        EXPECT_LE(corner("extents", 1, axis), corner("geometry", 1, axis) + 1);
    }
}

// A new layer has the shape of layer 0, but not a plot style handle of layer 0
// that names no object of the drawing.
TEST_F(OtherWriters, ANewLayerTakesNoPointerThatNamesNothing) {
    const QString out = path("layer0-out.dxf");
    addPoints(path("layer0-dangling.dxf"), out);
    QJsonObject r = compare(path("layer0-dangling.dxf"), out);
    EXPECT_EQ(lines(r.value("audit_errors")), "");
    EXPECT_TRUE(r.value("layers").toArray().contains(kLabel));
}

} // namespace
