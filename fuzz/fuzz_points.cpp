// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes given to the points file reader: it must never crash, hang or read
// out of bounds; whatever it accepts must encode back to exactly the bytes it
// took; and loading the same bytes into the table must give one row per record.
#include "files/pointsfile.h"
#include "files/pointstable.h"
#include "platform/numbers.h"
#include "table/waypointrows.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {
// Made once and never destroyed: tearing Qt down in exit handlers, after its
// own statics are gone, crashes. They stay reachable, so they are no leak.
QCoreApplication* app = nullptr;
WaypointRows* grid = nullptr;

int checkInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::size_t used = 0;
    int records = 0;
    PointsRecord rec;
    while (std::size_t n = DecodeRecord(bytes + used, size - used, rec)) {
        if (n > size - used)
            std::abort();
        QByteArray again;
        if (!AppendRecord(again, rec) || std::size_t(again.size()) != n ||
            memcmp(again.constData(), bytes + used, n) != 0)
            std::abort(); // what was read does not write back the same
        (void)NumberToText(rec.latitude);
        (void)NumberToText(rec.longitude);
        used += n;
        ++records;
    }

    QByteArray copy(bytes, qsizetype(size));
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    grid->setRows(1);
    const PointsLoadResult loaded = LoadPoints(buffer, *grid, QStringLiteral("fuzz"));
    if (!loaded.ok || loaded.rows != records || grid->Rows() != records + 1)
        std::abort();
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    app = new QCoreApplication(*argc, *argv);
    grid = new WaypointRows;
    // One load before fuzzing starts, so that Qt's one-time caches are
    // filled outside any input and do not read as leaks of the first one.
    PointsRecord warm{QStringLiteral("WP1"),      35.5, -90.25,
                      QStringLiteral("0000028M"), {},   QStringLiteral("a")};
    QByteArray bytes;
    AppendRecord(bytes, warm);
    checkInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return checkInput(data, size);
}
