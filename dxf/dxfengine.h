// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in drawing engine behind the automation surface. It stands where
// an outside CAD application would: one engine per process, started by the
// first CreateObject and attached by every GetObject after it. Its active
// drawing is the DXF file its owner gives (DxfAutomation::setDrawingPath; the
// main window gives the one setting "Korvel Transfer"/"Drawing"/"Path" names,
// the command line its argument; default Drawing1.dxf in the user's data
// folder, UserDataPath()), read when it exists, new when it surely does not (a
// file that cannot be looked at is a failure, never a new drawing). The engine
// reads no settings and writes none.
//
// Saving: Update marks the drawing for saving and the save runs once control
// returns to the event loop, so a command that inserts 10,000 blocks writes the
// file once; a command that must know the outcome saves at its end
// (AcadDocument::Save). Every write is durable (platform/durablewrite.h): on
// failure the file stays as it was and the changes stay in memory. A drawing
// with unsaved changes is also written when the application quits, when
// another drawing becomes active and when the engine is destroyed.
//
// Drawings shared between programs: the file may change on disk at any time
// (the user edits it in another CAD program, another copy of this program
// inserts into it). At the start of every command (ActiveDocument) and again
// right before writing, the engine compares the file with what it read (size,
// modification time, device and inode); when they differ it reads the file
// again and makes the changes it has not written yet once more on the new
// content (drawingjournal.h), so the other program's work is never overwritten
// by an old copy. Handles given out before stay usable. The compare and the
// write happen while the engine holds the lock file "<drawing>.lock", so two
// copies of this program never interleave their writes; a lock left by a
// program that ended is recognised and taken over.
//
// Only regular files are read as drawings or block drawings: a FIFO, a device
// or a folder is refused with a message naming it, without opening it.
#pragma once
#include "dxf/automation.h"
#include "dxf/dxfdrawing.h"

#include <QObject>

#include <functional>
#include <memory>

struct DxfSession;

// The setting that names the active drawing: application, section and key.
namespace DrawingSetting {
inline constexpr char kApp[] = "Korvel Transfer";
inline constexpr char kSection[] = "Drawing";
inline constexpr char kPath[] = "Path";
} // namespace DrawingSetting

// For the engine's owner: the drawing the setting names now, as an absolute
// path; Drawing1.dxf in the user's data folder when it names none.
QString DrawingPathSetting();

class DxfApplication final : public QObject,
                             public AcadApplication,
                             public std::enable_shared_from_this<DxfApplication> {
    Q_OBJECT
public:
    DxfApplication();
    ~DxfApplication() override;

    bool Visible() const override { return visible_; }
    void setVisible(bool visible) override;
    // Throws AcadError (acadErrFailed) with the reason when the drawing file
    // cannot be used (another DXF version, binary DXF, not DXF, unreadable).
    std::shared_ptr<AcadDocument> ActiveDocument() override;
    void ZoomExtents() override;
    // Marks the changes for saving once control returns to the event loop.
    // Never throws: a command learns whether its changes could be written from
    // AcadDocument::Save (the changes are kept in memory until a save succeeds).
    void Update() override;

    // The drawing the next command works on: ActiveDocument makes it the
    // active one (writing the changes of the drawing held first). path "" gives
    // the default, Drawing1.dxf in the user's data folder; relative paths are
    // made absolute. The commands below give their result here themselves.
    void setDrawingPath(const QString& path);
    QString drawingPath() const { return given_; }
    // The drawing held now (null before the first ActiveDocument). Another
    // object after the file was read again.
    std::shared_ptr<DxfDrawing> drawing() const;
    QString currentPath() const { return path_; }
    // Writes unsaved changes now. Returns false (and keeps them) when the write
    // fails; lastSaveError() then says why.
    bool flush();
    QString lastSaveError() const { return saveError_; }
    int saveCount() const { return saves_; }
    // How often the drawing was read again because another program changed it.
    int rereadCount() const { return rereads_; }
    // Drops the changes not written yet: the drawing is read again from its file.
    void discardChanges();

    // Commands of the drawing window. Each writes pending changes of the
    // active drawing first and, on success, makes the result the active
    // drawing and the drawing path (activeDrawingChanged tells the owner, who
    // keeps setting "Drawing"/"Path"). Each throws
    // AcadError (acadErrFailed) with the reason and keeps the active drawing
    // as it was when the file cannot be used or written.
    // A new empty drawing, written at once to the first free DrawingN.dxf in
    // the folder of the active drawing. Returns its path.
    QString newDrawing();
    // Reads the drawing at path; a drawing the engine could not keep intact
    // (another version, binary DXF, not DXF) is refused and left untouched.
    void openDrawing(const QString& path);
    // Writes the active drawing to path (atomically), which then becomes active.
    void saveDrawingAs(const QString& path);

signals:
    void visibleChanged(bool visible);
    // The drawing changed (after Update) or another drawing became active.
    void drawingChanged();
    // Another file became the active drawing, the one insertions go into from
    // now on (path: absolute). By the time it is emitted drawingPath() names it.
    void activeDrawingChanged(const QString& path);
    // ZoomExtents was called: views fit themselves to the drawing's extents.
    void zoomedToExtents();
    // The program is ending and the drawing's changes could not be written.
    void unsavedAtExit(const QString& description);

public:
    // What identifies one version of a file on disk.
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };

