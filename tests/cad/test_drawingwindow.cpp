// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window over the real engine: shown by Visible, fitted by
// ZoomExtents, its File menu, and the points of an insertion on screen.
#include "cad/acadstuff.h"
#include "cad/drawingview.h"
#include "cad/drawingwindow.h"
#include "dxf/dxfengine.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"
#include "support/scriptedprompts.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMainWindow>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

namespace {

class DrawingWindowTest : public DrawingPathTest {
protected:
    void SetUp() override {
        DrawingPathTest::SetUp();
        if (HasFatalFailure())
            return;
        automation.setDrawingPath(path);
        engine = std::dynamic_pointer_cast<DxfApplication>(automation.CreateObject());
        ASSERT_TRUE(engine);
        window = std::make_unique<DrawingWindow>(*engine);
        window->resize(500, 400);
    }
    void TearDown() override {
        window.reset();
        DrawingPathTest::TearDown();
    }
    void insertAt(double x, double y) {
        engine->ActiveDocument()->ModelSpace()->InsertBlock({x, y, 0}, flag(), 1, 1, 1, 0);
        engine->ZoomExtents();
        engine->Update();
    }
    QImage grab() { return window->view()->grab().toImage(); }
    QPoint device(double x, double y) {
        return window->view()->view().toDevice({x, y}, window->view()->size()).toPoint();
    }

    DxfAutomation automation;
    std::shared_ptr<DxfApplication> engine;
    std::unique_ptr<DrawingWindow> window;
};

} // namespace

TEST_F(DrawingWindowTest, VisibleShowsTheWindowAndClosingOnlyHidesIt) {
    EXPECT_FALSE(window->isVisible());
    engine->setVisible(true);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(path));
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose)) << "must not keep the program running";
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(engine->Visible());
    EXPECT_EQ(automation.GetObject(), engine) << "the engine keeps running";
    engine->setVisible(true);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(DrawingWindowTest, ZoomExtentsFitsTheViewAndUpdateRedraws) {
    engine->setVisible(true);
    EXPECT_EQ(window->view()->scene().isEmpty(), true);
    insertAt(1000, 1000);
    insertAt(1100, 1050);
    QImage image = grab();
    EXPECT_TRUE(inkedAt(image, device(1000, 1001.5)));
    EXPECT_TRUE(inkedAt(image, device(1100, 1051.5)));

    // Panned away, then fitted again by the engine and by the menu command.
    window->view()->setView(DxfView{{0, 0}, 1});
    image = grab();
    EXPECT_FALSE(inkedAt(image, device(1000, 1001.5)));
    insertAt(1200, 1000);
    image = grab();
    EXPECT_TRUE(inkedAt(image, device(1200, 1001.5))) << "Update redraws, ZoomExtents fits the new point";
    EXPECT_TRUE(inkedAt(image, device(1000, 1001.5)));
    window->view()->setView(DxfView{{0, 0}, 1});
    window->zoomExtentsAction()->trigger();
    image = grab(); // the fit happens as the view paints
    EXPECT_TRUE(inkedAt(image, device(1200, 1001.5)));
}

TEST_F(DrawingWindowTest, ADrawingReadFromAFileIsShownWithWhatTheEngineAddedWithoutSplittingIt) {
    // Another program's drawing: its entities stay the text they were read as.
    writeAll(path, "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n1000\n20\n1000\n11\n1200\n21\n1000\n"
                   "0\nCIRCLE\n8\n0\n10\n1200\n20\n1100\n40\n5\n0\nENDSEC\n0\nEOF\n");
    engine->setVisible(true);
    insertAt(1100, 1040);
    const QImage image = grab();
    EXPECT_TRUE(inkedAt(image, device(1050, 1000)));
    EXPECT_TRUE(inkedAt(image, device(1205, 1100)));
    EXPECT_TRUE(inkedAt(image, device(1100, 1041.5))) << "the point the engine added";
    const DxfSection* entities = engine->drawing()->splicedDocument().section("ENTITIES");
    ASSERT_TRUE(entities);
    EXPECT_FALSE(entities->raw.isEmpty()) << "the window read the drawing without splitting it";
}

