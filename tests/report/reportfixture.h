// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the report tests: a filled waypoint table, and PDF pages read back
// as text with pdftotext.
#pragma once
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

// Name of data row r: fixed width, so that no name is part of another.
inline QString rowName(int r) {
    return QStringLiteral("WP%1").arg(r, 5, 10, QLatin1Char('0'));
}

// n data rows with distinct names and messages.
inline void fillTable(FlexGrid& grid, int n) {
    SetUpEmptyTable(grid);
    grid.setRows(n + 1);
    for (int r = 1; r <= n; ++r) {
        grid.setTextMatrix(r, colName, rowName(r));
        grid.setTextMatrix(r, colLatitude, QStringLiteral("35.2763888888889"));
        grid.setTextMatrix(r, colLongitude, QStringLiteral("-90.25"));
        grid.setTextMatrix(r, colElevation, QStringLiteral("0000028M"));
        grid.setTextMatrix(r, colMessage, QStringLiteral("Note%1").arg(r, 5, 10, QLatin1Char('0')));
        grid.setTextMatrix(r, colIcon, QStringLiteral("a"));
    }
}

// The text of a PDF file as pdftotext reads it; fails the test when it cannot.
inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed on " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Data row numbers whose names a page's text holds, in the order they appear.
inline std::vector<int> rowsIn(const QString& text) {
    std::vector<int> rows;
    qsizetype at = 0;
    while ((at = text.indexOf(QStringLiteral("WP"), at)) >= 0) {
        bool ok = false;
        const int r = text.mid(at + 2, 5).toInt(&ok);
        if (ok)
            rows.push_back(r);
        at += 2;
    }
    return rows;
}
