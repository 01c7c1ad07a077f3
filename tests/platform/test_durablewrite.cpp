// SPDX-License-Identifier: GPL-3.0-or-later
// The durable-write helper against a full or failing disk (the preloaded fault
// injector) and against paths that are not regular files.
#include "platform/durablewrite.h"
#include "support/faultinjection.h"
#include "support/fileuser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
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

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A folder made with the given owner and mode (chown first: it may clear bits).
void makeFolder(const QString& path, uid_t owner, mode_t mode) {
    ASSERT_TRUE(QDir().mkpath(path));
    ASSERT_EQ(::chown(native(path).constData(), owner, owner), 0);
    ASSERT_EQ(::chmod(native(path).constData(), mode), 0);
}

// A symbolic link at link naming target, owned by owner.
void makeLink(const QString& target, const QString& link, uid_t owner) {
    ASSERT_EQ(::symlink(native(target).constData(), native(link).constData()), 0);
    ASSERT_EQ(::lchown(native(link).constData(), owner, owner), 0);
}

} // namespace

TEST(DurableWrite, EveryFaultLeavesTheOldFileAndNamesTheSystemReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.gps");
    const QByteArray old(77, 'o');
    ASSERT_TRUE(WriteFileDurably(path, old));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    const QByteArray fresh(10000, 'n');

    for (const WriteFault& c : DurableWriteFaults(fresh.size())) {
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

// Linux refuses, with fs.protected_symlinks = 1, to follow a link in a sticky
// folder that every user may write to (such as /tmp) unless the link belongs
// to the user following it or to the folder's owner: another user's link there
// could otherwise make a program overwrite any file its user may write. The
// helper applies that rule itself, whatever the setting, to every link on the
// way, and refuses the write with the target untouched.
TEST(DurableWrite, LinksInSharedStickyFoldersAreFollowedOnlyAsLinuxAllows) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make links and folders of other users";
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(native(dir.path()).constData(), 0755), 0);
    const uid_t root = 0;
    struct Case {
        const char* what;
        mode_t folderMode;
        uid_t folderOwner, linkOwner, writer;
        bool linkToFolder; // the link is a folder on the way, not the file
        bool followed;
    };
    const Case cases[] = {
        {"another user's link in a sticky folder all may write", 01777, root, kNobody, root, false, false},
        {"another user's link to a folder on the way", 01777, root, kNobody, root, true, false},
        {"another user's link, written by a third user", 01777, root, kNobody, 1234, false, false},
        {"the writer's own link", 01777, root, kNobody, kNobody, false, true},
        {"a link of the folder's owner", 01777, kNobody, kNobody, root, false, true},
        {"a link of the folder's owner, to a folder", 01777, root, root, kNobody, true, true},
        {"a folder all may write, not sticky", 0777, root, kNobody, root, false, true},
        {"a sticky folder only its owner may write", 01755, root, kNobody, root, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString shared = dir.filePath(QStringLiteral("shared%1").arg(++n));
        const QString victimFolder = dir.filePath(QStringLiteral("victim%1").arg(n));
        const QString victim = victimFolder + "/Drawing1.dxf";
        makeFolder(shared, c.folderOwner, c.folderMode);
        makeFolder(victimFolder, root, 0777);
        ASSERT_TRUE(WriteFileDurably(victim, QByteArray("the victim's drawing")));
        ASSERT_EQ(::chmod(native(victim).constData(), 0666), 0);
        QString path = shared + "/Drawing1.dxf";
        if (c.linkToFolder) {
            makeLink(victimFolder, shared + "/sub", c.linkOwner);
            path = shared + "/sub/Drawing1.dxf";
        } else {
            makeLink(victim, path, c.linkOwner);
        }
        QString error;
        bool written = false;
        {
            ScopedFileUser as(c.writer);
            written = WriteFileDurably(path, QByteArray("new"), &error);
        }
        EXPECT_EQ(written, c.followed) << error.toStdString();
        EXPECT_EQ(contents(victim), c.followed ? QByteArray("new") : QByteArray("the victim's drawing"));
        EXPECT_TRUE(QFileInfo(c.linkToFolder ? shared + "/sub" : path).isSymLink());
        if (!c.followed) {
            EXPECT_TRUE(error.contains("belongs to another user")) << error.toStdString();
            EXPECT_TRUE(error.contains("so it is not followed")) << error.toStdString();
        }
        EXPECT_EQ(filesIn(victimFolder), QStringList{"Drawing1.dxf"});
    }
}

// Only "no such file" means there is nothing to keep: a link whose target
// cannot be looked at (here a loop of links) is a failure, never a new file
// that would take the place of whatever is there.
TEST(DurableWrite, ATargetThatCannotBeLookedAtIsNeverTakenAsMissing) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.dxf"), b = dir.filePath("b.dxf");
    ASSERT_TRUE(QFile::link(b, a));
    ASSERT_TRUE(QFile::link(a, b));
    QString error;
    EXPECT_EQ(PresenceOf(a, &error), PathPresence::Unknown);
    EXPECT_EQ(error, "Too many levels of symbolic links");
    error.clear();
    EXPECT_FALSE(WriteFileDurably(a, QByteArray("new"), &error));
    EXPECT_EQ(error, "Too many levels of symbolic links");
    EXPECT_TRUE(QFileInfo(a).isSymLink());
    EXPECT_TRUE(QFileInfo(b).isSymLink());
    EXPECT_EQ(PresenceOf(dir.filePath("none")), PathPresence::Missing);
}

