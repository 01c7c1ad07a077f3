// SPDX-License-Identifier: GPL-3.0-or-later
// Print, Help and About handlers of Form1.
#include "shell/form1.h"

#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "report/gridreport.h"
#include "report/reportprinter.h"
#include "shell/frmabout.h"
#include "shell/helpwindow.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

void Form1::cmdPrintGrid_Click() {
    if (!endCellEdit())
        return;
    const GridReport report(MSFlexGrid1->rows(), GridReportLook::of(*MSFlexGrid1), QDate::currentDate());
    if (report.pages().empty()) {
        MsgBox(QStringLiteral("There are no waypoints to print."));
        return;
    }
    // A large table takes seconds (about 6 ms a page); the pointer says so.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportResult result = ReportPrinter::forThisMachine().print(report);
    QApplication::restoreOverrideCursor();
    switch (result.status) {
    case ReportResult::NothingToPrint:
    case ReportResult::Printed:
        break;
    case ReportResult::WrittenAsPdf:
        MsgBox(QStringLiteral("The report (%1 page(s)) was saved as \"%2\" in the folder %3.")
                   .arg(result.pages)
                   .arg(QFileInfo(result.file).fileName(), QDir::toNativeSeparators(result.folder)));
        break;
    case ReportResult::Failed:
        MsgBox(result.error + (result.pages > 0
                                   ? QStringLiteral(" Pages printed before it: %1.").arg(result.pages)
                                   : QString()),
               vbExclamation);
        break;
    }
}

void Form1::cmdHelp_Click() {
    const QString path = SupportPath(QStringLiteral("Help/KorvelTransferHelp.html"));
    if (FileExists(path))
        ShowHelpFile(path, this);
    else
        MsgBox(QStringLiteral("The help file is missing."), vbOKOnly);
}

void Form1::cmdAbout_Click() {
    if (!aboutForm)
        aboutForm = new frmAbout(this);
    if (!LoadForm(aboutForm))
        return;
    aboutForm->show();
    aboutForm->raise();
    aboutForm->activateWindow();
}
