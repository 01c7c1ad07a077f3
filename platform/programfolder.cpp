// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/programfolder.h"

#include "platform/durablewrite.h"
#include "platform/prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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

bool IsInstalledProgram() {
    return FileExists(SupportPath(QString::fromLatin1(kInstalledMarker)));
}

namespace {

// $XDG_DATA_HOME under the freedesktop.org base-directory rules: a relative
// path is invalid and ignored.
QString dataHome() {
    const QString env = qEnvironmentVariable("XDG_DATA_HOME");
    if (env.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(env);
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/share"));
}

// Makes folder and its missing parents with mode 0700 (less the umask);
// "" when it is there, else the reason.
QString makePrivateFolder(const QString& folder) {
    const QStringList parts = QDir::cleanPath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        struct stat st {};
        if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("it is not a folder");
    return QString();
}

} // namespace

QString UserDataPath(const QString& relative, QString* error) {
    QString folder, why;
    if (IsInstalledProgram()) {
        folder = dataHome() + QStringLiteral("/korvel-transfer/");
        why = makePrivateFolder(folder);
    } else {
        folder = SupportPath(QStringLiteral("Data/"));
        if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
            why = QStringLiteral("it could not be created");
    }
    if (error)
        *error = why;
    return folder + relative;
}

QString WritableSupportFile(const QString& relative, QString* warning) {
    const QString installed = SupportPath(relative);
    if (!IsInstalledProgram())
        return installed;
    QString why;
    const QString copy = UserDataPath(relative, &why);
    if (why.isEmpty()) {
        switch (PresenceOf(copy, &why)) {
        case PathPresence::Present:
            return copy;
        case PathPresence::Unknown:
            break;
        case PathPresence::Missing: {
            QFile file(installed);
            if (!file.open(QIODevice::ReadOnly))
                return installed;
            const QByteArray bytes = file.readAll();
            if (file.error() != QFileDevice::NoError)
                return installed;
            // Another instance making its copy at the same moment wins: use that one.
            if (CreateFileDurably(copy, bytes, &why) || PresenceOf(copy) == PathPresence::Present)
                return copy;
            break;
        }
        }
    }
    if (warning)
        *warning = QStringLiteral("Your own copy of \"%1\" could not be made at \"%2\": %3.")
                       .arg(installed, copy, why) +
                   vbCrLf +
                   QStringLiteral("The installed file is used instead, and changes to it may not be saved.");
    return installed;
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
