// SPDX-License-Identifier: GPL-3.0-or-later
// Single-byte text as points files and the serial line carry it: Windows-1252.
#pragma once
#include <QByteArray>
#include <QString>

// A character the code page lacks is written as '?'; *unmapped (when given)
// is set to how many were (a surrogate pair counts once).
QByteArray ToAnsi(const QString& text, int* unmapped = nullptr);
QString FromAnsi(const QByteArray& bytes);
