// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/reportprinter.h"

#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "report/gridreport.h"

#include <QDir>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

// The PDF page: the paper size of the user's region, a quarter inch margin.
// The table is 7.5 inches wide, so it fits across either paper.
QPageSize pdfPageSize() {
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                        : QPageSize::A4);
}
constexpr double PdfMarginInches = 0.25;
constexpr int PdfResolution = 600;

ReportPrinter::PrinterHook& printerHook() {
    static ReportPrinter::PrinterHook hook;
    return hook;
}

// A page's name: the print job's, the PDF's title, its file name less ".pdf".
QString pageName(int pageNumber) {
    return QStringLiteral("GPS Report page %1").arg(pageNumber);
}

} // namespace

ReportPrinter ReportPrinter::forThisMachine() {
    const QString dir = qEnvironmentVariable("KORVEL_PRINT_DIR");
    if (!dir.isEmpty())
        return toPdfFolder(dir);
    if (!QPrinterInfo::defaultPrinter().isNull())
        return toDefaultPrinter();
    return toPdfFolder(SupportPath(QStringLiteral("Data")));
}

ReportPrinter ReportPrinter::toPdfFolder(const QString& folder) {
    return ReportPrinter(Target::PdfFolder, QDir::cleanPath(folder));
}

ReportPrinter ReportPrinter::toDefaultPrinter() {
    return ReportPrinter(Target::DefaultPrinter, QString());
}

void ReportPrinter::setPrinterHook(PrinterHook hook) {
    printerHook() = std::move(hook);
}

QString ReportPrinter::pdfFileName(int pageNumber) {
    return pageName(pageNumber) + QStringLiteral(".pdf");
}

ReportResult ReportPrinter::print(const GridReport& report) const {
    ReportResult result;
    if (report.pages().empty())
        return result;
    result.folder = folder_;
    auto failed = [&result](const QString& error) {
        result.status = ReportResult::Failed;
        result.error = error;
        return result;
    };
    if (target_ == Target::PdfFolder && !QDir().mkpath(folder_))
        return failed(
            QStringLiteral("The folder %1 could not be created.").arg(QDir::toNativeSeparators(folder_)));
    const QPrinterInfo printerInfo =
        target_ == Target::DefaultPrinter ? QPrinterInfo::defaultPrinter() : QPrinterInfo();
    const QPageLayout pdfLayout(pdfPageSize(), QPageLayout::Portrait,
                                QMarginsF(PdfMarginInches, PdfMarginInches, PdfMarginInches, PdfMarginInches),
                                QPageLayout::Inch);
    for (const ReportPage& page : report.pages()) {
        QPainter painter;
        if (target_ == Target::DefaultPrinter) {
            QPrinter printer(printerInfo, QPrinter::HighResolution);
            printer.setDocName(pageName(page.number));
            printer.setPageOrientation(QPageLayout::Portrait);
            if (printerHook())
                printerHook()(printer);
            if (!painter.begin(&printer))
                return failed(QStringLiteral("Page %1 could not be sent to the printer %2.")
                                  .arg(page.number)
                                  .arg(printerInfo.printerName()));
            report.paint(
                painter,
                QRectF(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size()),
                page);
            painter.end(); // ends the job: each page is a job of its own
            result.printer = printerInfo.printerName();
        } else {
            const QString path = folder_ + QLatin1Char('/') + pdfFileName(page.number);
            QPdfWriter writer(path);
            writer.setResolution(PdfResolution);
            writer.setPageLayout(pdfLayout);
            writer.setTitle(pageName(page.number));
            writer.setCreator(AppTitle());
            auto notWritten = [&path] {
                return QStringLiteral("The page could not be written to %1.")
                    .arg(QDir::toNativeSeparators(path));
            };
            if (!painter.begin(&writer))
                return failed(notWritten());
            report.paint(
                painter,
                QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size()), page);
            if (!painter.end())
                return failed(notWritten());
            result.files << path;
        }
        ++result.pages;
    }
    result.status = target_ == Target::DefaultPrinter ? ReportResult::Printed : ReportResult::WrittenAsPdf;
    return result;
}
