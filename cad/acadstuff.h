// SPDX-License-Identifier: GPL-3.0-or-later
// ACADStuff: the only code that talks to the CAD application, through the
// automation surface (automation.h). Every operation of the classic surface
// first connects again (attach to the running instance or start one, show it,
// take the active document), so nothing is cached between calls; the insertion
// commands use the narrow surface below, which connects once per command.
// Nothing here speaks to the user: ConnectAcad returns its problem and every
// other failure shows in the results (lastFailure()); the callers tell.
#pragma once
#include "dxf/automation.h"

#include <QString>
#include <QVariantList>

#include <array>

#include <functional>
#include <memory>
#include <vector>

// What a connect came to; converts to true when it succeeded.
struct AcadConnection {
    bool ok = false;
    QString problem; // when not ok: the failure's description, for the caller to show
    explicit operator bool() const { return ok; }
};

class ACADStuff {
public:
    // automation: the class to attach or create (nullptr: CurrentAcadAutomation()
    // at each connect; not owned). leftButton: the asynchronous state of the left
    // mouse button (nullptr: the application's tracker, GetAsyncKeyState).
    explicit ACADStuff(AcadAutomation* automation = nullptr, std::function<short()> leftButton = nullptr);

    // True when a running instance can be attached. Leaves AcadApp empty.
    bool IsAcadRunning();
    // Attaches (or starts), shows the application and takes its active document.
    // On failure the result holds the failure's description (nothing is shown).
    AcadConnection ConnectAcad();
    // Inserts the block drawing at point (elements 0..2: x, y, z, each convertible
    // to a number) on layer, creating the layer when the drawing lacks it.
    // Returns the new block reference's handle, "" when the insertion did not
    // complete; lastFailure() then says why.
    QString InsertPointBlock(const QVariantList& point, const QString& blockPath, const QString& layer);
    // Writes text into the first attribute tagged tag (exact case) of the block
    // reference with that handle; empty text leaves the default. False when a
    // failure ended the operation or no connection could be made.
    bool SetBlockAttribute(const QString& handle, const QString& tag, const QString& text);
    // The narrow surface of one insertion command: after one ConnectAcad, each
    // call works on that connection (no connecting again, no zoom or view update
    // per block) and Commit ends the command. Inserts the block drawing at point
    // (x, y, z) on layer (created when the drawing lacks it) and writes text into
    // its first attribute tagged tag (exact case; empty text keeps the default;
    // a failure there is silent, as with SetBlockAttribute). False when the block
    // was not inserted; lastFailure() then says why ("" when it gave up quietly).
    // data: extended data for the reference (none when empty); silent as the label.
    bool InsertLabelledBlock(const std::array<double, 3>& point, const QString& blockPath,
                             const QString& layer, const QString& tag, const QString& text,
                             const DxfExtendedData& data = {});
    // Ends an insertion command: zooms to the extents and updates the views
    // once when anything was added (changed), then SaveDrawing. Returns what
    // SaveDrawing returns.
    QString Commit(bool changed);
    // One 3D polyline through x1, y1, z1, x2, ... False when a failure ended it.
    // vertexData: none, or each vertex's extended data.
    bool AddPolyline3D(const std::vector<double>& points,
                       const std::vector<DxfExtendedData>& vertexData = {});
    // Writes the drawing's changes now, through the connection the last
    // operation made (no new connect, no message). "" when they are on disk or
    // nothing was connected, else why they could not be written; the changes
    // then stay in the drawing for the next save.
    QString SaveDrawing();

    // The description of the failure that ended the last operation (a failed
    // connect included), "" when it completed (or gave up quietly). For the
    // callers' messages: the operations themselves stay silent.
    QString lastFailure() const { return lastFailure_; }

    // The connection: replaced by every successful connect.
    std::shared_ptr<AcadApplication> AcadApp;
    std::shared_ptr<AcadDocument> AcadDoc;

private:
    enum class Ending { None, Quiet, Failed };
    // Runs one step. A failure is handled by its code: a missing layer is
    // added (through addLayer, when given) and the step repeated once; a
    // rejected call is repeated while the left button was clicked since the last
    // poll; anything else ends the operation. Returns how it ended.
    Ending run(const std::function<void()>& step, const std::function<void()>& addLayer = nullptr);
    AcadAutomation& automation();
    // ConnectAcad for an operation of the classic surface: a failure becomes
    // lastFailure().
    bool connectForOperation();

    AcadAutomation* automation_;
    std::function<short()> leftButton_;
    QString lastFailure_;
};
