// SPDX-License-Identifier: GPL-3.0-or-later
// Points files to and from the waypoint table, on real files.
#include "files/pointsfile.h"
#include "files/pointstable.h"
#include "hexdump.h"
#include "table/waypointrows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Row = std::array<QString, 6>; // columns 1..6

void fill(WaypointRows& grid, const std::vector<Row>& rows) {
    SetUpEmptyRows(grid);
    grid.setRows(int(rows.size()) + 1);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < 6; ++c)
            grid.setTextMatrix(r + 1, c + 1, rows[size_t(r)][size_t(c)]);
}

std::vector<Row> contents(const WaypointRows& grid) {
    std::vector<Row> out;
    for (int r = 1; r < grid.Rows(); ++r) {
        Row row;
        for (int c = 0; c < 6; ++c)
            row[size_t(c)] = grid.TextMatrix(r, c + 1);
        out.push_back(row);
    }
    return out;
}

const std::vector<Row> kThree = {
    {"WP1", "35.5", "-90.25", "0000028M", "", "a"},
    {"Café", "-33.8568", "151.2153", "0000010M", "opera €5", "b"},
    {"Z", "0", "1E-05", "", "", ""},
};

QByteArray recordsOf(const std::vector<PointsRecord>& records) {
    QByteArray out;
    for (const auto& r : records)
        AppendRecord(out, r);
    return out;
}

class PointsTable : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QTemporaryDir dir;
    WaypointRows grid;
};

} // namespace

TEST_F(PointsTable, SaveWritesOneRecordPerRowAndLoadsBackTheSameTable) {
    fill(grid, kThree);
    grid.setMarked(2, true);
    const PointsSaveResult saved = SavePointsFile(path("t.gps"), grid);
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(saved.records, 3);
    EXPECT_TRUE(sameBytes(fileBytes(path("t.gps")),
                          recordsOf({{"WP1", 35.5, -90.25, "0000028M", "", "a"},
                                     {"Café", -33.8568, 151.2153, "0000010M", "opera €5", "b"},
                                     {"Z", 0, 1e-05, "", "", ""}})));

    WaypointRows other;
    fill(other, {{"old", "1", "2", "", "", ""}});
    other.setMarked(1, true);
    const PointsLoadResult loaded = LoadPointsFile(path("t.gps"), other);
    ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
    EXPECT_EQ(loaded.rows, 3);
    EXPECT_EQ(contents(other), kThree);
    EXPECT_EQ(other.Cols(), 7);
    EXPECT_EQ(other.FormatString(), kWaypointFormat);
    for (int r = 1; r < other.Rows(); ++r)
        EXPECT_FALSE(other.isMarked(r)) << "row " << r;

    // Loaded then saved unchanged: the same bytes.
    ASSERT_TRUE(SavePointsFile(path("again.gps"), other).ok);
    EXPECT_TRUE(sameBytes(fileBytes(path("again.gps")), fileBytes(path("t.gps"))));
}

TEST_F(PointsTable, EmptyTableGivesEmptyFileAndSavingOverALongerFileLeavesNothingOfIt) {
    ASSERT_TRUE(writeBytes(path("t.gps"), QByteArray(5000, 'X')));
    fill(grid, {kThree[0]});
    ASSERT_TRUE(SavePointsFile(path("t.gps"), grid).ok);
    EXPECT_TRUE(sameBytes(fileBytes(path("t.gps")), recordsOf({{"WP1", 35.5, -90.25, "0000028M", "", "a"}})));

    SetUpEmptyRows(grid);
    ASSERT_TRUE(SavePointsFile(path("t.gps"), grid).ok);
    EXPECT_TRUE(QFile::exists(path("t.gps")));
    EXPECT_EQ(QFileInfo(path("t.gps")).size(), 0);
}

TEST_F(PointsTable, CutShortLastRecordLoadsOnlyTheWholeOnes) {
    const QByteArray two = recordsOf({{"A", 1, 2, "E", "M", "i"}, {"B", 3, 4, "E", "M", "i"}});
    for (int cut : {1, 2, 10, 20}) {
        ASSERT_TRUE(writeBytes(path("cut.gps"), two.left(two.size() - cut)));
        const PointsLoadResult r = LoadPointsFile(path("cut.gps"), grid);
        EXPECT_TRUE(r.ok);
        ASSERT_EQ(grid.Rows(), 2) << "cut " << cut;
        EXPECT_EQ(grid.TextMatrix(1, 1), QStringLiteral("A"));
    }
    // Zero-length file: no rows.
    ASSERT_TRUE(writeBytes(path("empty.gps"), {}));
    EXPECT_TRUE(LoadPointsFile(path("empty.gps"), grid).ok);
    EXPECT_EQ(grid.Rows(), 1);
}

TEST_F(PointsTable, MissingFileIsCreatedEmptyAndReadOnlyFileOpens) {
    fill(grid, kThree);
    PointsLoadResult r = LoadPointsFile(path("new.gps"), grid);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.fileExisted);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_TRUE(QFile::exists(path("new.gps")));

    ASSERT_TRUE(writeBytes(path("ro.gps"), recordsOf({{"A", 1, 2, "", "", ""}})));
    QFile::setPermissions(path("ro.gps"), QFile::ReadOwner | QFile::ReadGroup);
    r = LoadPointsFile(path("ro.gps"), grid);
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(grid.Rows(), 2);

    // Saving over it is refused, the file untouched.
    const QByteArray before = fileBytes(path("ro.gps"));
    fill(grid, kThree);
    const PointsSaveResult s = SavePointsFile(path("ro.gps"), grid);
    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(s.error.contains("read-only")) << s.error.toStdString();
    EXPECT_TRUE(sameBytes(fileBytes(path("ro.gps")), before));
}

