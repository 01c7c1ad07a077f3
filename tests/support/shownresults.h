// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS exchanges and transfers as the window runs them: their messages go
// to the prompt service, one message box each in order, and their questions
// are asked with MsgBox. Tests that script prompts see what the user sees.
#pragma once
#include "gps/gpsdevice.h"
#include "gps/waypointtransfer.h"
#include "platform/prompts.h"

// The outcome of an exchange after its messages were shown.
inline bool Shown(const ExchangeResult& result) {
    ShowMessages(result.messages);
    return result.ok;
}

inline int AskWithMsgBox(const QString& text, int buttons) {
    return MsgBox(text, buttons);
}

inline UploadResult UploadShown(WaypointRows& grid, GPSDevice& device) {
    UploadResult result = UploadSelectedWaypoints(grid, device, AskWithMsgBox);
    ShowMessages(result.messages);
    return result;
}

inline DeleteResult DeleteShown(WaypointRows& grid, GPSDevice& device) {
    DeleteResult result = DeleteListedWaypoints(grid, device, AskWithMsgBox);
    ShowMessages(result.messages);
    return result;
}
