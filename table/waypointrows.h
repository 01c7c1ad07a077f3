// SPDX-License-Identifier: GPL-3.0-or-later
// WaypointRows: the waypoint table's rows as a model of their own, free of any
// widget. Cells are strings in one flat row-major array and marks one byte per
// row (no object per cell), so 100,000 rows stay cheap.
//
// Rows are numbered as the classic grid numbers them: row 0 holds the header
// texts, data rows are 1 .. Rows()-1. Column 0 is the mark column. As an item
// model it offers the data rows only (model row i = table row i + 1) and the
// header texts as horizontal header data, so a view shows row 0 as its header.
#pragma once
#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

// Column numbers of the waypoint table.
enum WaypointColumn : int {
    colMark = 0,
    colName = 1,
    colLatitude = 2,
    colLongitude = 3,
    colElevation = 4,
    colMessage = 5,
    colIcon = 6,
    WaypointColumns = 7
};

// The header format: centred column titles.
inline const QString kWaypointFormat =
    QStringLiteral("^|^Waypoint|^Latitude|^Longitude|^Elevation|^Message|^Icon");

class WaypointRows final : public QAbstractTableModel {
    Q_OBJECT
public:
    // data() of column 0 under this role: the row's mark (bool).
    static constexpr int MarkRole = Qt::UserRole;

    explicit WaypointRows(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Row and column counts, header row and mark column included. Lowering
    // Rows removes rows from the end; raising it appends empty unmarked rows.
    // Rows is at least 1 and Cols at least 1.
    int Rows() const { return rows_; }
    void setRows(int rows);
    int Cols() const { return cols_; }
    void setCols(int cols);

    // Header texts and alignment: "|" separates columns, a leading "^" centres,
    // "<" aligns left, ">" right. Sets Cols to at least the number of columns named.
    void setFormatString(const QString& format);
    QString FormatString() const { return format_; }
    // The alignment the format gave column col (centred when it named none).
    Qt::Alignment alignment(int col) const;

    // Text of any cell. Out of range reads "" and writes are ignored.
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    // The mark of data row r. The header row is never marked.
    bool isMarked(int row) const { return row >= 0 && row < rows_ && marks_[size_t(row)] != 0; }
    void setMarked(int row, bool marked);
    // Marks or unmarks every data row at once (views are told once).
    void setAllMarked(bool marked);

    // Removes row r (rows below move up). The header cannot be removed.
    void RemoveItem(int row);
    // Removes every data row whose flag is set, in one pass (flags indexed by
    // row number; rows past the vector's end are kept).
    void RemoveRows(const std::vector<bool>& remove);
    // Empties every cell (header texts too) and every mark; counts unchanged.
    void Clear();

    // Many changes at once (file load, download): nothing is signalled until
    // the outermost endBulkUpdate, which resets the views once. Meanwhile
    // data() answers from the current counts, so a view that paints with
    // stale counts reads empty cells, never out of range.
    void beginBulkUpdate() { ++bulk_; }
    void endBulkUpdate();
    bool inBulkUpdate() const { return bulk_ != 0; }

private:
    const QString& cell(int row, int col) const { return cells_[size_t(row) * size_t(cols_) + size_t(col)]; }

    int rows_ = 1;
    int cols_ = 1;
    QString format_;
    std::vector<QString> cells_; // rows_ * cols_, row-major, row 0 = header
    std::vector<uint8_t> marks_; // one per row
    std::vector<Qt::Alignment> align_;
    int bulk_ = 0;
};

// Empty-table set-up of the rows: 7 columns, row count 1 (header only), the
// format string. Marks of removed rows go with them; nothing else is cleared.
void SetUpEmptyRows(WaypointRows& rows);

// True when columns 1 to 6 of row are all empty (as Insert Row leaves a row,
// or a clearing its one remaining row): a row that stands for no waypoint.
bool IsBlankRow(const WaypointRows& rows, int row);
