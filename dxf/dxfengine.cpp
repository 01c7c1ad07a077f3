// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/dxfengine.h"

#include "dxf/drawingjournal.h"
#include "platform/clock.h"
#include "platform/durablewrite.h"
#include "platform/programfolder.h"
#include "platform/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AcadError::AcadError(std::uint32_t number, QString description)
    : number_(number), description_(std::move(description)) {
    what_ = QStringLiteral("0x%1: %2").arg(number_, 8, 16, QChar('0')).arg(description_).toStdString();
}

// What every object handed out for the active drawing shares with the engine:
// the drawing (replaced when another program's version is read), the changes
// not written yet, and where the handles given out are now.
struct DxfSession {
    std::shared_ptr<DxfDrawing> drawing;
    DrawingJournal journal;
    QHash<QByteArray, QByteArray> renamed; // handle given out (upper case) -> handle now
    QHash<QString, QByteArray> blockFiles; // absolute path -> the block drawing as read
    std::weak_ptr<DxfApplication> engine;

    // The handle an object given out as `handle` has now.
    QByteArray current(const QByteArray& handle) const {
        auto it = renamed.find(handle.trimmed().toUpper());
        return it == renamed.end() ? handle : it.value();
    }
    // Takes the new handles of entities made again on a newer copy of the file.
    void remap(const QHash<QByteArray, QByteArray>& fresh) {
        for (auto it = renamed.begin(); it != renamed.end(); ++it)
            it.value() = fresh.value(it.value(), it.value());
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            if (!renamed.contains(it.key()))
                renamed.insert(it.key(), it.value());
    }
};

