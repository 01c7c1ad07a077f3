// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/drawingwindow.h"

#include "cad/drawingview.h"
#include "dxf/dxfengine.h"
#include "platform/prompts.h"
#include "platform/settings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// How long the status line says which drawing insertions now go into.
constexpr int kChangeMessageMs = 15000;

QVector<QPair<QString, QString>> drawingFilters() {
    return {{QStringLiteral("Drawing Files (*.dxf)"), QStringLiteral("*.dxf")},
            {QStringLiteral("All Files (*.*)"), QStringLiteral("*")}};
}

// Windows made by install(), deleted at the latest when the application
// object goes (a widget must not outlive it).
std::vector<QPointer<DrawingWindow>>& installedWindows() {
    static std::vector<QPointer<DrawingWindow>> windows;
    return windows;
}

// Runs one engine command; a refusal or failure is shown, never thrown on.
template <typename F> void runCommand(F&& command) {
    try {
        command();
    } catch (const AcadError& e) {
        MsgBox(e.description(), vbExclamation);
    }
}

void deleteInstalledWindows() {
    for (QPointer<DrawingWindow>& w : installedWindows())
        delete w.data();
    installedWindows().clear();
}

} // namespace

DrawingWindow::DrawingWindow(DxfApplication& engine, QWidget* parent) : QMainWindow(parent), engine_(engine) {
    setAttribute(Qt::WA_QuitOnClose, false);
    view_ = new DrawingView(
        [this]() -> const DxfDocument* {
            auto d = engine_.drawing();
            // As held: splitting a big drawing into tags here would stall the window.
            return d ? &d->splicedDocument() : nullptr;
        },
        this);
    setCentralWidget(view_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New Drawing"), this, &DrawingWindow::newDrawing);
    file->addAction(QStringLiteral("&Open Drawing..."), this, &DrawingWindow::openDrawing);
    file->addAction(QStringLiteral("Save &As..."), this, &DrawingWindow::saveDrawingAs);
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    zoomInAction_ = viewMenu->addAction(QStringLiteral("Zoom &In"), this, [this] { view_->zoomBy(1.25); });
    zoomInAction_->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
                                 QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)});
    zoomOutAction_ =
        viewMenu->addAction(QStringLiteral("Zoom &Out"), this, [this] { view_->zoomBy(1 / 1.25); });
    zoomOutAction_->setShortcuts(
        {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)});
    zoomAction_ = viewMenu->addAction(QStringLiteral("Zoom &Extents"), this, &DrawingWindow::zoomExtents);
    zoomAction_->setShortcut(QKeySequence(Qt::Key_Home));
    viewMenu->addSeparator();
    lightAction_ = viewMenu->addAction(QStringLiteral("&Light Background"));
    lightAction_->setCheckable(true);
    lightAction_->setChecked(GetSetting(DrawingSetting::kApp, kSettingsSection, kLightBackgroundKey) ==
                             QLatin1String("1"));
    view_->setBackground(lightAction_->isChecked() ? DxfBackground::Light : DxfBackground::Dark);
    connect(lightAction_, &QAction::toggled, this, &DrawingWindow::setLightBackground);

    coordinates_ = new QLabel(this);
    sceneStatus_ = new QLabel(this);
    statusBar()->addWidget(sceneStatus_, 1);
    statusBar()->addPermanentWidget(coordinates_);
    connect(view_, &DrawingView::cursorMoved, this, &DrawingWindow::showCoordinates);
    connect(view_, &DrawingView::statusChanged, this,
            [this] { sceneStatus_->setText(view_->sceneStatus()); });

    connect(&engine_, &DxfApplication::visibleChanged, this, &DrawingWindow::engineVisibleChanged);
    connect(&engine_, &DxfApplication::drawingChanged, this, &DrawingWindow::drawingChanged);
    connect(&engine_, &DxfApplication::activeDrawingChanged, this, &DrawingWindow::activeDrawingChanged);
    connect(&engine_, &DxfApplication::zoomedToExtents, view_, &DrawingView::zoomExtents);
    connect(&engine_, &DxfApplication::unsavedAtExit, this, &DrawingWindow::settleUnsavedChanges);
    drawingChanged();
    if (engine_.Visible())
        show();
}

DrawingWindow::~DrawingWindow() {
    if (isVisible())
        saveGeometrySetting();
}

QString DrawingWindow::coordinatesText() const {
    return coordinates_->text();
}

