// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes given to the interchange readers (the first byte picks the
// format): they must never crash, hang or read out of bounds; every row they
// accept has usable coordinates, so writing it as GPX keeps every row, and
// reading that GPX back gives the same coordinates.
#include "interchange/formats.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    ReadResult (*const readers[])(const QByteArray&) = {ReadGpx, ReadCsv, ReadKml, ReadKmz};
    const ReadResult read = readers[data[0] % 4](bytes);
    if (!read.ok) {
        if (!read.rows.empty() || read.error.isEmpty())
            std::abort();
        return 0;
    }
    WriteResult written;
    const QByteArray gpx = WriteGpx(read.rows, written);
    std::size_t nonEmpty = 0;
    for (const PointRow& r : read.rows)
        nonEmpty += IsEmptyRow(r) ? 0 : 1;
    if (written.skipped != 0 || std::size_t(written.written) != nonEmpty)
        std::abort();
    const ReadResult again = ReadGpx(gpx);
    if (!again.ok || again.rows.size() != nonEmpty)
        std::abort();
    for (std::size_t i = 0; i < nonEmpty; ++i)
        if (again.rows[i].latitude != read.rows[i].latitude ||
            again.rows[i].longitude != read.rows[i].longitude)
            std::abort();
    return 0;
}
