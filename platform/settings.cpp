// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings.h"

#include "platform/durablewrite.h"
#include "platform/prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSettings>

#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// QSettings keeps the files it read in a process-wide cache and reads one
// again only when its size or its modification time (in milliseconds) has
// changed. A rewrite of the same size within the same millisecond ("15" ->
// "60") would be taken for the old file, so the new file's time is moved
// past the old one's.
void makeChangeVisible(const QByteArray& path, const struct stat& before) {
    struct stat after {};
    if (::stat(path.constData(), &after) != 0 || after.st_size != before.st_size)
        return;
    const auto ms = [](const struct timespec& t) { return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000; };
    if (ms(after.st_mtim) > ms(before.st_mtim))
        return;
    const qint64 next = ms(before.st_mtim) + 1;
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[0].tv_sec = 0;
    times[1].tv_sec = time_t(next / 1000);
    times[1].tv_nsec = long(next % 1000) * 1000000;
    ::utimensat(AT_FDCWD, path.constData(), times, 0);
}

// Values saved in this session that are not in the file yet (its write
// failed), per application, by "section/key"; and the files whose failure
// the user was already told of.
struct Session {
    std::mutex lock;
    QHash<QString, QHash<QString, QString>> pending;
    QSet<QString> told;
};

Session& session() {
    static Session s;
    return s;
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A section or key name as the INI reader expects it: letters, digits, "_",
// "-" and "." as they are, "/" as "\", anything else as %XX or %UXXXX.
QByteArray escapedKey(const QString& key) {
    QByteArray out;
    for (QChar ch : key) {
        const char16_t u = ch.unicode();
        if (u == u'/')
            out += '\\';
        else if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                 u == u'_' || u == u'-' || u == u'.')
            out += char(u);
        else if (u <= 0xFF)
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(u, 16).toUpper().rightJustified(4, '0');
    }
    return out;
}

// A text value as the INI reader reads it back unchanged: plain text stays
// bare; text with separators, quotes, backslashes, control characters or
// blanks at either end is quoted with backslash escapes; a leading "@" is
// doubled (a single one marks a typed value).
QByteArray escapedValue(const QString& value) {
    const QString text = value.startsWith(u'@') ? QStringLiteral("@") + value : value;
    bool quote = !text.isEmpty() && (text.front() == u' ' || text.back() == u' ');
    for (QChar ch : text)
        if (ch == u'"' || ch == u'\\' || ch == u';' || ch == u',' || ch == u'=' || ch.unicode() < 0x20 ||
            ch.unicode() == 0x7F)
            quote = true;
    if (!quote)
        return text.toUtf8();
    QString out = QStringLiteral("\"");
    bool escapeNextIfHex = false;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (escapeNextIfHex && isHexDigit(ch)) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            continue;
        }
        escapeNextIfHex = false;
        if (u == u'"' || u == u'\\') {
            out += u'\\';
            out += ch;
        } else if (u == u'\n') {
            out += QStringLiteral("\\n");
        } else if (u == u'\r') {
            out += QStringLiteral("\\r");
        } else if (u == u'\t') {
            out += QStringLiteral("\\t");
        } else if (u < 0x20 || u == 0x7F) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            escapeNextIfHex = true;
        } else {
            out += ch;
        }
    }
    out += u'"';
    return out.toUtf8();
}