TEST_F(DrawingWindowTest, WheelZoomsAboutThePointerAndDraggingPans) {
    engine->setVisible(true);
    insertAt(0, 0);
    insertAt(100, 100);
    grab();
    DrawingView* v = window->view();
    const QPointF pointer(120, 90);
    const QPointF under = v->view().toWorld(pointer, v->size());
    const double scale = v->view().scale;
    QWheelEvent wheel(pointer, v->mapToGlobal(pointer), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(v, &wheel);
    EXPECT_NEAR(v->view().scale, scale * 1.25 * 1.25, 1e-9);
    EXPECT_NEAR(v->view().toWorld(pointer, v->size()).x(), under.x(), 1e-9);
    EXPECT_NEAR(v->view().toWorld(pointer, v->size()).y(), under.y(), 1e-9);

    const QPoint before = device(0, 0);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50), v->mapToGlobal(QPointF(50, 50)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 40), v->mapToGlobal(QPointF(80, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(80, 40), v->mapToGlobal(QPointF(80, 40)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v, &press);
    QApplication::sendEvent(v, &move);
    QApplication::sendEvent(v, &release);
    EXPECT_EQ(device(0, 0), before + QPoint(30, -10));
    // A resize keeps what the user chose to see.
    const DxfView chosen = v->view();
    const QSize size = v->size();
    window->resize(600, 450);
    QApplication::processEvents();
    grab();
    ASSERT_NE(v->size(), size);
    EXPECT_EQ(v->view().scale, chosen.scale);
}

TEST_F(DrawingWindowTest, KeysZoomAndTheStatusLineShowsCoordinatesAndWhatWasNotDrawn) {
    engine->setVisible(true);
    insertAt(500000, 4100000);
    insertAt(500100, 4100050);
    grab();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    DrawingView* v = window->view();
    const double fitted = v->view().scale;
    QTest::keyClick(window.get(), Qt::Key_Plus);
    EXPECT_NEAR(v->view().scale, fitted * 1.25, 1e-9);
    QTest::keyClick(window.get(), Qt::Key_Minus);
    QTest::keyClick(window.get(), Qt::Key_Minus);
    EXPECT_NEAR(v->view().scale, fitted / 1.25, 1e-9);
    QTest::keyClick(window.get(), Qt::Key_Home);
    grab();
    EXPECT_NEAR(v->view().scale, fitted, 1e-9);

    // The pointer over the first point: its easting and northing.
    const QPoint at = device(500000, 4100000);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), v->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(v, &move);
    const QRegularExpression coordinates(QStringLiteral("^E (\\d+\\.\\d+)   N (\\d+\\.\\d+)$"));
    const auto m = coordinates.match(window->coordinatesText());
    ASSERT_TRUE(m.hasMatch()) << window->coordinatesText().toStdString();
    const double pixel = 1 / v->view().scale;
    EXPECT_NEAR(m.captured(1).toDouble(), 500000, pixel);
    EXPECT_NEAR(m.captured(2).toDouble(), 4100000, pixel);
    EXPECT_EQ(window->sceneText(), QString()) << "everything drawn";

    // A drawing with entities the view cannot draw says how many.
    ASSERT_TRUE(engine->flush());
    QByteArray bytes = readAll(path);
    const qsizetype end = bytes.lastIndexOf("ENDSEC");
    ASSERT_GT(end, 0);
    bytes.insert(bytes.lastIndexOf('\n', end - 3) + 1, "0\nACAD_PROXY_ENTITY\n8\n0\n0\nIMAGE\n8\n0\n");
    const QString other = dir.filePath(QStringLiteral("Other.dxf"));
    writeAll(other, bytes);
    engine->openDrawing(other);
    grab();
    EXPECT_EQ(window->sceneText(), QStringLiteral("2 entities not drawn (ACAD_PROXY_ENTITY, IMAGE)"));
}

TEST_F(DrawingWindowTest, TheLightBackgroundIsRememberedAndColourSevenFollowsIt) {
    engine->setVisible(true);
    insertAt(0, 0);
    insertAt(10, 10);
    // The colour of the flag's pole (within a pixel of it), colour 7 by layer.
    const auto pole = [&] {
        const QImage image = grab();
        const QPoint c = device(0, 1.5);
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixel(c + QPoint(dx, 0)) != image.pixel(5, 5))
                return image.pixel(c + QPoint(dx, 0));
        return image.pixel(5, 5);
    };
    ASSERT_FALSE(window->lightBackgroundAction()->isChecked()) << "dark unless the user chose otherwise";
    EXPECT_EQ(grab().pixel(5, 5), backgroundColor(DxfBackground::Dark).rgb());
    EXPECT_EQ(pole(), qRgb(255, 255, 255));
    window->lightBackgroundAction()->trigger();
    EXPECT_EQ(grab().pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(pole(), qRgb(0, 0, 0));

    // The next window starts light; unchecked again, it is dark from then on.
    window = std::make_unique<DrawingWindow>(*engine);
    window->resize(500, 400);
    EXPECT_TRUE(window->lightBackgroundAction()->isChecked());
    EXPECT_EQ(pole(), qRgb(0, 0, 0));
    window->setLightBackground(false);
    EXPECT_FALSE(window->lightBackgroundAction()->isChecked());
    EXPECT_EQ(pole(), qRgb(255, 255, 255));
    EXPECT_FALSE(DrawingWindow(*engine).lightBackgroundAction()->isChecked());
}

TEST_F(DrawingWindowTest, TheCoordinatesUnderThePointerFollowTheViewToAnotherDrawing) {
    engine->setVisible(true);
    insertAt(1000, 1000);
    insertAt(1100, 1050);
    grab();
    DrawingView* v = window->view();
    const QPointF pointer(120, 90);
    QMouseEvent move(QEvent::MouseMove, pointer, v->mapToGlobal(pointer), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(v, &move);
    const QString before = window->coordinatesText();
    ASSERT_FALSE(before.isEmpty());

    const QString other = dir.filePath(QStringLiteral("Far.dxf"));
    writeAll(other, "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n250000\n20\n5000\n11\n250400\n21\n5300\n"
                    "0\nENDSEC\n0\nEOF\n");
    engine->openDrawing(other);
    grab();
    const QRegularExpression coordinates(QStringLiteral("^E (\\d+\\.?\\d*)   N (\\d+\\.?\\d*)$"));
    const auto m = coordinates.match(window->coordinatesText());
    ASSERT_TRUE(m.hasMatch()) << window->coordinatesText().toStdString();
    const QPointF under = v->view().toWorld(pointer, v->size());
    const double pixel = 1 / v->view().scale;
    EXPECT_NEAR(m.captured(1).toDouble(), under.x(), pixel) << "what is under the pointer now";
    EXPECT_NEAR(m.captured(2).toDouble(), under.y(), pixel);
    EXPECT_GT(under.x(), 249000);
}

TEST_F(DrawingWindowTest, ItOpensOverTheMainWindowComesToTheFrontAndRemembersItsPlace) {
    window.reset();
    SaveSetting(DrawingSetting::kApp, DrawingWindow::kSettingsSection, DrawingWindow::kGeometryKey,
                QString());
    QMainWindow main;
    main.setGeometry(100, 100, 500, 400);
    main.show();
    window = std::make_unique<DrawingWindow>(*engine);
    engine->setVisible(true);
    EXPECT_LE((window->geometry().center() - main.geometry().center()).manhattanLength(), 60)
        << "over the main window, not at the screen's corner";
    const QRect screen = main.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()));
    EXPECT_NEAR(window->frameGeometry().width(), screen.width() * 2 / 3, 2) << "two thirds of the screen";
    EXPECT_NEAR(window->frameGeometry().height(), screen.height() * 2 / 3, 2);
    window->bringForward();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get())) << "brought forward, it has the keyboard";

    // Changes of the drawing never raise it: a dialog open meanwhile keeps the keyboard.
    QDialog dialog(&main);
    dialog.setModal(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    insertAt(10, 10);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &dialog);
    dialog.close();

    // Moved and resized, hidden: the next window opens there.
    window->setGeometry(300, 220, 640, 420);
    const QRect placed = window->geometry();
    engine->setVisible(false);
    window.reset();
    window = std::make_unique<DrawingWindow>(*engine);
    engine->setVisible(true);
    EXPECT_EQ(window->geometry(), placed);
}

