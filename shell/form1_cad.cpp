// SPDX-License-Identifier: GPL-3.0-or-later
// AutoCAD menu handlers of Form1.
#include "shell/form1.h"

#include "cad/frmoptions.h"
#include "cad/frmrules.h"
#include "shell/modmain.h"

void Form1::loadInsertionWindows() {
    // The options' OptionSettings loads the rules window (opening the rules
    // database) before the explicit load below, which then finds it loaded.
    if (!rulesWindow)
        rulesWindow = new frmRules(this);
    if (!optionsWindow)
        optionsWindow = new frmOptions(this, rulesWindow, LoadForm);
    if (LoadForm(optionsWindow))
        optionsWindow->OptionSettings();
    LoadForm(rulesWindow);
}
void Form1::cmdInsertAll_Click() {}
void Form1::cmdInsertSelected_Click() {}
void Form1::cmdInsertLine_Click() {}
void Form1::cmdOptions_Click() {
    if (!LoadForm(optionsWindow))
        return;
    optionsWindow->OptionSettings();
    optionsWindow->show();
    optionsWindow->raise();
}
