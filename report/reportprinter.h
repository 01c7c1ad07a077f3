// SPDX-License-Identifier: GPL-3.0-or-later
// ReportPrinter: sends a GridReport's pages, each as a print job of its own,
// to the default printer, or writes all pages as one PDF file
// "GPS Report YYYY-MM-DD.pdf" into a folder (" (2)", " (3)", ... added when
// that name is taken: an existing file is never replaced). The PDF goes
// through the durable-write helper, so a full disk leaves no file, or a cut
// one, behind. Shows nothing; the caller tells the user what happened.
#pragma once
#include <QDate>
#include <QString>

#include <functional>

class GridReport;
class QPrinter;

struct ReportResult {
    enum Status {
        NothingToPrint, // the table has no data rows: no page, no job, no file
        Printed,        // every page went to the printer
        WrittenAsPdf,   // every page was written to file
        Failed          // a page could not be printed, or the PDF not written; error says why
    };
    Status status = NothingToPrint;
    int pages = 0;   // pages completed (in the PDF: all of them, or none)
    QString folder;  // the PDF folder, for WrittenAsPdf and PDF failures
    QString file;    // the PDF file written, for WrittenAsPdf
    QString printer; // the printer's name, for Printed
    QString error;   // for Failed: a sentence for the user
};

class ReportPrinter {
public:
    enum class Target { DefaultPrinter, PdfFolder };

    // Where this machine's reports go: the folder named by environment
    // variable KORVEL_PRINT_DIR when set; else the default printer; else, when
    // no printer is installed, the user's data folder (UserDataPath()).
    static ReportPrinter forThisMachine();
    static ReportPrinter toPdfFolder(const QString& folder);
    static ReportPrinter toDefaultPrinter();

    Target target() const { return target_; }
    QString folder() const { return folder_; }

    // Printer: each page a new job in portrait orientation, painted, ended.
    // PDF folder: one file, one portrait page per report page.
    ReportResult print(const GridReport& report) const;

    // "GPS Report 2026-12-07.pdf"; copy 2 and up: "GPS Report 2026-12-07 (2).pdf".
    static QString pdfFileName(const QDate& date, int copy = 1);

    // Called on each page's printer before its job starts (nullptr: none). A
    // test points the printer at a PDF file, so the printer branch runs where
    // no printer is installed.
    using PrinterHook = std::function<void(QPrinter&)>;
    static void setPrinterHook(PrinterHook hook);

private:
    ReportPrinter(Target target, const QString& folder) : target_(target), folder_(folder) {}
    Target target_;
    QString folder_;
};