private:
    void open(const QString& path);
    // Reads the drawing at path again when the file is not what stamp_ says,
    // and makes the unwritten changes again on it. Throws AcadError when the
    // new content cannot be used; the drawing held stays as it was then.
    void syncWithDisk();
    // Compares, merges and writes under the lock; "" on success, else why not.
    QString save();
    // Writes the drawing to path; "" on success, else why not, in words for the user.
    static QString writeTo(DxfDrawing& drawing, const QString& path);
    void makeActive(const QString& path);
    static Stamp stampOf(const QString& path);
    // Makes drawing (read from or just written to path, as stamp found it) the active one.
    void adopt(std::shared_ptr<DxfDrawing> drawing, const QString& path, const Stamp& stamp);
    // Bookkeeping after the active drawing was written to path.
    void markWritten(const QString& path);

    bool visible_ = false;
    bool savePending_ = false;
    bool saving_ = false;
    int saves_ = 0;
    int rereads_ = 0;
    QString saveError_;
    QString path_;  // the drawing held ("" before the first)
    QString given_; // the drawing the owner gave (see setDrawingPath)
    Stamp stamp_;
    std::shared_ptr<DxfSession> session_;
};

// The class behind "AutoCAD.Application" in this process.
class DxfAutomation final : public AcadAutomation {
public:
    // drawingPath: as setDrawingPath gives it.
    explicit DxfAutomation(QString drawingPath = QString());
    ~DxfAutomation() override;
    std::shared_ptr<AcadApplication> GetObject() override;
    // Starts the engine and opens the active drawing (or attaches to the engine
    // already running). Throws AcadError when the drawing cannot be used; no
    // engine is left running then.
    std::shared_ptr<AcadApplication> CreateObject() override;
    std::shared_ptr<DxfApplication> running() const { return running_; }
    // The drawing the engine works on: given to the running engine now and to
    // one started later (see DxfApplication::setDrawingPath).
    void setDrawingPath(const QString& path);
    QString drawingPath() const;

    // Called with every engine this class starts, before it opens its drawing
    // and before any caller sees it: the drawing window hooks in here, so the
    // engine itself stays free of widgets. Applies to all instances.
    using StartedHook = std::function<void(DxfApplication&)>;
    static void setStartedHook(StartedHook hook);

private:
    std::shared_ptr<DxfApplication> running_;
    QString path_; // as given; "" for the default
};
