// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString AppPath() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void SetAppPathOverride(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith('/'))
        f.chop(1);
    overrideFolder() = f;
}

QString SupportPath(const QString& relative) {
    return AppPath() + QStringLiteral("/Support/") + relative;
}

// Files of any attribute count; folders do not (a folder is never the help
// page, a block drawing or a server program a caller is looking for).
bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QString ToProgramRelative(const QString& path) {
    if (path.isEmpty() || QDir::isRelativePath(path))
        return path;
    const QString folder = QDir::cleanPath(AppPath());
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(folder + QLatin1Char('/')))
        return path;
    return clean.mid(folder.size() + 1);
}

QString FromProgramRelative(const QString& stored) {
    if (stored.isEmpty() || !QDir::isRelativePath(stored))
        return stored;
    return AppPath() + QLatin1Char('/') + stored;
}
