// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window as a window manager stacks it: after Insert All and after
// Show Drawing it is mapped, above the main window and about two thirds of the
// screen. Needs an X display with a window manager (Xvfb and openbox will do);
// skipped, with the reason, where there is none and always under CI. The
// checks run in a child process of this test on the real X platform, since
// every test here starts on the offscreen one.
#include "cad/drawingwindow.h"
#include "test_insert_fixture.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

const char* const kChildVariable = "KORVEL_WM_CHILD";

// Runs an X tool on the display; its output, "" when it failed.
QString xtool(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Why the checks cannot run here, "" when they can.
QString noWindowManager() {
    if (!qEnvironmentVariableIsEmpty("CI"))
        return QStringLiteral("needs a window manager, which CI does not start");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display (DISPLAY is unset): run it with Xvfb and openbox");
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        return QStringLiteral("xprop is not installed (package x11-utils)");
    if (!xtool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
             .contains(QStringLiteral("window id")))
        return QStringLiteral("no window manager runs on display %1").arg(qEnvironmentVariable("DISPLAY"));
    return QString();
}

// The managed windows, bottom to top.
QList<WId> stacking() {
    QList<WId> ids;
    const QString out = xtool(QStringLiteral("xprop"),
                              {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    static const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = id.globalMatch(out); it.hasNext();)
        ids.append(it.next().captured().toULongLong(nullptr, 16));
    return ids;
}

bool above(const QWidget& top, const QWidget& below) {
    const QList<WId> order = stacking();
    const qsizetype t = order.indexOf(top.winId()), b = order.indexOf(below.winId());
    return t >= 0 && b >= 0 && t > b;
}

bool viewable(const QWidget& w) {
    return xtool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w.winId())})
        .contains(QStringLiteral("IsViewable"));
}

class DrawingOnScreenTest : public InsertTest {
protected:
    DrawingOnScreenTest() { DrawingWindow::install(); }
    ~DrawingOnScreenTest() override {
        form.reset();
        DxfAutomation::setStartedHook(nullptr);
    }
};

} // namespace

TEST(DrawingWindowOnScreen, ComesForwardOverTheMainWindowUnderAWindowManager) {
    if (qEnvironmentVariableIsSet(kChildVariable))
        GTEST_SKIP() << "this is the child";
    if (const QString why = noWindowManager(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0")); // the X libraries' own
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=DrawingOnScreenTest.*")});
    ASSERT_TRUE(child.waitForFinished(120000)) << "the child did not end";
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}

TEST_F(DrawingOnScreenTest, AfterInsertAllAndShowDrawingItIsAboveTheMainWindow) {
    if (!qEnvironmentVariableIsSet(kChildVariable))
        GTEST_SKIP() << "run by DrawingWindowOnScreen on an X display with a window manager";
    load("Name", "Flag", "0", true);
    addRow({"WP1", "35.5", "-90.25", "", "", ""});
    addRow({"WP2", "35.51", "-90.24", "", "", ""});
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    // The closing message as the user gets it: which window it is transient
    // for decides which windows the window manager raises with it.
    SetPromptResponder(nullptr);
    QPointer<QWidget> boxOver;
    bool boxShown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &closer, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed())
            return;
        closer.stop();
        boxShown = true;
        boxOver = box->parentWidget();
        QTest::qWait(300); // as long as the window manager takes to restack for it
        box->close();
    });
    closer.start(50);
    form->cmdInsertAll_Click();
    SetPromptResponder(&prompts);
    ASSERT_TRUE(engine.running());
    DrawingWindow* window = DrawingWindow::of(*engine.running());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(boxOver, window) << "the closing message is about the drawing now in front";
    EXPECT_TRUE(QTest::qWaitFor([&] { return above(*window, *form); }, 5000))
        << "after Insert All the drawing window is above the main window";
    EXPECT_TRUE(viewable(*window));
    EXPECT_TRUE(QTest::qWaitForWindowActive(window)) << "the main window handed activation over";
    const QRect screen = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(screen.contains(frame)) << "placed on the screen";
    EXPECT_NEAR(double(frame.width()) / screen.width(), 2.0 / 3, 0.03);
    EXPECT_NEAR(double(frame.height()) / screen.height(), 2.0 / 3, 0.03);

    // The user goes back to the table; Show Drawing brings the drawing forward again.
    form->raise();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return above(*form, *window); }, 5000));
    form->cmdShowDrawing_Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return above(*window, *form); }, 5000))
        << "after Show Drawing the drawing window is above the main window";
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}
