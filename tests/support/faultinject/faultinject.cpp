// SPDX-License-Identifier: GPL-3.0-or-later
// A fault injector loaded with LD_PRELOAD into a test process: it stands in
// front of the C library's write, fsync, fdatasync, close and rename and makes
// them fail like a full or broken disk, for files whose path contains a chosen
// text only. Inert until a test arms it through korvel_fault_arm (see
// faultinjection.h); every other call goes straight through.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct Plan {
    std::string pathPart;       // affects files whose path contains this; "" = disarmed
    long long writeBudget = -1; // bytes that may still be written; -1 = unlimited
    int writeErrno = ENOSPC;
    int fsyncErrno = 0;     // non-zero: fsync/fdatasync fail with it
    int closeErrno = 0;     // non-zero: close fails with it (the descriptor is still closed)
    int renameErrno = 0;    // non-zero: a rename onto a matching path fails with it
    long long failures = 0; // how many calls were made to fail
};

std::mutex planLock;
Plan plan;
std::atomic<bool> armed{false};

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool fdMatches(int fd, const std::string& part) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return std::strstr(target, part.c_str()) != nullptr;
}

} // namespace

extern "C" {

// Arms the injector: files whose path contains pathPart may take writeBudget
// more bytes (-1: no limit) before writes fail with writeErrno; fsync, close
// and rename fail with the given numbers when non-zero.
void korvel_fault_arm(const char* pathPart, long long writeBudget, int writeErrno, int fsyncErrno,
                      int closeErrno, int renameErrno) {
    std::lock_guard<std::mutex> g(planLock);
    plan = Plan{pathPart ? pathPart : "", writeBudget, writeErrno, fsyncErrno, closeErrno, renameErrno, 0};
    armed = !plan.pathPart.empty();
}

void korvel_fault_disarm() {
    std::lock_guard<std::mutex> g(planLock);
    armed = false;
    plan.pathPart.clear();
}

long long korvel_fault_failures() {
    std::lock_guard<std::mutex> g(planLock);
    return plan.failures;
}

ssize_t write(int fd, const void* buf, size_t count) {
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (armed && fd > 2) {
        std::unique_lock<std::mutex> g(planLock);
        if (!plan.pathPart.empty() && plan.writeBudget >= 0 && fdMatches(fd, plan.pathPart)) {
            if (plan.writeBudget == 0) {
                ++plan.failures;
                errno = plan.writeErrno;
                return -1;
            }
            if (static_cast<long long>(count) > plan.writeBudget)
                count = static_cast<size_t>(plan.writeBudget); // a short write, as a filling disk gives
            const ssize_t n = real(fd, buf, count);
            if (n > 0)
                plan.writeBudget -= n;
            return n;
        }
    }
    return real(fd, buf, count);
}

static int failSync(int fd) {
    if (!armed)
        return 0;
    std::lock_guard<std::mutex> g(planLock);
    if (plan.fsyncErrno != 0 && !plan.pathPart.empty() && fdMatches(fd, plan.pathPart)) {
        ++plan.failures;
        return plan.fsyncErrno;
    }
    return 0;
}

int fsync(int fd) {
    static auto real = next<int (*)(int)>("fsync");
    if (int e = failSync(fd)) {
        errno = e;
        return -1;
    }
    return real(fd);
}

int fdatasync(int fd) {
    static auto real = next<int (*)(int)>("fdatasync");
    if (int e = failSync(fd)) {
        errno = e;
        return -1;
    }
    return real(fd);
}

int close(int fd) {
    static auto real = next<int (*)(int)>("close");
    int e = 0;
    if (armed && fd > 2) {
        std::lock_guard<std::mutex> g(planLock);
        if (plan.closeErrno != 0 && !plan.pathPart.empty() && fdMatches(fd, plan.pathPart)) {
            ++plan.failures;
            e = plan.closeErrno;
        }
    }
    const int r = real(fd);
    if (e != 0) {
        errno = e;
        return -1;
    }
    return r;
}

static int failRename(const char* to) {
    if (!armed || !to)
        return 0;
    std::lock_guard<std::mutex> g(planLock);
    if (plan.renameErrno != 0 && !plan.pathPart.empty() && std::strstr(to, plan.pathPart.c_str())) {
        ++plan.failures;
        return plan.renameErrno;
    }
    return 0;
}

int rename(const char* from, const char* to) {
    static auto real = next<int (*)(const char*, const char*)>("rename");
    if (int e = failRename(to)) {
        errno = e;
        return -1;
    }
    return real(from, to);
}

int renameat(int olddirfd, const char* from, int newdirfd, const char* to) {
    static auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    if (int e = failRename(to)) {
        errno = e;
        return -1;
    }
    return real(olddirfd, from, newdirfd, to);
}

} // extern "C"