TEST_F(DrawingWindowTest, OpeningARefusedFileKeepsTheActiveDrawing) {
    insertAt(1, 1);
    ASSERT_TRUE(engine->flush());
    const QString other = dir.filePath(QStringLiteral("Newer.dxf"));
    const QByteArray r10 = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1006\n  0\nENDSEC\n  0\nEOF\n";
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r10);
    }
    ScriptedPrompts prompts;
    prompts.answerFile(other).answerMessage(vbOK);
    window->openDrawing();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("AC1006")))
        << prompts.messages()[0].toStdString();
    EXPECT_EQ(prompts.prompts()[0].file.filters.front().second, QStringLiteral("*.dxf"));
    EXPECT_EQ(engine->currentPath(), path);
    EXPECT_EQ(drawingPathSetting(), path);
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(path));
    EXPECT_EQ(readAll(other), r10);
    // The active drawing still takes insertions.
    insertAt(2, 2);
    ASSERT_TRUE(engine->flush());
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 2);
}

TEST_F(DrawingWindowTest, NewOpenAndSaveAsMakeTheirDrawingActive) {
    insertAt(5, 5);
    ScriptedPrompts prompts;
    // New Drawing: the pending insertion goes to Drawing1 first.
    window->newDrawing();
    const QString second = dir.filePath(QStringLiteral("Drawing2.dxf"));
    EXPECT_EQ(engine->currentPath(), second);
    EXPECT_EQ(drawingPathSetting(), second);
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(second));
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 1);
    QJsonObject fresh = readBack(second);
    EXPECT_EQ(problemsOf(fresh), "");
    EXPECT_EQ(fresh.value("inserts").toArray().size(), 0);
    EXPECT_TRUE(window->view()->scene().isEmpty());

    // Open Drawing: back to the first, its point on screen.
    prompts.answerFile(path);
    window->openDrawing();
    EXPECT_EQ(engine->currentPath(), path);
    EXPECT_EQ(drawingPathSetting(), path);
    EXPECT_FALSE(window->view()->scene().isEmpty());

    // Save As, a name without extension: written whole, and active from now on.
    prompts.answerFile(dir.filePath(QStringLiteral("Copy")));
    window->saveDrawingAs();
    const QString copy = dir.filePath(QStringLiteral("Copy.dxf"));
    EXPECT_EQ(engine->currentPath(), copy);
    EXPECT_EQ(drawingPathSetting(), copy);
    EXPECT_EQ(readAll(copy), readAll(path));
    insertAt(6, 6);
    ASSERT_TRUE(engine->flush());
    EXPECT_EQ(readBack(copy).value("inserts").toArray().size(), 2);
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 1);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // The same name again: the file it names is there, so the user is asked first.
    const QByteArray before = readAll(copy);
    prompts.answerFile(dir.filePath(QStringLiteral("Copy"))).answerMessage(vbNo);
    insertAt(7, 7);
    window->saveDrawingAs();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("Copy.dxf already exists."));
    EXPECT_EQ(readAll(copy), before);
    ASSERT_TRUE(engine->flush());
    prompts.clear();

    // A Save As that cannot be written says so and keeps the drawing where it was.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompts.answerFile(dir.filePath(QStringLiteral("blocker/x.dxf"))).answerMessage(vbOK);
    window->saveDrawingAs();
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(engine->currentPath(), copy);
}

