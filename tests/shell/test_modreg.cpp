// SPDX-License-Identifier: GPL-3.0-or-later
// The registry stand-in: REGEDIT4 text read back through the registry calls,
// RegRead's value types, GetServerPath's branches, and the AutoCAD menu at
// start-up.
#include "scopedregistry.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "shell/modreg.h"
#include "support/scriptedprompts.h"

#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// ProgID -> class -> LocalServer32 as the CAD registration writes them.
QString serverEntry(const QString& progId, const QString& cls, const QString& serverLine) {
    QString s =
        QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\%1\\CLSID]\n@=\"%2\"\n").arg(progId, cls);
    if (!serverLine.isNull())
        s += QStringLiteral("[HKEY_CLASSES_ROOT\\CLSID\\%1\\LocalServer32]\n@=%2\n").arg(cls, serverLine);
    return s;
}

const QString kClass = QStringLiteral("{11111111-2222-3333-4444-555555555555}");

QString serverOf(const QString& progId, bool exactOnly = true, bool checkFile = false) {
    QString id = progId;
    return GetServerPath(id, exactOnly, checkFile);
}

} // namespace

TEST(RegRead, StringsNumbersAndOtherTypes) {
    ScopedRegistry r(QStringLiteral("[HKEY_LOCAL_MACHINE\\K]\n"
                                    "@=\"text with trailing blanks   \"\n"
                                    "\"Nul\"=hex(1):61,62,00,63,64,00\n"
                                    "\"Num\"=dword:ffffff85\n"
                                    "\"Exp\"=hex(2):61,00\n"
                                    "\"Empty\"=\"\"\n"
                                    "\"NoNul\"=hex(1):61,20,20\n"));
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    // Blanks are trimmed off the buffer's end before the cut at the NUL, so the
    // value's own trailing blanks stay unless it lacks a terminating NUL.
    EXPECT_EQ(RegRead(hklm, QStringLiteral("K"), QString()),
              QVariant(QStringLiteral("text with trailing blanks   ")));
    EXPECT_EQ(RegRead(hklm, QStringLiteral("K"), QStringLiteral("NoNul")), QVariant(QStringLiteral("a")));
    EXPECT_EQ(RegRead(hklm, QStringLiteral("K"), QStringLiteral("Nul")), QVariant(QStringLiteral("ab")));
    const QVariant number = RegRead(hklm, QStringLiteral("K"), QStringLiteral("Num"));
    EXPECT_EQ(number.typeId(), QMetaType::Int);
    EXPECT_EQ(number.toInt(), -123);
    EXPECT_EQ(RegRead(hklm, QStringLiteral("K"), QStringLiteral("Exp"), QStringLiteral("dflt")),
              QVariant(QStringLiteral("dflt")));
    EXPECT_EQ(RegRead(hklm, QStringLiteral("K"), QStringLiteral("Empty"), QStringLiteral("dflt")),
              QVariant(QString()));
    EXPECT_EQ(RegRead(hklm, QStringLiteral("NoKey"), QString(), QStringLiteral("dflt")),
              QVariant(QStringLiteral("dflt")));
    // Every key RegRead opened, whatever it found, is closed again.
    EXPECT_EQ(r.file.openKeyCount(), 0);

    EXPECT_EQ(StripNulls(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(StripNulls(QString::fromLatin1("ab\0cd\0", 6)), QStringLiteral("ab"));
    EXPECT_EQ(StripNulls(QString::fromLatin1("\0x", 2)), QString());
}

TEST(GetServerPath, ExactLookups) {
    ScopedRegistry r(
        serverEntry(QStringLiteral("Cad.App.16"), kClass,
                    QStringLiteral("\"C:\\\\Program Files\\\\Cad\\\\cad.exe /Automation /nologo\"")) +
        serverEntry(QStringLiteral("Cad.NoServer.1"), QStringLiteral("{AAAA}"), QString()) +
        QStringLiteral("[HKEY_CLASSES_ROOT\\CLSID\\{BBBB}\\LocalServer32]\n@=hex(2):61,2e,65,78,65,00\n") +
        serverEntry(QStringLiteral("Cad.Expand.1"), QStringLiteral("{BBBB}"), QString()) +
        serverEntry(QStringLiteral("Cad.Nul.1"), QStringLiteral("{CCCC}"),
                    QStringLiteral("hex(1):61,2e,65,78,65,00,2f,78,00")));
    // Path and switches come back whole.
    EXPECT_EQ(serverOf(QStringLiteral("Cad.App.16")),
              QStringLiteral("C:\\Program Files\\Cad\\cad.exe /Automation /nologo"));
    // A class without LocalServer32; a server stored as REG_EXPAND_SZ.
    EXPECT_EQ(serverOf(QStringLiteral("Cad.NoServer.1")), QString());
    EXPECT_EQ(serverOf(QStringLiteral("Cad.Expand.1")), QString());
    // An embedded NUL ends the text.
    EXPECT_EQ(serverOf(QStringLiteral("Cad.Nul.1")), QStringLiteral("a.exe"));
    EXPECT_EQ(r.file.openKeyCount(), 0);
}

TEST(GetServerPath, VersionIndependentFallbackAndFileCheck) {
    QTemporaryDir dir;
    const QString exe = dir.path() + QStringLiteral("/cad.exe");
    QFile f(exe);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ScopedRegistry r(
        serverEntry(QStringLiteral("Cad.App"), kClass, QStringLiteral("\"%1 /Automation\"").arg(exe)) +
        serverEntry(QStringLiteral("Cad.Gone"), QStringLiteral("{DDDD}"),
                    QStringLiteral("\"%1/missing.exe /x\"").arg(dir.path())) +
        serverEntry(QStringLiteral("Cad.NoExe"), QStringLiteral("{EEEE}"),
                    QStringLiteral("\"%1\"").arg(dir.path())) +
        serverEntry(QStringLiteral("Cad.Early"), QStringLiteral("{FFFF}"), QStringLiteral("\"a.exe\"")) +
        serverEntry(QStringLiteral("Cad.NoServer.2"), QStringLiteral("{AAAA}"), QString()));

    // Exact only: the versioned ProgID is not registered.
    EXPECT_EQ(serverOf(QStringLiteral("Cad.App.17")), QString());

    // Not exact: the ProgID before its last "." is tried, and the caller's
    // ProgID becomes it only when the file check succeeds.
    QString id = QStringLiteral("Cad.App.17");
    EXPECT_EQ(GetServerPath(id, false, false), exe + QStringLiteral(" /Automation"));
    EXPECT_EQ(id, QStringLiteral("Cad.App.17"));
    EXPECT_EQ(GetServerPath(id, false, true), exe);
    EXPECT_EQ(id, QStringLiteral("Cad.App"));

    // A ProgID with a class but no server is not retried under its base name.
    id = QStringLiteral("Cad.NoServer.2");
    EXPECT_EQ(GetServerPath(id, false, false), QString());

    // The file check: a missing executable, no ".exe" at all, ".exe" too early.
    EXPECT_EQ(serverOf(QStringLiteral("Cad.Gone"), true, true), QString());
    EXPECT_EQ(serverOf(QStringLiteral("Cad.NoExe"), true, true), QString());
    EXPECT_EQ(serverOf(QStringLiteral("Cad.Early"), true, true), QString());
    EXPECT_EQ(serverOf(QStringLiteral("Cad.App"), true, true), exe);
    EXPECT_EQ(r.file.openKeyCount(), 0);
}

TEST(AcadMenu, EnabledByVersion16Or15DisabledByNeither) {
    struct Case {
        const char* name;
        QString registry;
        bool enabled;
    };
    const QString server = QStringLiteral("\"cad /Automation\"");
    const Case cases[] = {
        {"15 only", serverEntry(QStringLiteral("AutoCAD.Application.15"), kClass, server), true},
        {"16 without a server, 15 with one",
         serverEntry(QStringLiteral("AutoCAD.Application.16"), QStringLiteral("{AAAA}"), QString()) +
             serverEntry(QStringLiteral("AutoCAD.Application.15"), kClass, server),
         true},
        {"neither", serverEntry(QStringLiteral("AutoCAD.Application.14"), kClass, server), false},
        {"only the version-independent ProgID",
         serverEntry(QStringLiteral("AutoCAD.Application"), kClass, server), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedRegistry r(c.registry);
        EXPECT_EQ(AcadMenuEnabledAtStartUp(), c.enabled);
        std::unique_ptr<Form1> form(StartUp({}));
        ASSERT_TRUE(form);
        EXPECT_EQ(form->menu(QStringLiteral("mnuACAD"))->isEnabled(), c.enabled);
    }
}

TEST(AcadMenu, TheShippedRegistryEnablesIt) {
    SetRegistry(nullptr); // Support/Registry.reg beside the test executable, as installed
    EXPECT_TRUE(AcadMenuEnabledAtStartUp());
    EXPECT_TRUE(serverOf(QStringLiteral("AutoCAD.Application.15")).isEmpty());
}
