// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/flexgrid.h"

#include "platform/numbers.h"
#include "platform/programfolder.h"
#include "platform/twips.h"

#include <QEvent>
#include <QHeaderView>
#include <QIdentityProxyModel>
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

// ---------------------------------------------------------------- display model

// The rows as the screen shows them: decimals rounded where the grid says so,
// with the full text as the tooltip. Everything else comes from the rows.
class GridDisplayModel final : public QIdentityProxyModel {
public:
    GridDisplayModel(FlexGrid* grid, WaypointRows* rows) : QIdentityProxyModel(grid), grid_(grid) {
        setSourceModel(rows);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return QIdentityProxyModel::data(index, role);
        const int r = index.row() + 1, c = index.column();
        const WaypointRows& rows = *grid_->rows_;
        if (!index.isValid() || r >= rows.Rows() || c >= rows.Cols())
            return {};
        const QString shown = grid_->DisplayText(r, c);
        if (role == Qt::DisplayRole)
            return shown;
        // The full text, where the screen shows it shortened.
        const QString text = rows.TextMatrix(r, c);
        return shown == text ? QVariant() : QVariant(text);
    }

private:
    FlexGrid* grid_;
};

// ---------------------------------------------------------------- grid

FlexGrid::FlexGrid(QWidget* parent) : FlexGrid(nullptr, parent) {}

FlexGrid::FlexGrid(WaypointRows* rows, QWidget* parent)
    : QTableView(parent), rows_(rows ? rows : new WaypointRows(this)) {
    // Connected before the display model is: the current cell is inside the
    // rows again before any view hears of the change.
    connect(rows_, &QAbstractItemModel::rowsRemoved, this, &FlexGrid::clampCurrent);
    connect(rows_, &QAbstractItemModel::modelReset, this, &FlexGrid::clampCurrent);
    model_ = new GridDisplayModel(this, rows_);
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

QAbstractItemModel* FlexGrid::gridModel() const {
    return model_;
}

void FlexGrid::clampCurrent() {
    row_ = Row();
    col_ = Col();
}

int FlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= Cols())
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
    if (col < 0 || col >= Cols())
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
    if (fitting_ || fillCol_ < 0 || fillCol_ >= Cols())
        return;
    fitting_ = true;
    int others = 0;
    for (int c = 0; c < Cols(); ++c)
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
    if (!rows_->inBulkUpdate() && Rows() > 1 && col < Cols())
        emit model_->dataChanged(model_->index(0, col), model_->index(Rows() - 2, col), {Qt::DisplayRole});
}

QString FlexGrid::DisplayText(int row, int col) const {
    const QString text = TextMatrix(row, col);
    if (row < 1 || col >= int(displayDecimals_.size()) || displayDecimals_[size_t(col)] < 0)
        return text;
    return RoundedDecimalText(text, displayDecimals_[size_t(col)]);
}

void FlexGrid::setRow(int row) {
    row = qBound(0, row, Rows() - 1);
    if (row == Row())
        return;
    row_ = row;
    syncViewCurrent();
    emit EnterCell();
}

void FlexGrid::setCol(int col) {
    col = qBound(0, col, Cols() - 1);
    if (col == Col())
        return;
    col_ = col;
    syncViewCurrent();
    emit EnterCell();
}

bool FlexGrid::CellPicture() const {
    return Col() == 0 && isMarked(Row());
}

void FlexGrid::setCellPicture(bool present) {
    if (Col() == 0)
        setMarked(Row(), present);
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
    return PixelsToTwips(viewport()->x() + columnViewportPosition(Col()));
}

int FlexGrid::CellTop() const {
    if (Row() == 0)
        return PixelsToTwips(horizontalHeader()->y());
    return PixelsToTwips(viewport()->y() + rowViewportPosition(Row() - 1));
}

int FlexGrid::CellWidth() const {
    return PixelsToTwips(columnWidth(Col()));
}

int FlexGrid::CellHeight() const {
    if (Row() == 0)
        return PixelsToTwips(horizontalHeader()->height());
    return PixelsToTwips(rowHeight(Row() - 1));
}

void FlexGrid::syncViewCurrent() {
    // Coalesced: a command that walks 100,000 rows moves the view's current
    // index once, after it returns to the event loop.
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        syncQueued_ = false;
        const int row = Row(), col = Col();
        if (row < 1 || rows_->inBulkUpdate())
            return;
        syncingView_ = true;
        selectionModel()->setCurrentIndex(model_->index(row - 1, col), QItemSelectionModel::NoUpdate);
        syncingView_ = false;
    });
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncingView_ || !current.isValid())
        return;
    const int r = current.row() + 1, c = current.column();
    if (r == Row() && c == Col())
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
