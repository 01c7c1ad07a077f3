// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/filedialog.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

void FileDialog::setTitle(const QString& Caption) {
    if (!Caption.isEmpty())
        title_ = Caption;
}

void FileDialog::setFilter(const QString& FilterString) {
    QString stored = FilterString;
    stored.replace(QLatin1Char('|'), QChar(0));
    if (!stored.endsWith(QString(2, QChar(0))))
        stored.append(QChar(0));
    filter_ = stored;
}

QString FileDialog::Filter() const {
    QString text = filter_;
    text.replace(QChar(0), QLatin1Char('|'));
    if (text.endsWith(QLatin1Char('|')))
        text.chop(1);
    return text;
}

void FileDialog::setInitialDir(const QString& strFolder) {
    if (strFolder.isEmpty() || !QFileInfo(strFolder).isDir())
        throw FileDialogError(kInvalidInitialDir, QStringLiteral("FileDialog"),
                              QStringLiteral("Invalid Initial Directory"));
    initialDir_ = strFolder;
}

std::int32_t FileDialog::openFlags() const {
    std::int32_t flags = 0;
    if (hideReadOnly_)
        flags += OFN_HIDEREADONLY;
    if (multiSelect_)
        flags += OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    if (fileMustExist_)
        flags += OFN_FILEMUSTEXIST;
    return flags;
}

std::int32_t FileDialog::saveFlags() const {
    return fileMustExist_ ? OFN_FILEMUSTEXIST : 0;
}

FileChooserRequest FileDialog::request(bool save) const {
    const std::int32_t flags = save ? saveFlags() : openFlags();
    FileChooserRequest r;
    r.save = save;
    r.owner = owner_ ? QWidget::find(WId(std::uint32_t(owner_))) : nullptr;
    r.title = title_;
    r.initialDir = initialDir_;
    r.hideReadOnly = flags & OFN_HIDEREADONLY;
    r.multiSelect = flags & OFN_ALLOWMULTISELECT;
    r.fileMustExist = flags & OFN_FILEMUSTEXIST;
    // The stored form is description NUL pattern NUL ... ending at an empty
    // description (the double NUL); a description without a pattern is dropped.
    const QStringList parts = filter_.split(QChar(0));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        r.filters.append({parts[i], parts[i + 1]});
    }
    return r;
}

QString FileDialog::show(bool save) const {
    const QStringList chosen = ChooseFile(request(save));
    if (chosen.isEmpty())
        return QString();
    if (chosen.size() == 1)
        return chosen.front();
    // Several files: the folder, then each bare name, NUL-separated.
    QString out = QFileInfo(chosen.front()).absolutePath();
    for (const QString& path : chosen)
        out += QChar(0) + QFileInfo(path).fileName();
    return out;
}

QString FileDialog::ShowOpen() const {
    return show(false);
}
QString FileDialog::ShowSave() const {
    return show(true);
}
