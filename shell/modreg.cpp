// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/modreg.h"

#include "platform/ansi.h"
#include "platform/programfolder.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>

#include <cstring>
#include <optional>

namespace {

QString rootName(HKEY root) {
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    case HKEY_CURRENT_USER:
        return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS:
        return QStringLiteral("HKEY_USERS");
    case HKEY_CURRENT_CONFIG:
        return QStringLiteral("HKEY_CURRENT_CONFIG");
    default:
        return QString();
    }
}

// "HKEY_CLASSES_ROOT\A\B" -> root and sub-key; nullopt for an unknown root.
std::optional<std::pair<HKEY, QString>> splitKeyPath(const QString& path) {
    static const std::pair<const char*, HKEY> roots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                                                         {"HKCR", HKEY_CLASSES_ROOT},
                                                         {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                                                         {"HKCU", HKEY_CURRENT_USER},
                                                         {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                                                         {"HKLM", HKEY_LOCAL_MACHINE},
                                                         {"HKEY_USERS", HKEY_USERS},
                                                         {"HKU", HKEY_USERS},
                                                         {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}};
    const qsizetype slash = path.indexOf(QLatin1Char('\\'));
    const QString head = slash < 0 ? path : path.left(slash);
    const QString rest = slash < 0 ? QString() : path.mid(slash + 1);
    for (const auto& [name, root] : roots)
        if (head.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return std::make_pair(root, rest);
    return std::nullopt;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the
// closing quote. REGEDIT4 escapes only the backslash and the quote.
std::optional<QString> readQuoted(const QString& text, qsizetype& pos) {
    if (pos >= text.size() || text[pos] != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (++pos; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return out;
        }
        if (c == QLatin1Char('\\') && pos + 1 < text.size()) {
            const QChar n = text[pos + 1];
            if (n == QLatin1Char('\\') || n == QLatin1Char('"')) {
                out += n;
                ++pos;
                continue;
            }
        }
        out += c;
    }
    return std::nullopt; // no closing quote
}

std::optional<QByteArray> parseHexBytes(const QString& list) {
    QByteArray out;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint b = part.trimmed().toUInt(&ok, 16);
        if (!ok || b > 0xFF)
            return std::nullopt;
        out.append(char(b));
    }
    return out;
}

// The data after "=": a quoted string, dword:, hex: or hex(n):.
std::optional<RegistryFile::Value> parseData(const QString& data) {
    RegistryFile::Value v;
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const auto text = readQuoted(data, pos);
        if (!text)
            return std::nullopt;
        v.type = REG_SZ;
        v.data = ToAnsi(*text);
        v.data.append('\0');
        return v;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        bool ok = false;
        const QString digits = data.mid(6).trimmed();
        const uint n = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8)
            return std::nullopt;
        v.type = REG_DWORD;
        v.data.resize(4);
        qToLittleEndian<quint32>(n, v.data.data());
        return v;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        qsizetype colon = data.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return std::nullopt;
        const QString kind = data.left(colon).trimmed();
        v.type = REG_BINARY;
        if (kind.size() > 3) {
            if (!kind.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) ||
                !kind.endsWith(QLatin1Char(')')))
                return std::nullopt;
            bool ok = false;
            v.type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
            if (!ok)
                return std::nullopt;
        }
        const auto bytes = parseHexBytes(data.mid(colon + 1));
        if (!bytes)
            return std::nullopt;
        v.data = *bytes;
        return v;
    }
    return std::nullopt;
}

QString decodeFileText(const QByteArray& bytes) {
    // Written by hand it is often UTF-8; REGEDIT4 itself is single-byte.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return FromAnsi(bytes);
}

RegistryFile*& installedRegistry() {
    static RegistryFile* registry = nullptr;
    return registry;
}

} // namespace

QString RegistryFile::keyPath(HKEY root, const QString& subKey) {
    const QString base = rootName(root);
    if (base.isEmpty())
        return QString();
    QString sub = subKey;
    while (sub.startsWith(QLatin1Char('\\')))
        sub.remove(0, 1);
    while (sub.endsWith(QLatin1Char('\\')))
        sub.chop(1);
    return (sub.isEmpty() ? base : base + QLatin1Char('\\') + sub).toLower();
}

RegistryFile RegistryFile::fromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return RegistryFile();
    return fromText(decodeFileText(f.readAll()));
}

RegistryFile RegistryFile::fromText(const QString& text) {
    RegistryFile reg;
    QString current; // key the values belong to; "" outside any usable section
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        // Hex data may run over several lines, each ending in "\".
        while (line.endsWith(QLatin1Char('\\')) && !line.startsWith(QLatin1Char('[')) &&
               i + 1 < lines.size()) {
            line.chop(1);
            line += lines[++i].trimmed();
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            current.clear();
            if (!line.endsWith(QLatin1Char(']')) || line.startsWith(QLatin1String("[-")))
                continue;
            const auto split = splitKeyPath(line.mid(1, line.size() - 2));
            if (!split)
                continue;
            current = keyPath(split->first, split->second);
            reg.keys_[current]; // a key with no values still exists
            // Its parents exist too.
            for (qsizetype p = current.lastIndexOf(QLatin1Char('\\')); p > 0;
                 p = current.lastIndexOf(QLatin1Char('\\'), p - 1))
                reg.keys_[current.left(p)];
            continue;
        }
        if (current.isEmpty())
            continue;
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else {
            const auto quoted = readQuoted(line, pos);
            if (!quoted)
                continue;
            name = *quoted;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            continue;
        const auto value = parseData(line.mid(pos + 1).trimmed());
        if (value)
            reg.keys_[current][name.toLower()] = *value;
    }
    return reg;
}

