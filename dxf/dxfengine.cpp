// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfengine.h"

#include "platform/ansi.h"
#include "platform/programfolder.h"
#include "platform/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

AcadError::AcadError(std::uint32_t number, QString description)
    : number_(number), description_(std::move(description)) {
    what_ = QStringLiteral("0x%1: %2").arg(number_, 8, 16, QChar('0')).arg(description_).toStdString();
}

namespace {

// Runs f, turning the drawing's own failures into automation failures.
template <typename F> auto guarded(std::uint32_t code, F&& f) {
    try {
        return f();
    } catch (const DxfError& e) {
        throw AcadError(code, e.description());
    }
}

std::shared_ptr<DxfDrawing> lock(const std::weak_ptr<DxfDrawing>& w) {
    auto d = w.lock();
    if (!d)
        throw AcadError(acadErrFailed, QStringLiteral("The drawing of this object is no longer open."));
    return d;
}

class AttributeRef final : public AcadAttributeReference {
public:
    AttributeRef(std::weak_ptr<DxfDrawing> d, QByteArray handle)
        : drawing_(std::move(d)), handle_(std::move(handle)) {}
    QString TagString() const override { return FromAnsi(object().value(2).trimmed()); }
    QString TextString() const override { return FromAnsi(object().value(1)); }
    void setTextString(const QString& text) override {
        auto d = lock(drawing_);
        d->setAttributeText(index(*d), text);
    }

private:
    int index(const DxfDrawing& d) const {
        int i = d.entityIndex(handle_);
        if (i < 0)
            throw AcadError(acadErrFailed, QStringLiteral("The attribute no longer exists."));
        return i;
    }
    const DxfObject& object() const {
        auto d = lock(drawing_);
        return d->entity(index(*d));
    }
    std::weak_ptr<DxfDrawing> drawing_;
    QByteArray handle_;
};

class BlockRef final : public AcadBlockReference {
public:
    BlockRef(std::weak_ptr<DxfDrawing> d, QByteArray handle)
        : drawing_(std::move(d)), handle_(std::move(handle)) {}
    QString Layer() const override {
        auto d = lock(drawing_);
        return FromAnsi(d->entity(index(*d)).value(8, "0").trimmed());
    }
    void setLayer(const QString& layer) override {
        auto d = lock(drawing_);
        if (!d->hasLayer(layer))
            throw AcadError(acadErrKeyNotFound,
                            QStringLiteral("Key not found: the drawing has no layer \"%1\".").arg(layer));
        guarded(acadErrFailed, [&] { d->setEntityLayer(index(*d), layer); });
    }
    QString Handle() const override { return QString::fromLatin1(handle_); }
    bool HasAttributes() const override {
        auto d = lock(drawing_);
        return !d->attributesOf(index(*d)).empty();
    }
    std::vector<std::shared_ptr<AcadAttributeReference>> GetAttributes() const override {
        auto d = lock(drawing_);
        std::vector<std::shared_ptr<AcadAttributeReference>> out;
        for (int i : d->attributesOf(index(*d)))
            out.push_back(std::make_shared<AttributeRef>(drawing_, d->entity(i).value(5).trimmed()));
        return out;
    }

private:
    int index(const DxfDrawing& d) const {
        int i = d.entityIndex(handle_);
        if (i < 0)
            throw AcadError(acadErrFailed, QStringLiteral("The block reference no longer exists."));
        return i;
    }
    std::weak_ptr<DxfDrawing> drawing_;
    QByteArray handle_;
};

class ModelSpaceObj final : public AcadModelSpace {
public:
    explicit ModelSpaceObj(std::shared_ptr<DxfDrawing> d) : drawing_(std::move(d)) {}
    std::shared_ptr<AcadBlockReference> InsertBlock(const std::array<double, 3>& point, const QString& name,
                                                    double xScale, double yScale, double zScale,
                                                    double rotation) override {
        QByteArray handle = guarded(acadErrFailed, [&] {
            QString block = drawing_->blockFromFile(name);
            return drawing_->insertBlock(block, point, xScale, yScale, zScale, rotation);
        });
        return std::make_shared<BlockRef>(drawing_, handle);
    }
    void Add3DPoly(const std::vector<double>& vertices) override {
        guarded(acadErrInvalidArgument, [&] { return drawing_->add3DPolyline(vertices); });
    }

private:
    std::shared_ptr<DxfDrawing> drawing_;
};

class LayersObj final : public AcadLayers {
public:
    explicit LayersObj(std::shared_ptr<DxfDrawing> d) : drawing_(std::move(d)) {}
    void Add(const QString& name) override {
        guarded(acadErrInvalidArgument, [&] { drawing_->addLayer(name); });
    }

private:
    std::shared_ptr<DxfDrawing> drawing_;
};

class DocumentObj final : public AcadDocument {
public:
    explicit DocumentObj(std::shared_ptr<DxfDrawing> d) : drawing_(std::move(d)) {}
    std::shared_ptr<AcadModelSpace> ModelSpace() override {
        return std::make_shared<ModelSpaceObj>(drawing_);
    }
    std::shared_ptr<AcadLayers> Layers() override { return std::make_shared<LayersObj>(drawing_); }
    std::shared_ptr<AcadBlockReference> HandleToObject(const QString& handle) override {
        QByteArray h = handle.trimmed().toLatin1();
        int i = drawing_->entityIndex(h);
        if (i < 0)
            throw AcadError(
                acadErrInvalidArgument,
                handle.trimmed().isEmpty()
                    ? QStringLiteral("Invalid argument: an empty handle names no object.")
                    : QStringLiteral("Invalid argument: no object has the handle \"%1\".").arg(handle));
        if (drawing_->entity(i).type() != "INSERT")
            throw AcadError(
                acadErrInvalidArgument,
                QStringLiteral("The object with the handle \"%1\" is not a block reference.").arg(handle));
        return std::make_shared<BlockRef>(drawing_, drawing_->entity(i).value(5).trimmed());
    }

private:
    std::shared_ptr<DxfDrawing> drawing_;
};

} // namespace

