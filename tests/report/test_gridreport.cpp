// SPDX-License-Identifier: GPL-3.0-or-later
// Report pages: which rows go on which page, what each page says (read back
// from the PDF with pdftotext), and how the table is drawn.
#include "report/gridreport.h"
#include "report/reportprinter.h"
#include "reportfixture.h"

#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDate kDate(2026, 3, 4);

QString expectedTitle() {
    return QStringLiteral("GPS Report ") + QLocale::system().toString(kDate, QLocale::ShortFormat);
}

QString pdfFonts(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(ReportPages, FiftySevenRowsAPageNoRowTwice) {
    struct Case {
        int dataRows;
        std::vector<ReportPage> pages;
    };
    const Case cases[] = {
        {0, {}},
        {1, {{1, 1, 1}}},
        {57, {{1, 1, 57}}},
        {58, {{1, 1, 57}, {2, 58, 58}}},
        {114, {{1, 1, 57}, {2, 58, 114}}},
        {115, {{1, 1, 57}, {2, 58, 114}, {3, 115, 115}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReportPages(c.dataRows + 1), c.pages) << c.dataRows << " data rows";

    // Every row of a large table exactly once, pages numbered from 1 without gaps.
    const auto pages = ReportPages(100001);
    ASSERT_EQ(pages.size(), 1755u);
    int next = 1;
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].number, int(i) + 1);
        EXPECT_EQ(pages[i].firstRow, next);
        EXPECT_LE(pages[i].lastRow - pages[i].firstRow + 1, ReportRowsPerPage);
        next = pages[i].lastRow + 1;
    }
    EXPECT_EQ(next, 100001);
}

// Each case prints a table and reads every page back: the heading counts up,
// only page 1 has the title, the header row is on every page, and every row's
// texts appear once, on its own page, in table order.
TEST(ReportPdf, PagesReadBackWithTheirRowsHeadingsAndTitle) {
    struct Case {
        int dataRows;
        std::vector<std::pair<int, int>> pageRows; // first, last data row per page
    };
    const Case cases[] = {
        {57, {{1, 57}}},
        {58, {{1, 57}, {58, 58}}},
        {114, {{1, 57}, {58, 114}}},
        {115, {{1, 57}, {58, 114}, {115, 115}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataRows);
        QTemporaryDir dir;
        FlexGrid grid;
        fillTable(grid, c.dataRows);
        const ReportResult result = ReportPrinter::toPdfFolder(dir.path()).print(GridReport(grid, kDate));
        ASSERT_EQ(result.status, ReportResult::WrittenAsPdf);
        ASSERT_EQ(result.pages, int(c.pageRows.size()));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), qsizetype(c.pageRows.size()));

        std::vector<int> seen;
        for (size_t i = 0; i < c.pageRows.size(); ++i) {
            const int n = int(i) + 1;
            const QString path = dir.path() + QStringLiteral("/GPS Report page %1.pdf").arg(n);
            ASSERT_EQ(result.files.value(int(i)), path);
            const QString text = pdfText(path);
            EXPECT_EQ(text.count(QStringLiteral("Page ")), 1) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("Page %1\n").arg(n))) << text.toStdString();
            EXPECT_EQ(text.contains(expectedTitle()), n == 1);
            EXPECT_EQ(text.count(QStringLiteral("GPS Report")), n == 1 ? 1 : 0);
            for (const char* h : {"Waypoint", "Latitude", "Longitude", "Elevation", "Message", "Icon"})
                EXPECT_EQ(text.count(QString::fromLatin1(h)), 1) << h;
            std::vector<int> expected;
            for (int r = c.pageRows[i].first; r <= c.pageRows[i].second; ++r) {
                expected.push_back(r);
                EXPECT_EQ(text.count(QStringLiteral("Note%1").arg(r, 5, 10, QLatin1Char('0'))), 1) << r;
            }
            EXPECT_EQ(rowsIn(text), expected);
            EXPECT_EQ(text.count(QStringLiteral("-90.25")), qsizetype(expected.size()));
            EXPECT_EQ(text.count(QStringLiteral("35.2763888888889")), qsizetype(expected.size()));
            EXPECT_EQ(text.count(QStringLiteral("0000028M")), qsizetype(expected.size()));
            seen.insert(seen.end(), expected.begin(), expected.end());
        }
        EXPECT_EQ(int(seen.size()), c.dataRows);
    }
}

