// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/pointsdialog.h"

#include "files/filedialog.h"
#include "platform/programfolder.h"

#include <QDir>
#include <QFileInfo>

QString PointsStartFolder() {
    const QString data = UserDataPath();
    if (QFileInfo(data).isDir())
        return data;
    return QDir::homePath() + QLatin1Char('/');
}

void SetUpPointsDialog(FileDialog& dialog, std::int32_t owner) {
    dialog.setOwnerHwnd(owner);
    dialog.setFilter(kPointsFilter);
    for (const QString& folder : {PointsStartFolder(), QDir::homePath() + QLatin1Char('/')}) {
        try {
            dialog.setInitialDir(folder);
            return;
        } catch (const FileDialogError&) {
            // The folder vanished between the check and now; try the next one.
        }
    }
}

QString WithPointsExtension(const QString& path) {
    if (path.isEmpty())
        return path;
    // Only the file name counts: a folder named "x.gps" does not make a name
    // typed without extension a points file name.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (name.contains(QLatin1String(".gps"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".gps");
}