QString DrawingWindow::sceneText() const {
    return sceneStatus_->text();
}

void DrawingWindow::showCoordinates(const QPointF& world) {
    // As many decimals as a pixel resolves, at most six.
    const double scale = view_->view().scale;
    const int decimals = std::clamp(static_cast<int>(std::ceil(std::log10(std::max(scale, 1.0)))), 0, 6);
    coordinates_->setText(
        QStringLiteral("E %1   N %2")
            .arg(QString::number(world.x(), 'f', decimals), QString::number(world.y(), 'f', decimals)));
}

void DrawingWindow::engineVisibleChanged(bool visible) {
    // Mapped only: the command that made it visible brings it forward when done.
    setVisible(visible);
}

DrawingWindow* DrawingWindow::of(const DxfApplication& engine) {
    for (const QPointer<DrawingWindow>& w : installedWindows())
        if (w && &w->engine_ == &engine)
            return w.data();
    return nullptr;
}

void DrawingWindow::bringForward() {
    engine_.setVisible(true);
    if (!isVisible())
        show(); // a window not made by install() follows no engine signal
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    // Asked by the active window, this is a hand-over the window manager
    // grants even where it keeps windows in the background from raising
    // themselves; before the window is mapped it waits for the mapping.
    activateWindow();
}

void DrawingWindow::showEvent(QShowEvent* event) {
    if (!placed_)
        placeFirstTime();
    QMainWindow::showEvent(event);
}

void DrawingWindow::hideEvent(QHideEvent* event) {
    saveGeometrySetting();
    QMainWindow::hideEvent(event);
}

void DrawingWindow::saveGeometrySetting() {
    if (placed_)
        ShowSettingSaved(SaveSetting(DrawingSetting::kApp, kSettingsSection, kGeometryKey,
                                     QString::fromLatin1(saveGeometry().toBase64())));
}

void DrawingWindow::placeFirstTime() {
    placed_ = true;
    const QByteArray saved =
        QByteArray::fromBase64(GetSetting(DrawingSetting::kApp, kSettingsSection, kGeometryKey).toLatin1());
    if (!saved.isEmpty() && restoreGeometry(saved))
        return;
    // Two thirds of the screen the program's main window is on, centred over
    // that window as far as the screen allows: big enough to read a drawing,
    // and the main window still shows around it.
    QWidget* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && qobject_cast<QMainWindow*>(w) && !qobject_cast<DrawingWindow*>(w))
            main = w;
    QScreen* on = main && main->screen() ? main->screen() : screen();
    if (!on)
        return;
    const QRect avail = on->availableGeometry();
    if (avail.isEmpty())
        return;
    // The frame (title bar, borders) counts in the two thirds and must fit too.
    // Before its first showing this window has none yet: the main window's,
    // drawn by the same window manager, stands in for it.
    const QWidget& framed = main ? *main : static_cast<const QWidget&>(*this);
    const QSize frame = framed.frameGeometry().size() - framed.geometry().size();
    const QSize outer(std::max(400, avail.width() * 2 / 3), std::max(300, avail.height() * 2 / 3));
    const QSize inner = (outer.boundedTo(avail.size()) - frame).expandedTo(QSize(200, 150));
    resize(inner);
    const QPoint centre = main ? main->frameGeometry().center() : avail.center();
    QRect placed(QPoint(0, 0), inner + frame);
    placed.moveCenter(centre);
    placed.moveLeft(
        std::clamp(placed.left(), avail.left(), std::max(avail.left(), avail.right() + 1 - placed.width())));
    placed.moveTop(
        std::clamp(placed.top(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - placed.height())));
    move(placed.topLeft()); // a top-level window's position is its frame's
}

void DrawingWindow::install() {
    static bool once = false;
    if (!once) {
        qAddPostRoutine(deleteInstalledWindows);
        once = true;
    }
    DxfAutomation::setStartedHook([](DxfApplication& engine) {
        auto* window = new DrawingWindow(engine);
        QPointer<DrawingWindow> guard(window);
        auto& windows = installedWindows();
        // Windows of engines that have gone were deleted with them.
        std::erase_if(windows, [](const QPointer<DrawingWindow>& w) { return w.isNull(); });
        windows.push_back(guard);
        QObject::connect(&engine, &QObject::destroyed, [guard] { delete guard.data(); });
    });
}

