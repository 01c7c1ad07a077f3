// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/modmain.h"

#include "calculator/frmmain.h"
#include "platform/settings.h"

#include <QRadioButton>

std::unique_ptr<frmMain> ZenobarStartUp() {
    QString metric = GetSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                QStringLiteral("Metric"), QStringLiteral("True"));
    auto form = std::make_unique<frmMain>();
    // Only this program writes the value; anything but "False" (a hand-edited or
    // damaged file) falls back to the default, Meters.
    form->Option1[1]->setChecked(metric != QLatin1String("False"));
    form->show();
    return form;
}
