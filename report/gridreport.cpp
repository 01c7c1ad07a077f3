// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/gridreport.h"

#include "platform/twips.h"
#include "table/flexgrid.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int TwipsPerPoint = 20;
constexpr int CellPaddingTwips = 60; // 4 screen pixels each side, as the view leaves
constexpr int GridLineTwips = PixelsToTwips(1);

// The font at its point size in twips, for a painter whose unit is the twip.
QFont inTwips(QFont font) {
    font.setPixelSize(qMax(1, qRound(font.pointSizeF() * TwipsPerPoint)));
    return font;
}

Qt::Alignment alignmentOf(const QVariant& v) {
    return v.isValid() ? v.value<Qt::Alignment>() : Qt::Alignment(Qt::AlignCenter);
}

} // namespace

std::vector<ReportPage> ReportPages(int gridRows) {
    std::vector<ReportPage> pages;
    const int last = gridRows - 1; // last data row
    for (int first = 1, n = 1; first <= last; first += ReportRowsPerPage, ++n)
        pages.push_back({n, first, std::min(first + ReportRowsPerPage - 1, last)});
    return pages;
}

GridReport::GridReport(const FlexGrid& grid, const QDate& date)
    : grid_(grid), date_(date), pages_(ReportPages(grid.Rows())) {
    for (const ReportPage& page : pages_) {
        int sum = rowHeightTwips(0);
        for (int r = page.firstRow; r <= page.lastRow; ++r)
            sum += rowHeightTwips(r);
        tallestRowsTwips_ = std::max(tallestRowsTwips_, sum);
        if (page.number == 1)
            firstPageRowsTwips_ = sum;
    }
}

QString GridReport::title() const {
    return QStringLiteral("GPS Report ") + QLocale::system().toString(date_, QLocale::ShortFormat);
}

QString GridReport::heading(int pageNumber) {
    return QStringLiteral("Page ") + QString::number(pageNumber);
}

QFont GridReport::titleFont() const {
    QFont f(grid_.font().family());
    f.setPointSizeF(18);
    f.setBold(true);
    return f;
}

QFont GridReport::headingFont() const {
    QFont f(grid_.font().family());
    f.setPointSizeF(10);
    f.setBold(false);
    return f;
}

int GridReport::rowHeightTwips(int row) const {
    if (row == 0)
        return PixelsToTwips(grid_.verticalHeader()->defaultSectionSize());
    return PixelsToTwips(grid_.rowHeight(row - 1));
}

int GridReport::tableWidthTwips() const {
    int width = 0;
    for (int c = 0; c < grid_.Cols(); ++c)
        width += grid_.ColWidth(c);
    return width;
}

void GridReport::paint(QPainter& painter, const QRectF& area, const ReportPage& page) const {
    QPaintDevice* device = painter.device();
    const double kx = device->logicalDpiX() / 1440.0;
    const double ky = device->logicalDpiY() / 1440.0;

    const QFont title = inTwips(titleFont());
    const QFont heading = inTwips(headingFont());
    const QFont cellFont = inTwips(grid_.font());
    const QFont headerFont = inTwips(grid_.horizontalHeader()->font());
    const double titleHeight = QFontMetricsF(title).height();
    const double headingHeight = QFontMetricsF(heading).height();

    // One scale for every page: the fullest page decides.
    const double needHeight =
        std::max(titleHeight + headingHeight + firstPageRowsTwips_, headingHeight + tallestRowsTwips_);
    const double needWidth = std::max(1, tableWidthTwips());
    const double scale =
        std::min({1.0, area.width() / kx / needWidth, area.height() / ky / std::max(1.0, needHeight)});

    painter.save();
    painter.translate(area.topLeft());
    painter.scale(kx * scale, ky * scale); // from here on the unit is the twip
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QPalette palette = grid_.palette();
    const QColor fixedFill = palette.color(QPalette::Button);
    const QColor dataFill = palette.color(QPalette::Base);
    const QColor textColor = palette.color(QPalette::Text);
    const QPen linePen(palette.color(QPalette::Mid), GridLineTwips);

    double y = 0;
    painter.setPen(textColor);
    if (page.number == 1) {
        painter.setFont(title);
        painter.drawText(QRectF(0, y, needWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         this->title());
        y += titleHeight;
    }
    painter.setFont(heading);
    painter.drawText(QRectF(0, y, needWidth, headingHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     GridReport::heading(page.number));
    y += headingHeight;

    const FlexGridModel* model = grid_.gridModel();
    const int cols = grid_.Cols();
    auto drawRow = [&](int row) {
        const double h = rowHeightTwips(row);
        if (h <= 0)
            return;
        // Fills, texts and marks first, then the grid lines over them: a cell's
        // fill that starts inside a device pixel must not cover its neighbour's line.
        double x = 0;
        for (int c = 0; c < cols; ++c) {
            const double w = grid_.ColWidth(c);
            if (w <= 0)
                continue;
            const QRectF cell(x, y, w, h);
            const bool fixed = row == 0 || c == 0;
            painter.fillRect(cell, fixed ? fixedFill : dataFill);
            const QString text = grid_.TextMatrix(row, c);
            if (!text.isEmpty()) {
                const Qt::Alignment align =
                    row == 0 ? alignmentOf(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole))
                             : alignmentOf(model->data(model->index(row - 1, c), Qt::TextAlignmentRole));
                painter.setPen(textColor);
                painter.setFont(row == 0 ? headerFont : cellFont);
                painter.drawText(cell.adjusted(CellPaddingTwips, 0, -CellPaddingTwips, 0), int(align), text);
            }
            if (row > 0 && c == 0 && grid_.isMarked(row)) {
                const QPixmap& mark = FlexGrid::markPicture();
                QSizeF size = QSizeF(mark.size()) * TwipsPerPixel;
                const QSizeF room = cell.size() - QSizeF(2 * TwipsPerPixel, 2 * TwipsPerPixel);
                if (size.width() > room.width() || size.height() > room.height())
                    size.scale(room, Qt::KeepAspectRatio);
                QRectF target(QPointF(0, 0), size);
                target.moveCenter(cell.center());
                painter.drawPixmap(target, mark, QRectF(mark.rect()));
            }
            x += w;
        }
        painter.setPen(linePen);
        x = 0;
        for (int c = 0; c < cols; ++c) {
            const double w = grid_.ColWidth(c);
            if (w <= 0)
                continue;
            painter.drawLine(QPointF(x + w, y), QPointF(x + w, y + h));
            painter.drawLine(QPointF(x, y + h), QPointF(x + w, y + h));
            if (row == 0)
                painter.drawLine(QPointF(x, y), QPointF(x + w, y));
            if (c == 0)
                painter.drawLine(QPointF(x, y), QPointF(x, y + h));
            x += w;
        }
        y += h;
    };

    drawRow(0);
    for (int r = page.firstRow; r <= page.lastRow; ++r)
        drawRow(r);
    painter.restore();
}
