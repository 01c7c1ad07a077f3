// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/flexgrid.h"

#include "platform/numbers.h"
#include "platform/programfolder.h"
#include "platform/twips.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

// Paints column 0's mark picture centred in its cell. The current cell's
// frame there is a one-pixel outline at the cell's edge, drawn by this
// delegate instead of the style (whose focus panel may fill the cell), and
// the mark keeps two pixels clear of the edge: the two never overlap, so a
// marked current cell always shows its mark.
class MarkDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain(option);
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if (index.data(Qt::UserRole).toBool()) {
            const QPixmap& pm = FlexGrid::markPicture();
            const QRect room = option.rect.adjusted(2, 2, -2, -2);
            QSize size = pm.size().scaled(room.size(), Qt::KeepAspectRatio);
            if (size.width() > pm.width())
                size = pm.size();
            QRect target(QPoint(0, 0), size);
            target.moveCenter(room.center());
            painter->drawPixmap(target, pm);
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
};

int buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

Qt::Alignment alignmentFor(QChar c) {
    if (c == '^')
        return Qt::AlignCenter;
    if (c == '>')
        return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Mouse events on the header row: the header is part of the grid (row 0).
class HeaderMouseFilter final : public QObject {
public:
    explicit HeaderMouseFilter(FlexGrid* grid) : QObject(grid), grid_(grid) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* header = grid_->horizontalHeader();
        if (watched != header->viewport())
            return false;
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseMove) {
            auto* me = static_cast<QMouseEvent*>(event);
            QPoint p = me->position().toPoint();
            grid_->setMouseCell(0, header->logicalIndexAt(p.x()));
            if (event->type() == QEvent::MouseButtonRelease) {
                QPoint g = header->viewport()->mapTo(grid_, p);
                emit grid_->MouseUp(buttonCode(me->button()), shiftCode(me->modifiers()),
                                    float(PixelsToTwips(g.x())), float(PixelsToTwips(g.y())));
            }
        }
        return false;
    }

private:
    FlexGrid* grid_;
};

} // namespace

// ---------------------------------------------------------------- model

FlexGridModel::FlexGridModel(FlexGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

int FlexGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_->rows_ - 1;
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_->cols_;
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    const int r = index.row() + 1, c = index.column();
    // Bounds are checked against the grid, not the view: during a bulk update
    // the view may still hold the old counts.
    if (!index.isValid() || r >= grid_->rows_ || c >= grid_->cols_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return grid_->DisplayText(r, c);
    case Qt::ToolTipRole: {
        // The full text, where the screen shows it shortened.
        const QString shown = grid_->DisplayText(r, c);
        return shown == grid_->cell(r, c) ? QVariant() : QVariant(grid_->cell(r, c));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(c < int(grid_->align_.size()) ? grid_->align_[c]
                                                                 : Qt::Alignment(Qt::AlignCenter));
    case Qt::UserRole:
        return c == 0 && grid_->marks_[r] != 0;
    default:
        return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= grid_->cols_)
        return {};
    if (role == Qt::DisplayRole)
        return grid_->cell(0, section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section < int(grid_->align_.size()) ? grid_->align_[section]
                                                                       : Qt::Alignment(Qt::AlignCenter));
    return {};
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---------------------------------------------------------------- grid

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexGridModel(this)) {
    cells_.resize(1);
    marks_.resize(1);
    align_.resize(1, Qt::AlignCenter);
    setModel(model_);
    setItemDelegate(new MarkDelegate(this));
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(TwipsToPixels(255));
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMouseTracking(true);
    headerFilter_ = new HeaderMouseFilter(this);
    horizontalHeader()->viewport()->installEventFilter(headerFilter_);
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(9.75);
    setFont(f);
    horizontalHeader()->setFont(f);
}

// The header outlives this object's own part of the destruction (QWidget
// deletes its children last) and keeps sending events; the filter must not
// see them, as it calls back into this grid.
FlexGrid::~FlexGrid() {
    horizontalHeader()->viewport()->removeEventFilter(headerFilter_);
    delete headerFilter_;
}

const QPixmap& FlexGrid::markPicture() {
    static const QPixmap pixmap = [] {
        QPixmap pm(SupportPath(QStringLiteral("Checkmark2.gif")));
        if (!pm.isNull())
            return pm;
        // The file is missing or unreadable: draw the same check mark, so that a
        // marked row still shows as marked.
        QPixmap own(20, 17);
        own.fill(Qt::transparent);
        QPainter p(&own);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 100, 0), 3));
        p.drawPolyline(QPolygon({QPoint(3, 9), QPoint(8, 14), QPoint(17, 3)}));
        return own;
    }();
    return pixmap;
}

