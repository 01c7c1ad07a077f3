// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/modmain.h"

#include "calculator/frmmain.h"
#include "platform/settings.h"

#include <QLineEdit>
#include <QRadioButton>

std::unique_ptr<frmMain> ZenobarStartUp() {
    QString metric = GetSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                QStringLiteral("Metric"), QStringLiteral("True"));
    auto form = std::make_unique<frmMain>();
    // Only this program writes the value; anything but "False" (a hand-edited or
    // damaged file) falls back to the default, Meters.
    form->Option1[1]->setChecked(metric != QLatin1String("False"));
    // Checked on the first Calculate, which names a code that is no longer known.
    form->txtCoordinateSystem->setText(GetSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                                  QStringLiteral("CoordinateSystem"), QString()));
    // Anything but "UTMToLatLong" is the classic direction.
    form->optDirection[1]->setChecked(GetSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                                 QStringLiteral("Direction"),
                                                 QString()) == QLatin1String("UTMToLatLong"));
    form->show();
    return form;
}
