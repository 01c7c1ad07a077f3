// SPDX-License-Identifier: GPL-3.0-or-later
// ReportPrinter: sends a GridReport's pages, each as a print job of its own,
// to the default printer, or writes each page as a PDF file
// "GPS Report page N.pdf" into a folder. Shows nothing; the caller tells the
// user what happened.
#pragma once
#include <QString>
#include <QStringList>

#include <functional>

class GridReport;
class QPrinter;

struct ReportResult {
    enum Status {
        NothingToPrint, // the table has no data rows: no page, no job, no file
        Printed,        // every page went to the printer
        WrittenAsPdf,   // every page was written to folder
        Failed          // stopped at a page that could not be started; error says which
    };
    Status status = NothingToPrint;
    int pages = 0;     // pages completed
    QString folder;    // the PDF folder, for WrittenAsPdf and PDF failures
    QStringList files; // the PDF files written, in page order
    QString printer;   // the printer's name, for Printed
    QString error;     // for Failed: a sentence for the user
};

class ReportPrinter {
public:
    enum class Target { DefaultPrinter, PdfFolder };

    // Where this machine's reports go: the folder named by environment
    // variable KORVEL_PRINT_DIR when set; else the default printer; else, when
    // no printer is installed, Support/Data/ beside the program.
    static ReportPrinter forThisMachine();
    static ReportPrinter toPdfFolder(const QString& folder);
    static ReportPrinter toDefaultPrinter();

    Target target() const { return target_; }
    QString folder() const { return folder_; }

    // Each page: a new job (or file) in portrait orientation, painted, ended.
    ReportResult print(const GridReport& report) const;

    static QString pdfFileName(int pageNumber);

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