void FlexGrid::setRows(int rows) {
    rows = qMax(1, rows);
    if (rows == rows_)
        return;
    const bool tell = bulk_ == 0;
    if (rows > rows_) {
        if (tell)
            model_->beginInsertRows(QModelIndex(), rows_ - 1, rows - 2);
        cells_.resize(size_t(rows) * cols_);
        marks_.resize(size_t(rows), 0);
        rows_ = rows;
        if (tell)
            model_->endInsertRows();
    } else {
        if (tell)
            model_->beginRemoveRows(QModelIndex(), rows - 1, rows_ - 2);
        cells_.resize(size_t(rows) * cols_);
        cells_.shrink_to_fit();
        marks_.resize(size_t(rows));
        rows_ = rows;
        if (row_ >= rows_)
            row_ = rows_ - 1;
        if (tell)
            model_->endRemoveRows();
    }
}

void FlexGrid::setCols(int cols) {
    cols = qMax(1, cols);
    if (cols == cols_)
        return;
    if (bulk_ == 0)
        model_->beginResetModel();
    std::vector<QString> next(size_t(rows_) * cols);
    const int keep = qMin(cols, cols_);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < keep; ++c)
            next[size_t(r) * cols + c] = std::move(cells_[size_t(r) * cols_ + c]);
    cells_ = std::move(next);
    cols_ = cols;
    align_.resize(size_t(cols), Qt::AlignCenter);
    if (col_ >= cols_)
        col_ = cols_ - 1;
    if (bulk_ == 0)
        model_->endResetModel();
}

void FlexGrid::setFormatString(const QString& format) {
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
        emit model_->headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
        if (rows_ > 1)
            emit model_->dataChanged(model_->index(0, 0), model_->index(rows_ - 2, cols_ - 1));
    }
}

int FlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= cols_)
        return 0;
    // The width as set, unless the user has since dragged the column to another
    // pixel width: pixels are coarser than twips and would lose up to 7 twips.
    const int px = columnWidth(col);
    const bool set = col < int(colTwips_.size()) && colTwips_[size_t(col)] >= 0;
    if (set && (TwipsToPixels(colTwips_[size_t(col)]) == px || col == fillCol_))
        return colTwips_[size_t(col)];
    return PixelsToTwips(px);
}

void FlexGrid::setColWidth(int col, int twips) {
    if (col < 0 || col >= cols_)
        return;
    twips = qMax(0, twips);
    if (int(colTwips_.size()) <= col)
        colTwips_.resize(size_t(col) + 1, -1);
    colTwips_[size_t(col)] = twips;
    setColumnWidth(col, TwipsToPixels(twips));
    fitFillColumn();
}

void FlexGrid::setFillColumn(int col) {
    fillCol_ = col;
    fitFillColumn();
}

void FlexGrid::fitFillColumn() {
    if (fitting_ || fillCol_ < 0 || fillCol_ >= cols_)
        return;
    fitting_ = true;
    int others = 0;
    for (int c = 0; c < cols_; ++c)
        if (c != fillCol_ && !isColumnHidden(c))
            others += columnWidth(c);
    const int set = fillCol_ < int(colTwips_.size()) && colTwips_[size_t(fillCol_)] >= 0
                        ? TwipsToPixels(colTwips_[size_t(fillCol_)])
                        : columnWidth(fillCol_);
    const int width = qMax(set, viewport()->width() - others);
    if (columnWidth(fillCol_) != width)
        setColumnWidth(fillCol_, width);
    fitting_ = false;
}

void FlexGrid::updateGeometries() {
    QTableView::updateGeometries();
    // The viewport's width changes with the window and with the vertical
    // scroll bar coming or going; the fill column follows it.
    fitFillColumn();
}

void FlexGrid::setDisplayDecimals(int col, int decimals) {
    // Columns not made yet may be named: the setting waits for them.
    if (col < 0)
        return;
    if (int(displayDecimals_.size()) <= col)
        displayDecimals_.resize(size_t(col) + 1, -1);
    displayDecimals_[size_t(col)] = decimals;
    if (bulk_ == 0 && rows_ > 1 && col < cols_)
        emit model_->dataChanged(model_->index(0, col), model_->index(rows_ - 2, col), {Qt::DisplayRole});
}

QString FlexGrid::DisplayText(int row, int col) const {
    const QString text = TextMatrix(row, col);
    if (row < 1 || col >= int(displayDecimals_.size()) || displayDecimals_[size_t(col)] < 0)
        return text;
    return RoundedDecimalText(text, displayDecimals_[size_t(col)]);
}

