// SPDX-License-Identifier: GPL-3.0-or-later
// The connection adapter against fake automation objects that fail on demand,
// and end to end against the built-in drawing engine.
#include "cad/acadstuff.h"
#include "dxf/dxfengine.h"
#include "platform/programfolder.h"
#include "platform/settings.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"
#include "support/scriptedprompts.h"

#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>

namespace {

// What the fakes were asked, in order, and the failures they raise next.
struct Script {
    QStringList log;
    QHash<QString, std::deque<std::uint32_t>> faults;
    void call(const QString& member) {
        log << member;
        auto it = faults.find(member);
        if (it != faults.end() && !it->empty()) {
            std::uint32_t code = it->front();
            it->pop_front();
            throw AcadError(code, QStringLiteral("fake failure of ") + member);
        }
    }
    void fail(const QString& member, std::initializer_list<std::uint32_t> codes) {
        for (auto c : codes)
            faults[member].push_back(c);
    }
};

struct FakeAttr final : AcadAttributeReference {
    FakeAttr(Script& s, QString t, QString d) : script(s), tag(std::move(t)), text(std::move(d)) {}
    QString TagString() const override {
        script.call("TagString");
        return tag;
    }
    QString TextString() const override { return text; }
    void setTextString(const QString& t) override {
        script.call("TextString=" + t);
        text = t;
    }
    Script& script;
    QString tag, text;
};

struct FakeRef final : AcadBlockReference {
    FakeRef(Script& s, QSet<QString>& l, QString h) : script(s), layers(l), handle(std::move(h)) {}
    QString Layer() const override { return layer; }
    void setLayer(const QString& name) override {
        script.call("Layer=" + name);
        if (!layers.contains(name))
            throw AcadError(acadErrKeyNotFound, "Key not found");
        layer = name;
    }
    QString Handle() const override {
        script.call("Handle");
        return handle;
    }
    bool HasAttributes() const override {
        script.call("HasAttributes");
        return !attrs.empty();
    }
    std::vector<std::shared_ptr<AcadAttributeReference>> GetAttributes() const override {
        script.call("GetAttributes");
        return {attrs.begin(), attrs.end()};
    }
    Script& script;
    QSet<QString>& layers;
    QString handle;
    QString layer = "0";
    std::vector<std::shared_ptr<FakeAttr>> attrs;
};

struct FakeDrawing {
    explicit FakeDrawing(Script& s) : script(s) {}
    Script& script;
    QSet<QString> layers{"0"};
    std::vector<std::shared_ptr<FakeRef>> refs;
    QStringList nextTags; // attribute tags of the blocks inserted from now on
    bool layersAddWorks = true;
    std::vector<std::vector<double>> polylines;
    std::array<double, 3> lastPoint{};
};

struct FakeModelSpace final : AcadModelSpace {
    explicit FakeModelSpace(FakeDrawing& d) : d(d) {}
    std::shared_ptr<AcadBlockReference> InsertBlock(const std::array<double, 3>& p, const QString& name,
                                                    double xs, double ys, double zs, double rot) override {
        d.script.call(
            QStringLiteral("InsertBlock %1 %2,%3,%4 %5").arg(name).arg(xs).arg(ys).arg(zs).arg(rot));
        d.lastPoint = p;
        auto ref = std::make_shared<FakeRef>(d.script, d.layers, QString::number(0x100 + d.refs.size(), 16));
        for (const QString& t : d.nextTags)
            ref->attrs.push_back(std::make_shared<FakeAttr>(d.script, t, "default"));
        d.refs.push_back(ref);
        return ref;
    }
    void Add3DPoly(const std::vector<double>& v) override {
        d.script.call("Add3DPoly");
        d.polylines.push_back(v);
    }
    FakeDrawing& d;
};

struct FakeLayers final : AcadLayers {
    explicit FakeLayers(FakeDrawing& d) : d(d) {}
    void Add(const QString& name) override {
        d.script.call("Layers.Add " + name);
        if (d.layersAddWorks)
            d.layers.insert(name);
    }
    FakeDrawing& d;
};

struct FakeDoc final : AcadDocument {
    explicit FakeDoc(FakeDrawing& d) : d(d) {}
    std::shared_ptr<AcadModelSpace> ModelSpace() override {
        d.script.call("ModelSpace");
        return std::make_shared<FakeModelSpace>(d);
    }
    std::shared_ptr<AcadLayers> Layers() override { return std::make_shared<FakeLayers>(d); }
    std::shared_ptr<AcadBlockReference> HandleToObject(const QString& h) override {
        d.script.call("HandleToObject " + h);
        for (auto& r : d.refs)
            if (r->handle == h && !h.isEmpty())
                return r;
        throw AcadError(acadErrInvalidArgument, "Invalid argument");
    }
    FakeDrawing& d;
};

struct FakeApp final : AcadApplication {
    explicit FakeApp(FakeDrawing& d) : d(d) {}
    bool Visible() const override { return visible; }
    void setVisible(bool v) override {
        d.script.call(v ? "Visible=True" : "Visible=False");
        visible = v;
    }
    std::shared_ptr<AcadDocument> ActiveDocument() override {
        d.script.call("ActiveDocument");
        return std::make_shared<FakeDoc>(d);
    }
    void ZoomExtents() override { d.script.call("ZoomExtents"); }
    void Update() override { d.script.call("Update"); }
    FakeDrawing& d;
    bool visible = false;
};

struct FakeAutomation final : AcadAutomation {
    std::shared_ptr<AcadApplication> GetObject() override {
        script.call("GetObject");
        if (!running)
            throw AcadError(acadErrUnavailable, "not running");
        return running;
    }
    std::shared_ptr<AcadApplication> CreateObject() override {
        script.call("CreateObject");
        if (!running)
            running = std::make_shared<FakeApp>(drawing);
        return running;
    }
    Script script;
    FakeDrawing drawing{script};
    std::shared_ptr<FakeApp> running;
};

const QVariantList kPoint{500000.25, 4100000.5, 28.0};

class ACADStuffTest : public ::testing::Test {
protected:
    ACADStuffTest() : acad(&fake, [this] { return poll(); }) {
        fake.running = std::make_shared<FakeApp>(fake.drawing);
    }
    short poll() {
        ++polls;
        if (clicks.empty())
            return 0;
        short v = clicks.front();
        clicks.pop_front();
        return v;
    }
    QStringList after(const QString& member) const {
        qsizetype i = fake.script.log.lastIndexOf(member);
        return i < 0 ? QStringList() : fake.script.log.mid(i + 1);
    }
    FakeAutomation fake;
    std::deque<short> clicks;
    int polls = 0;
    ScriptedPrompts prompts;
    ACADStuff acad;
};

} // namespace