// A save killed between writing its temporary file and renaming it leaves the
// temporary file behind; the next successful save of the same file removes
// exactly those: its own name's pattern, regular files of the user, never a
// link (nor what it names), and never one a running save still holds.
TEST(DurableWrite, TheNextSaveRemovesWhatKilledSavesOfTheSameFileLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath("site.dxf");
    ASSERT_TRUE(WriteFileDurably(path, QByteArray("old")));
    const QString elsewhere = dir.filePath("elsewhere.dxf");
    ASSERT_TRUE(WriteFileDurably(elsewhere, QByteArray("kept")));
    enum Kind { File, Link, Folder, OtherUsers, Held };
    struct Entry {
        const char* name;
        Kind kind;
        bool removed;
    };
    const Entry entries[] = {
        {".site.dxf.Ab3xZ9", File, true},
        {".site.dxf.000000", File, true},
        {".site.dxf.Ab3xZ", File, false},
        {".site.dxf.Ab3xZ9~", File, false},
        {".site.dxf.Ab-xZ9", File, false},
        {"site.dxf.Ab3xZ9", File, false},
        {".site.dxf", File, false},
        {".other.dxf.Ab3xZ9", File, false},
        {".site.dxf.Link01", Link, false},
        {".site.dxf.Fold01", Folder, false},
        {".site.dxf.User01", OtherUsers, false},
        {".site.dxf.Held01", Held, false},
    };
    int held = -1;
    for (const Entry& e : entries) {
        const QString p = dir.filePath(e.name);
        switch (e.kind) {
        case Link:
            ASSERT_TRUE(QFile::link(elsewhere, p));
            break;
        case Folder:
            ASSERT_TRUE(QDir().mkdir(p));
            break;
        default:
            ASSERT_TRUE(CreateFileDurably(p, QByteArray("partial")));
            if (e.kind == OtherUsers && ::lchown(native(p).constData(), kNobody, kNobody) != 0)
                GTEST_SKIP() << "needs root to make a file of another user";
            if (e.kind == Held) {
                held = ::open(native(p).constData(), O_RDONLY | O_CLOEXEC);
                ASSERT_EQ(::flock(held, LOCK_EX), 0);
            }
        }
    }
    auto remaining = [&] {
        QStringList left;
        for (const Entry& e : entries)
            if (QFileInfo(dir.filePath(e.name)).exists() || QFileInfo(dir.filePath(e.name)).isSymLink())
                left << e.name;
        return left;
    };
    const QStringList all = remaining();
    ASSERT_EQ(all.size(), qsizetype(std::size(entries)));

    // A save that fails removes nothing.
    EXPECT_FALSE(WriteFileDurably(path, [](DurableSink&) { return false; }));
    EXPECT_EQ(remaining(), all);

    ASSERT_TRUE(WriteFileDurably(path, QByteArray("new")));
    QStringList expected;
    for (const Entry& e : entries)
        if (!e.removed)
            expected << e.name;
    EXPECT_EQ(remaining(), expected);
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(contents(elsewhere), "kept");
    ::close(held);
}
