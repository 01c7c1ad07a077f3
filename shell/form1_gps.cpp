// SPDX-License-Identifier: GPL-3.0-or-later
// GPS menu handlers of Form1. The exchanges live in GPSDevice; the table side
// of downloads, uploads and deletions in gps/. The real serial port is made on
// first use unless a test installed another one.
#include "shell/form1.h"

#include "gps/commport.h"
#include "gps/frmcommunication.h"
#include "gps/gpsdevice.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "gps/waypointtransfer.h"
#include "platform/prompts.h"
#include "table/flexgrid.h"
#include "table/viewkeeper.h"

#include <QScopedValueRollback>

namespace {
// The window puts a transfer's question in a message box.
int askWithMsgBox(const QString& text, int buttons) {
    return MsgBox(text, buttons);
}
} // namespace

void Form1::setCommPort(std::unique_ptr<CommPort> port) {
    MSComm1 = std::move(port);
    if (gpsDevice_)
        gpsDevice_->setPort(MSComm1.get());
}

frmCommunication* Form1::communicationWindow() {
    if (!frmCommunication_) {
        frmCommunication_ = new frmCommunication(this);
        frmCommunication_->setWindowFlag(Qt::Dialog);
    }
    return frmCommunication_;
}

GPSDevice& Form1::gpsDevice() {
    if (!MSComm1)
        MSComm1 = std::make_unique<SerialCommPort>();
    if (!gpsDevice_)
        gpsDevice_ = std::make_shared<GPSDevice>(MSComm1.get(), communicationWindow());
    gpsDevice_->setPort(MSComm1.get());
    return *gpsDevice_;
}

void Form1::closePortOnExit() {
    if (MSComm1 && MSComm1->PortOpen())
        ShowMessages(gpsDevice().CloseDevice().messages);
}

bool Form1::gpsCommandRunning() {
    if (!gpsBusy_)
        return false;
    // A second request would be sent into the first one's answer.
    MsgBox(
        QStringLiteral("The GPS device is still busy with the last command, so this one was not started.") +
        vbCrLf +
        QStringLiteral(
            "Wait until its progress window has closed (or choose Cancel there), then try again."));
    return true;
}

void Form1::cmdConnect_Click() {
    if (gpsCommandRunning())
        return;
    const QScopedValueRollback busy(gpsBusy_, true);
    ShowMessages(gpsDevice().SearchForDevice().messages);
}

void Form1::cmdDisconnect_Click() {
    if (gpsCommandRunning())
        return;
    const ExchangeResult closed = gpsDevice().CloseDevice();
    ShowMessages(closed.messages);
    if (closed.ok)
        MsgBox(QStringLiteral("It is now safe to remove the GPS Device."));
}

void Form1::AddReceivedPoints() {
    const AddedPoints result = AppendReceivedPoints(MSFlexGrid1->rows(), gpsDevice().receivedDataLines());
    showRowsAdded(result.added, QStringLiteral("the receiver"));
    const QString skipped = SkippedLinesMessage(result);
    if (!skipped.isEmpty())
        MsgBox(skipped);
}

void Form1::cmdGetWaypoints_Click() {
    if (gpsCommandRunning())
        return;
    const QScopedValueRollback busy(gpsBusy_, true);
    const ExchangeResult received = gpsDevice().ReceiveWaypoints();
    ShowMessages(received.messages);
    if (received.ok)
        AddReceivedPoints();
    blnSaved = false;
}

void Form1::cmdGetTrack_Click() {
    if (gpsCommandRunning())
        return;
    const QScopedValueRollback busy(gpsBusy_, true);
    const ExchangeResult received = gpsDevice().ReceiveTracks();
    ShowMessages(received.messages);
    if (received.ok)
        AddReceivedPoints();
    blnSaved = false;
}

// Deletion leaves blnSaved as it is, even when it clears the table.
void Form1::cmdDeleteWaypoints_Click() {
    if (!endCellEdit())
        return;
    if (gpsCommandRunning())
        return;
    const QScopedValueRollback busy(gpsBusy_, true);
    blnEditReady = false;
    const TableViewKeeper keep(*MSFlexGrid1);
    ShowMessages(DeleteListedWaypoints(MSFlexGrid1->rows(), gpsDevice(), askWithMsgBox).messages);
}

// Upload leaves blnSaved as it is unless it shortened names in the table.
void Form1::cmdUploadWPs_Click() {
    if (!endCellEdit())
        return;
    if (gpsCommandRunning())
        return;
    const QScopedValueRollback busy(gpsBusy_, true);
    blnEditReady = false; // the walk over the marks must not open the cell editor
    const TableViewKeeper keep(*MSFlexGrid1);
    const UploadResult result = UploadSelectedWaypoints(MSFlexGrid1->rows(), gpsDevice(), askWithMsgBox);
    ShowMessages(result.messages);
    if (result.renamed > 0) {
        blnSaved = false;
        updateTitleAndStatus();
    }
}