// The file's text with each "section/key" of values set to its value. Every
// other line (other keys, comments, values of other types) is kept as it
// was; a key missing from its section is added at the section's end, a
// missing section at the file's end.
QByteArray withValues(const QByteArray& file, const QHash<QString, QString>& values) {
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the text after the last line end
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QByteArray header = '[' + escapedKey(it.key().left(slash)) + ']';
        const QByteArray key = escapedKey(it.key().mid(slash + 1));
        const QByteArray line = key + '=' + escapedValue(it.value());
        qsizetype section = -1;
        for (qsizetype i = 0; i < lines.size() && section < 0; ++i)
            if (lines[i].trimmed() == header)
                section = i;
        if (section < 0) {
            if (!lines.isEmpty() && !lines.back().trimmed().isEmpty())
                lines << QByteArray();
            lines << header << line;
            continue;
        }
        qsizetype end = section + 1; // one past the section's last non-blank line
        bool replaced = false;
        for (qsizetype i = section + 1; i < lines.size() && !lines[i].trimmed().startsWith('[');) {
            const qsizetype eq = lines[i].indexOf('=');
            if (eq > 0 && lines[i].left(eq).trimmed() == key) {
                if (replaced) { // a later duplicate would win over the new value
                    lines.removeAt(i);
                    continue;
                }
                lines[i] = line;
                replaced = true;
            }
            if (!lines[i].trimmed().isEmpty())
                end = i + 1;
            ++i;
        }
        if (!replaced)
            lines.insert(end, line);
    }
    QByteArray out = lines.join('\n');
    out += '\n';
    return out;
}

} // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
    {
        Session& s = session();
        std::lock_guard<std::mutex> g(s.lock);
        const auto values = s.pending.constFind(app);
        if (values != s.pending.constEnd()) {
            const auto v = values->constFind(section + u'/' + key);
            if (v != values->constEnd())
                return *v;
        }
    }
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app);
    const QVariant v = s.value(section + u'/' + key);
    return v.isValid() ? v.toString() : defaultValue;
}

SettingSaved SaveSetting(const QString& app, const QString& section, const QString& key,
                         const QString& value) {
    const QString path = SettingsFilePath(app);
    Session& s = session();
    QHash<QString, QString> values;
    {
        std::lock_guard<std::mutex> g(s.lock);
        s.pending[app].insert(section + u'/' + key, value);
        values = s.pending.value(app);
    }
    QString why = NotARegularFileReason(path);
    bool ok = why.isEmpty();
    // A file that cannot be looked at is not missing: writing only the values
    // of this session would lose every other setting in it.
    const PathPresence there = ok ? PresenceOf(path, &why) : PathPresence::Unknown;
    ok = ok && there != PathPresence::Unknown;
    if (ok) {
        QByteArray old;
        QFile file(path);
        if (there == PathPresence::Present) {
            ok = file.open(QIODevice::ReadOnly);
            if (ok)
                old = file.readAll();
            if (!ok || file.error() != QFileDevice::NoError) {
                ok = false;
                why = file.errorString();
            }
        }
        if (ok) {
            QDir().mkpath(QFileInfo(path).absolutePath()); // a failure shows in the write
            const QByteArray native = QFile::encodeName(path);
            struct stat before {};
            const bool existed = ::stat(native.constData(), &before) == 0;
            ok = WriteFileDurably(path, withValues(old, values), &why);
            if (ok && existed)
                makeChangeVisible(native, before);
        }
    }
    bool tell = false;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (ok) {
            // Everything pending went into this write.
            QHash<QString, QString>& pending = s.pending[app];
            for (auto it = values.constBegin(); it != values.constEnd(); ++it)
                if (pending.value(it.key()) == it.value())
                    pending.remove(it.key());
        } else if (!s.told.contains(path)) {
            s.told.insert(path);
            tell = true;
        }
    }
    SettingSaved result;
    result.ok = ok;
    if (!ok)
        result.reason = why;
    if (tell)
        result.message =
            QStringLiteral("The settings could not be saved to \"%1\": %2.").arg(path, why) + vbCrLf +
            QStringLiteral("The new settings stay in use until the program ends. This is not shown again.");
    return result;
}

void ShowSettingSaved(const SettingSaved& result) {
    if (!result.message.isEmpty())
        MsgBox(result.message, vbOKOnly | vbExclamation);
}

QString SettingsFilePath(const QString& app) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, app);
    return s.fileName();
}
