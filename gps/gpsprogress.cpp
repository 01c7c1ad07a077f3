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
}

void GPSDevice::stepBatch(int done, int total) {
    if (progress_)
        progress_->setProgressText(ofText(done, total));
}

void GPSDevice::endBatch() {
    if (progress_)
        progress_->hideProgress();
}

bool GPSDevice::cancelRequested() const {
    return progress_ && progress_->cancelRequested();
}

void GPSDevice::drainCancelledTransfer() {
    if (!port_)
        return;
    if (progress_) {
        progress_->setCancellable(false);
        progress_->setProgressText(QStringLiteral("Stopping"));
    }
    // The rest of the transfer is of no use now; left in the port it would be
    // taken for the answer to the next request. A short quiet spell means the
    // receiver has stopped; the bound keeps Cancel from turning into a wait for
    // a long track.
    const qint64 start = CurrentClock().NowMs();
    QString tail;
    try {
        drainUntilQuiet(start, tail);
    } catch (const CommError&) {
        // The lines already received are kept; the port's failure shows at the
        // next exchange.
    }
}

void GPSDevice::drainUntilQuiet(qint64 start, QString& tail) {
    int index = 0;
    while (CurrentClock().NowMs() - start < kDownloadStallMs) {
        stepDots(index);
        QString piece;
        CurrentClock().SleepUntil(kReplyWaitMs, [&] {
            piece += port_->Input();
            return false;
        });
        if (piece.isEmpty())
            return;
        tail = (tail + piece).right(kUnableReply.size() + 2);
        if (tail.contains(kEndReply + QStringLiteral("\r\n")) ||
            tail.contains(kUnableReply + QStringLiteral("\r\n")))
            return;
    }
}
