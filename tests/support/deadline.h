// SPDX-License-Identifier: GPL-3.0-or-later
// A watchdog for steps that must not hang (opening a pipe, reading a device):
// the step runs on the calling thread; when it has not finished by the
// deadline, the watchdog names it and ends the test program, since a thread
// blocked in the kernel cannot be stopped any other way.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

inline void FinishWithin(std::chrono::milliseconds deadline, const std::string& what,
                         const std::function<void()>& step) {
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!done.wait_for(lock, deadline, [&] { return finished; })) {
            std::fprintf(stderr, "FAILED: %s did not finish within %lld ms\n", what.c_str(),
                         static_cast<long long>(deadline.count()));
            std::fflush(stderr);
            std::_Exit(1);
        }
    });
    step();
    {
        std::lock_guard<std::mutex> lock(m);
        finished = true;
    }
    done.notify_one();
    watchdog.join();
}
