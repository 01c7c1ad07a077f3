// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings store: one INI file per application name under the
// user's configuration folder ($XDG_CONFIG_HOME or ~/.config), sections as groups,
// every value stored as text.
#pragma once
#include <QString>

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);
// Path of the INI file that holds app's settings.
QString SettingsFilePath(const QString& app);