TEST_F(ACADStuffTest, NotRunningTheFirstCallStartsTheApplicationAndLaterCallsAttach) {
    fake.running.reset();
    EXPECT_FALSE(acad.IsAcadRunning());
    EXPECT_EQ(acad.AcadApp, nullptr);
    fake.script.log.clear();
    ASSERT_TRUE(acad.ConnectAcad());
    EXPECT_EQ(fake.script.log, (QStringList{"GetObject", "CreateObject", "Visible=True", "ActiveDocument"}));
    EXPECT_TRUE(fake.running->visible);
    fake.script.log.clear();
    ASSERT_TRUE(acad.ConnectAcad());
    // A probe attach, then the real attach: no second instance.
    EXPECT_EQ(fake.script.log, (QStringList{"GetObject", "GetObject", "Visible=True", "ActiveDocument"}));
    EXPECT_TRUE(acad.IsAcadRunning());
    EXPECT_EQ(acad.AcadApp, nullptr);
}

// A failed connect shows nothing itself: ConnectAcad returns the description,
// and the classic calls leave it in lastFailure() for their caller.
TEST_F(ACADStuffTest, AFailedConnectReturnsTheDescriptionAndTouchesNothing) {
    fake.running.reset();
    fake.script.fail("CreateObject", {acadErrFailed});
    const AcadConnection connection = acad.ConnectAcad();
    EXPECT_FALSE(connection);
    EXPECT_EQ(connection.problem, "fake failure of CreateObject");
    fake.script.fail("CreateObject", {acadErrFailed});
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0"), "");
    EXPECT_EQ(acad.lastFailure(), "fake failure of CreateObject");
    EXPECT_FALSE(fake.script.log.contains("ModelSpace"));
    fake.script.fail("CreateObject", {acadErrFailed});
    EXPECT_FALSE(acad.AddPolyline3D({0, 0, 0, 1, 1, 1})) << "no line was drawn";
    EXPECT_EQ(acad.lastFailure(), "fake failure of CreateObject");
    fake.script.fail("CreateObject", {acadErrFailed});
    EXPECT_FALSE(acad.SetBlockAttribute("100", "TRANSFERTEXT", "x"));
    EXPECT_EQ(acad.lastFailure(), "fake failure of CreateObject");
    EXPECT_TRUE(prompts.prompts().isEmpty());
}

