// SPDX-License-Identifier: GPL-3.0-or-later
// AutoCAD menu handlers of Form1.
#include "shell/form1.h"

#include "cad/acadstuff.h"
#include "cad/drawingwindow.h"
#include "cad/frmoptions.h"
#include "cad/pointinsertion.h"
#include "dxf/dxfengine.h"
#include "gps/gpsdevice.h"
#include "platform/promptowner.h"
#include "platform/prompts.h"
#include "rules/frmrules.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"
#include "table/viewkeeper.h"

void Form1::loadInsertionWindows() {
    // The options' OptionSettings loads the rules window (opening the rules
    // database) before the explicit load below, which then finds it loaded.
    if (!rulesWindow)
        rulesWindow = new frmRules(this);
    if (!optionsWindow)
        optionsWindow = new frmOptions(this, rulesWindow, LoadForm);
    if (LoadForm(optionsWindow))
        optionsWindow->OptionSettings();
    LoadForm(rulesWindow);
}
namespace {

// The drawing engine is given the drawing the setting names at the start of
// each command that reaches it; the drawing window keeps the setting up to
// date when it opens or creates another drawing.
void giveDrawingPath() {
    if (auto* engine = dynamic_cast<DxfAutomation*>(&CurrentAcadAutomation()))
        engine->setDrawingPath(DrawingPathSetting());
}

// The options, rules and receiver model as this window holds them now. The
// device model is "" while no receiver has been connected.
InsertionContext insertionContext(Form1& form, ACADStuff& acad) {
    InsertionContext c;
    c.acad = &acad;
    if (frmOptions* o = form.optionsWindow)
        c.options = o->insertionOptions();
    if (form.gpsDevice_)
        c.deviceModel = form.gpsDevice_->deviceModel();
    // Rules are read once per command, only when blocks are chosen by message.
    if (c.options.strBlock == QLatin1String("By Message") && form.rulesWindow)
        c.checkRules = form.rulesWindow->CheckRulesSnapshot();
    else
        c.checkRules = [](QString&) { return frmRules::defaultBlock(); };
    frmOptions* options = form.optionsWindow;
    c.loadOptions = [options] { return LoadForm(options); };
    return c;
}

} // namespace

QWidget* Form1::showDrawingAfter(const ACADStuff& acad) {
    auto* engine = dynamic_cast<DxfApplication*>(acad.AcadApp.get());
    if (!engine)
        return nullptr;
    // Opening or creating a drawing in the drawing window changes where the
    // next insertion goes; the status bar says so at once.
    connect(engine, &DxfApplication::activeDrawingChanged, this, &Form1::updateTitleAndStatus,
            Qt::UniqueConnection);
    updateTitleAndStatus();
    DrawingWindow* window = DrawingWindow::of(*engine);
    if (window)
        window->bringForward(); // once per command, asked by this (the active) window
    return window;
}

void Form1::insertPoints(bool selectedOnly) {
    giveDrawingPath();
    ACADStuff acad;
    InsertionReport report;
    {
        // The view is back where it was before the closing message shows.
        const TableViewKeeper keep(*MSFlexGrid1);
        report =
            PointInsertion::InsertPoints(MSFlexGrid1->rows(), insertionContext(*this, acad), selectedOnly);
    }
    // The closing message is about the drawing now in front: it opens over it.
    const PromptOwner over(report.connected ? showDrawingAfter(acad) : nullptr);
    const QString text = PointInsertion::PointsClosingMessage(report, selectedOnly);
    if (!text.isEmpty())
        MsgBox(text, vbOKOnly);
}

void Form1::cmdInsertAll_Click() {
    if (!endCellEdit())
        return;
    if (!optionsWindow)
        loadInsertionWindows();
    insertPoints(false);
}
void Form1::cmdInsertSelected_Click() {
    if (!endCellEdit())
        return;
    if (!optionsWindow)
        loadInsertionWindows();
    insertPoints(true);
}
void Form1::cmdInsertLine_Click() {
    if (!endCellEdit())
        return;
    blnEditReady = false; // the walk over the rows must not open the cell editor
    if (!optionsWindow)
        loadInsertionWindows();
    giveDrawingPath();
    ACADStuff acad;
    InsertionReport report;
    {
        const TableViewKeeper keep(*MSFlexGrid1);
        report = PointInsertion::InsertLine(MSFlexGrid1->rows(), insertionContext(*this, acad));
    }
    const PromptOwner over(report.connected ? showDrawingAfter(acad) : nullptr);
    const QString text = PointInsertion::LineClosingMessage(report);
    if (!text.isEmpty())
        MsgBox(text, vbOKOnly);
}
void Form1::cmdShowDrawing_Click() {
    giveDrawingPath();
    ACADStuff acad;
    if (const AcadConnection connection = acad.ConnectAcad())
        showDrawingAfter(acad);
    else
        MsgBox(connection.problem, vbOKOnly);
}
void Form1::cmdOptions_Click() {
    if (!LoadForm(optionsWindow))
        return;
    optionsWindow->OptionSettings();
    optionsWindow->show();
    optionsWindow->raise();
}
