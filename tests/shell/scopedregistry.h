// SPDX-License-Identifier: GPL-3.0-or-later
// A registry made from REGEDIT4 text, installed for the lookups while alive.
#pragma once
#include "shell/modreg.h"

#include <QString>

struct ScopedRegistry {
    explicit ScopedRegistry(const QString& body)
        : file(RegistryFile::fromText(QStringLiteral("REGEDIT4\n\n") + body)) {
        SetRegistry(&file);
    }
    ~ScopedRegistry() { SetRegistry(nullptr); }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;
    RegistryFile file;
};
