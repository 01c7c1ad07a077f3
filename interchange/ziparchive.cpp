// SPDX-License-Identifier: GPL-3.0-or-later
// Just enough of the zip format to take the KML out of a KMZ: the central
// directory, stored and deflated members. Every offset and length is checked
// against the archive's size before use.
#include "interchange/formats.h"

#include <zlib.h>

#include <cstdint>

namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
// A KML inflated beyond this is refused rather than filling memory.
constexpr qint64 kMaxInflated = qint64(256) << 20;

uint32_t u16(const QByteArray& b, qint64 at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t u32(const QByteArray& b, qint64 at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

bool inflateRaw(const QByteArray& in, qint64 expected, QByteArray* out) {
    if (expected < 0 || expected > kMaxInflated)
        return false;
    out->resize(qsizetype(expected));
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out->data());
    z.avail_out = uInt(out->size());
    const int rc = inflate(&z, Z_FINISH);
    const bool ok = rc == Z_STREAM_END && z.total_out == uLong(expected);
    inflateEnd(&z);
    return ok;
}

} // namespace

bool ExtractKmlFromZip(const QByteArray& zip, QByteArray* kml, QString* error) {
    const qint64 size = zip.size();
    // The end record is 22 bytes plus a comment of up to 65,535.
    qint64 end = -1;
    for (qint64 at = size - 22; at >= 0 && at >= size - 22 - 0xFFFF; --at)
        if (u32(zip, at) == kEndOfDirectory) {
            end = at;
            break;
        }
    if (end < 0) {
        *error = QStringLiteral("it is not a KMZ (zip) archive");
        return false;
    }
    const uint32_t entries = u16(zip, end + 10);
    qint64 at = u32(zip, end + 16);
    qint64 chosenHeader = -1, chosenCompressed = 0, chosenSize = 0;
    uint32_t chosenMethod = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        if (at + 46 > size || u32(zip, at) != kDirectoryEntry)
            break;
        const uint32_t method = u16(zip, at + 10);
        const qint64 compressed = u32(zip, at + 20), plain = u32(zip, at + 24);
        const qint64 nameLen = u16(zip, at + 28), extraLen = u16(zip, at + 30),
                     commentLen = u16(zip, at + 32);
        const qint64 header = u32(zip, at + 42);
        if (at + 46 + nameLen > size)
            break;
        const QString name = QString::fromUtf8(zip.constData() + at + 46, qsizetype(nameLen));
        if (name.endsWith(QLatin1String(".kml"), Qt::CaseInsensitive) &&
            (chosenHeader < 0 || name.compare(QLatin1String("doc.kml"), Qt::CaseInsensitive) == 0)) {
            chosenHeader = header;
            chosenCompressed = compressed;
            chosenSize = plain;
            chosenMethod = method;
        }
        at += 46 + nameLen + extraLen + commentLen;
    }
    if (chosenHeader < 0) {
        *error = QStringLiteral("the KMZ archive holds no KML file");
        return false;
    }
    if (chosenHeader + 30 > size || u32(zip, chosenHeader) != kLocalHeader) {
        *error = QStringLiteral("the KMZ archive is damaged");
        return false;
    }
    const qint64 data = chosenHeader + 30 + u16(zip, chosenHeader + 26) + u16(zip, chosenHeader + 28);
    if (data + chosenCompressed > size) {
        *error = QStringLiteral("the KMZ archive is cut short");
        return false;
    }
    const QByteArray packed = zip.mid(qsizetype(data), qsizetype(chosenCompressed));
    if (chosenMethod == 0) {
        *kml = packed;
        return true;
    }
    if (chosenMethod != 8 || !inflateRaw(packed, chosenSize, kml)) {
        *error = QStringLiteral("the KML inside the KMZ archive could not be unpacked");
        return false;
    }
    return true;
}
