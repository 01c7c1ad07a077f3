// SPDX-License-Identifier: GPL-3.0-or-later
// AutoCAD menu handlers of Form1.
#include "shell/form1.h"

void Form1::loadInsertionWindows() {}
void Form1::cmdInsertAll_Click() {}
void Form1::cmdInsertSelected_Click() {}
void Form1::cmdInsertLine_Click() {}
void Form1::cmdOptions_Click() {}
