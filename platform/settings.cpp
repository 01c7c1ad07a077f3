// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings.h"

#include <QSettings>

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app);
    QVariant v = s.value(section + '/' + key);
    return v.isValid() ? v.toString() : defaultValue;
}

void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app);
    s.setValue(section + '/' + key, value);
    s.sync();
}

QString SettingsFilePath(const QString& app) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app);
    return s.fileName();
}