// ---------------------------------------------------------------- application

DxfApplication::DxfApplication() {
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (!flush())
                emit unsavedAtExit(saveError_);
        });
}

DxfApplication::~DxfApplication() {
    flush();
}

void DxfApplication::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    emit visibleChanged(visible);
}

QString DxfApplication::drawingPath() {
    QString path = GetSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath);
    if (path.trimmed().isEmpty())
        path = SupportPath(QStringLiteral("Data/Drawing1.dxf"));
    return QFileInfo(path).absoluteFilePath();
}

DxfApplication::Stamp DxfApplication::stampOf(const QString& path) {
    QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified()};
}

void DxfApplication::open(const QString& path) {
    QFile file(path);
    std::shared_ptr<DxfDrawing> drawing;
    const Stamp stamp = stampOf(path); // taken before reading: a change during the read shows later
    if (!stamp.exists) {
        drawing = std::make_shared<DxfDrawing>(DxfDrawing::createNew());
    } else {
        if (!file.open(QIODevice::ReadOnly))
            throw AcadError(
                acadErrFailed,
                QStringLiteral("The drawing %1 cannot be opened: %2").arg(path, file.errorString()));
        QByteArray bytes = file.readAll();
        try {
            // An empty file holds nothing to lose: it becomes a new drawing.
            drawing = std::make_shared<DxfDrawing>(bytes.isEmpty() ? DxfDrawing::createNew()
                                                                   : DxfDrawing::open(bytes));
        } catch (const DxfError& e) {
            throw AcadError(acadErrFailed,
                            QStringLiteral("The drawing %1 cannot be used. %2").arg(path, e.description()));
        }
    }
    adopt(std::move(drawing), path, stamp);
}

void DxfApplication::adopt(std::shared_ptr<DxfDrawing> drawing, const QString& path, const Stamp& stamp) {
    drawing_ = std::move(drawing);
    path_ = path;
    stamp_ = stamp;
    saveError_.clear();
    emit drawingChanged();
}

void DxfApplication::markWritten(const QString& path) {
    savePending_ = false;
    saveError_.clear();
    drawing_->markSaved();
    path_ = path;
    stamp_ = stampOf(path);
    ++saves_;
}

// Writes the pending changes of the active drawing; when they cannot be
// written they stay in memory and the reason is thrown (so another drawing
// never replaces one whose changes would be lost).
static void flushOrThrow(DxfApplication& app) {
    if (!app.flush())
        throw AcadError(acadErrFailed, app.lastSaveError());
}