TEST(ReportPdf, TitleIsBoldAndOnlyOnTheFirstPage) {
    QTemporaryDir dir;
    FlexGrid grid;
    fillTable(grid, 60);
    const ReportResult result = ReportPrinter::toPdfFolder(dir.path()).print(GridReport(grid, kDate));
    ASSERT_EQ(result.files.size(), 2);
    EXPECT_TRUE(pdfFonts(result.files[0]).contains(QStringLiteral("Bold")));
    const QString second = pdfFonts(result.files[1]);
    EXPECT_FALSE(second.isEmpty());
    EXPECT_FALSE(second.contains(QStringLiteral("Bold")));
}

TEST(ReportPdf, EmptyTablePrintsNothing) {
    QTemporaryDir dir;
    FlexGrid grid;
    SetUpEmptyTable(grid);
    const GridReport report(grid, kDate);
    EXPECT_TRUE(report.pages().empty());
    const ReportResult result = ReportPrinter::toPdfFolder(dir.path()).print(report);
    EXPECT_EQ(result.status, ReportResult::NothingToPrint);
    EXPECT_EQ(result.pages, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(ReportPdf, AFolderThatCannotBeMadeIsAFailureNotASuccess) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FlexGrid grid;
    fillTable(grid, 3);
    const ReportResult result = ReportPrinter::toPdfFolder(blocker.fileName() + QStringLiteral("/sub"))
                                    .print(GridReport(grid, kDate));
    EXPECT_EQ(result.status, ReportResult::Failed);
    EXPECT_EQ(result.pages, 0);
    EXPECT_TRUE(result.error.contains(blocker.fileName())) << result.error.toStdString();
}

TEST(ReportPdf, KorvelPrintDirChoosesPdfFiles) {
    qputenv("KORVEL_PRINT_DIR", "/tmp/korvel-report-dir");
    const ReportPrinter printer = ReportPrinter::forThisMachine();
    qunsetenv("KORVEL_PRINT_DIR");
    EXPECT_EQ(printer.target(), ReportPrinter::Target::PdfFolder);
    EXPECT_EQ(printer.folder(), QStringLiteral("/tmp/korvel-report-dir"));
}

// The table drawn at 96 dpi, where a screen pixel is 15 twips: the column
// lines fall where the on-screen widths put them and the marks are drawn.
TEST(ReportLayout, ColumnWidthsGridLinesAndMarksAsOnScreen) {
    FlexGrid grid;
    SetUpEmptyTable(grid);
    grid.setRows(4); // three data rows with no text: only fills, lines and marks
    grid.setMarked(2, true);
    const GridReport report(grid, kDate);
    ASSERT_EQ(report.pages().size(), 1u);

    QImage image(9 * 96, 12 * 96, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(96 / 0.0254));
    image.setDotsPerMeterY(qRound(96 / 0.0254));
    image.fill(Qt::white);
    {
        QPainter p(&image);
        report.paint(p, QRectF(0, 0, image.width(), image.height()), report.pages()[0]);
    }
    const QRgb fixed = grid.palette().color(QPalette::Button).rgb();
    const QRgb line = grid.palette().color(QPalette::Mid).rgb();
    ASSERT_NE(fixed, line);

    // Down column 1: the header's fill, then its bottom line; data row 1 follows.
    const int x = 100;
    int y = 0;
    while (y < image.height() && image.pixel(x, y) != fixed)
        ++y;
    ASSERT_LT(y, image.height()) << "no header row";
    const int headerTop = y;
    while (y < image.height() && image.pixel(x, y) != line)
        ++y;
    const int rowHeight = grid.rowHeight(0);
    EXPECT_NEAR(y - headerTop, grid.verticalHeader()->defaultSectionSize(), 2);
    const int row1 = y + 1 + rowHeight / 2, row2 = row1 + rowHeight;

    // Vertical lines across data row 1, at the running sums of the widths.
    std::vector<double> lines;
    for (int px = 0; px < image.width(); ++px)
        if (image.pixel(px, row1) == line)
            lines.push_back(px);
    const double expected[] = {0, 20, 153.3, 286.7, 420, 520, 686.7, 720};
    ASSERT_EQ(lines.size(), std::size(expected)) << "lines found: " << lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NEAR(lines[i], expected[i], 1.0) << "line " << i;

    // The mark column: plain fill in unmarked row 1, the picture in row 2.
    auto markPixels = [&](int cy) {
        int n = 0;
        for (int py = cy - rowHeight / 2 + 2; py < cy + rowHeight / 2 - 1; ++py)
            for (int px = 2; px < 18; ++px)
                n += image.pixel(px, py) != fixed;
        return n;
    };
    EXPECT_EQ(markPixels(row1), 0);
    EXPECT_GT(markPixels(row2), 10);
}
