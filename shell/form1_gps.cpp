// SPDX-License-Identifier: GPL-3.0-or-later
// GPS menu handlers of Form1.
#include "shell/form1.h"

#include "gps/commport.h"

void Form1::setCommPort(std::unique_ptr<CommPort> port) { MSComm1 = std::move(port); }

void Form1::closePortOnExit() {
    if (MSComm1 && MSComm1->PortOpen())
        MSComm1->setPortOpen(false);
}
void Form1::cmdConnect_Click() {}
void Form1::cmdDisconnect_Click() {}
void Form1::cmdGetWaypoints_Click() {}
void Form1::cmdGetTrack_Click() {}
void Form1::cmdDeleteWaypoints_Click() {}
void Form1::cmdUploadWPs_Click() {}
