// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings store: one INI file per application name under the
// user's configuration folder ($XDG_CONFIG_HOME or ~/.config), sections as groups,
// every value stored as text.
#pragma once
#include <QString>

// The value saved last: in this session when a save of it could not reach the
// file, else the file's; defaultValue when neither has one.
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());

// Stores value and rewrites app's settings file through the durable-write
// helper; every other line of the file stays as it was. When the file cannot
// be written, the value is kept for this session (GetSetting returns it and
// the next save tries to write it again), the first such failure of the
// session shows one message naming the file and the system's reason, and the
// result is false.
bool SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);

// Path of the INI file that holds app's settings.
QString SettingsFilePath(const QString& app);

// A value this process reads in place of the stored one, without writing it
// to the store (the command line's choices for one run). GetSetting returns it
// until ClearSettingOverrides().
void OverrideSetting(const QString& app, const QString& section, const QString& key, const QString& value);
void ClearSettingOverrides();
