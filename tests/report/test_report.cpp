// SPDX-License-Identifier: GPL-3.0-or-later
// The grid report: pages read back from PDF with pdftotext, the table's
// drawing, and File > Print through the main window.
#include "platform/programfolder.h"
#include "report/gridreport.h"
#include "report/reportprinter.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/faultinjection.h"
#include "support/scriptedprompts.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QDate kDate(2026, 3, 4);

// n data rows; names and messages are fixed width, so none is part of another.
void fillTable(FlexGrid& grid, int n) {
    SetUpEmptyTable(grid);
    grid.setRows(n + 1);
    for (int r = 1; r <= n; ++r) {
        grid.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r, 5, 10, QLatin1Char('0')));
        grid.setTextMatrix(r, colLatitude, QStringLiteral("35.2763888888889"));
        grid.setTextMatrix(r, colLongitude, QStringLiteral("-90.25"));
        grid.setTextMatrix(r, colMessage, QStringLiteral("Note%1").arg(r, 5, 10, QLatin1Char('0')));
    }
}

// The text of one page of the PDF at path.
QString pdfText(const QString& path, int page) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), path, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0)
        << "pdftotext failed on " << path.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0) << "pdfinfo failed on " << path.toStdString();
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6, info.indexOf(u'\n', at) - at - 6).trimmed().toInt();
}

// Row numbers of the names in a page's text, in the order they appear.
std::vector<int> rowsIn(const QString& text) {
    std::vector<int> rows;
    for (qsizetype at = 0; (at = text.indexOf(QStringLiteral("WP"), at)) >= 0; at += 2)
        rows.push_back(text.mid(at + 2, 5).toInt());
    return rows;
}

// KORVEL_PRINT_DIR set for the life of the object.
struct PrintDir {
    explicit PrintDir(const QString& path = QString()) {
        qputenv("KORVEL_PRINT_DIR", (path.isEmpty() ? dir.path() : path).toLocal8Bit());
    }
    ~PrintDir() { qunsetenv("KORVEL_PRINT_DIR"); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    QTemporaryDir dir;
};

} // namespace

// The one PDF read back page by page: the heading counts up, only page 1 has
// the title, the header row is on every page, and every row's texts appear
// once, on its own page, in table order.
TEST(ReportPdf, OneFileHoldsEveryPageWithItsRowsHeadingsAndTitle) {
    const QString title =
        QStringLiteral("GPS Report ") + QLocale::system().toString(kDate, QLocale::ShortFormat);
    const std::vector<std::pair<int, std::vector<int>>> cases = {
        {57, {57}}, {58, {57, 58}}, {114, {57, 114}}, {115, {57, 114, 115}}}; // rows, last row per page
    for (const auto& [dataRows, lastRows] : cases) {
        SCOPED_TRACE(dataRows);
        QTemporaryDir dir;
        FlexGrid grid;
        fillTable(grid, dataRows);
        const ReportResult result = ReportPrinter::toPdfFolder(dir.path())
                                        .print(GridReport(grid.rows(), GridReportLook::of(grid), kDate));
        ASSERT_EQ(result.status, ReportResult::WrittenAsPdf);
        EXPECT_EQ(result.file, dir.path() + QStringLiteral("/GPS Report 2026-03-04.pdf"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"GPS Report 2026-03-04.pdf"});
        EXPECT_EQ(result.pages, int(lastRows.size()));
        ASSERT_EQ(pdfPages(result.file), int(lastRows.size()));
        int next = 1;
        for (size_t i = 0; i < lastRows.size(); ++i) {
            const int n = int(i) + 1;
            const QString text = pdfText(result.file, n);
            EXPECT_EQ(text.count(QStringLiteral("Page ")), 1);
            EXPECT_TRUE(text.contains(QStringLiteral("Page %1\n").arg(n))) << text.toStdString();
            EXPECT_EQ(text.count(QStringLiteral("GPS Report")), n == 1 ? 1 : 0);
            EXPECT_EQ(text.contains(title), n == 1);
            for (const char* h : {"Waypoint", "Latitude", "Longitude", "Elevation", "Message", "Icon"})
                EXPECT_EQ(text.count(QString::fromLatin1(h)), 1) << h;
            std::vector<int> expected;
            for (int r = next; r <= lastRows[i]; ++r) {
                expected.push_back(r);
                EXPECT_EQ(text.count(QStringLiteral("Note%1").arg(r, 5, 10, QLatin1Char('0'))), 1) << r;
            }
            EXPECT_EQ(rowsIn(text), expected);
            EXPECT_EQ(text.count(QStringLiteral("-90.25")), qsizetype(expected.size()));
            next = lastRows[i] + 1;
        }
    }
}

