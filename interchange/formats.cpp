// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/formats.h"

#include "platform/durablewrite.h"

#include <QFile>
#include <QFileInfo>

const std::vector<InterchangeFormat>& InterchangeFormats() {
    static const std::vector<InterchangeFormat> formats = {
        {QStringLiteral("GPX"), {QStringLiteral("gpx")}, QStringLiteral("*.gpx"), ReadGpx, WriteGpx},
        {QStringLiteral("CSV"), {QStringLiteral("csv")}, QStringLiteral("*.csv"), ReadCsv, WriteCsv},
        {QStringLiteral("KML"), {QStringLiteral("kml")}, QStringLiteral("*.kml"), ReadKml, WriteKml},
        {QStringLiteral("KMZ"), {QStringLiteral("kmz")}, QStringLiteral("*.kmz"), ReadKmz, nullptr},
    };
    return formats;
}

const InterchangeFormat* FormatForPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    for (const InterchangeFormat& f : InterchangeFormats())
        if (f.extensions.contains(ext))
            return &f;
    return nullptr;
}

ReadResult ReadInterchangeFile(const QString& path) {
    ReadResult result;
    auto fail = [&](const QString& why) {
        ReadResult failed;
        failed.error = QStringLiteral("\"%1\" could not be imported: %2.").arg(path, why);
        return failed;
    };
    const InterchangeFormat* format = FormatForPath(path);
    if (!format)
        return fail(QStringLiteral("its extension names no format this program reads"));
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("there is no such file"));
    // A pipe would block for good, a device might never end.
    if (const QString why = NotARegularFileReason(path); !why.isEmpty())
        return fail(why);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.trimmed().isEmpty())
        return fail(QStringLiteral("the file is empty"));
    result = format->read(bytes);
    if (!result.ok)
        return fail(result.error);
    return result;
}

WriteResult WriteInterchangeFile(const QString& path, const PointRows& rows) {
    WriteResult result;
    const InterchangeFormat* format = FormatForPath(path);
    if (!format || !format->write) {
        result.error =
            QStringLiteral("\"%1\" was not written: this program cannot write that format.").arg(path);
        return result;
    }
    const QByteArray bytes = format->write(rows, result);
    QString why;
    if (!WriteFileDurably(path, bytes, &why)) {
        result.ok = false;
        result.error = QStringLiteral("\"%1\" could not be written: %2.").arg(path, why) +
                       QStringLiteral("\r\n") + QStringLiteral("The file on disk was not changed.");
        return result;
    }
    result.ok = true;
    return result;
}