TEST_F(ACADStuffTest, InsertionPassesTheDocumentedArgumentsAndZoomsAfterEveryBlock) {
    EXPECT_EQ(acad.InsertPointBlock({QString("1.5"), 2, 3}, "/b/Flag.dxf", "0"), "100");
    EXPECT_EQ(fake.drawing.lastPoint, (std::array<double, 3>{1.5, 2, 3}));
    EXPECT_EQ(after("ActiveDocument"), (QStringList{"ModelSpace", "InsertBlock /b/Flag.dxf 1,1,1 0",
                                                    "Layer=0", "ZoomExtents", "Update", "Handle"}));
    // A point that is not three numbers ends before anything is inserted.
    EXPECT_EQ(acad.InsertPointBlock({1, "north"}, "/b/Flag.dxf", "0"), "");
    EXPECT_EQ(acad.InsertPointBlock({1, 2}, "/b/Flag.dxf", "0"), "");
    EXPECT_EQ(fake.drawing.refs.size(), 1u);
}

TEST_F(ACADStuffTest, AMissingLayerIsCreatedAndTheBlockLandsOnIt) {
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "Waypoints"), "100");
    EXPECT_EQ(after("ActiveDocument"),
              (QStringList{"ModelSpace", "InsertBlock /b/Flag.dxf 1,1,1 0", "Layer=Waypoints",
                           "Layers.Add Waypoints", "Layer=Waypoints", "ZoomExtents", "Update", "Handle"}));
    EXPECT_EQ(fake.drawing.refs[0]->layer, "Waypoints");
    // The next insertion finds the layer.
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "Waypoints"), "101");
    EXPECT_FALSE(after("ActiveDocument").contains("Layers.Add Waypoints"));
}

TEST_F(ACADStuffTest, ALayerThatCannotBeAddedEndsTheInsertionInsteadOfLooping) {
    fake.drawing.layersAddWorks = false;
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "Waypoints"), "");
    EXPECT_EQ(fake.script.log.count("Layers.Add Waypoints"), 1);
    EXPECT_FALSE(fake.script.log.contains("Handle"));
}

TEST_F(ACADStuffTest, ARejectedCallIsRepeatedOnlyAfterAClick) {
    // Clicked since the last poll and released: repeat.
    fake.script.fail("ModelSpace", {acadErrCallRejected, acadErrCallRejected});
    clicks = {1, 1};
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0"), "100");
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(fake.script.log.count("ModelSpace"), 3);

    // No click, or the button still held down (negative): give up.
    for (short state : {short(0), short(-32767), short(-32768)}) {
        fake.script.fail("Update", {acadErrCallRejected});
        clicks = {state};
        EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0"), "") << state;
    }
    EXPECT_EQ(prompts.prompts().size(), 0);

    fake.script.fail("HandleToObject 100", {acadErrCallRejected});
    clicks = {1};
    fake.drawing.refs[0]->attrs.push_back(std::make_shared<FakeAttr>(fake.script, "TRANSFERTEXT", "d"));
    EXPECT_TRUE(acad.SetBlockAttribute("100", "TRANSFERTEXT", "Gate"));
    EXPECT_EQ(fake.drawing.refs[0]->attrs[0]->text, "Gate");
}

