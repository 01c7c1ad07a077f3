// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/pointstable.h"

#include "files/pointsfile.h"
#include "platform/ansi.h"
#include "platform/durablewrite.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "table/waypointrows.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <vector>

namespace {

// Bytes asked of the device per read: big enough that a 100,000-row file
// takes a handful of reads, small enough not to matter for memory.
constexpr qint64 kReadChunk = 1 << 20;

class BulkUpdate {
public:
    explicit BulkUpdate(WaypointRows& grid) : grid_(grid) { grid_.beginBulkUpdate(); }
    ~BulkUpdate() { grid_.endBulkUpdate(); }
    BulkUpdate(const BulkUpdate&) = delete;
    BulkUpdate& operator=(const BulkUpdate&) = delete;

private:
    WaypointRows& grid_;
};

void appendRows(WaypointRows& grid, const std::vector<PointsRecord>& records) {
    int row = grid.Rows();
    grid.setRows(row + int(records.size()));
    for (const PointsRecord& rec : records) {
        grid.setTextMatrix(row, colName, rec.name);
        grid.setTextMatrix(row, colLatitude, NumberToText(rec.latitude));
        grid.setTextMatrix(row, colLongitude, NumberToText(rec.longitude));
        grid.setTextMatrix(row, colElevation, rec.elevation);
        grid.setTextMatrix(row, colMessage, rec.message);
        grid.setTextMatrix(row, colIcon, rec.icon);
        ++row;
    }
}

QString readFailure(const QString& name, const QString& why, int rows) {
    QString text = QStringLiteral("The points file \"%1\" could not be read: %2.").arg(name, why);
    if (rows > 0)
        text +=
            vbCrLf + QStringLiteral("The %1 waypoint(s) read before the error are in the table.").arg(rows);
    text += vbCrLf + QStringLiteral("Save will ask for a file name, so that file is not overwritten.");
    return text;
}

// The file's identity and times as stat() gives them; false when nothing
// readable is there.
bool statInto(const QString& path, PointsFileStamp& stamp) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    stamp.path = path;
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = quint64(st.st_ino);
    stamp.device = quint64(st.st_dev);
    return true;
}

QString notRegularFile(const QString& why) {
    return why + QStringLiteral(", not a regular file");
}

QString columnTitle(int col) {
    switch (col) {
    case colName:
        return QStringLiteral("Waypoint");
    case colLatitude:
        return QStringLiteral("Latitude");
    case colLongitude:
        return QStringLiteral("Longitude");
    case colElevation:
        return QStringLiteral("Elevation");
    case colMessage:
        return QStringLiteral("Message");
    case colIcon:
        return QStringLiteral("Icon");
    }
    return QString::number(col);
}

// A cell's text as a message quotes it: at most 40 characters.
QString shortened(const QString& text) {
    constexpr int kShown = 40;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("...");
}

} // namespace

QString CutShortEndMessage(const QString& name, qint64 leftOutBytes) {
    return QStringLiteral("The points file \"%1\" ends with %2 byte(s) that are not a whole waypoint record; "
                          "they were left out.")
        .arg(name)
        .arg(leftOutBytes);
}

PointsLoadResult LoadPoints(QIODevice& in, WaypointRows& grid, const QString& name) {
    PointsLoadResult result;
    BulkUpdate bulk(grid);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer;
    std::vector<PointsRecord> records;
    for (;;) {
        const qsizetype have = buffer.size();
        buffer.resize(have + kReadChunk);
        const qint64 got = in.read(buffer.data() + have, kReadChunk);
        buffer.resize(have + qMax<qint64>(got, 0));
        if (got < 0) {
            result.rows = grid.Rows() - 1;
            result.error = readFailure(name, in.errorString(), result.rows);
            return result;
        }
        if (got == 0)
            break; // end of data; what is left is a cut-short record, dropped
        hash.addData(QByteArrayView(buffer.constData() + have, qsizetype(got)));

        std::size_t used = 0;
        records.clear();
        PointsRecord rec;
        while (std::size_t n =
                   DecodeRecord(buffer.constData() + used, std::size_t(buffer.size()) - used, rec)) {
            records.push_back(std::move(rec));
            used += n;
        }
        appendRows(grid, records);
        buffer.remove(0, qsizetype(used));
    }
    result.ok = true;
    result.rows = grid.Rows() - 1;
    result.leftOutBytes = buffer.size();
    result.stamp.hash = hash.result();
    if (result.leftOutBytes > 0)
        result.warning =
            CutShortEndMessage(name, result.leftOutBytes) + vbCrLf +
            QStringLiteral("The %1 complete waypoint(s) are in the table. The file is not changed until you "
                           "save it.")
                .arg(result.rows);
    return result;
}