namespace {

// How long a lock file may stand before it counts as left by a program that
// hung, and how long a save waits for a lock another program holds.
constexpr int kStaleLockMs = 30000;
constexpr int kLockWaitMs = kStaleLockMs + 5000;

// Runs f, turning the drawing's own failures into automation failures.
template <typename F> auto guarded(std::uint32_t code, F&& f) {
    try {
        return f();
    } catch (const DxfError& e) {
        throw AcadError(code, e.description());
    }
}

std::shared_ptr<DxfSession> lock(const std::weak_ptr<DxfSession>& w) {
    auto s = w.lock();
    if (!s)
        throw AcadError(acadErrFailed, QStringLiteral("The drawing of this object is no longer open."));
    return s;
}

DxfApplication::Stamp stampFrom(const struct stat& st) {
    return {true, qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            quint64(st.st_dev), quint64(st.st_ino)};
}

// Reads a user's file that must be a regular one. Returns "" and fills bytes
// and stamp, or the reason in words. A FIFO or device is refused before it is
// opened (and opened without blocking in case one took the file's place).
QString readRegularFile(const QString& path, QByteArray* bytes, DxfApplication::Stamp* stamp) {
    const QString notRegular = NotARegularFileReason(path);
    if (!notRegular.isEmpty())
        return notRegular;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("it is not a regular file");
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    *stamp = stampFrom(st);
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QString();
}

// Holds "<path>.lock" while a drawing is compared with its file and written.
class DrawingLock {
public:
    explicit DrawingLock(const QString& path) : name_(path + QStringLiteral(".lock")), lock_(name_) {
        lock_.setStaleLockTime(kStaleLockMs);
    }
    // "" when held, else why not. Where no lock file can be made at all (an
    // unwritable folder) the write itself fails and says why: "" too.
    QString acquire() {
        auto settled = [this] { return lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError; };
        if (settled() || CurrentClock().SleepUntil(kLockWaitMs, settled))
            return QString();
        return QStringLiteral("another program holds its lock file %1").arg(name_);
    }

private:
    QString name_;
    QLockFile lock_;
};

class AttributeRef final : public AcadAttributeReference {
public:
    AttributeRef(std::weak_ptr<DxfSession> s, QByteArray handle)
        : session_(std::move(s)), handle_(std::move(handle)) {}
    QString TagString() const override {
        return lock(session_)->drawing->decodeText(object().value(2).trimmed());
    }
    QString TextString() const override { return lock(session_)->drawing->decodeText(object().value(1)); }
    void setTextString(const QString& text) override {
        auto s = lock(session_);
        s->drawing->setAttributeText(index(*s), text);
        s->journal.setAttributeText(s->current(handle_), text);
    }

private:
    int index(const DxfSession& s) const {
        int i = s.drawing->entityIndex(s.current(handle_));
        if (i < 0)
            throw AcadError(acadErrFailed, QStringLiteral("The attribute no longer exists."));
        return i;
    }
    const DxfObject& object() const {
        auto s = lock(session_);
        return s->drawing->entity(index(*s));
    }
    std::weak_ptr<DxfSession> session_;
    QByteArray handle_;
};

class BlockRef final : public AcadBlockReference {
public:
    BlockRef(std::weak_ptr<DxfSession> s, QByteArray handle)
        : session_(std::move(s)), handle_(std::move(handle)) {}
    QString Layer() const override {
        auto s = lock(session_);
        return s->drawing->decodeText(s->drawing->entity(index(*s)).value(8, "0").trimmed());
    }
    void setLayer(const QString& layer) override {
        auto s = lock(session_);
        if (!s->drawing->hasLayer(layer))
            throw AcadError(acadErrKeyNotFound,
                            QStringLiteral("Key not found: the drawing has no layer \"%1\".").arg(layer));
        guarded(acadErrFailed, [&] { s->drawing->setEntityLayer(index(*s), layer); });
        s->journal.setLayer(s->current(handle_), layer);
    }
    QString Handle() const override {
        auto s = session_.lock();
        return QString::fromLatin1(s ? s->current(handle_) : handle_);
    }
    bool HasAttributes() const override {
        auto s = lock(session_);
        return !s->drawing->attributesOf(index(*s)).empty();
    }
    std::vector<std::shared_ptr<AcadAttributeReference>> GetAttributes() const override {
        auto s = lock(session_);
        std::vector<std::shared_ptr<AcadAttributeReference>> out;
        for (int i : s->drawing->attributesOf(index(*s)))
            out.push_back(std::make_shared<AttributeRef>(session_, s->drawing->entity(i).value(5).trimmed()));
        return out;
    }
    void SetXData(const DxfExtendedData& data) override {
        auto s = lock(session_);
        guarded(acadErrFailed, [&] { s->drawing->setExtendedData(index(*s), data); });
        s->journal.setExtendedData(s->current(handle_), data);
    }

private:
    int index(const DxfSession& s) const {
        int i = s.drawing->entityIndex(s.current(handle_));
        if (i < 0)
            throw AcadError(acadErrFailed, QStringLiteral("The block reference no longer exists."));
        return i;
    }
    std::weak_ptr<DxfSession> session_;
    QByteArray handle_;
};

class ModelSpaceObj final : public AcadModelSpace {
public:
    explicit ModelSpaceObj(std::shared_ptr<DxfSession> s) : session_(std::move(s)) {}
    std::shared_ptr<AcadBlockReference> InsertBlock(const std::array<double, 3>& point, const QString& name,
                                                    double xScale, double yScale, double zScale,
                                                    double rotation) override {
        DxfDrawing& d = *session_->drawing;
        const QByteArray bytes = blockFile(name);
        QByteArray handle = guarded(acadErrFailed, [&] {
            QString block = d.blockFromData(name, bytes);
            return d.insertBlock(block, point, xScale, yScale, zScale, rotation);
        });
        std::vector<QByteArray> attributes;
        for (int i : d.attributesOf(d.entityIndex(handle)))
            attributes.push_back(d.entity(i).value(5).trimmed());
        session_->journal.insertBlock(name, bytes, point, {xScale, yScale, zScale}, rotation, handle,
                                      attributes);
        return std::make_shared<BlockRef>(session_, handle);
    }
    void Add3DPoly(const std::vector<double>& vertices) override { Add3DPolyWithData(vertices, {}); }
    void Add3DPolyWithData(const std::vector<double>& vertices,
                           const std::vector<DxfExtendedData>& vertexData) override {
        guarded(acadErrInvalidArgument,
                [&] { return session_->drawing->add3DPolyline(vertices, vertexData); });
        session_->journal.add3DPolyline(vertices, vertexData);
    }

private:
    // The block drawing file's bytes, read once per session.
    QByteArray blockFile(const QString& name) {
        const QString absolute = QFileInfo(name).absoluteFilePath();
        if (auto it = session_->blockFiles.find(absolute); it != session_->blockFiles.end())
            return it.value();
        if (!QFileInfo::exists(absolute))
            throw AcadError(acadErrFailed,
                            QStringLiteral("The block drawing \"%1\" was not found.").arg(name));
        QByteArray bytes;
        DxfApplication::Stamp stamp;
        const QString error = readRegularFile(absolute, &bytes, &stamp);
        if (!error.isEmpty())
            throw AcadError(acadErrFailed,
                            QStringLiteral("The block drawing \"%1\" cannot be read: %2.").arg(name, error));
        session_->blockFiles.insert(absolute, bytes);
        return bytes;
    }
    std::shared_ptr<DxfSession> session_;
};

class LayersObj final : public AcadLayers {
public:
    explicit LayersObj(std::shared_ptr<DxfSession> s) : session_(std::move(s)) {}
    void Add(const QString& name) override {
        guarded(acadErrInvalidArgument, [&] { session_->drawing->addLayer(name); });
        session_->journal.addLayer(name);
    }

private:
    std::shared_ptr<DxfSession> session_;
};

class DocumentObj final : public AcadDocument {
public:
    explicit DocumentObj(std::shared_ptr<DxfSession> s) : session_(std::move(s)) {}
    std::shared_ptr<AcadModelSpace> ModelSpace() override {
        return std::make_shared<ModelSpaceObj>(session_);
    }
    std::shared_ptr<AcadLayers> Layers() override { return std::make_shared<LayersObj>(session_); }
    std::shared_ptr<AcadBlockReference> HandleToObject(const QString& handle) override {
        const DxfDrawing& d = *session_->drawing;
        QByteArray h = handle.trimmed().toLatin1();
        int i = d.entityIndex(session_->current(h));
        if (i < 0)
            throw AcadError(
                acadErrInvalidArgument,
                handle.trimmed().isEmpty()
                    ? QStringLiteral("Invalid argument: an empty handle names no object.")
                    : QStringLiteral("Invalid argument: no object has the handle \"%1\".").arg(handle));
        if (d.entity(i).type() != "INSERT")
            throw AcadError(
                acadErrInvalidArgument,
                QStringLiteral("The object with the handle \"%1\" is not a block reference.").arg(handle));
        return std::make_shared<BlockRef>(session_, d.entity(i).value(5).trimmed());
    }
    void Save() override {
        auto engine = session_->engine.lock();
        if (!engine || engine->drawing() != session_->drawing)
            throw AcadError(acadErrFailed, QStringLiteral("The drawing of this object is no longer open."));
        if (!engine->flush())
            throw AcadError(acadErrFailed, engine->lastSaveError());
    }

private:
    std::shared_ptr<DxfSession> session_;
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

std::shared_ptr<DxfDrawing> DxfApplication::drawing() const {
    return session_ ? session_->drawing : nullptr;
}

void DxfApplication::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    emit visibleChanged(visible);
}

namespace {
QString absoluteDrawingPath(QString path) {
    if (path.trimmed().isEmpty())
        path = UserDataPath(QStringLiteral("Drawing1.dxf"));
    return QFileInfo(path).absoluteFilePath();
}
} // namespace

QString DrawingPathSetting() {
    return absoluteDrawingPath(
        GetSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath));
}

