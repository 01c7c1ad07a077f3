// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the programs write a user's file: a temporary file in the same
// folder, every write checked, fsync, rename over the target, fsync of the
// folder. Either the whole new content is on disk under the target's name, or
// the target is byte for byte as it was and the caller learns why.
//
// Contract of every function here:
// - The target must be a regular file or not exist; anything else (a folder, a
//   FIFO, a device, a socket) is refused before anything is opened.
// - A symbolic link is followed: the file it names is replaced, the link stays;
//   a link that names nothing yet makes that file. Every link on the way is
//   followed only as Linux follows it with fs.protected_symlinks = 1, whatever
//   that setting is: a link in a folder that every user may write to and that
//   has the sticky bit (such as /tmp) only when the link belongs to the user
//   writing (the file-system user) or to the folder's owner. Another link there
//   is refused with a reason that names the link (it may lie on the way to the
//   target), and the file it names stays untouched.
// - Whether the target exists is asked of the system: only "no such file"
//   means a new file; any other failure to look (no permission on the way, an
//   input/output error, a loop of links) is a failure, never taken as missing.
// - The temporary file is ".<name>.XXXXXX" (six letters or digits) in the
//   target's folder, locked while its write runs. After a successful write the
//   temporary files of that exact pattern for the same target that a killed
//   write left behind are removed: only regular files of the user (never what a
//   link there names) that no running write holds.
// - An existing target's permission bits (and, where allowed, its owner and
//   group) carry over to the new file; a new file gets 0666 less the umask.
// - On failure the temporary file is removed and *error (when given) holds the
//   system's reason in words, as strerror gives it ("No space left on device",
//   "Permission denied", ...), without the file name: callers add the name.
// - Blocking: the calls block until the data and the folder entry are on the
//   disk (fsync); nothing here waits on the user interface.
#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>

class DurableSink;

// Writes bytes as the whole new content of path.
bool WriteFileDurably(const QString& path, QByteArrayView bytes, QString* error = nullptr);

// Writes what produce gives to the sink as the whole new content of path; for
// content too large to build in memory first. produce returns false to abandon
// the write (the target stays as it was; *error is "Cancelled" unless a sink
// write failed first).
bool WriteFileDurably(const QString& path, const std::function<bool(DurableSink&)>& produce,
                      QString* error = nullptr);

// Writes bytes as the content of a new file at path. Never replaces anything:
// a file (or anything else, a dangling link included) already at path is a
// failure ("File exists"), so two programs making the same file at once cannot
// replace each other's.
bool CreateFileDurably(const QString& path, QByteArrayView bytes, QString* error = nullptr);

// Creates path as a new, empty file and makes its folder entry durable. Never
// replaces anything: a file (or anything else) already at path is a failure
// ("File exists").
bool CreateEmptyFileDurably(const QString& path, QString* error = nullptr);

// Receives the content of a durable write piece by piece. write() returns
// false once any write failed; later writes are ignored, and the durable
// write as a whole then fails with that first reason.
class DurableSink {
public:
    bool write(QByteArrayView bytes);
    bool ok() const { return errorNumber_ == 0; }

private:
    friend struct DurableWriteAccess;
    explicit DurableSink(int fd) : fd_(fd) {}
    int fd_;
    int errorNumber_ = 0;
};

// A write-only, sequential QIODevice over a DurableSink, so that a Qt writer
// (QPdfWriter, QTextStream, ...) streams straight into a durable write. A write
// that fails returns -1; the sink keeps the reason.
class DurableSinkDevice final : public QIODevice {
public:
    explicit DurableSinkDevice(DurableSink& sink) : sink_(sink) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        return sink_.write(QByteArrayView(data, size)) ? size : -1;
    }

private:
    DurableSink& sink_;
};

// What the system says is at path, links followed: Present; Missing only when
// it answers "No such file or directory", or "Not a directory" (a part of the
// path is a file, so nothing can be there); Unknown for any other failure to
// look (*error, when given, then holds the reason in words). A caller that
// would make a new file where one is missing must not do so on Unknown.
enum class PathPresence { Present, Missing, Unknown };
PathPresence PresenceOf(const QString& path, QString* error = nullptr);

// Why path cannot be read or written as a user's file: "" for a regular file
// or a path where nothing exists yet, else a reason in words ("it is a
// folder", "it is a named pipe (FIFO)", "it is a device", "it is a socket").
// Looks with stat() only: never opens the path, so a FIFO cannot block.
QString NotARegularFileReason(const QString& path);
