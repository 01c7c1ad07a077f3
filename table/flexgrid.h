// SPDX-License-Identifier: GPL-3.0-or-later
// FlexGrid: the waypoint table's grid control. A QTableView over a compact model
// (cells as strings in one flat array, one mark flag per row; no object per
// cell), offering the grid operations under their classic names.
//
// Rows are numbered as the classic grid numbers them: row 0 is the fixed header
// (drawn as the view's horizontal header), data rows are 1 .. Rows()-1. Column 0
// is the mark column. Measures (CellLeft, ColWidth, ...) are in twips.
#pragma once
#include <QAbstractTableModel>
#include <QPixmap>
#include <QTableView>

#include <functional>
#include <vector>

class FlexGrid;

class FlexGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FlexGridModel(FlexGrid* grid);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    friend class FlexGrid;
    FlexGrid* grid_;
};

class FlexGrid final : public QTableView {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

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
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    // The current cell. Changing it raises EnterCell at once (a change to the
    // same value raises nothing).
    int Row() const { return row_; }
    void setRow(int row);
    int Col() const { return col_; }
    void setCol(int col);
    QString Text() const { return TextMatrix(row_, col_); }
    void setText(const QString& text) { setTextMatrix(row_, col_, text); }

    // Picture of the current cell. Only column 0 carries one: the selection mark.
    bool CellPicture() const;
    void setCellPicture(bool present);
    // The mark of row r, without moving the current cell.
    bool isMarked(int row) const;
    void setMarked(int row, bool marked);
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
    void RemoveItem(int row);
    // Removes every data row whose flag is set, in one pass (flags indexed by
    // row number; rows past the vector's end are kept).
    void RemoveRows(const std::vector<bool>& remove);
    // Empties every cell (header texts too) and every mark; counts unchanged.
    void Clear();

    // Many cell writes at once (file load, download): views are told once at the end.
    void beginBulkUpdate();
    void endBulkUpdate();

    FlexGridModel* gridModel() const { return model_; }

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
    friend class FlexGridModel;
    void updateMouseCell(const QPoint& viewportPos);
    void syncViewCurrent();
    void notifyRow(int row);
    void fitFillColumn();
    const QString& cell(int row, int col) const { return cells_[static_cast<size_t>(row) * cols_ + col]; }

    int rows_ = 1;
    int cols_ = 1;
    QString format_;
    std::vector<QString> cells_; // rows_ * cols_, row-major, row 0 = header
    std::vector<uint8_t> marks_; // one per row
    std::vector<Qt::Alignment> align_;
    std::vector<int> colTwips_;        // widths as set, in twips
    std::vector<int> displayDecimals_; // per column, -1 = as stored
    int row_ = 0;
    int col_ = 0;
    int mouseRow_ = -1;
    int mouseCol_ = -1;
    int bulk_ = 0;
    bool syncingView_ = false;
    bool syncQueued_ = false;
    int fillCol_ = -1;
    bool fitting_ = false;
    FlexGridModel* model_;
    QObject* headerFilter_ = nullptr; // mouse events of the header row
};
