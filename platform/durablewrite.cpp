// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/durablewrite.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reasonFor(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// Linux follows at most this many links in one path (MAXSYMLINKS).
constexpr int kMaxLinks = 40;

// The user whose permissions file operations of this thread are checked
// against (the file-system user id; setfsuid with an invalid id only reads it).
uid_t fileSystemUser() {
    return uid_t(::setfsuid(uid_t(-1)));
}

// Why a file of this mode is not a user's file; "" for a regular file.
QString notRegularReason(mode_t mode) {
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket");
    return QStringLiteral("it is not a regular file");
}

// Where a write to a path lands: the absolute path with every symbolic link on
// the way followed, or why it cannot be known or reached.
struct WriteTarget {
    QByteArray path;     // free of links, "." and ".." up to its first missing part
    int errorNumber = 0; // a part could not be looked at
    QString refused;     // a link on the way is not followed
};

// Walks path part by part as the kernel does, applying its fs.protected_symlinks
// rule to every link met: in a sticky folder that every user may write to, a
// link is followed only when it belongs to the file-system user or to the
// folder's owner. Done here rather than left to the kernel, so that it holds
// where the setting is off and so that the final link is never opened at all.
WriteTarget resolveForWrite(const QString& path) {
    WriteTarget t;
    QByteArray absolute = QFile::encodeName(path);
    if (!absolute.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + absolute;
    std::vector<QByteArray> rest; // parts still to walk, the next one last
    auto push = [&rest](const QByteArray& p) {
        const QList<QByteArray> parts = p.split('/');
        for (auto it = parts.crbegin(); it != parts.crend(); ++it)
            if (!it->isEmpty() && *it != ".")
                rest.push_back(*it);
    };
    push(absolute);
    QByteArray done; // the part walked, free of links; "" is the root
    int links = 0;
    while (!rest.empty()) {
        const QByteArray part = rest.back();
        rest.pop_back();
        if (part == "..") {
            done.truncate(std::max<qsizetype>(0, done.lastIndexOf('/')));
            continue;
        }
        const QByteArray next = done + '/' + part;
        struct stat st {};
        if (::lstat(next.constData(), &st) != 0) {
            if (errno != ENOENT) {
                t.errorNumber = errno;
                return t;
            }
            // Nothing there yet: the write makes it, or fails saying why.
            done = next;
            for (; !rest.empty(); rest.pop_back())
                done += '/' + rest.back();
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            done = next;
            continue;
        }
        if (++links > kMaxLinks) {
            t.errorNumber = ELOOP;
            return t;
        }
        struct stat folder {};
        if (::stat(done.isEmpty() ? "/" : done.constData(), &folder) != 0) {
            t.errorNumber = errno;
            return t;
        }
        const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
        if (shared && st.st_uid != fileSystemUser() && st.st_uid != folder.st_uid) {
            t.refused =
                QStringLiteral("the symbolic link \"%1\" belongs to another user and lies in a folder "
                               "every user may write to (sticky, like /tmp), so it is not followed")
                    .arg(QFile::decodeName(next));
            return t;
        }
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(next.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size()) {
            t.errorNumber = n < 0 ? errno : ENAMETOOLONG;
            return t;
        }
        target.truncate(n);
        if (target.startsWith('/'))
            done.clear();
        push(target);
    }
    t.path = done.isEmpty() ? QByteArray("/") : done;
    return t;
}

// True for ".<name>.XXXXXX", the temporary file of a write to name: six
// letters or digits, as mkostemp fills them in.
bool isTemporaryOf(const char* entry, const QByteArray& name) {
    const size_t length = std::strlen(entry);
    const size_t n = size_t(name.size());
    if (length != n + 8 || entry[0] != '.' || std::memcmp(entry + 1, name.constData(), n) != 0 ||
        entry[n + 1] != '.')
        return false;
    for (size_t i = n + 2; i < length; ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i])))
            return false;
    return true;
}

// Removes what killed writes to name left in the folder: temporary files of
// its exact pattern that are regular files of the file-system user (a link
// there is neither followed nor removed) and that no running write holds (a
// write keeps its temporary file locked until it is renamed or removed).
// Best effort: whatever cannot be looked at or removed stays.
void removeLeftovers(int folderFd, const QByteArray& name) {
    const int scanFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = scanFd >= 0 ? ::fdopendir(scanFd) : nullptr;
    if (!dir) {
        if (scanFd >= 0)
            ::close(scanFd);
        return;
    }
    std::vector<QByteArray> found;
    while (const dirent* e = ::readdir(dir))
        if (isTemporaryOf(e->d_name, name))
            found.emplace_back(e->d_name);
    ::closedir(dir);
    const uid_t user = fileSystemUser();
    for (const QByteArray& entry : found) {
        struct stat st {};
        if (::fstatat(folderFd, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != user)
            continue;
        const int fd =
            ::openat(folderFd, entry.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat now {};
        if (::fstat(fd, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(folderFd, entry.constData(), 0);
        ::close(fd);
    }
}

int currentUmask() {
    const mode_t old = ::umask(0);
    ::umask(old);
    return int(old);
}

bool syncFolder(int fd, int* errorNumber) {
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    if (!ok)
        *errorNumber = errno;
    return ok;
}

bool syncFolder(const QByteArray& folder, int* errorNumber) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *errorNumber = errno;
        return false;
    }
    const bool ok = syncFolder(fd, errorNumber);
    ::close(fd);
    return ok;
}

// Puts the finished temporary file at target without replacing anything there.
bool publishNew(const QByteArray& temp, const QByteArray& target, int* errorNumber) {
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) { // the file system cannot do it: a hard link can
        *errorNumber = errno;
        return false;
    }
    if (::link(temp.constData(), target.constData()) != 0) {
        *errorNumber = errno;
        return false;
    }
    ::unlink(temp.constData());
    return true;
}

} // namespace