std::shared_ptr<AcadDocument> DxfApplication::ActiveDocument() {
    const QString path = drawingPath();
    if (!drawing_ || path != path_) {
        // The drawing held now goes only once its changes are on disk.
        flushOrThrow(*this);
        open(path);
    } else if (!drawing_->modified() && !(stampOf(path_) == stamp_)) {
        open(path_);
    }
    return std::make_shared<DocumentObj>(drawing_);
}

void DxfApplication::ZoomExtents() {
    if (!drawing_)
        return;
    drawing_->zoomExtents();
    emit zoomedToExtents();
}

void DxfApplication::Update() {
    if (!drawing_)
        return;
    emit drawingChanged();
    // After a failed save, try again now: the cause may have gone (a full disk,
    // a file another program held), and a failure must reach this command.
    if (!saveError_.isEmpty())
        flushOrThrow(*this);
    if (savePending_ || !drawing_->modified())
        return;
    savePending_ = true;
    QTimer::singleShot(0, this, [this] { flush(); });
}

bool DxfApplication::flush() {
    savePending_ = false;
    if (!drawing_ || !drawing_->modified())
        return true;
    saveError_ = writeTo(*drawing_, path_);
    if (!saveError_.isEmpty()) {
        emit saveFailed(saveError_);
        return false;
    }
    markWritten(path_);
    return true;
}

QString DxfApplication::writeTo(DxfDrawing& drawing, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(drawing.toBytes());
        if (file.commit())
            return QString();
    }
    return QStringLiteral("The drawing %1 could not be saved: %2").arg(path, file.errorString());
}

void DxfApplication::makeActive(const QString& path) {
    SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, path);
}

QString DxfApplication::newDrawing() {
    flushOrThrow(*this);
    const QDir folder = QFileInfo(path_.isEmpty() ? drawingPath() : path_).absoluteDir();
    QString path;
    for (int n = 1;; ++n) {
        path = folder.absoluteFilePath(QStringLiteral("Drawing%1.dxf").arg(n));
        if (!QFileInfo::exists(path)) // nothing at all there, not even a folder
            break;
    }
    auto fresh = std::make_shared<DxfDrawing>(DxfDrawing::createNew());
    const QString error = writeTo(*fresh, path);
    if (!error.isEmpty())
        throw AcadError(acadErrFailed, error);
    fresh->markSaved();
    adopt(std::move(fresh), path, stampOf(path));
    makeActive(path);
    return path;
}

void DxfApplication::openDrawing(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(full).isFile())
        throw AcadError(acadErrFailed, QStringLiteral("The drawing %1 does not exist.").arg(full));
    flushOrThrow(*this);
    open(full); // throws before anything changes when the file is refused
    makeActive(full);
}

void DxfApplication::saveDrawingAs(const QString& path) {
    if (!drawing_)
        throw AcadError(acadErrFailed, QStringLiteral("No drawing is open."));
    const QString full = QFileInfo(path).absoluteFilePath();
    const QString error = writeTo(*drawing_, full);
    if (!error.isEmpty())
        throw AcadError(acadErrFailed, error);
    markWritten(full);
    makeActive(full);
    emit drawingChanged();
}

// ---------------------------------------------------------------- automation

DxfAutomation::~DxfAutomation() = default;

namespace {
DxfAutomation::StartedHook& startedHook() {
    static DxfAutomation::StartedHook hook;
    return hook;
}
} // namespace

void DxfAutomation::setStartedHook(StartedHook hook) {
    startedHook() = std::move(hook);
}

std::shared_ptr<AcadApplication> DxfAutomation::GetObject() {
    if (!running_)
        throw AcadError(acadErrUnavailable, QStringLiteral("The drawing engine is not running."));
    return running_;
}

std::shared_ptr<AcadApplication> DxfAutomation::CreateObject() {
    if (running_)
        return running_;
    auto app = std::make_shared<DxfApplication>();
    if (startedHook())
        startedHook()(*app);
    app->ActiveDocument(); // opens the drawing; throws when it cannot be used
    running_ = std::move(app);
    return running_;
}

namespace {
AcadAutomation*& installedAutomation() {
    static AcadAutomation* installed = nullptr;
    return installed;
}
} // namespace

void SetAcadAutomation(AcadAutomation* automation) {
    installedAutomation() = automation;
}

AcadAutomation& CurrentAcadAutomation() {
    if (AcadAutomation* a = installedAutomation())
        return *a;
    // The process's engine; destroyed at exit, which writes unsaved changes.
    static DxfAutomation engine;
    return engine;
}
