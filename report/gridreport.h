// SPDX-License-Identifier: GPL-3.0-or-later
// GridReport: the waypoint table laid out as printed pages. Each page shows a
// heading line "Page N" (page 1 has the title "GPS Report <short date>" above
// it) and then the table as it looks on screen: the header row, the mark column
// with its marks, and up to 57 data rows, with the table's column widths, row
// heights, fonts and grid lines. Every data row appears on exactly one page.
//
// Painting reads the rows and a look taken from the grid on screen (widths,
// fonts, row heights, colours, the mark picture); neither is changed, so the
// window looks the same after printing as before.
#pragma once
#include <QColor>
#include <QDate>
#include <QFont>
#include <QPixmap>
#include <QRectF>
#include <QString>

#include <vector>

class FlexGrid;
class QPainter;
class WaypointRows;

// What the printed table takes from the table on screen.
struct GridReportLook {
    std::vector<int> colWidthsTwips; // per column; a column past the end is 0 wide (left out)
    int headerHeightTwips = 255;
    int rowHeightTwips = 255;         // a data row past the end of rowHeightsTwips
    std::vector<int> rowHeightsTwips; // data rows 1, 2, ... (index row - 1)
    QFont cellFont;
    QFont headerFont;
    QColor fixedFill, dataFill, text, lines; // header row and mark column, data cells, texts, grid lines
    QPixmap mark;                            // drawn in the mark column of marked rows

    // The look of grid as it is on screen now.
    static GridReportLook of(const FlexGrid& grid);
};

constexpr int ReportRowsPerPage = 57;

// One page: data rows firstRow .. lastRow of the table (inclusive, 1-based).
struct ReportPage {
    int number = 0;
    int firstRow = 0;
    int lastRow = 0;
    bool operator==(const ReportPage&) const = default;
};

// The pages of a table whose row count (header included) is gridRows. A table
// with no data rows has no page.
std::vector<ReportPage> ReportPages(int gridRows);

class GridReport {
public:
    // date: the date the title carries, in the system's short date format.
    // The rows must outlive the report and not change while it paints.
    GridReport(const WaypointRows& rows, GridReportLook look, const QDate& date);

    const std::vector<ReportPage>& pages() const { return pages_; }
    QDate date() const { return date_; }
    QString title() const;
    static QString heading(int pageNumber);

    // Paints page onto the painter's device inside area (device pixels, the
    // printable area). The layout is in twips at the device's resolution; it is
    // shrunk, the same for every page, only when the fullest page would not fit.
    void paint(QPainter& painter, const QRectF& area, const ReportPage& page) const;

    // Title font: the table's face, 18 pt bold; heading font: 10 pt, regular.
    QFont titleFont() const;
    QFont headingFont() const;

private:
    int rowHeightTwips(int row) const; // row 0 = header
    int tableWidthTwips() const;
    int colWidthTwips(int col) const {
        return col < int(look_.colWidthsTwips.size()) ? look_.colWidthsTwips[size_t(col)] : 0;
    }

    const WaypointRows& rows_;
    GridReportLook look_;
    QDate date_;
    std::vector<ReportPage> pages_;
    int tallestRowsTwips_ = 0; // the highest sum of row heights of a page (header included)
    int firstPageRowsTwips_ = 0;
};
