// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing saves against real faults: a full or failing disk at each write of
// a save (the preloaded fault injector), two programs inserting into one
// drawing at once, and FIFOs or devices named as drawings or block drawings.
#include "dxf/dxfengine.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"
#include "support/faultinjection.h"
#include "support/smalltmpfs.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QSysInfo>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DrawingSavesTest : public DrawingPathTest {
protected:
    // Starts the engine on the drawing the setting names, as the main window gives it.
    std::shared_ptr<DxfApplication> start() {
        automation.setDrawingPath(drawingPathSetting());
        return std::dynamic_pointer_cast<DxfApplication>(automation.CreateObject());
    }
    DxfAutomation automation;
};

// Runs f on another thread and gives its failure message, or fails the test
// when no answer comes in time (a reader blocked on a FIFO is then released by
// opening its other end). A refusal is meant to be at once, well within a
// second; the window is wider so that a slow sanitizer build does not fail it.
template <typename F> QString refusalWithoutBlocking(F f, const QString& fifo) {
    auto answer = std::async(std::launch::async, [&]() -> QString {
        try {
            f();
        } catch (const AcadError& e) {
            return e.description();
        } catch (const DxfError& e) {
            return e.description();
        }
        return QStringLiteral("<accepted>");
    });
    if (answer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "no answer within 10 seconds: blocked on the device";
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return answer.get();
}

} // namespace

TEST_F(DrawingSavesTest, AFailingDiskAtEachWriteLeavesTheOldDrawingAndSaysWhy) {
    auto app = start();
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    const QByteArray old = readAll(path);
    ASSERT_LT(old.size(), 16 * 1024); // small enough to sit in a write buffer whole
    app->ActiveDocument()->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    const qint64 size = app->drawing()->toBytes().size();

    for (const WriteFault& c : DurableWriteFaults(size)) {
        SCOPED_TRACE(c.what);
        {
            FaultInjection inject("Drawing1.dxf", c.faults);
            EXPECT_FALSE(app->flush());
            EXPECT_GE(inject.failures(), 1);
        }
        EXPECT_EQ(app->lastSaveError(),
                  QStringLiteral("The drawing %1 could not be saved: %2").arg(path, c.reason));
        EXPECT_EQ(readAll(path), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Drawing1.dxf"});
        EXPECT_TRUE(app->drawing()->modified()) << "kept in memory";
    }
    ASSERT_TRUE(app->flush());
    EXPECT_EQ(readBack(path).value("inserts").toArray().size(), 2);
}

// A real full disk: a 64 KB tmpfs in a user namespace of its own (where the
// system allows one), the test running again inside it with KORVEL_TMPFS set.
TEST(DrawingSavesOnATmpfs, AFullDiskLeavesTheOldDrawingAndSaysWhy) {
    const QByteArray mounted = qgetenv("KORVEL_TMPFS");
    if (mounted.isEmpty()) {
        QTemporaryDir dir;
        QProcess probe;
        probe.start("unshare", {"-Urm", "true"});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            SKIP_WITHOUT_A_REAL_DISK("no user namespace to mount a tmpfs in");
        QProcess inside;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KORVEL_TMPFS", dir.path());
        inside.setProcessEnvironment(env);
        inside.setProcessChannelMode(QProcess::ForwardedChannels);
        inside.start("unshare", {"-Urm", "sh", "-c",
                                 "mount -t tmpfs -o size=64k none \"$KORVEL_TMPFS\" && exec \"$0\" "
                                 "--gtest_filter=DrawingSavesOnATmpfs.*",
                                 QCoreApplication::applicationFilePath()});
        ASSERT_TRUE(inside.waitForFinished(120000));
        EXPECT_EQ(inside.exitCode(), 0);
        return;
    }
    const QString path = QString::fromLocal8Bit(mounted) + "/Drawing1.dxf";
    setDrawingPath(path);
    DxfAutomation automation(path);
    auto app = std::dynamic_pointer_cast<DxfApplication>(automation.CreateObject());
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    ASSERT_TRUE(app->flush());
    const QByteArray old = readAll(path);
    {
        QFile filler(QString::fromLocal8Bit(mounted) + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) > 0) {
        }
    }
    app->ActiveDocument()->ModelSpace()->InsertBlock({2, 2, 0}, flag(), 1, 1, 1, 0);
    EXPECT_FALSE(app->flush());
    EXPECT_EQ(app->lastSaveError(),
              QStringLiteral("The drawing %1 could not be saved: No space left on device").arg(path));
    EXPECT_EQ(readAll(path), old);
    ASSERT_TRUE(QFile::remove(QString::fromLocal8Bit(mounted) + "/filler"));
    ASSERT_TRUE(app->flush());
    setDrawingPath(QString());
}

