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
