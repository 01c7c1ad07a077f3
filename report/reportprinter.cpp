// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/reportprinter.h"

#include "platform/durablewrite.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "report/gridreport.h"

#include <QDir>
#include <QFileInfo>
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

// A printed page's job name.
QString pageName(int pageNumber) {
    return QStringLiteral("GPS Report page %1").arg(pageNumber);
}

// Names tried before giving up on a folder full of reports of one day.
constexpr int MaxCopies = 10000;

} // namespace

ReportPrinter ReportPrinter::forThisMachine() {
    const QString dir = qEnvironmentVariable("KORVEL_PRINT_DIR");
    if (!dir.isEmpty())
        return toPdfFolder(dir);
    if (!QPrinterInfo::defaultPrinter().isNull())
        return toDefaultPrinter();
    return toPdfFolder(UserDataPath());
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

QString ReportPrinter::pdfFileName(const QDate& date, int copy) {
    QString name = QStringLiteral("GPS Report ") + date.toString(Qt::ISODate);
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return name + QStringLiteral(".pdf");
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
    if (target_ == Target::PdfFolder) {
        // The first free name is taken at once (created empty, exclusively), so
        // neither an existing report nor one another program writes meanwhile is
        // replaced; the content then goes in through the durable write.
        QString path, why;
        for (int copy = 1; path.isEmpty() && copy <= MaxCopies; ++copy) {
            const QString candidate = folder_ + QLatin1Char('/') + pdfFileName(report.date(), copy);
            const QFileInfo info(candidate);
            if (info.exists() || info.isSymLink())
                continue;
            if (CreateEmptyFileDurably(candidate, &why))
                path = candidate;
            else if (!QFileInfo::exists(candidate))
                return failed(QStringLiteral("The report could not be saved as \"%1\": %2.")
                                  .arg(QDir::toNativeSeparators(candidate), why));
        }
        if (path.isEmpty())
            return failed(QStringLiteral("The folder %1 has no free name for the report.")
                              .arg(QDir::toNativeSeparators(folder_)));
        const QPageLayout pdfLayout(
            pdfPageSize(), QPageLayout::Portrait,
            QMarginsF(PdfMarginInches, PdfMarginInches, PdfMarginInches, PdfMarginInches), QPageLayout::Inch);
        QString paintFailure;
        const bool written = WriteFileDurably(
            path,
            [&](DurableSink& sink) {
                DurableSinkDevice device(sink);
                QPdfWriter writer(&device);
                writer.setResolution(PdfResolution);
                writer.setPageLayout(pdfLayout);
                writer.setTitle(QFileInfo(path).completeBaseName());
                writer.setCreator(AppTitle());
                QPainter painter;
                if (!painter.begin(&writer)) {
                    paintFailure = QStringLiteral("the PDF could not be started");
                    return false;
                }
                const QRectF area(QPointF(0, 0),
                                  writer.pageLayout().paintRectPixels(writer.resolution()).size());
                for (const ReportPage& page : report.pages()) {
                    if (page.number > 1 && !writer.newPage())
                        break;
                    report.paint(painter, area, page);
                    if (!sink.ok())
                        break; // the disk is full: no use painting the rest
                }
                const bool ended = painter.end();
                if (!ended && sink.ok())
                    paintFailure = QStringLiteral("the PDF could not be finished");
                return ended && sink.ok();
            },
            &why);
        if (!written) {
            QFile::remove(path); // the empty file that held the name
            return failed(
                QStringLiteral("The report could not be saved as \"%1\": %2.")
                    .arg(QDir::toNativeSeparators(path), paintFailure.isEmpty() ? why : paintFailure));
        }
        result.file = path;
        result.pages = int(report.pages().size());
        result.status = ReportResult::WrittenAsPdf;
        return result;
    }

    const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
    for (const ReportPage& page : report.pages()) {
        QPainter painter;
        QPrinter printer(printerInfo, QPrinter::HighResolution);
        printer.setDocName(pageName(page.number));
        printer.setPageOrientation(QPageLayout::Portrait);
        if (printerHook())
            printerHook()(printer);
        if (!painter.begin(&printer))
            return failed(QStringLiteral("Page %1 could not be sent to the printer %2.")
                              .arg(page.number)
                              .arg(printerInfo.printerName()));
        report.paint(painter,
                     QRectF(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size()),
                     page);
        painter.end(); // ends the job: each page is a job of its own
        result.printer = printerInfo.printerName();
        ++result.pages;
    }
    result.status = ReportResult::Printed;
    return result;
}
