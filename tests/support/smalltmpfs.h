// SPDX-License-Identifier: GPL-3.0-or-later
// A real full disk for one test: a 64 KiB tmpfs mounted on a folder, filled
// on demand. Mounting needs root (CI runs as root); where it is refused,
// mounted() is false and why() says so, and the test skips with that reason
// on a developer's machine and fails under CI (SKIP_WITHOUT_A_REAL_DISK).
#pragma once
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Whether this run is CI's (.ci/run exports CI=true), where a real-disk case
// that cannot run is a failure, not a skip.
inline bool RunningUnderCi() {
    const QByteArray ci = qgetenv("CI");
    return !ci.isEmpty() && ci != "false" && ci != "0";
}

// Ends the test when its real disk cannot be had: a skip with the reason on a
// developer's machine, a failure under CI.
#define SKIP_WITHOUT_A_REAL_DISK(why)                                                                        \
    do {                                                                                                     \
        if (RunningUnderCi())                                                                                \
            FAIL() << "CI must run the real full-disk case: " << (why);                                      \
        GTEST_SKIP() << (why);                                                                               \
    } while (false)

class SmallTmpfs {
public:
    explicit SmallTmpfs(const QString& folder) : folder_(folder) {
        QDir().mkpath(folder);
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    "size=64k,mode=0777") != 0)
            why_ = QStringLiteral("cannot mount a tmpfs here (%1); the full-disk case runs under the fault "
                                  "injector only")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        else
            mounted_ = true;
    }
    ~SmallTmpfs() {
        if (mounted_)
            ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    QString why() const { return why_; }
    QString path() const { return folder_; }

    // Takes every free block with a file named ".filler"; true when the disk is full.
    bool fill() const {
        const int fd =
            ::open(QFile::encodeName(folder_ + "/.filler").constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0)
            return false;
        char block[512] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QString folder_;
    QString why_;
    bool mounted_ = false;
};
