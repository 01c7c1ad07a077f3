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
        gpsDevice().CloseDevice();
}

void Form1::cmdConnect_Click() {
    gpsDevice().SearchForDevice();
}

void Form1::cmdDisconnect_Click() {
    if (gpsDevice().CloseDevice())
        MsgBox(QStringLiteral("It is now safe to remove the GPS Device."));
}

void Form1::AddReceivedPoints() {
    const AddedPoints result = AppendReceivedPoints(*MSFlexGrid1, gpsDevice().receivedDataLines());
    showRowsAdded(result.added, QStringLiteral("the receiver"));
    const QString skipped = SkippedLinesMessage(result);
    if (!skipped.isEmpty())
        MsgBox(skipped);
}

void Form1::cmdGetWaypoints_Click() {
    if (gpsDevice().ReceiveWaypoints())
        AddReceivedPoints();
    blnSaved = false;
}

void Form1::cmdGetTrack_Click() {
    if (gpsDevice().ReceiveTracks())
        AddReceivedPoints();
    blnSaved = false;
}

// Upload and deletion leave blnSaved as it is, even when deletion clears the table.
void Form1::cmdDeleteWaypoints_Click() {
    blnEditReady = false;
    const TableViewKeeper keep(*MSFlexGrid1);
    DeleteListedWaypoints(*MSFlexGrid1, gpsDevice());
}

void Form1::cmdUploadWPs_Click() {
    blnEditReady = false; // the walk over the marks must not open the cell editor
    const TableViewKeeper keep(*MSFlexGrid1);
    UploadSelectedWaypoints(*MSFlexGrid1, gpsDevice());
}