// A report of the same day never replaces the earlier one: a number is added.
TEST(ReportPdf, AnExistingReportGetsANumberedSibling) {
    QTemporaryDir dir;
    FlexGrid grid;
    fillTable(grid, 3);
    const QString first = dir.filePath("GPS Report 2026-03-04.pdf");
    QFile earlier(first);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    const ReportPrinter printer = ReportPrinter::toPdfFolder(dir.path());
    EXPECT_EQ(printer.print(GridReport(grid.rows(), GridReportLook::of(grid), kDate)).file,
              dir.filePath("GPS Report 2026-03-04 (2).pdf"));
    EXPECT_EQ(printer.print(GridReport(grid.rows(), GridReportLook::of(grid), kDate)).file,
              dir.filePath("GPS Report 2026-03-04 (3).pdf"));
    EXPECT_EQ(pdfPages(dir.filePath("GPS Report 2026-03-04 (3).pdf")), 1);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
}

// A full or failing disk at any step: no report file is left (neither cut
// nor empty), the earlier report is untouched, and the reason is given.
TEST(ReportPdf, AFailingDiskLeavesNoReportAndSaysWhy) {
    QTemporaryDir dir;
    FlexGrid grid;
    fillTable(grid, 120);
    const QString earlier = dir.filePath("GPS Report 2026-03-04.pdf");
    ASSERT_EQ(ReportPrinter::toPdfFolder(dir.path())
                  .print(GridReport(grid.rows(), GridReportLook::of(grid), kDate))
                  .file,
              earlier);
    const QByteArray before = [&] {
        QFile f(earlier);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    // A second report of the same table is as long as the earlier one.
    for (const auto& [what, faults, reason] : DurableWriteFaults(before.size())) {
        SCOPED_TRACE(what);
        ReportResult result;
        {
            FaultInjection inject("GPS Report 2026-03-04 (2).pdf", faults);
            result = ReportPrinter::toPdfFolder(dir.path())
                         .print(GridReport(grid.rows(), GridReportLook::of(grid), kDate));
            EXPECT_GE(inject.failures(), 1);
        }
        EXPECT_EQ(result.status, ReportResult::Failed);
        EXPECT_TRUE(result.error.contains(reason)) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(dir.filePath("GPS Report 2026-03-04 (2).pdf")));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"GPS Report 2026-03-04.pdf"});
        QFile f(earlier);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before);
    }
}

// Drawn at 96 dpi, where a screen pixel is 15 twips: the column lines fall
// where the on-screen widths put them, and only the marked row has a mark.
TEST(ReportLayout, ColumnWidthsGridLinesAndMarksAsOnScreen) {
    FlexGrid grid;
    SetUpEmptyTable(grid);
    grid.setRows(4); // three data rows with no text: only fills, lines and marks
    grid.setMarked(2, true);
    const GridReport report(grid.rows(), GridReportLook::of(grid), kDate);
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

    // Down column 1: the header's fill, then its bottom line; data rows follow.
    int y = 0;
    while (y < image.height() && image.pixel(100, y) != fixed)
        ++y;
    ASSERT_LT(y, image.height()) << "no header row";
    while (y < image.height() && image.pixel(100, y) != line)
        ++y;
    const int rowHeight = grid.rowHeight(0);
    const int row1 = y + 1 + rowHeight / 2, row2 = row1 + rowHeight;

    std::vector<double> lines;
    for (int px = 0; px < image.width(); ++px)
        if (image.pixel(px, row1) == line)
            lines.push_back(px);
    const std::vector<double> expected = {0, 20, 153.3, 286.7, 420, 520, 686.7, 720};
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_NEAR(lines[i], expected[i], 1.0) << "line " << i;

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

TEST(PrintCommand, PagesGoToThePrintDirAndTheTableIsUnchanged) {
    PrintDir out;
    Form1 form;
    LoadForm(&form);
    form.resize(900, 500);
    form.show();
    FlexGrid& g = *form.MSFlexGrid1;
    fillTable(g, 120);
    g.setMarked(3, true);
    g.setRowHeight(4, 40); // data row 5, made taller by the user
    g.setRow(70);
    g.setCol(3);
    g.verticalScrollBar()->setValue(30);
    g.horizontalScrollBar()->setValue(g.horizontalScrollBar()->maximum());
    auto state = [&] {
        QStringList s{QString::number(g.Row()), QString::number(g.Col()),
                      QString::number(g.verticalScrollBar()->value()),
                      QString::number(g.horizontalScrollBar()->value()), QString::number(form.height())};
        for (int r = 1; r < g.Rows(); ++r) {
            s << QString::number(g.rowHeight(r - 1)) << QString::number(g.isMarked(r));
            for (int c = 0; c < g.Cols(); ++c)
                s << g.TextMatrix(r, c);
        }
        return s;
    };
    const QStringList before = state();
    ASSERT_EQ(g.rowHeight(4), 40);

    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    const QString name = ReportPrinter::pdfFileName(QDate::currentDate());
    EXPECT_EQ(prompts.messages()[0],
              QStringLiteral("The report (3 page(s)) was saved as \"%1\" in the folder %2.")
                  .arg(name, QDir::toNativeSeparators(out.dir.path())));
    EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(out.files(), QStringList{name});
    EXPECT_EQ(pdfPages(out.dir.filePath(name)), 3);
    EXPECT_EQ(rowsIn(pdfText(out.dir.filePath(name), 3)), std::vector<int>({115, 116, 117, 118, 119, 120}));
    EXPECT_EQ(state(), before);
}

TEST(PrintCommand, EmptyTablePrintsNothingAndSaysSo) {
    PrintDir out;
    Form1 form;
    LoadForm(&form);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("There are no waypoints to print.")}));
    EXPECT_TRUE(out.files().isEmpty());
}

