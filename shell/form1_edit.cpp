// SPDX-License-Identifier: GPL-3.0-or-later
// Cell editor, clipboard and record commands of Form1.
#include "shell/form1.h"

void Form1::openCellEditor() {}
void Form1::cmdCopyCell_Click() {}
void Form1::cmdPasteCell_Click() {}
void Form1::cmdCopyRow_Click() {}
void Form1::cmdPasteRow_Click() {}
void Form1::cmdAddNewRecord_Click() {}
void Form1::cmdDeleteRecords_Click() {}
