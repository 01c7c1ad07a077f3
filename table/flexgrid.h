// SPDX-License-Identifier: GPL-3.0-or-later
// FlexGrid: the waypoint table's grid control, a QTableView over the rows
// model (WaypointRows), offering the grid operations under their classic
// names. Row data (cells, marks, counts, header format) lives in the model and
// the grid forwards to it; what only the screen needs lives here: displayed
// decimals and tooltips, the mark picture, column widths, the current cell and
// the cell under the mouse. Several grids may show one model.
//
// Rows are numbered as the classic grid numbers them: row 0 is the fixed header
// (drawn as the view's horizontal header), data rows are 1 .. Rows()-1. Column 0
// is the mark column. Measures (CellLeft, ColWidth, ...) are in twips.
#pragma once
#include "table/waypointrows.h"

#include <QPixmap>
#include <QTableView>

#include <algorithm>
#include <functional>
#include <vector>

class GridDisplayModel;

class FlexGrid final : public QTableView {
    Q_OBJECT
public:
    // A grid over rows of its own.
    explicit FlexGrid(QWidget* parent = nullptr);
    // A grid over rows, which must outlive it.
    explicit FlexGrid(WaypointRows* rows, QWidget* parent = nullptr);
    ~FlexGrid() override;

    // The rows the grid shows.
    WaypointRows& rows() const { return *rows_; }

    // Row and column counts, header row and mark column included. Lowering
    // Rows removes rows from the end; raising it appends empty unmarked rows.
    // Rows is at least 1 and Cols at least 1.
    int Rows() const { return rows_->Rows(); }
    void setRows(int rows) { rows_->setRows(rows); }
    int Cols() const { return rows_->Cols(); }
    void setCols(int cols) { rows_->setCols(cols); }

    // Header texts and alignment: "|" separates columns, a leading "^" centres,
    // "<" aligns left, ">" right. Sets Cols to at least the number of columns named.
    void setFormatString(const QString& format) { rows_->setFormatString(format); }
    QString FormatString() const { return rows_->FormatString(); }

    int ColWidth(int col) const; // twips
    void setColWidth(int col, int twips);
    // A column that the view widens to take whatever width the other columns
    // leave (never narrower than its set width); -1 for none. Only the display
    // changes: ColWidth still reports the width as set, so a printed report
    // keeps its layout.
    void setFillColumn(int col);

    // Columns whose decimal numbers are shown rounded to at most `decimals`
    // places (-1: as stored). Only the screen changes: TextMatrix, the cell
    // editor and files keep the full text, which the cell's tooltip shows.
    void setDisplayDecimals(int col, int decimals);
    // The text a cell shows on screen (data rows; the header as stored).
    QString DisplayText(int row, int col) const;

    // Text of any cell, without moving the current cell. Out of range reads "".
    QString TextMatrix(int row, int col) const { return rows_->TextMatrix(row, col); }
    void setTextMatrix(int row, int col, const QString& text) { rows_->setTextMatrix(row, col, text); }

    // The current cell. Changing it raises EnterCell at once (a change to the
    // same value raises nothing). When rows or columns go, it moves to the last
    // one left (without raising EnterCell).
    int Row() const { return std::min(row_, rows_->Rows() - 1); }
    void setRow(int row);
    int Col() const { return std::min(col_, rows_->Cols() - 1); }
    void setCol(int col);
    QString Text() const { return TextMatrix(Row(), Col()); }
    void setText(const QString& text) { setTextMatrix(Row(), Col(), text); }

    // Picture of the current cell. Only column 0 carries one: the selection mark.
    bool CellPicture() const;
    void setCellPicture(bool present);
    // The mark of row r, without moving the current cell.
    bool isMarked(int row) const { return rows_->isMarked(row); }
    void setMarked(int row, bool marked) { rows_->setMarked(row, marked); }
    // The shared mark picture (loaded once from Support/Checkmark2.gif).
    static const QPixmap& markPicture();

    // Row and column under the mouse pointer at the last mouse event (-1 when
    // outside any cell; 0 for the header row / mark column).
    int MouseRow() const { return mouseRow_; }
    int MouseCol() const { return mouseCol_; }
    void setMouseCell(int row, int col); // tests and programmatic pointer moves

    // Position and size of the current cell inside the grid widget, in twips.
    int CellLeft() const;
    int CellTop() const;
    int CellWidth() const;
    int CellHeight() const;

    // Removes row r (rows below move up). The header cannot be removed.
    void RemoveItem(int row) { rows_->RemoveItem(row); }
    // Removes every data row whose flag is set, in one pass (flags indexed by
    // row number; rows past the vector's end are kept).
    void RemoveRows(const std::vector<bool>& remove) { rows_->RemoveRows(remove); }
    // Empties every cell (header texts too) and every mark; counts unchanged.
    void Clear() { rows_->Clear(); }

    // Many cell writes at once (file load, download): views are told once at the end.
    void beginBulkUpdate() { rows_->beginBulkUpdate(); }
    void endBulkUpdate() { rows_->endBulkUpdate(); }

    // The model the view shows: the rows, with the screen's texts and tooltips.
    // Its indexes are the rows' (model row i = table row i + 1).
    QAbstractItemModel* gridModel() const;

signals:
    // Button: 1 left, 2 right, 4 middle. Shift: 1 shift, 2 ctrl, 4 alt. x, y in twips.
    void MouseUp(int Button, int Shift, float x, float y);
    void EnterCell();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;

private:
    friend class GridDisplayModel;
    void clampCurrent();
    void updateMouseCell(const QPoint& viewportPos);
    void syncViewCurrent();
    void fitFillColumn();

    WaypointRows* rows_;
    std::vector<int> colTwips_;        // widths as set, in twips
    std::vector<int> displayDecimals_; // per column, -1 = as stored
    int row_ = 0;
    int col_ = 0;
    int mouseRow_ = -1;
    int mouseCol_ = -1;
    bool syncingView_ = false;
    bool syncQueued_ = false;
    int fillCol_ = -1;
    bool fitting_ = false;
    GridDisplayModel* model_;         // the rows with the screen's texts and tooltips
    QObject* headerFilter_ = nullptr; // mouse events of the header row
};