TEST(PrintCommand, WithoutAPrinterPagesGoToSupportData) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed; this machine would print on paper";
    QTemporaryDir program; // a program folder with no Support/ yet
    SetAppPathOverride(program.path());
    ScriptedPrompts prompts;
    prompts.setAnswerMessagesWithOk(true); // loading without a rules file warns
    Form1 form;
    LoadForm(&form);
    fillTable(*form.MSFlexGrid1, 2);
    prompts.setAnswerMessagesWithOk(false);
    prompts.clear();
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    const QString data = program.path() + QStringLiteral("/Support/Data");
    SetAppPathOverride(QString());
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QDir::toNativeSeparators(data)));
    const QString name = ReportPrinter::pdfFileName(QDate::currentDate());
    EXPECT_TRUE(prompts.messages()[0].contains("\"" + name + "\"")) << prompts.messages()[0].toStdString();
    EXPECT_EQ(pdfPages(data + "/" + name), 1);
}

TEST(PrintCommand, AFailedPageIsReportedNotCalledDone) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/file")); // a file where a folder should be made
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PrintDir out(blocker.fileName() + QStringLiteral("/sub"));
    Form1 form;
    LoadForm(&form);
    fillTable(*form.MSFlexGrid1, 2);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("could not be created")));
    EXPECT_EQ(prompts.prompts()[0].buttons, vbExclamation);
}

// The printer branch, as a real printer takes it, with each job printed to a
// PDF file: one job a page, each named after its page, each page whole.
TEST(ReportPrinterJobs, EachPageIsAJobOfItsOwn) {
    QTemporaryDir dir;
    QStringList jobs;
    ReportPrinter::setPrinterHook([&](QPrinter& printer) {
        jobs << printer.docName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(printer.docName() + QStringLiteral(".pdf")));
    });
    FlexGrid grid;
    fillTable(grid, 115);
    const ReportResult result =
        ReportPrinter::toDefaultPrinter().print(GridReport(grid.rows(), GridReportLook::of(grid), kDate));
    ReportPrinter::setPrinterHook(nullptr);
    EXPECT_EQ(result.status, ReportResult::Printed);
    EXPECT_EQ(result.pages, 3);
    EXPECT_TRUE(result.file.isEmpty());
    ASSERT_EQ(jobs, (QStringList{"GPS Report page 1", "GPS Report page 2", "GPS Report page 3"}));
    const std::vector<int> firstRows{1, 58, 115}, lastRows{57, 114, 115};
    for (int n = 1; n <= 3; ++n) {
        const QString text = pdfText(dir.filePath(jobs[n - 1] + QStringLiteral(".pdf")), 1);
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1\n").arg(n))) << text.toStdString();
        std::vector<int> expected;
        for (int r = firstRows[n - 1]; r <= lastRows[n - 1]; ++r)
            expected.push_back(r);
        EXPECT_EQ(rowsIn(text), expected) << n;
    }
}
