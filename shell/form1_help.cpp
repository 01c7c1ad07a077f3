// SPDX-License-Identifier: GPL-3.0-or-later
// Print, Help and About handlers of Form1.
#include "shell/form1.h"

void Form1::cmdPrintGrid_Click() {}
void Form1::cmdHelp_Click() {}
void Form1::cmdAbout_Click() {}
