// SPDX-License-Identifier: GPL-3.0-or-later
// GPSDevice: the progress window of row-by-row transfers, the Cancel request,
// and the clean-up after a cancelled download.
#include "gps/commport.h"
#include "gps/gpsdevice.h"
#include "gps/magellansentence.h"
#include "gps/progressview.h"
#include "platform/clock.h"

namespace {
QString ofText(int done, int total) {
    return QStringLiteral("%1 of %2").arg(done).arg(total);
}
} // namespace

void GPSDevice::beginBatch(const QString& caption, int total) {
    if (!progress_)
        return;
    progress_->setCaption(caption);
    progress_->showProgress();
    progress_->setCancellable(true);
    progress_->setProgressText(ofText(0, total));
    progress_->setProgressBar(0, total);
}

void GPSDevice::stepBatch(int done, int total) {
    if (progress_) {
        progress_->setProgressText(ofText(done, total));
        progress_->setProgressBar(done, total);
    }
}

void GPSDevice::endBatch() {
    if (progress_)
        progress_->hideProgress();
}

bool GPSDevice::cancelRequested() const {
    return progress_ && progress_->cancelRequested();
}

bool GPSDevice::drainCancelledTransfer(const QString& tail) {
    if (!port_)
        return true;
    // The rest of the transfer is of no use now; left in the port it would be
    // taken for the answer to the next request. A long track at 4800 baud may
    // take minutes: the wait is as long as the receiver sends, and the user
    // may give it up with Cancel.
    if (progress_) {
        progress_->clearCancelRequest();
        progress_->setProgressText(QStringLiteral("Discarding the rest of the receiver's answer..."));
        progress_->setProgressBar(0, 0); // its length is unknown
        progress_->setCancellable(true);
    }
    Clock& clock = CurrentClock();
    qint64 lastHeard = clock.NowMs();
    QString last = tail;
    bool ended = false;
    auto quiet = [&] { return clock.NowMs() - lastHeard >= kDrainQuietMs; };
    int index = 0;
    try {
        while (!ended && !quiet()) {
            if (cancelRequested())
                return false;
            stepDots(index);
            clock.SleepUntil(kDrainPollMs, [&] {
                const QString piece = port_->Input();
                if (!piece.isEmpty()) {
                    lastHeard = clock.NowMs();
                    // Only the end matters: memory stays bounded however long the answer.
                    last = (last + piece).right(kUnableReply.size() + 2);
                    ended = last.contains(kEndReply + QStringLiteral("\r\n")) ||
                            last.contains(kUnableReply + QStringLiteral("\r\n"));
                }
                return ended || quiet() || cancelRequested();
            });
        }
    } catch (const CommError&) {
        // The lines already received are kept; the port's failure shows at the
        // next exchange.
    }
    return true;
}
