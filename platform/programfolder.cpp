// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/programfolder.h"

#include <QCoreApplication>
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

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    return QFileInfo::exists(path);
}
