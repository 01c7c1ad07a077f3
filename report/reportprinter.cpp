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

QString ReportPrinter::pdfFileName(int pageNumber) {
    return QStringLiteral("GPS Report page %1.pdf").arg(pageNumber);
}

ReportResult ReportPrinter::print(const GridReport& report) const {
    ReportResult result;
    if (report.pages().empty())
        return result;
    result.folder = folder_;
    if (target_ == Target::PdfFolder && !QDir().mkpath(folder_)) {
        result.status = ReportResult::Failed;
        result.error =
            QStringLiteral("The folder %1 could not be created.").arg(QDir::toNativeSeparators(folder_));
        return result;
    }
    const QPrinterInfo printerInfo =
        target_ == Target::DefaultPrinter ? QPrinterInfo::defaultPrinter() : QPrinterInfo();
    for (const ReportPage& page : report.pages()) {
        QPainter painter;
        if (target_ == Target::DefaultPrinter) {
            QPrinter printer(printerInfo, QPrinter::HighResolution);
            printer.setDocName(QStringLiteral("GPS Report page %1").arg(page.number));
            printer.setPageOrientation(QPageLayout::Portrait);
            if (!painter.begin(&printer)) {
                result.status = ReportResult::Failed;
                result.error = QStringLiteral("Page %1 could not be sent to the printer %2.")
                                   .arg(page.number)
                                   .arg(printerInfo.printerName());
                return result;
            }
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
            writer.setPageLayout(
                QPageLayout(pdfPageSize(), QPageLayout::Portrait,
                            QMarginsF(PdfMarginInches, PdfMarginInches, PdfMarginInches, PdfMarginInches),
                            QPageLayout::Inch));
            writer.setTitle(QStringLiteral("GPS Report page %1").arg(page.number));
            writer.setCreator(AppTitle());
            if (!painter.begin(&writer)) {
                result.status = ReportResult::Failed;
                result.error = QStringLiteral("The page could not be written to %1.")
                                   .arg(QDir::toNativeSeparators(path));
                return result;
            }
            report.paint(
                painter,
                QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size()), page);
            if (!painter.end()) {
                result.status = ReportResult::Failed;
                result.error = QStringLiteral("The page could not be written to %1.")
                                   .arg(QDir::toNativeSeparators(path));
                return result;
            }
            result.files << path;
        }
        ++result.pages;
    }
    result.status = target_ == Target::DefaultPrinter ? ReportResult::Printed : ReportResult::WrittenAsPdf;
    return result;
}
