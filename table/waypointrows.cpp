// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/waypointrows.h"

#include <QStringList>

#include <algorithm>

namespace {

Qt::Alignment alignmentFor(QChar c) {
    if (c == '^')
        return Qt::AlignCenter;
    if (c == '>')
        return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

WaypointRows::WaypointRows(QObject* parent) : QAbstractTableModel(parent) {
    cells_.resize(1);
    marks_.resize(1);
    align_.resize(1, Qt::AlignCenter);
}

int WaypointRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_ - 1;
}

int WaypointRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant WaypointRows::data(const QModelIndex& index, int role) const {
    const int r = index.row() + 1, c = index.column();
    // Bounds are checked against the rows, not the index's model counts:
    // during a bulk update a view may still hold the old counts.
    if (!index.isValid() || r >= rows_ || c >= cols_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(r, c);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(c));
    case MarkRole:
        return c == 0 && marks_[size_t(r)] != 0;
    default:
        return {};
    }
}

QVariant WaypointRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= cols_)
        return {};
    if (role == Qt::DisplayRole)
        return cell(0, section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(section));
    return {};
}

Qt::ItemFlags WaypointRows::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

Qt::Alignment WaypointRows::alignment(int col) const {
    return col >= 0 && col < int(align_.size()) ? align_[size_t(col)] : Qt::Alignment(Qt::AlignCenter);
}

void WaypointRows::setRows(int rows) {
    rows = std::max(1, rows);
    if (rows == rows_)
        return;
    const bool tell = bulk_ == 0;
    if (rows > rows_) {
        if (tell)
            beginInsertRows(QModelIndex(), rows_ - 1, rows - 2);
        cells_.resize(size_t(rows) * size_t(cols_));
        marks_.resize(size_t(rows), 0);
        rows_ = rows;
        if (tell)
            endInsertRows();
    } else {
        if (tell)
            beginRemoveRows(QModelIndex(), rows - 1, rows_ - 2);
        cells_.resize(size_t(rows) * size_t(cols_));
        cells_.shrink_to_fit();
        marks_.resize(size_t(rows));
        rows_ = rows;
        if (tell)
            endRemoveRows();
    }
}

void WaypointRows::setCols(int cols) {
    cols = std::max(1, cols);
    if (cols == cols_)
        return;
    if (bulk_ == 0)
        beginResetModel();
    std::vector<QString> next(size_t(rows_) * size_t(cols));
    const int keep = std::min(cols, cols_);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < keep; ++c)
            next[size_t(r) * size_t(cols) + size_t(c)] =
                std::move(cells_[size_t(r) * size_t(cols_) + size_t(c)]);
    cells_ = std::move(next);
    cols_ = cols;
    align_.resize(size_t(cols), Qt::AlignCenter);
    if (bulk_ == 0)
        endResetModel();
}

void WaypointRows::setFormatString(const QString& format) {
    format_ = format;
    const QStringList parts = format.split('|');
    if (parts.size() > cols_)
        setCols(int(parts.size()));
    for (int c = 0; c < parts.size(); ++c) {
        QString text = parts[c];
        Qt::Alignment a = Qt::AlignCenter;
        if (!text.isEmpty() && (text[0] == '^' || text[0] == '<' || text[0] == '>')) {
            a = alignmentFor(text[0]);
            text.remove(0, 1);
        }
        align_[size_t(c)] = a;
        cells_[size_t(c)] = text;
    }
    if (bulk_ == 0) {
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
        if (rows_ > 1)
            emit dataChanged(index(0, 0), index(rows_ - 2, cols_ - 1));
    }
}

QString WaypointRows::TextMatrix(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return QString();
    return cell(row, col);
}

void WaypointRows::setTextMatrix(int row, int col, const QString& text) {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return;
    cells_[size_t(row) * size_t(cols_) + size_t(col)] = text;
    if (bulk_ != 0)
        return;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(row - 1, col);
        emit dataChanged(i, i, {Qt::DisplayRole});
    }
}

void WaypointRows::setMarked(int row, bool marked) {
    if (row < 1 || row >= rows_ || (marks_[size_t(row)] != 0) == marked)
        return;
    marks_[size_t(row)] = marked ? 1 : 0;
    if (bulk_ == 0) {
        const QModelIndex i = index(row - 1, 0);
        emit dataChanged(i, i, {MarkRole});
    }
}

void WaypointRows::setAllMarked(bool marked) {
    if (rows_ < 2)
        return;
    std::fill(marks_.begin() + 1, marks_.end(), marked ? 1 : 0);
    if (bulk_ == 0)
        emit dataChanged(index(0, 0), index(rows_ - 2, 0), {MarkRole});
}

void WaypointRows::RemoveItem(int row) {
    if (row < 1 || row >= rows_)
        return;
    if (bulk_ == 0)
        beginRemoveRows(QModelIndex(), row - 1, row - 1);
    auto first = cells_.begin() + ptrdiff_t(row) * cols_;
    cells_.erase(first, first + cols_);
    marks_.erase(marks_.begin() + row);
    --rows_;
    if (bulk_ == 0)
        endRemoveRows();
}

void WaypointRows::RemoveRows(const std::vector<bool>& remove) {
    if (bulk_ == 0)
        beginResetModel();
    int out = 1;
    for (int r = 1; r < rows_; ++r) {
        if (r < int(remove.size()) && remove[size_t(r)])
            continue;
        if (out != r) {
            for (int c = 0; c < cols_; ++c)
                cells_[size_t(out) * size_t(cols_) + size_t(c)] =
                    std::move(cells_[size_t(r) * size_t(cols_) + size_t(c)]);
            marks_[size_t(out)] = marks_[size_t(r)];
        }
        ++out;
    }
    rows_ = out;
    cells_.resize(size_t(rows_) * size_t(cols_));
    marks_.resize(size_t(rows_));
    if (bulk_ == 0)
        endResetModel();
}

void WaypointRows::Clear() {
    if (bulk_ == 0)
        beginResetModel();
    for (auto& s : cells_)
        s.clear();
    std::fill(marks_.begin(), marks_.end(), 0);
    if (bulk_ == 0)
        endResetModel();
}

void WaypointRows::endBulkUpdate() {
    if (bulk_ > 0 && --bulk_ == 0) {
        beginResetModel();
        endResetModel();
    }
}

void SetUpEmptyRows(WaypointRows& rows) {
    rows.setCols(WaypointColumns);
    rows.setRows(1);
    rows.setFormatString(kWaypointFormat);
}

bool IsBlankRow(const WaypointRows& rows, int row) {
    for (int c = colName; c <= colIcon; ++c)
        if (!rows.TextMatrix(row, c).isEmpty())
            return false;
    return true;
}