QString FlexGrid::TextMatrix(int row, int col) const {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return QString();
    return cell(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return;
    cells_[size_t(row) * cols_ + col] = text;
    if (bulk_ != 0)
        return;
    if (row == 0) {
        emit model_->headerDataChanged(Qt::Horizontal, col, col);
    } else {
        QModelIndex i = model_->index(row - 1, col);
        emit model_->dataChanged(i, i, {Qt::DisplayRole});
    }
}

void FlexGrid::setRow(int row) {
    row = qBound(0, row, rows_ - 1);
    if (row == row_)
        return;
    row_ = row;
    syncViewCurrent();
    emit EnterCell();
}

void FlexGrid::setCol(int col) {
    col = qBound(0, col, cols_ - 1);
    if (col == col_)
        return;
    col_ = col;
    syncViewCurrent();
    emit EnterCell();
}

bool FlexGrid::CellPicture() const {
    return col_ == 0 && marks_[size_t(row_)] != 0;
}

void FlexGrid::setCellPicture(bool present) {
    if (col_ == 0)
        setMarked(row_, present);
}

bool FlexGrid::isMarked(int row) const {
    return row >= 0 && row < rows_ && marks_[size_t(row)] != 0;
}

void FlexGrid::setMarked(int row, bool marked) {
    if (row < 1 || row >= rows_ || (marks_[size_t(row)] != 0) == marked)
        return;
    marks_[size_t(row)] = marked ? 1 : 0;
    if (bulk_ == 0)
        notifyRow(row);
}

void FlexGrid::notifyRow(int row) {
    QModelIndex i = model_->index(row - 1, 0);
    emit model_->dataChanged(i, i, {Qt::UserRole});
}

void FlexGrid::setMouseCell(int row, int col) {
    mouseRow_ = row;
    mouseCol_ = col;
}

void FlexGrid::updateMouseCell(const QPoint& pos) {
    const int r = rowAt(pos.y());
    const int c = columnAt(pos.x());
    mouseRow_ = r < 0 ? -1 : r + 1;
    mouseCol_ = c;
}

int FlexGrid::CellLeft() const {
    return PixelsToTwips(viewport()->x() + columnViewportPosition(col_));
}

int FlexGrid::CellTop() const {
    if (row_ == 0)
        return PixelsToTwips(horizontalHeader()->y());
    return PixelsToTwips(viewport()->y() + rowViewportPosition(row_ - 1));
}

int FlexGrid::CellWidth() const {
    return PixelsToTwips(columnWidth(col_));
}

int FlexGrid::CellHeight() const {
    if (row_ == 0)
        return PixelsToTwips(horizontalHeader()->height());
    return PixelsToTwips(rowHeight(row_ - 1));
}

void FlexGrid::RemoveItem(int row) {
    if (row < 1 || row >= rows_)
        return;
    if (bulk_ == 0)
        model_->beginRemoveRows(QModelIndex(), row - 1, row - 1);
    auto first = cells_.begin() + ptrdiff_t(row) * cols_;
    cells_.erase(first, first + cols_);
    marks_.erase(marks_.begin() + row);
    --rows_;
    if (row_ >= rows_)
        row_ = rows_ - 1;
    if (bulk_ == 0)
        model_->endRemoveRows();
}

void FlexGrid::RemoveRows(const std::vector<bool>& remove) {
    if (bulk_ == 0)
        model_->beginResetModel();
    int out = 1;
    for (int r = 1; r < rows_; ++r) {
        if (r < int(remove.size()) && remove[size_t(r)])
            continue;
        if (out != r) {
            for (int c = 0; c < cols_; ++c)
                cells_[size_t(out) * cols_ + c] = std::move(cells_[size_t(r) * cols_ + c]);
            marks_[size_t(out)] = marks_[size_t(r)];
        }
        ++out;
    }
    rows_ = out;
    cells_.resize(size_t(rows_) * cols_);
    marks_.resize(size_t(rows_));
    if (row_ >= rows_)
        row_ = rows_ - 1;
    if (bulk_ == 0)
        model_->endResetModel();
}

void FlexGrid::Clear() {
    if (bulk_ == 0)
        model_->beginResetModel();
    for (auto& s : cells_)
        s.clear();
    std::fill(marks_.begin(), marks_.end(), 0);
    if (bulk_ == 0)
        model_->endResetModel();
}

// Views are not told anything while a bulk update runs (they may still paint
// meanwhile, when the caller lets events run: the model answers from the grid's
// bounds, so stale counts read empty cells, never out of range). One reset at
// the end brings them up to date.
void FlexGrid::beginBulkUpdate() {
    ++bulk_;
}

void FlexGrid::endBulkUpdate() {
    if (bulk_ > 0 && --bulk_ == 0) {
        model_->beginResetModel();
        model_->endResetModel();
    }
}

void FlexGrid::syncViewCurrent() {
    // Coalesced: a command that walks 100,000 rows moves the view's current
    // index once, after it returns to the event loop.
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        syncQueued_ = false;
        if (row_ < 1 || row_ >= rows_ || bulk_ != 0)
            return;
        syncingView_ = true;
        selectionModel()->setCurrentIndex(model_->index(row_ - 1, col_), QItemSelectionModel::NoUpdate);
        syncingView_ = false;
    });
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncingView_ || !current.isValid())
        return;
    const int r = current.row() + 1, c = current.column();
    if (r == row_ && c == col_)
        return;
    row_ = r;
    col_ = c;
    emit EnterCell();
}

void FlexGrid::mousePressEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    // The mark column is fixed: a click there does not move the current cell.
    if (mouseCol_ == 0) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    if (mouseCol_ != 0)
        QTableView::mouseReleaseEvent(event);
    QPoint g = viewport()->mapTo(this, event->position().toPoint());
    emit MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()), float(PixelsToTwips(g.x())),
                 float(PixelsToTwips(g.y())));
}

void FlexGrid::mouseMoveEvent(QMouseEvent* event) {
    updateMouseCell(event->position().toPoint());
    QTableView::mouseMoveEvent(event);
}
