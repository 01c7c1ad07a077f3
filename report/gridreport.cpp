// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/gridreport.h"

#include "platform/twips.h"
#include "table/flexgrid.h"
#include "table/waypointrows.h"

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

} // namespace

std::vector<ReportPage> ReportPages(int gridRows) {
    std::vector<ReportPage> pages;
    const int last = gridRows - 1; // last data row
    for (int first = 1, n = 1; first <= last; first += ReportRowsPerPage, ++n)
        pages.push_back({n, first, std::min(first + ReportRowsPerPage - 1, last)});
    return pages;
}

GridReportLook GridReportLook::of(const FlexGrid& grid) {
    GridReportLook look;
    for (int c = 0; c < grid.Cols(); ++c)
        look.colWidthsTwips.push_back(grid.ColWidth(c));
    look.headerHeightTwips = PixelsToTwips(grid.verticalHeader()->defaultSectionSize());
    look.rowHeightTwips = look.headerHeightTwips;
    look.rowHeightsTwips.reserve(size_t(std::max(0, grid.Rows() - 1)));
    for (int r = 1; r < grid.Rows(); ++r)
        look.rowHeightsTwips.push_back(PixelsToTwips(grid.rowHeight(r - 1)));
    look.cellFont = grid.font();
    look.headerFont = grid.horizontalHeader()->font();
    const QPalette palette = grid.palette();
    look.fixedFill = palette.color(QPalette::Button);
    look.dataFill = palette.color(QPalette::Base);
    look.text = palette.color(QPalette::Text);
    look.lines = palette.color(QPalette::Mid);
    look.mark = FlexGrid::markPicture();
    return look;
}

GridReport::GridReport(const WaypointRows& rows, GridReportLook look, const QDate& date)
    : rows_(rows), look_(std::move(look)), date_(date), pages_(ReportPages(rows.Rows())) {
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
    QFont f(look_.cellFont.family());
    f.setPointSizeF(18);
    f.setBold(true);
    return f;
}

QFont GridReport::headingFont() const {
    QFont f(look_.cellFont.family());
    f.setPointSizeF(10);
    f.setBold(false);
    return f;
}

int GridReport::rowHeightTwips(int row) const {
    if (row == 0)
        return look_.headerHeightTwips;
    return row - 1 < int(look_.rowHeightsTwips.size()) ? look_.rowHeightsTwips[size_t(row - 1)]
                                                       : look_.rowHeightTwips;
}

int GridReport::tableWidthTwips() const {
    int width = 0;
    for (int c = 0; c < rows_.Cols(); ++c)
        width += colWidthTwips(c);
    return width;
}

void GridReport::paint(QPainter& painter, const QRectF& area, const ReportPage& page) const {
    QPaintDevice* device = painter.device();
    const double kx = device->logicalDpiX() / 1440.0;
    const double ky = device->logicalDpiY() / 1440.0;

    const QFont title = inTwips(titleFont());
    const QFont heading = inTwips(headingFont());
    const QFont cellFont = inTwips(look_.cellFont);
    const QFont headerFont = inTwips(look_.headerFont);
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

    const QColor fixedFill = look_.fixedFill;
    const QColor dataFill = look_.dataFill;
    const QColor textColor = look_.text;
    const QPen linePen(look_.lines, GridLineTwips);

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

    const int cols = rows_.Cols();
    auto drawRow = [&](int row) {
        const double h = rowHeightTwips(row);
        if (h <= 0)
            return;
        // Fills, texts and marks first, then the grid lines over them: a cell's
        // fill that starts inside a device pixel must not cover its neighbour's line.
        double x = 0;
        for (int c = 0; c < cols; ++c) {
            const double w = colWidthTwips(c);
            if (w <= 0)
                continue;
            const QRectF cell(x, y, w, h);
            const bool fixed = row == 0 || c == 0;
            painter.fillRect(cell, fixed ? fixedFill : dataFill);
            const QString text = rows_.TextMatrix(row, c);
            if (!text.isEmpty()) {
                const Qt::Alignment align = rows_.alignment(c);
                painter.setPen(textColor);
                painter.setFont(row == 0 ? headerFont : cellFont);
                painter.drawText(cell.adjusted(CellPaddingTwips, 0, -CellPaddingTwips, 0), int(align), text);
            }
            if (row > 0 && c == 0 && rows_.isMarked(row)) {
                const QPixmap& mark = look_.mark;
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
            const double w = colWidthTwips(c);
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
