// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/durablewrite.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// The file a write to path replaces: a symbolic link is followed to its end.
QString resolvedTarget(const QString& path) {
    QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
        return info.symLinkTarget(); // a dangling link: the file it names is created
    }
    return info.absoluteFilePath();
}

int currentUmask() {
    const mode_t old = ::umask(0);
    ::umask(old);
    return int(old);
}

bool syncFolder(const QByteArray& folder, int* errorNumber) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *errorNumber = errno;
        return false;
    }
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    if (!ok)
        *errorNumber = errno;
    ::close(fd);
    return ok;
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
    if (S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("it is a named pipe (FIFO)");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("it is a device");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("it is a socket");
    return QStringLiteral("it is not a regular file");
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

bool WriteFileDurably(const QString& path, QByteArrayView bytes, QString* error) {
    return WriteFileDurably(
        path, [bytes](DurableSink& sink) { return sink.write(bytes); }, error);
}

bool WriteFileDurably(const QString& path, const std::function<bool(DurableSink&)>& produce, QString* error) {
    const QString target = resolvedTarget(path);
    const QString notRegular = NotARegularFileReason(target);
    if (!notRegular.isEmpty()) {
        setError(error, notRegular);
        return false;
    }
    const QFileInfo info(target);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temp = folder + '/' + '.' + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, reasonFor(errno));
        return false;
    }
    int errorNumber = 0;
    auto fail = [&](int number) {
        errorNumber = number;
        return false;
    };

    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(target).constData(), &old) == 0;
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
    if (ok && ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        ok = fail(errno);
    if (!ok) {
        ::unlink(temp.constData());
        if (errorNumber != 0)
            setError(error, reasonFor(errorNumber));
        return false;
    }
    // The rename is done: the new content is the file's. A failed folder sync
    // is still reported, since a crash now could bring the old entry back.
    if (!syncFolder(folder, &errorNumber)) {
        setError(error, reasonFor(errorNumber));
        return false;
    }
    return true;
}
