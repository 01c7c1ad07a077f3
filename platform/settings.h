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

// What a save came to. Converts to true when the file was written.
struct SettingSaved {
    bool ok = true;
    QString reason; // when not ok: the system's reason, as it names it
    // When not ok, the first time in this session for this file: the message
    // for the user (naming the file and the reason, and that it is not shown
    // again); "" otherwise, so a window that shows it tells each file once.
    QString message;
    explicit operator bool() const { return ok; }
};

// Stores value and rewrites app's settings file through the durable-write
// helper; every other line of the file stays as it was. When the file cannot
// be written, the value is kept for this session (GetSetting returns it and
// the next save tries to write it again) and the result says why. Shows
// nothing: a window shows the result's message with ShowSettingSaved.
SettingSaved SaveSetting(const QString& app, const QString& section, const QString& key,
                         const QString& value);

// The window side of SaveSetting: shows result.message, when there is one,
// in a message box with the exclamation icon.
void ShowSettingSaved(const SettingSaved& result);

// Path of the INI file that holds app's settings.
QString SettingsFilePath(const QString& app);