long RegistryFile::RegOpenKeyEx(HKEY root, const QString& subKey, std::uint32_t /*options*/,
                                std::uint32_t /*access*/, HKEY* result) {
    if (!result)
        return ERROR_INVALID_HANDLE;
    QString path;
    if (const auto it = open_.find(root); it != open_.end())
        path = subKey.isEmpty() ? it->second : it->second + QLatin1Char('\\') + subKey.toLower();
    else
        path = keyPath(root, subKey);
    if (path.isEmpty())
        return ERROR_INVALID_HANDLE;
    if (!keys_.contains(path))
        return ERROR_FILE_NOT_FOUND;
    const HKEY handle = nextHandle_++;
    open_[handle] = path;
    *result = handle;
    return ERROR_SUCCESS;
}

long RegistryFile::RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t* type, char* data,
                                   std::uint32_t* size) const {
    const auto it = open_.find(key);
    if (it == open_.end())
        return ERROR_INVALID_HANDLE;
    const auto k = keys_.constFind(it->second);
    if (k == keys_.cend())
        return ERROR_FILE_NOT_FOUND;
    const auto v = k->constFind(valueName.toLower());
    if (v == k->cend())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    const auto needed = std::uint32_t(v->data.size());
    if (!data) {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (!size)
        return ERROR_INVALID_HANDLE;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed > 0)
        std::memcpy(data, v->data.constData(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

long RegistryFile::RegCloseKey(HKEY key) {
    return open_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

RegistryFile& CurrentRegistry() {
    if (RegistryFile* r = installedRegistry())
        return *r;
    // The shipped file is read once: it is read-only and nothing here writes it.
    static RegistryFile shipped = RegistryFile::fromFile(SupportPath(QStringLiteral("Registry.reg")));
    return shipped;
}

void SetRegistry(RegistryFile* registry) {
    installedRegistry() = registry;
}

QString StripNulls(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QVariant RegRead(HKEY root, const QString& subKey, const QString& valueName, const QVariant& defaultValue) {
    RegistryFile& reg = CurrentRegistry();
    QVariant result = defaultValue;
    HKEY key = 0;
    if (reg.RegOpenKeyEx(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return result;
    std::uint32_t type = 0, size = 0;
    if (reg.RegQueryValueEx(key, valueName, &type, nullptr, &size) == ERROR_SUCCESS) {
        if (type == REG_SZ) {
            // One blank more than the value needs, queried with the value's own
            // size as the length; the blank is trimmed away again.
            QByteArray buffer(qsizetype(size) + 1, ' ');
            std::uint32_t length = size;
            if (reg.RegQueryValueEx(key, valueName, &type, buffer.data(), &length) == ERROR_SUCCESS) {
                QString text = FromAnsi(buffer);
                while (text.endsWith(QLatin1Char(' ')))
                    text.chop(1);
                result = StripNulls(text);
            }
        } else if (type == REG_DWORD) {
            char bytes[4] = {0, 0, 0, 0};
            std::uint32_t length = 4;
            if (reg.RegQueryValueEx(key, valueName, &type, bytes, &length) == ERROR_SUCCESS)
                result = qFromLittleEndian<qint32>(bytes);
        }
    }
    reg.RegCloseKey(key);
    return result;
}

QString GetServerPath(QString& strProgID, bool blnExactOnly, bool blnCheckFile) {
    const QString classesKey = QStringLiteral("SOFTWARE\\Classes\\");
    auto serverOf = [](const QString& cls) {
        return RegRead(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + cls + QStringLiteral("\\LocalServer32"),
                       QString(), QString())
            .toString();
    };
    QString cls =
        RegRead(HKEY_LOCAL_MACHINE, classesKey + strProgID + QStringLiteral("\\CLSID"), QString(), QString())
            .toString();
    QString server;
    if (!cls.isEmpty())
        server = serverOf(cls);
    QString base;
    if (server.isEmpty() && !blnExactOnly) {
        if (cls.isEmpty()) {
            const qsizetype dot = strProgID.lastIndexOf(QLatin1Char('.'));
            if (dot >= 0) {
                base = strProgID.left(dot);
                cls = RegRead(HKEY_LOCAL_MACHINE, classesKey + base + QStringLiteral("\\CLSID"), QString(),
                              QString())
                          .toString();
            }
        }
        if (!cls.isEmpty())
            server = serverOf(cls);
    }
    if (server.isEmpty())
        return QString();
    if (!blnCheckFile)
        return server;
    // The executable is the command up to ".exe" and the character after it
    // (the blank or quote that ends the name). File lookups ignore trailing
    // blanks, so the name is checked and returned without them.
    const qsizetype exe = server.indexOf(QLatin1String(".exe"), 0, Qt::CaseInsensitive);
    if (exe + 1 <= 2) // not found, or starting at position 1 or 2 (counted from 1)
        return QString();
    QString file = server.left(exe + 5);
    while (file.endsWith(QLatin1Char(' ')))
        file.chop(1);
    if (!FileExists(file))
        return QString();
    if (!base.isEmpty())
        strProgID = base;
    return file;
}

bool AcadMenuEnabledAtStartUp() {
    QString progId = QStringLiteral("AutoCAD.Application.16");
    QString server = GetServerPath(progId, true, false);
    if (server.isEmpty()) {
        progId = QStringLiteral("AutoCAD.Application.15");
        server = GetServerPath(progId, true, false);
    }
    return !server.isEmpty();
}