bool DurableSink::write(QByteArrayView bytes) {
    if (errorNumber_ != 0)
        return false;
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            errorNumber_ = errno;
            return false;
        }
        if (n == 0) { // no progress and no reason: treat as a full device
            errorNumber_ = ENOSPC;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

QString NotARegularFileReason(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString(); // nothing there (or unreachable): opening will say why
    return notRegularReason(st.st_mode);
}

PathPresence PresenceOf(const QString& path, QString* error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return PathPresence::Present;
    // ENOTDIR: a part of the path is a file, so nothing can be at the path.
    if (errno == ENOENT || errno == ENOTDIR)
        return PathPresence::Missing;
    setError(error, reasonFor(errno));
    return PathPresence::Unknown;
}

bool CreateEmptyFileDurably(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, reasonFor(errno));
        return false;
    }
    int errorNumber = 0;
    bool ok = ::fsync(fd) == 0;
    if (!ok)
        errorNumber = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        errorNumber = errno;
    }
    if (ok)
        ok = syncFolder(QFile::encodeName(QFileInfo(path).absolutePath()), &errorNumber);
    if (!ok) {
        ::unlink(name.constData()); // it was ours: O_EXCL made it
        setError(error, reasonFor(errorNumber));
    }
    return ok;
}

// The one write behind the public functions: replace says whether a file at
// the target is replaced (WriteFileDurably) or is a failure (CreateFileDurably).
struct DurableWriteAccess {
    static bool write(const QString& path, const std::function<bool(DurableSink&)>& produce, bool replace,
                      QString* error);
};

bool DurableWriteAccess::write(const QString& path, const std::function<bool(DurableSink&)>& produce,
                               bool replace, QString* error) {
    struct stat old {};
    if (!replace && ::lstat(QFile::encodeName(path).constData(), &old) == 0) {
        setError(error, reasonFor(EEXIST)); // a link, even one naming nothing, counts
        return false;
    }
    const WriteTarget target = resolveForWrite(path);
    if (!target.refused.isEmpty()) {
        setError(error, target.refused);
        return false;
    }
    if (target.errorNumber != 0) {
        setError(error, reasonFor(target.errorNumber));
        return false;
    }
    bool replacing = ::stat(target.path.constData(), &old) == 0;
    if (!replacing && errno != ENOENT) {
        setError(error, reasonFor(errno));
        return false;
    }
    if (replacing) {
        const QString notRegular = notRegularReason(old.st_mode);
        if (!notRegular.isEmpty() || !replace) {
            setError(error, notRegular.isEmpty() ? reasonFor(EEXIST) : notRegular);
            return false;
        }
    }
    const qsizetype slash = target.path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? target.path.left(slash) : QByteArray("/");
    const QByteArray name = target.path.mid(slash + 1);
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        setError(error, reasonFor(errno));
        return false;
    }
    // The temporary file, locked for as long as this write may still rename
    // it: another write's clean-up then leaves it alone. A lock taken only
    // after that clean-up removed the fresh file finds it unlinked: try again.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/." + name + ".XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            break;
        struct stat st {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink == 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        setError(error, reasonFor(errno));
        ::close(folderFd);
        return false;
    }
    const int lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0); // keeps the lock past the close below
    int errorNumber = 0;
    auto fail = [&](int number) {
        errorNumber = number;
        return false;
    };
    auto finish = [&](bool ok) {
        if (lockFd >= 0)
            ::close(lockFd);
        ::close(folderFd);
        return ok;
    };

    DurableSink sink(fd);
    bool ok = produce(sink);
    if (!sink.ok())
        ok = fail(sink.errorNumber_);
    else if (!ok)
        setError(error, QStringLiteral("Cancelled"));
    if (ok) {
        const mode_t mode = replacing ? (old.st_mode & 07777) : mode_t(0666 & ~currentUmask());
        if (::fchmod(fd, mode) != 0)
            ok = fail(errno);
        else if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)::fchown(fd, old.st_uid, old.st_gid); // only where allowed; the mode is what matters
    }
    if (ok && ::fsync(fd) != 0)
        ok = fail(errno);
    if (::close(fd) != 0 && ok)
        ok = fail(errno);
    if (ok && replace && ::rename(temp.constData(), target.path.constData()) != 0)
        ok = fail(errno);
    if (ok && !replace && !publishNew(temp, target.path, &errorNumber))
        ok = false;
    if (!ok) {
        ::unlink(temp.constData());
        if (errorNumber != 0)
            setError(error, reasonFor(errorNumber));
        return finish(false);
    }
    // The rename is done: the new content is the file's. A failed folder sync
    // is still reported, since a crash now could bring the old entry back.
    if (!syncFolder(folderFd, &errorNumber)) {
        setError(error, reasonFor(errorNumber));
        return finish(false);
    }
    removeLeftovers(folderFd, name);
    return finish(true);
}

bool WriteFileDurably(const QString& path, QByteArrayView bytes, QString* error) {
    return WriteFileDurably(
        path, [bytes](DurableSink& sink) { return sink.write(bytes); }, error);
}

bool WriteFileDurably(const QString& path, const std::function<bool(DurableSink&)>& produce, QString* error) {
    return DurableWriteAccess::write(path, produce, true, error);
}

bool CreateFileDurably(const QString& path, QByteArrayView bytes, QString* error) {
    return DurableWriteAccess::write(
        path, [bytes](DurableSink& sink) { return sink.write(bytes); }, false, error);
}
