// SPDX-License-Identifier: GPL-3.0-or-later
// Single-byte text as points files and the serial line carry it: Windows-1252.
#pragma once
#include <QByteArray>
#include <QString>

// A character the code page lacks is written as '?'.
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);
