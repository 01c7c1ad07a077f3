// SPDX-License-Identifier: GPL-3.0-or-later
// The durable-write helper against a full or failing disk (the preloaded fault
// injector) and against paths that are not regular files.
#include "platform/durablewrite.h"
#include "support/faultinjection.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST(DurableWrite, EveryFaultLeavesTheOldFileAndNamesTheSystemReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.gps");
    const QByteArray old(77, 'o');
    ASSERT_TRUE(WriteFileDurably(path, old));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    const QByteArray fresh(10000, 'n');

    struct Case {
        const char* what;
        FaultInjection::Faults faults;
        const char* reason;
    };
    const Case cases[] = {
        {"disk full at once", {0, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"disk full mid-way", {4096, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"disk full one byte short", {9999, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"read error on the device", {100, EIO, 0, 0, 0}, "Input/output error"},
        {"fsync fails", {-1, ENOSPC, EIO, 0, 0}, "Input/output error"},
        {"close fails", {-1, ENOSPC, 0, ENOSPC, 0}, "No space left on device"},
        {"rename refused", {-1, ENOSPC, 0, 0, EROFS}, "Read-only file system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        {
            FaultInjection inject("keep.gps", c.faults);
            EXPECT_FALSE(WriteFileDurably(path, fresh, &error));
            EXPECT_GE(inject.failures(), 1);
        }
        EXPECT_EQ(error, QString::fromLatin1(c.reason));
        EXPECT_EQ(contents(path), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{"keep.gps"}); // no temporary file left behind
    }
    ASSERT_TRUE(WriteFileDurably(path, fresh));
    EXPECT_EQ(contents(path), fresh);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the old file's permissions carry over
}

TEST(DurableWrite, StreamedContentAndCancelledWrites) {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.dxf");
    ASSERT_TRUE(WriteFileDurably(path, QByteArray("old")));
    QString error;
    EXPECT_FALSE(WriteFileDurably(
        path, [](DurableSink& s) { return s.write("partial") && false; }, &error));
    EXPECT_EQ(error, "Cancelled");
    EXPECT_EQ(contents(path), "old");
    EXPECT_TRUE(WriteFileDurably(path, [](DurableSink& s) { return s.write("a") && s.write("bc"); }));
    EXPECT_EQ(contents(path), "abc");
}

TEST(DurableWrite, OnlyRegularFilesAreWrittenAndLinksAreFollowed) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(WriteFileDurably(fifo, QByteArray("x"), &error)); // must not block either
    EXPECT_EQ(error, "it is a named pipe (FIFO)");
    EXPECT_EQ(NotARegularFileReason("/dev/zero"), "it is a device");
    EXPECT_EQ(NotARegularFileReason(dir.path()), "it is a folder");
    EXPECT_EQ(NotARegularFileReason(dir.filePath("none")), "");
    EXPECT_FALSE(WriteFileDurably(dir.filePath("no/such/folder/f"), QByteArray("x"), &error));
    EXPECT_EQ(error, "No such file or directory");

    const QString real = dir.filePath("real.gps"), link = dir.filePath("link.gps");
    ASSERT_TRUE(WriteFileDurably(real, QByteArray("1")));
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(WriteFileDurably(link, QByteArray("2")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contents(real), "2");
}
