// SPDX-License-Identifier: GPL-3.0-or-later
// Arms the LD_PRELOAD fault injector (faultinject.cpp) from a test. A test
// executable gets it by korvel_test(... FAULTS): CTest then starts it with
// the injector preloaded. Without the injector loaded, arming fails the test
// instead of passing without injecting anything.
#pragma once
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

class FaultInjection {
public:
    struct Faults {
        long long writeBudget = -1; // bytes written before writes fail; -1: no write fault
        int writeErrno = ENOSPC;
        int fsyncErrno = 0;
        int closeErrno = 0;
        int renameErrno = 0;
    };
    // Files whose path contains pathPart get the faults until this object goes.
    FaultInjection(const std::string& pathPart, const Faults& f) {
        arm_ = reinterpret_cast<ArmFn>(dlsym(RTLD_DEFAULT, "korvel_fault_arm"));
        disarm_ = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "korvel_fault_disarm"));
        failures_ = reinterpret_cast<long long (*)()>(dlsym(RTLD_DEFAULT, "korvel_fault_failures"));
        loaded_ = arm_ && disarm_ && failures_;
        if (!loaded_) {
            ADD_FAILURE() << "the fault injector is not preloaded (korvel_test ... FAULTS)";
            return;
        }
        arm_(pathPart.c_str(), f.writeBudget, f.writeErrno, f.fsyncErrno, f.closeErrno, f.renameErrno);
    }
    ~FaultInjection() {
        if (loaded_)
            disarm_();
    }
    FaultInjection(const FaultInjection&) = delete;
    FaultInjection& operator=(const FaultInjection&) = delete;

    bool loaded() const { return loaded_; }
    // How many calls the injector made fail so far.
    long long failures() const { return loaded_ ? failures_() : 0; }

private:
    using ArmFn = void (*)(const char*, long long, int, int, int, int);
    ArmFn arm_ = nullptr;
    void (*disarm_)() = nullptr;
    long long (*failures_)() = nullptr;
    bool loaded_ = false;
};

// One way a write through the durable-write helper can fail, and the system's
// reason the writer must give for it.
struct WriteFault {
    const char* what;
    FaultInjection::Faults faults;
    const char* reason;
};

// The faults every writer that goes through the durable-write helper is
// checked against, for a write of at least `size` bytes (the part-way cases
// stop inside it). The first is a full disk from the first byte.
inline std::vector<WriteFault> DurableWriteFaults(long long size) {
    return {
        {"disk full at once", {0, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"disk full mid-way", {size / 2, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"disk full one byte short", {size - 1, ENOSPC, 0, 0, 0}, "No space left on device"},
        {"write error on the device", {size / 4, EIO, 0, 0, 0}, "Input/output error"},
        {"fsync fails", {-1, ENOSPC, EIO, 0, 0}, "Input/output error"},
        {"close fails", {-1, ENOSPC, 0, ENOSPC, 0}, "No space left on device"},
        {"rename refused", {-1, ENOSPC, 0, 0, EACCES}, "Permission denied"},
        {"read-only", {-1, ENOSPC, 0, 0, EROFS}, "Read-only file system"},
    };
}