void DxfApplication::setDrawingPath(const QString& path) {
    given_ = absoluteDrawingPath(path);
}

DxfApplication::Stamp DxfApplication::stampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampFrom(st);
}

namespace {

// The drawing at path and the version of the file it came from; a new drawing
// where no file is. Throws AcadError when the file cannot be used.
std::shared_ptr<DxfDrawing> readDrawing(const QString& path, DxfApplication::Stamp* stamp) {
    *stamp = {};
    // Only a file that is surely not there makes a new drawing: one that
    // cannot be looked at (a folder on the way closed to the user, a disk
    // error, a loop of links) would be replaced by the new drawing's first save.
    QString why;
    switch (PresenceOf(path, &why)) {
    case PathPresence::Missing:
        return std::make_shared<DxfDrawing>(DxfDrawing::createNew());
    case PathPresence::Unknown:
        throw AcadError(acadErrFailed, QStringLiteral("The drawing %1 cannot be opened: %2.").arg(path, why));
    case PathPresence::Present:
        break;
    }
    QByteArray bytes;
    const QString error = readRegularFile(path, &bytes, stamp);
    if (!error.isEmpty())
        throw AcadError(acadErrFailed,
                        QStringLiteral("The drawing %1 cannot be opened: %2.").arg(path, error));
    try {
        // An empty file holds nothing to lose: it becomes a new drawing.
        return std::make_shared<DxfDrawing>(bytes.isEmpty() ? DxfDrawing::createNew()
                                                            : DxfDrawing::open(bytes));
    } catch (const DxfError& e) {
        throw AcadError(acadErrFailed,
                        QStringLiteral("The drawing %1 cannot be used. %2").arg(path, e.description()));
    }
}

} // namespace