TEST_F(ACADStuffTest, TheQuietCodeEndsWithoutAMessage) {
    fake.script.fail("ZoomExtents", {acadErrQuiet});
    EXPECT_EQ(acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0"), "");
    EXPECT_FALSE(after("ZoomExtents").contains("Update"));
    // After the text was written, a quiet ending keeps the result reached.
    fake.drawing.refs[0]->attrs.push_back(std::make_shared<FakeAttr>(fake.script, "TRANSFERTEXT", "d"));
    fake.script.fail("Update", {acadErrQuiet});
    EXPECT_TRUE(acad.SetBlockAttribute("100", "TRANSFERTEXT", "Gate"));
    // Any other code ends with false.
    fake.script.fail("Update", {acadErrFailed});
    EXPECT_FALSE(acad.SetBlockAttribute("100", "TRANSFERTEXT", "Gate"));
    EXPECT_EQ(prompts.prompts().size(), 0);
}

TEST_F(ACADStuffTest, TheEmptyHandleOfAFailedInsertionFailsQuietly) {
    fake.script.fail("InsertBlock /b/Broken.dxf 1,1,1 0", {acadErrFailed});
    QString handle = acad.InsertPointBlock(kPoint, "/b/Broken.dxf", "0");
    EXPECT_EQ(handle, "");
    EXPECT_FALSE(acad.SetBlockAttribute(handle, "TRANSFERTEXT", "Gate"));
    EXPECT_FALSE(fake.script.log.contains("HasAttributes"));
    EXPECT_EQ(prompts.prompts().size(), 0);
}

TEST_F(ACADStuffTest, OnlyTheFirstAttributeWithTheTagGetsTheText) {
    fake.drawing.nextTags = {"OTHER", "TRANSFERTEXT", "transfertext", "TRANSFERTEXT"};
    QString handle = acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0");
    EXPECT_TRUE(acad.SetBlockAttribute(handle, "TRANSFERTEXT", "Gate 4"));
    const auto& attrs = fake.drawing.refs[0]->attrs;
    EXPECT_EQ(attrs[0]->text, "default");
    EXPECT_EQ(attrs[1]->text, "Gate 4");
    EXPECT_EQ(attrs[2]->text, "default") << "the comparison is case-sensitive";
    EXPECT_EQ(attrs[3]->text, "default");
    EXPECT_EQ(fake.script.log.count("TagString"), 2) << "the walk stops at the first match";
    EXPECT_EQ(after("TextString=Gate 4"), (QStringList{"ZoomExtents", "Update"}));
}

TEST_F(ACADStuffTest, EmptyTextKeepsTheDefaultAndABlockWithoutAttributesStillZooms) {
    fake.drawing.nextTags = {"TRANSFERTEXT"};
    QString handle = acad.InsertPointBlock(kPoint, "/b/Flag.dxf", "0");
    EXPECT_TRUE(acad.SetBlockAttribute(handle, "TRANSFERTEXT", ""));
    EXPECT_EQ(fake.drawing.refs[0]->attrs[0]->text, "default");
    EXPECT_FALSE(fake.script.log.filter("TextString=").size());

    fake.drawing.nextTags.clear();
    handle = acad.InsertPointBlock(kPoint, "/b/Plain.dxf", "0");
    fake.script.log.clear();
    EXPECT_TRUE(acad.SetBlockAttribute(handle, "TRANSFERTEXT", "Gate"));
    EXPECT_EQ(after("ActiveDocument"),
              (QStringList{"HandleToObject 101", "HasAttributes", "ZoomExtents", "Update"}));
}

TEST_F(ACADStuffTest, PolylineGetsThePointsUnchangedAndReportsFailure) {
    std::vector<double> v{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_TRUE(acad.AddPolyline3D(v));
    ASSERT_EQ(fake.drawing.polylines.size(), 1u);
    EXPECT_EQ(fake.drawing.polylines[0], v);
    EXPECT_EQ(after("Add3DPoly"), (QStringList{"ZoomExtents", "Update"}));
    fake.script.fail("Add3DPoly", {acadErrInvalidArgument});
    EXPECT_FALSE(acad.AddPolyline3D({1, 2, 3}));
    fake.script.fail("Update", {acadErrQuiet});
    EXPECT_FALSE(acad.AddPolyline3D(v));
    EXPECT_EQ(prompts.prompts().size(), 0);
}

// ---------------------------------------------------------------- with the engine

TEST(ACADStuffWithEngine, PointsLabelsLayersAndALineLandInTheDrawing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Site.dxf");
    setDrawingPath(path);
    DxfAutomation engine(path);
    ScriptedPrompts prompts;
    ACADStuff acad(&engine, [] { return short(0); });
    EXPECT_FALSE(acad.IsAcadRunning());
    const QString flag = SupportPath("Inserts/Flag.dxf");
    QStringList handles;
    for (int i = 0; i < 3; ++i) {
        QString h =
            acad.InsertPointBlock({500000.0 + i, 4100000.0 + i, 10.0 * i}, flag, i < 2 ? "Waypoints" : "0");
        ASSERT_FALSE(h.isEmpty());
        EXPECT_TRUE(acad.SetBlockAttribute(h, "TRANSFERTEXT", QString("WP%1").arg(i)));
        handles << h;
    }
    // An icon block of the other model, and a block file that is not there.
    QString icon = acad.InsertPointBlock({1, 1, 1}, SupportPath("Inserts/Meridian/h.dxf"), "Icons");
    EXPECT_TRUE(acad.SetBlockAttribute(icon, "TRANSFERTEXT", "House"));
    EXPECT_EQ(acad.InsertPointBlock({1, 1, 1}, dir.filePath("none.dxf"), "0"), "");
    EXPECT_TRUE(acad.IsAcadRunning());
    EXPECT_TRUE(acad.AddPolyline3D({500000, 4100000, 0, 500002, 4100002, 20}));
    EXPECT_FALSE(acad.AddPolyline3D({1, 2, 3}));
    ASSERT_TRUE(engine.running()->flush());
    EXPECT_TRUE(engine.running()->Visible());
    setDrawingPath(QString());

    QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    QJsonArray inserts = r.value("inserts").toArray();
    ASSERT_EQ(inserts.size(), 4);
    for (int i = 0; i < 3; ++i) {
        QJsonObject o = inserts[i].toObject();
        EXPECT_EQ(o.value("handle").toString(), handles[i]);
        EXPECT_EQ(o.value("layer").toString(), i < 2 ? "Waypoints" : "0");
        EXPECT_EQ(o.value("point").toArray(), (QJsonArray{500000.0 + i, 4100000.0 + i, 10.0 * i}));
        EXPECT_EQ(o.value("attribs").toArray()[0].toArray()[1].toString(), QString("WP%1").arg(i));
    }
    EXPECT_EQ(inserts[3].toObject().value("block").toString(), "h");
    EXPECT_EQ(inserts[3].toObject().value("layer").toString(), "Icons");
    EXPECT_EQ(r.value("polylines").toArray().size(), 1);
    EXPECT_EQ(prompts.prompts().size(), 0);
}

// The insertion commands' surface: one connection for every block, the
// labels written on the blocks just inserted, one zoom and update at the end.
TEST_F(ACADStuffTest, OneCommandConnectsOnceLabelsEachBlockAndRefreshesOnce) {
    ASSERT_TRUE(acad.ConnectAcad());
    fake.script.log.clear();
    fake.drawing.nextTags = {"OTHER", "TRANSFERTEXT", "TRANSFERTEXT"};
    EXPECT_TRUE(acad.InsertLabelledBlock({1, 2, 3}, "/b/Flag.dxf", "Waypoints", "TRANSFERTEXT", "Gate"));
    fake.drawing.nextTags = {"TRANSFERTEXT"};
    EXPECT_TRUE(acad.InsertLabelledBlock({4, 5, 6}, "/b/Flag.dxf", "Waypoints", "TRANSFERTEXT", ""));
    fake.script.fail("InsertBlock /b/Broken.dxf 1,1,1 0", {acadErrFailed});
    EXPECT_FALSE(acad.InsertLabelledBlock({7, 8, 9}, "/b/Broken.dxf", "Waypoints", "TRANSFERTEXT", "x"));
    EXPECT_EQ(acad.lastFailure(), "fake failure of InsertBlock /b/Broken.dxf 1,1,1 0");
    EXPECT_EQ(acad.Commit(true), "");

    const QStringList& log = fake.script.log;
    EXPECT_EQ(log.count("GetObject") + log.count("ActiveDocument") + log.count("Visible=True"), 0);
    EXPECT_EQ(log.count("Layers.Add Waypoints"), 1);
    EXPECT_EQ(log.count("HandleToObject 100"), 0) << "the label goes on the block just inserted";
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"ZoomExtents", "Update"}));
    EXPECT_EQ(log.count("ZoomExtents"), 1);
    const auto& refs = fake.drawing.refs;
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0]->attrs[0]->text, "default");
    EXPECT_EQ(refs[0]->attrs[1]->text, "Gate");
    EXPECT_EQ(refs[0]->attrs[2]->text, "default");
    EXPECT_EQ(refs[1]->attrs[0]->text, "default") << "empty text keeps the default";

    fake.script.log.clear();
    EXPECT_EQ(acad.Commit(false), "");
    EXPECT_FALSE(fake.script.log.contains("ZoomExtents")) << "nothing added: the view is left as it is";
}