void DrawingWindow::drawingChanged() {
    const QString path = engine_.currentPath();
    setWindowTitle(path.isEmpty() ? QStringLiteral("Drawing") : QDir::toNativeSeparators(path));
    view_->invalidate();
    if (path != shownPath_) {
        // Another drawing: show it whole.
        shownPath_ = path;
        view_->zoomExtents();
    }
}

void DrawingWindow::activeDrawingChanged(const QString& path) {
    // The main window gives the engine the drawing this setting names.
    ShowSettingSaved(
        SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, path));
    statusBar()->showMessage(QStringLiteral("Insertions now go into %1.")
                                 .arg(QDir::toNativeSeparators(QFileInfo(path).fileName())),
                             kChangeMessageMs);
}

void DrawingWindow::zoomExtents() {
    view_->zoomExtents();
}

void DrawingWindow::setLightBackground(bool light) {
    if (lightAction_->isChecked() != light)
        return lightAction_->setChecked(light); // called directly: toggled comes back here
    view_->setBackground(light ? DxfBackground::Light : DxfBackground::Dark);
    ShowSettingSaved(SaveSetting(DrawingSetting::kApp, kSettingsSection, kLightBackgroundKey,
                                 light ? QStringLiteral("1") : QStringLiteral("0")));
}

void DrawingWindow::newDrawing() {
    runCommand([&] { engine_.newDrawing(); });
}

void DrawingWindow::openDrawing() {
    FileChooserRequest request;
    request.owner = this;
    request.title = QStringLiteral("Open Drawing");
    request.filters = drawingFilters();
    request.initialDir = QFileInfo(engine_.currentPath()).absolutePath();
    request.fileMustExist = true;
    const QStringList chosen = ChooseFile(request);
    if (chosen.isEmpty())
        return;
    runCommand([&] { engine_.openDrawing(chosen.front()); });
}

void DrawingWindow::saveDrawingAs() {
    FileChooserRequest request;
    request.save = true;
    request.owner = this;
    request.title = QStringLiteral("Save Drawing As");
    request.filters = drawingFilters();
    request.initialDir = QFileInfo(engine_.currentPath()).absolutePath();
    const QStringList chosen = ChooseFile(request);
    if (chosen.isEmpty())
        return;
    QString path = chosen.front();
    if (QFileInfo(path).suffix().isEmpty()) {
        // The chooser confirmed the name as typed; the file actually written is
        // another one, so a drawing already there is not replaced unasked.
        path += QStringLiteral(".dxf");
        if (QFileInfo::exists(path) && MsgBox(QStringLiteral("%1 already exists.%2Do you want to replace it?")
                                                  .arg(QDir::toNativeSeparators(path), vbCrLf),
                                              vbYesNo + vbExclamation) != vbYes)
            return;
    }
    runCommand([&] { engine_.saveDrawingAs(path); });
}

void DrawingWindow::settleUnsavedDrawing() {
    auto* automation = dynamic_cast<DxfAutomation*>(&CurrentAcadAutomation());
    const std::shared_ptr<DxfApplication> engine = automation ? automation->running() : nullptr;
    if (!engine)
        return;
    if (DrawingWindow* w = of(*engine))
        return w->settleUnsavedChanges();
    DrawingWindow window(*engine); // an engine without a window still offers Save As
    window.settleUnsavedChanges();
}

void DrawingWindow::settleUnsavedChanges() {
    while (!engine_.flush()) {
        const int answer = MsgBox(engine_.lastSaveError() + vbCrLf + vbCrLf +
                                      QStringLiteral("The changes to the drawing are not saved.%1"
                                                     "Yes: try to save the drawing again.%1"
                                                     "No: save the drawing under another name.%1"
                                                     "Cancel: discard the changes.")
                                          .arg(vbCrLf),
                                  vbYesNoCancel + vbExclamation);
        if (answer == vbYes)
            continue;
        if (answer == vbNo) {
            saveDrawingAs(); // a failure is shown; the choice comes again
            continue;
        }
        if (MsgBox(QStringLiteral("Discard the changes to the drawing %1?")
                       .arg(QDir::toNativeSeparators(engine_.currentPath())),
                   vbYesNo + vbQuestion) == vbYes) {
            engine_.discardChanges();
            return;
        }
    }
}

void DrawingWindow::closeEvent(QCloseEvent* event) {
    // Hide only: the engine and its drawing stay; the next Visible shows it again.
    event->accept();
    engine_.setVisible(false);
}