void DxfApplication::open(const QString& path) {
    Stamp stamp;
    auto drawing = readDrawing(path, &stamp);
    adopt(std::move(drawing), path, stamp);
}

void DxfApplication::adopt(std::shared_ptr<DxfDrawing> drawing, const QString& path, const Stamp& stamp) {
    session_ = std::make_shared<DxfSession>();
    session_->drawing = std::move(drawing);
    session_->engine = weak_from_this();
    const bool moved = !path_.isEmpty() && path != path_; // the first drawing replaces none
    path_ = path;
    stamp_ = stamp;
    saveError_.clear();
    emit drawingChanged();
    if (moved)
        emit activeDrawingChanged(path_);
}

void DxfApplication::syncWithDisk() {
    const Stamp now = stampOf(path_);
    // A file that is gone (deleted, or its disk unplugged) has nothing newer to
    // merge with: the drawing held keeps everything, and the next write puts it back.
    if (now == stamp_ || !now.exists)
        return;
    Stamp stamp;
    auto fresh = readDrawing(path_, &stamp);
    // A copy of the journal is replayed: when the new content cannot take the
    // changes, the drawing held and its journal stay as they were.
    DrawingJournal journal = session_->journal;
    QHash<QByteArray, QByteArray> renamed;
    try {
        renamed = journal.replay(*fresh);
    } catch (const DxfError& e) {
        throw AcadError(acadErrFailed,
                        QStringLiteral("The drawing %1 was changed by another program, and the changes made "
                                       "here cannot be added to it: %2")
                            .arg(path_, e.description()));
    }
    session_->drawing = std::move(fresh);
    session_->journal = std::move(journal);
    session_->remap(renamed);
    stamp_ = stamp;
    ++rereads_;
    emit drawingChanged();
}

void DxfApplication::markWritten(const QString& path) {
    savePending_ = false;
    saveError_.clear();
    session_->drawing->markSaved();
    session_->journal.clear();
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
    if (given_.isEmpty())
        setDrawingPath(QString());
    const QString path = given_;
    if (!session_ || path != path_) {
        // The drawing held now goes only once its changes are on disk.
        flushOrThrow(*this);
        open(path);
    } else {
        syncWithDisk();
    }
    return std::make_shared<DocumentObj>(session_);
}

void DxfApplication::ZoomExtents() {
    if (!session_)
        return;
    session_->drawing->zoomExtents();
    session_->journal.zoomExtents();
    emit zoomedToExtents();
}

void DxfApplication::Update() {
    if (!session_)
        return;
    emit drawingChanged();
    // Even after a failed save the write waits for the event loop (or the
    // command's own AcadDocument::Save, which reports a failure): an update
    // that threw would end the caller's operation with a block in the drawing
    // but without its handle, so its label would be lost.
    if (savePending_ || !session_->drawing->modified())
        return;
    savePending_ = true;
    QTimer::singleShot(0, this, [this] { flush(); });
}

bool DxfApplication::flush() {
    savePending_ = false;
    if (!session_ || !session_->drawing->modified())
        return true;
    if (saving_) // waiting for the lock let events run; the save under way writes these changes too
        return saveError_.isEmpty();
    saving_ = true;
    saveError_ = save();
    saving_ = false;
    return saveError_.isEmpty();
}

QString DxfApplication::save() {
    const QString path = path_;
    QDir().mkpath(QFileInfo(path).absolutePath());
    DrawingLock lock(path);
    const QString busy = lock.acquire();
    if (!busy.isEmpty())
        return QStringLiteral("The drawing %1 could not be saved: %2.").arg(path, busy);
    try {
        syncWithDisk();
    } catch (const AcadError& e) {
        return e.description();
    }
    const QString error = writeTo(*session_->drawing, path);
    if (error.isEmpty())
        markWritten(path);
    return error;
}

