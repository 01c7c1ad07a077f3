// SPDX-License-Identifier: GPL-3.0-or-later
// File permission checks of this thread made as another user for a scope:
// tests run as root, whom a read-only file does not stop. Leaving root this way
// also drops the capabilities that override file modes, and files this thread
// makes meanwhile belong to that user.
#pragma once
#include <sys/fsuid.h>
#include <sys/types.h>

class ScopedFileUser {
public:
    explicit ScopedFileUser(uid_t uid) : previous_(static_cast<uid_t>(setfsuid(uid))) {}
    ~ScopedFileUser() { setfsuid(previous_); }
    ScopedFileUser(const ScopedFileUser&) = delete;
    ScopedFileUser& operator=(const ScopedFileUser&) = delete;

private:
    uid_t previous_;
};

// The user nobody, whom tests become to be someone other than root.
inline constexpr uid_t kNobody = 65534;