TEST_F(DrawingSavesTest, TwoProgramsInsertingAtOnceBothEndUpInTheDrawing) {
    constexpr int kCount = 40;
    const QStringList labels{"A", "B"};
    std::vector<std::unique_ptr<QProcess>> drivers;
    for (const QString& label : labels) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(DRIVER_PATH), {flag(), label, QString::number(kCount), QStringLiteral("4")});
        ASSERT_TRUE(p->waitForStarted());
        drivers.push_back(std::move(p));
    }
    auto readLine = [](QProcess& p) {
        while (!p.canReadLine())
            if (!p.waitForReadyRead(60000))
                return QByteArray();
        return p.readLine().trimmed();
    };
    for (auto& p : drivers) // both have their engines before either saves
        ASSERT_EQ(readLine(*p), "ready");
    for (auto& p : drivers)
        p->write("step\n");
    // The first batches in turn, each saved before the other's next: every
    // save after the first finds the other program's version on disk.
    for (int turn = 0; turn < 2; ++turn)
        for (auto& p : drivers) {
            p->write("next\n");
            ASSERT_EQ(readLine(*p), "saved");
        }
    for (auto& p : drivers) // then both at once
        p->write("run\n");
    for (auto& p : drivers)
        ASSERT_TRUE(p->waitForBytesWritten(10000));
    for (auto& p : drivers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0);
        const QByteArray out = p->readAllStandardOutput();
        EXPECT_GT(out.mid(out.indexOf("rereads ") + 8).trimmed().toInt(), 0)
            << "a program saved over the other's version without reading it";
    }

    const QJsonObject r = readBack(path);
    EXPECT_EQ(problemsOf(r), "");
    QSet<QString> found;
    for (const auto& insert : r.value("inserts").toArray())
        found.insert(insert.toObject().value("attribs").toArray()[0].toArray()[1].toString());
    for (const QString& label : labels)
        for (int n = 0; n < kCount; ++n)
            EXPECT_TRUE(found.contains(QStringLiteral("%1 %2").arg(label).arg(n)))
                << label.toStdString() << n;
    EXPECT_EQ(r.value("inserts").toArray().size(), 2 * kCount);

    // A lock left by a program that ended does not stop the next save.
    writeAll(path + ".lock",
             "999999999\ndrawing_append_driver\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    auto app = start();
    app->ActiveDocument()->ModelSpace()->InsertBlock({1, 1, 0}, flag(), 1, 1, 1, 0);
    EXPECT_TRUE(app->flush()) << app->lastSaveError().toStdString();
    EXPECT_FALSE(QFile::exists(path + ".lock"));
}

TEST_F(DrawingSavesTest, FifosAndDevicesAreRefusedAsDrawingsAndBlockDrawings) {
    const QString fifo = dir.filePath("pipe.dxf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = QStringLiteral("/dev/zero");
    for (const QString& device : {fifo, zero}) {
        SCOPED_TRACE(device.toStdString());
        const QString kind = device == fifo ? QStringLiteral("named pipe (FIFO)") : QStringLiteral("device");
        // The drawing the settings name, opened by the first command.
        setDrawingPath(device);
        DxfAutomation refused(device);
        QString message = refusalWithoutBlocking([&] { refused.CreateObject(); }, fifo);
        EXPECT_TRUE(message.contains(device) && message.contains(kind)) << message.toStdString();
        EXPECT_FALSE(refused.running());

        // A block drawing, through the engine and read directly.
        setDrawingPath(path);
        auto app = start();
        auto ms = app->ActiveDocument()->ModelSpace();
        message = refusalWithoutBlocking([&] { ms->InsertBlock({0, 0, 0}, device, 1, 1, 1, 0); }, fifo);
        EXPECT_TRUE(message.contains(device) && message.contains(kind)) << message.toStdString();
        DxfDrawing drawing = DxfDrawing::createNew();
        message = refusalWithoutBlocking([&] { drawing.blockFromFile(device); }, fifo);
        EXPECT_TRUE(message.contains(device) && message.contains(kind)) << message.toStdString();
    }
}
