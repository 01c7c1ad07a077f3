// SPDX-License-Identifier: GPL-3.0-or-later
// File menu handlers of Form1: New, Open, Save, Save As, and OpenFile.
#include "shell/form1.h"

bool Form1::OpenFile(const QString& strFile) {
    Q_UNUSED(strFile);
    return true;
}
void Form1::cmdNewDB_Click() {}
void Form1::cmdOpen_Click() {}
void Form1::cmdSave_Click() {}
void Form1::cmdSaveAs_Click() {}
