// SPDX-License-Identifier: GPL-3.0-or-later
// The interchange formats, one reader and one writer each, registered in one
// table and chosen by a file's extension. Readers take the whole file's bytes;
// writers give the whole file's bytes. Nothing here shows a message.
#pragma once
#include "interchange/pointrows.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct InterchangeFormat {
    QString name;           // "GPX", shown in messages
    QStringList extensions; // lower case, without the dot; the first is written
    QString filter;         // file chooser pattern, "*.gpx"
    ReadResult (*read)(const QByteArray& bytes) = nullptr;
    // Null when the format is read only (KMZ).
    QByteArray (*write)(const PointRows& rows, WriteResult& result) = nullptr;
};

// Every format, in the order the file choosers list them.
const std::vector<InterchangeFormat>& InterchangeFormats();

// The format for a path's extension (any case), or null.
const InterchangeFormat* FormatForPath(const QString& path);

// Reads the file at path with the format its extension names. A missing,
// unreadable or empty file, or one not of its format, gives ok false with a
// reason naming the file.
ReadResult ReadInterchangeFile(const QString& path);

// Writes rows to path in the format its extension names, through the durable
// write (the file on disk is whole or as it was). Empty rows are left out
// silently; rows without usable coordinates are left out and counted.
WriteResult WriteInterchangeFile(const QString& path, const PointRows& rows);

// Per format (gpxformat.cpp, csvformat.cpp, kmlformat.cpp).
ReadResult ReadGpx(const QByteArray& bytes);
QByteArray WriteGpx(const PointRows& rows, WriteResult& result);
ReadResult ReadCsv(const QByteArray& bytes);
QByteArray WriteCsv(const PointRows& rows, WriteResult& result);
ReadResult ReadKml(const QByteArray& bytes);
QByteArray WriteKml(const PointRows& rows, WriteResult& result);
ReadResult ReadKmz(const QByteArray& bytes);

// The first ".kml" member of a zip archive (doc.kml preferred), inflated.
// False with *error set when the archive holds none or cannot be read.
bool ExtractKmlFromZip(const QByteArray& zip, QByteArray* kml, QString* error);