TEST_F(PointsTable, FolderAtThePathFailsBothWaysWithTheNameInTheMessage) {
    ASSERT_TRUE(QDir().mkpath(path("folder.gps")));
    fill(grid, kThree);
    const PointsLoadResult r = LoadPointsFile(path("folder.gps"), grid);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.fileExisted);
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_TRUE(r.error.contains(path("folder.gps"))) << r.error.toStdString();

    fill(grid, kThree);
    EXPECT_FALSE(SavePointsFile(path("folder.gps"), grid).ok);
    EXPECT_TRUE(QFileInfo(path("folder.gps")).isDir());
}

TEST_F(PointsTable, PipesAndDevicesAreNeitherReadNorReplaced) {
    const QString fifo = path("pipe.gps");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    fill(grid, {kThree[0]});
    // Opening a pipe for reading with no writer would block for good.
    for (const QString& p : {fifo, QStringLiteral("/dev/null")}) {
        const PointsLoadResult r = LoadPointsFile(p, grid);
        EXPECT_FALSE(r.ok) << p.toStdString();
        EXPECT_TRUE(r.fileExisted) << p.toStdString();
        EXPECT_TRUE(r.error.contains(p)) << r.error.toStdString();
    }

    fill(grid, {kThree[0]});
    const PointsSaveResult saved = SavePointsFile(fifo, grid);
    EXPECT_FALSE(saved.ok);
    EXPECT_TRUE(saved.error.contains(QStringLiteral("not a regular file"))) << saved.error.toStdString();
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

TEST_F(PointsTable, EmptyRowsAreSkippedAndAnyOtherBadNumberStopsTheSave) {
    std::vector<Row> rows = kThree;
    rows.insert(rows.begin() + 1, Row{}); // as Insert Row leaves it
    fill(grid, rows);
    PointsBytes image = BuildPointsBytes(grid);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.records, 3);
    EXPECT_EQ(image.skipped, 1);

    ASSERT_TRUE(writeBytes(path("t.gps"), "old contents"));
    for (const auto& [row, col, text, title] : {std::tuple{2, 2, QString("abc"), QString("Latitude")},
                                                std::tuple{3, 3, QString(""), QString("Longitude")},
                                                std::tuple{1, 2, QString("35,5"), QString("Latitude")}}) {
        fill(grid, kThree);
        grid.setTextMatrix(row, col, text);
        const PointsSaveResult s = SavePointsFile(path("t.gps"), grid);
        EXPECT_FALSE(s.ok);
        const QString expected = QStringLiteral("row %1, column %2 holds \"%3\"").arg(row).arg(title, text);
        EXPECT_TRUE(s.error.contains(expected)) << s.error.toStdString();
        EXPECT_EQ(fileBytes(path("t.gps")), QByteArray("old contents"));
    }
}

TEST_F(PointsTable, SaveThatFailsMidwayLeavesTheOldFileExactlyAsItWas) {
    const QByteArray old = recordsOf({{"KEEP", 1, 2, "", "", ""}});
    ASSERT_TRUE(writeBytes(path("t.gps"), old));
    std::vector<Row> many(2000, kThree[1]);
    fill(grid, many);

    // The kernel refuses to grow any file past 4 KiB: the write fails part way.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const PointsSaveResult s = SavePointsFile(path("t.gps"), grid);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(s.error.contains(path("t.gps"))) << s.error.toStdString();
    EXPECT_TRUE(sameBytes(fileBytes(path("t.gps")), old));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.gps"})
        << "temporary left";
}

TEST_F(PointsTable, UnwritablePlaceIsReportedAndNothingIsCreated) {
    ASSERT_TRUE(writeBytes(path("plain"), "x"));
    fill(grid, kThree);
    const PointsSaveResult s = SavePointsFile(path("plain/t.gps"), grid);
    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(s.error.contains(path("plain/t.gps")));
}

namespace {
// Hands out its data, then fails as a disk with a bad sector would.
class FailingDevice final : public QIODevice {
public:
    explicit FailingDevice(QByteArray data) : data_(std::move(data)) { open(ReadOnly | Unbuffered); }

protected:
    qint64 readData(char* out, qint64 max) override {
        if (data_.isEmpty()) {
            setErrorString("Input/output error");
            return -1;
        }
        const qint64 n = qMin<qint64>(qMin<qint64>(max, 30), data_.size()); // records split across reads
        memcpy(out, data_.constData(), size_t(n));
        data_.remove(0, n);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
};
} // namespace

TEST_F(PointsTable, ReadErrorKeepsTheRowsReadSoFarAndSaysSo) {
    FailingDevice in(
        recordsOf({{"A", 1, 2, "E", "", "i"}, {"B", 3, 4, "E", "", "i"}, {"C", 5, 6, "E", "", "i"}}));
    SetUpEmptyRows(grid);
    const PointsLoadResult r = LoadPoints(in, grid, "bad.gps");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.rows, 3);
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(3, 1), QStringLiteral("C"));
    EXPECT_TRUE(r.error.contains("\"bad.gps\"")) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains("Input/output error"));
    EXPECT_TRUE(r.error.contains("3 waypoint(s)"));
}