QString DxfApplication::writeTo(DxfDrawing& drawing, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString reason;
    if (WriteFileDurably(path, drawing.toBytes(), &reason))
        return QString();
    return QStringLiteral("The drawing %1 could not be saved: %2").arg(path, reason);
}

void DxfApplication::discardChanges() {
    savePending_ = false;
    if (!session_)
        return;
    try {
        open(path_);
    } catch (const AcadError&) {
        // The file cannot be read now: the changes go all the same.
        session_->drawing->markSaved();
        session_->journal.clear();
        saveError_.clear();
    }
}

void DxfApplication::makeActive(const QString& path) {
    given_ = path;
}

QString DxfApplication::newDrawing() {
    flushOrThrow(*this);
    const QDir folder = QFileInfo(path_.isEmpty() ? absoluteDrawingPath(given_) : path_).absoluteDir();
    auto fresh = std::make_shared<DxfDrawing>(DxfDrawing::createNew());
    for (int n = 1;; ++n) {
        const QString path = folder.absoluteFilePath(QStringLiteral("Drawing%1.dxf").arg(n));
        QString why;
        const PathPresence there = PresenceOf(path, &why);
        if (there == PathPresence::Unknown) // no name can be known free in that folder
            throw AcadError(acadErrFailed,
                            QStringLiteral("The drawing %1 could not be created: %2.").arg(path, why));
        if (there == PathPresence::Present) // anything at all there, even a folder
            continue;
        QDir().mkpath(folder.absolutePath());
        DrawingLock lock(path);
        const QString busy = lock.acquire();
        if (!busy.isEmpty() || QFileInfo::exists(path)) // another program took this name meanwhile
            continue;
        const QString error = writeTo(*fresh, path);
        if (!error.isEmpty())
            throw AcadError(acadErrFailed, error);
        fresh->markSaved();
        // The path first: whoever hears of the new drawing finds it named there.
        makeActive(path);
        adopt(std::move(fresh), path, stampOf(path));
        return path;
    }
}

void DxfApplication::openDrawing(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    if (const QString notRegular = NotARegularFileReason(full); !notRegular.isEmpty())
        throw AcadError(acadErrFailed,
                        QStringLiteral("The drawing %1 cannot be opened: %2.").arg(full, notRegular));
    if (!QFileInfo(full).isFile())
        throw AcadError(acadErrFailed, QStringLiteral("The drawing %1 does not exist.").arg(full));
    flushOrThrow(*this);
    Stamp stamp;
    auto drawing = readDrawing(full, &stamp); // throws before anything changes when the file is refused
    makeActive(full);
    adopt(std::move(drawing), full, stamp);
}

void DxfApplication::saveDrawingAs(const QString& path) {
    if (!session_)
        throw AcadError(acadErrFailed, QStringLiteral("No drawing is open."));
    const QString full = QFileInfo(path).absoluteFilePath();
    QDir().mkpath(QFileInfo(full).absolutePath());
    DrawingLock lock(full);
    const QString busy = lock.acquire();
    if (!busy.isEmpty())
        throw AcadError(acadErrFailed,
                        QStringLiteral("The drawing %1 could not be saved: %2.").arg(full, busy));
    const QString error = writeTo(*session_->drawing, full);
    if (!error.isEmpty())
        throw AcadError(acadErrFailed, error);
    const bool moved = full != path_;
    makeActive(full);
    markWritten(full);
    emit drawingChanged();
    if (moved)
        emit activeDrawingChanged(path_);
}

// ---------------------------------------------------------------- automation

DxfAutomation::DxfAutomation(QString drawingPath) : path_(std::move(drawingPath)) {}

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

void DxfAutomation::setDrawingPath(const QString& path) {
    path_ = path;
    if (running_)
        running_->setDrawingPath(path);
}

QString DxfAutomation::drawingPath() const {
    return running_ ? running_->drawingPath() : absoluteDrawingPath(path_);
}

std::shared_ptr<AcadApplication> DxfAutomation::CreateObject() {
    if (running_)
        return running_;
    auto app = std::make_shared<DxfApplication>();
    app->setDrawingPath(path_);
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