TEST_F(DrawingWindowTest, ChangesThatCannotBeWrittenAsTheProgramEndsAreSettledByTheUser) {
    insertAt(3, 4);
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the drawing file should go
    ScriptedPrompts prompts;
    // Discarding is asked once more; "No" brings the choice back.
    prompts.answerMessage(vbCancel).answerMessage(vbNo).answerMessage(vbCancel).answerMessage(vbYes);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    ASSERT_EQ(prompts.messages().size(), 4);
    EXPECT_TRUE(prompts.messages()[0].contains(path)) << prompts.messages()[0].toStdString();
    EXPECT_EQ(prompts.prompts()[0].buttons, vbYesNoCancel + vbExclamation);
    EXPECT_TRUE(prompts.messages()[1].startsWith(QStringLiteral("Discard the changes")));
    EXPECT_FALSE(engine->drawing()->modified()) << "discarded at the user's word";
    ASSERT_TRUE(QDir(path).removeRecursively());
    EXPECT_TRUE(engine->flush());
    EXPECT_FALSE(QFile::exists(path));
}

// The program may end without returning to the event loop after a command:
// the engine going writes what the command left pending.
TEST(DrawingEngineEnd, PendingChangesAreWrittenWhenTheEngineGoes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Drawing1.dxf"));
    setDrawingPath(path);
    {
        DxfAutomation automation(path);
        auto app = automation.CreateObject();
        app->ActiveDocument()->ModelSpace()->InsertBlock({3, 4, 0}, flag(), 1, 1, 1, 0);
        app->Update();
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 1);
    setDrawingPath(QString());
}

// The main program's wiring: the engine an insertion starts shows its window,
// and the inserted point is on screen.
TEST(DrawingWindowInstalled, AnInsertionShowsTheWindowWithThePoint) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Site.dxf"));
    setDrawingPath(path);
    DrawingWindow::install();
    {
        DxfAutomation automation(path);
        ACADStuff acad(&automation, [] { return short(0); });
        const QString h =
            acad.InsertPointBlock({500000.0, 4100000.0, 0.0}, flag(), QStringLiteral("Waypoints"));
        ASSERT_FALSE(h.isEmpty());
        acad.InsertPointBlock({500050.0, 4100020.0, 0.0}, flag(), QStringLiteral("Waypoints"));
        DrawingWindow* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<DrawingWindow*>(w); d && d->isVisible())
                window = d;
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(path));
        window->resize(400, 300);
        const QImage image = window->view()->grab().toImage();
        const DxfView v = window->view()->view();
        EXPECT_TRUE(inkedAt(image, v.toDevice({500000, 4100001.5}, window->view()->size()).toPoint()));
        EXPECT_TRUE(inkedAt(image, v.toDevice({500050, 4100021.5}, window->view()->size()).toPoint()));
    }
    // The engine went, and its window with it.
    DxfAutomation::setStartedHook(nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<DrawingWindow*>(w), nullptr);
    setDrawingPath(QString());
}
