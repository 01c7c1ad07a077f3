// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

namespace {
RealClock& realClock() {
    static RealClock clock;
    return clock;
}
Clock*& installed() {
    static Clock* clock = nullptr;
    return clock;
}
QElapsedTimer& epoch() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}
} // namespace

void RealClock::Sleep(int ms) {
    SleepUntil(ms, [] { return false; });
}

bool RealClock::SleepUntil(int ms, const std::function<bool()>& done) {
    if (ms <= 0) {
        DoEvents();
        return done();
    }
    const qint64 until = NowMs() + ms;
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return done();
    }
    // Short slices so the interface stays responsive without spinning.
    for (qint64 now = NowMs(); now < until; now = NowMs()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents,
                                        static_cast<int>(qMin<qint64>(until - now, 20)));
        if (done())
            return true;
        qint64 left = until - NowMs();
        if (left > 0)
            QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 5)));
    }
    return done();
}

void RealClock::DoEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

qint64 RealClock::NowMs() {
    return epoch().elapsed();
}

void VirtualClock::Sleep(int ms) {
    if (ms < 0)
        ms = 0;
    now_ += ms;
    slept_ += ms;
    // Listeners may add listeners; iterate by index over a stable count.
    const size_t n = listeners_.size();
    for (size_t i = 0; i < n; ++i)
        listeners_[i](now_);
}

void VirtualClock::DoEvents() {
    ++doEventsCalls_;
    if (processEvents_ && QCoreApplication::instance())
        QCoreApplication::processEvents();
}

Clock& CurrentClock() {
    return installed() ? *installed() : static_cast<Clock&>(realClock());
}

ScopedClock::ScopedClock(Clock* clock) : previous_(installed()) {
    installed() = clock;
}
ScopedClock::~ScopedClock() {
    installed() = previous_;
}
