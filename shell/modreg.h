// SPDX-License-Identifier: GPL-3.0-or-later
// Registry lookups: whether a CAD automation server is registered, and the
// key/value reads of the About window.
//
// The machine has no registry, so a read-only text file in the REGEDIT4 format
// stands in for it (Support/Registry.reg by default):
//
//   REGEDIT4
//   ; comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Some.ProgID\CLSID]
//   @="{...}"                    default value, REG_SZ
//   "Name"="text"                REG_SZ (\\ and \" escaped)
//   "Count"=dword:0000002a       REG_DWORD
//   "Path"=hex(2):25,00          REG_EXPAND_SZ as bytes
//   "Raw"=hex(1):61,00,62,00     REG_SZ as bytes: an embedded NUL can be written
//   "Bin"=hex:01,02,\            REG_BINARY; a trailing "\" continues the line
//         03
//
// Key and value names compare without regard to case. Keys under
// HKEY_CLASSES_ROOT are the keys under HKEY_LOCAL_MACHINE\SOFTWARE\Classes:
// either name reaches the same data. Text values are single-byte (Windows-1252)
// and stored with their terminating NUL, so a value's size counts it.
#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <map>

using HKEY = std::uint32_t;

constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

constexpr std::uint32_t KEY_QUERY_VALUE = 0x1;
constexpr std::uint32_t KEY_ALL_ACCESS = 0x2003F;

constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_MORE_DATA = 234;

// One registry: the keys read from a REGEDIT4 file, and the keys opened on it.
// Nothing is ever written back to the file.
class RegistryFile {
public:
    struct Value {
        std::uint32_t type = REG_NONE;
        QByteArray data; // as stored; text values end with their NUL
    };

    // An empty registry.
    RegistryFile() = default;
    // Reads path; a missing or unreadable file gives an empty registry, and a
    // line the format does not know is skipped.
    static RegistryFile fromFile(const QString& path);
    static RegistryFile fromText(const QString& text);

    // The three calls of the registry's programming interface, with its
    // return codes. options and access are accepted as given: the file has no
    // write operations, so no access right is ever refused.
    long RegOpenKeyEx(HKEY root, const QString& subKey, std::uint32_t options, std::uint32_t access,
                      HKEY* result);
    // data == nullptr asks for the type and size only. Otherwise at most *size
    // bytes are copied; a value that does not fit gives ERROR_MORE_DATA with
    // *size set to the size needed. type may be nullptr.
    long RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t* type, char* data,
                         std::uint32_t* size) const;
    long RegCloseKey(HKEY key);

    // Keys opened and not yet closed.
    int openKeyCount() const { return int(open_.size()); }

private:
    using Values = QHash<QString, Value>; // lower-case value name ("" = default value)
    static QString keyPath(HKEY root, const QString& subKey);

    QHash<QString, Values> keys_; // lower-case full path, "HKEY_LOCAL_MACHINE\software\..."
    std::map<HKEY, QString> open_;
    HKEY nextHandle_ = 0x100;
};

// The registry the lookups below read. By default Support/Registry.reg, read
// on first use; tests install their own (not owned; nullptr restores the file).
RegistryFile& CurrentRegistry();
void SetRegistry(RegistryFile* registry);

// The text before the first NUL character, or the whole text when it holds none.
QString StripNulls(const QString& text);

// The value valueName of subKey under root: text for REG_SZ (trailing blanks
// removed, cut at the first NUL), a 32-bit signed number for REG_DWORD, the
// default for any other type or when the key or value is missing. A key opened
// here is always closed before returning.
QVariant RegRead(HKEY root, const QString& subKey, const QString& valueName,
                 const QVariant& defaultValue = QString());

// The server command registered for strProgID (the default value of
// HKEY_CLASSES_ROOT\CLSID\<class>\LocalServer32, where <class> is the default
// value of HKEY_LOCAL_MACHINE\SOFTWARE\Classes\<ProgID>\CLSID), or "" when there
// is none.
//   blnExactOnly false: with no server found, the version-independent ProgID
//     (the text before the last ".") is tried when the ProgID has no class.
//   blnCheckFile true: the result is the command cut after ".exe" and the one
//     character that follows it, when that names an existing file, else "";
//     strProgID is then rewritten to the version-independent ProgID when that
//     one was used.
QString GetServerPath(QString& strProgID, bool blnExactOnly, bool blnCheckFile);

// Start-up: "AutoCAD.Application.16", else "AutoCAD.Application.15", has a
// registered server. Never starts or contacts the CAD program.
bool AcadMenuEnabledAtStartUp();