PointsLoadResult LoadPointsFile(const QString& path, WaypointRows& grid) {
    PointsLoadResult result;
    SetUpEmptyRows(grid);
    QString why;
    const PathPresence there = PresenceOf(path, &why);
    if (there == PathPresence::Unknown) { // not known to be missing: never made anew
        result.fileExisted = true;
        result.error = readFailure(path, why, 0);
        return result;
    }
    result.fileExisted = there == PathPresence::Present || QFileInfo(path).isSymLink();
    if (!result.fileExisted) {
        // As the points file has always been opened: a new name gives a new, empty file.
        if (!CreateEmptyFileDurably(path, &why)) {
            result.error = readFailure(path, why, 0);
            return result;
        }
        result.ok = true;
        statInto(path, result.stamp);
        result.stamp.hash = QCryptographicHash::hash(QByteArray(), QCryptographicHash::Sha1);
        return result;
    }
    // A pipe would block the program for good, and a device such as /dev/zero
    // never ends: only a regular file (or a link to one) is opened at all.
    const QString notRegular = NotARegularFileReason(path);
    if (!notRegular.isEmpty()) {
        result.error = readFailure(path, notRegularFile(notRegular), 0);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = readFailure(path, file.errorString(), 0);
        return result;
    }
    PointsFileStamp before;
    statInto(path, before);
    PointsLoadResult loaded = LoadPoints(file, grid, path);
    loaded.fileExisted = true;
    if (loaded.ok) {
        before.hash = loaded.stamp.hash;
        loaded.stamp = before;
    }
    return loaded;
}

bool PointsFileChangedSince(const PointsFileStamp& stamp, const QString& path) {
    if (stamp.path.isEmpty() || stamp.path != path)
        return false;
    PointsFileStamp now;
    if (!statInto(path, now) || !NotARegularFileReason(path).isEmpty())
        return false; // gone (a save makes it anew) or not a file (a save refuses it)
    if (now.size == stamp.size && now.modifiedNs == stamp.modifiedNs && now.inode == stamp.inode &&
        now.device == stamp.device)
        return false;
    // Something touched it: only other content counts as a change.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hash.addData(&file))
        return true;
    return hash.result() != stamp.hash;
}

PointsBytes BuildPointsBytes(const WaypointRows& grid) {
    PointsBytes out;
    std::pair<int, int> firstChanged; // row and column of the first changed field
    const int n = grid.Rows();
    for (int r = 1; r < n; ++r) {
        if (IsBlankRow(grid, r)) {
            ++out.skipped;
            continue;
        }
        PointsRecord rec;
        rec.name = grid.TextMatrix(r, colName);
        for (int c : {colLatitude, colLongitude}) {
            bool ok = false;
            const QString text = grid.TextMatrix(r, c);
            const double value = TextToNumber(text, &ok);
            if (!ok) {
                out.error =
                    QStringLiteral("The file was not saved: row %1, column %2 holds \"%3\", which is not a "
                                   "number.")
                        .arg(r)
                        .arg(columnTitle(c), text);
                out.bytes.clear();
                return out;
            }
            (c == colLatitude ? rec.latitude : rec.longitude) = value;
        }
        rec.elevation = grid.TextMatrix(r, colElevation);
        rec.message = grid.TextMatrix(r, colMessage);
        rec.icon = grid.TextMatrix(r, colIcon);
        PointsField tooLong = fieldName;
        unsigned changed = 0;
        if (!AppendRecord(out.bytes, rec, &tooLong, &changed)) {
            out.error =
                QStringLiteral("The file was not saved: row %1, column %2 holds more than %3 characters.")
                    .arg(r)
                    .arg(columnTitle(tooLong))
                    .arg(kMaxTextFieldBytes);
            out.bytes.clear();
            return out;
        }
        for (int c = colName; c <= colIcon; ++c) {
            if (!(changed & (1u << c)))
                continue;
            if (out.changedFields++ == 0)
                firstChanged = {r, c};
        }
        ++out.records;
    }
    out.ok = true;
    if (out.changedFields > 0) {
        const QString typed = grid.TextMatrix(firstChanged.first, firstChanged.second);
        out.changedNote =
            QStringLiteral(
                "%1 field(s) held characters that a points file cannot keep (it holds Windows-1252 "
                "text only); each such character was saved as \"?\". The first: row %2, column "
                "%3, \"%4\" was saved as \"%5\".")
                .arg(out.changedFields)
                .arg(firstChanged.first)
                .arg(columnTitle(firstChanged.second), shortened(typed), shortened(FromAnsi(ToAnsi(typed))));
    }
    return out;
}

PointsSaveResult SavePointsFile(const QString& path, const WaypointRows& grid) {
    PointsSaveResult result;
    const PointsBytes image = BuildPointsBytes(grid);
    if (!image.ok) {
        result.error = image.error;
        return result;
    }
    auto refused = [&](const QString& why) {
        result.error = QStringLiteral("The file \"%1\" could not be saved: %2.").arg(path, why) + vbCrLf +
                       QStringLiteral("The file on disk was not changed.");
        return result;
    };
    const QString notRegular = NotARegularFileReason(path);
    if (!notRegular.isEmpty())
        return refused(notRegularFile(notRegular));
    // Read-only by its mode bits, whoever we run as (root may write anything):
    // a file the user protected is not replaced behind their back.
    const QFileInfo info(path);
    constexpr auto kWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && !(info.permissions() & kWrite))
        return refused(QStringLiteral("the file is read-only"));
    QString why;
    if (!WriteFileDurably(path, image.bytes, &why))
        return refused(why);
    result.ok = true;
    result.records = image.records;
    result.changedFields = image.changedFields;
    result.changedNote = image.changedNote;
    statInto(path, result.stamp);
    result.stamp.hash = QCryptographicHash::hash(image.bytes, QCryptographicHash::Sha1);
    return result;
}
