// SPDX-License-Identifier: GPL-3.0-or-later
// Every wait of the programs goes through the installed clock, so that tests can
// run a 30-second port search at once with a virtual clock.
#pragma once
#include <QtGlobal>

#include <functional>
#include <vector>

class Clock {
public:
    virtual ~Clock() = default;
    // Waits ms milliseconds (negative counts as 0). The real clock keeps the
    // user interface alive meanwhile.
    virtual void Sleep(int ms) = 0;
    // Waits like Sleep(ms), but ends as soon as done() returns true; done() is
    // asked at least once, at the end. Returns the last answer of done(). The
    // real clock asks it after each slice of interface events (about every
    // 20 ms); other clocks sleep the whole time and ask it then.
    virtual bool SleepUntil(int ms, const std::function<bool()>& done) {
        Sleep(ms);
        return done();
    }
    // Lets pending user-interface events run once.
    virtual void DoEvents() = 0;
    // Milliseconds on a monotonic scale; only differences mean anything.
    virtual qint64 NowMs() = 0;
};

// Wall-clock time; Sleep processes interface events while it waits.
class RealClock final : public Clock {
public:
    void Sleep(int ms) override;
    bool SleepUntil(int ms, const std::function<bool()>& done) override;
    void DoEvents() override;
    qint64 NowMs() override;
};

// Time that moves only when someone sleeps. Listeners run after every advance
// with the new time, so a fake device can deliver its answer "while" the
// program sleeps.
class VirtualClock final : public Clock {
public:
    using Listener = std::function<void(qint64 nowMs)>;
    void Sleep(int ms) override;
    void DoEvents() override;
    qint64 NowMs() override { return now_; }

    void addListener(Listener l) { listeners_.push_back(std::move(l)); }
    // Whether DoEvents also runs Qt's pending events (default true).
    void setProcessEvents(bool on) { processEvents_ = on; }
    qint64 totalSlept() const { return slept_; }
    int doEventsCalls() const { return doEventsCalls_; }

private:
    qint64 now_ = 0;
    qint64 slept_ = 0;
    int doEventsCalls_ = 0;
    bool processEvents_ = true;
    std::vector<Listener> listeners_;
};

// The installed clock (ScopedClock below), else the real one.
Clock& CurrentClock();

inline void Sleep(int ms) {
    CurrentClock().Sleep(ms);
}
inline void DoEvents() {
    CurrentClock().DoEvents();
}

// RAII: installs a clock for a scope, restoring the previous one after it.
class ScopedClock {
public:
    explicit ScopedClock(Clock* clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};
