// SPDX-License-Identifier: GPL-3.0-or-later
// What an exchange with the receiver shows while it runs: a caption naming the
// exchange, a row of dots stepped once per poll, how far it has come and, for
// transfers, a way to stop it. frmCommunication is the
// window that implements it; tests record the calls instead.
#pragma once
#include <QString>

class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setCaption(const QString& caption) = 0;
    // Shown without being modal: the user interface stays usable meanwhile.
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;
    // Steps the dots; index is the caller's counter (0 at the start of each
    // exchange). A cycle of five calls: clear, then dots 1 to 4 one per call.
    virtual void DoDots(int& index) = 0;

    // How far the exchange has come, e.g. "120 waypoints received" or "3 of 12".
    virtual void setProgressText(const QString& text) { (void)text; }
    // The bar beside the text: done of total when the total is known
    // (total > 0, 0 <= done <= total); total <= 0 takes the bar away, for an
    // exchange whose end cannot be foreseen. showProgress takes it away too.
    virtual void setProgressBar(int done, int total) {
        (void)done;
        (void)total;
    }
    // Whether the window offers Cancel; showProgress withdraws the offer.
    virtual void setCancellable(bool cancellable) { (void)cancellable; }
    // True once the user chose Cancel since the window was last shown or the
    // request was cleared.
    virtual bool cancelRequested() const { return false; }
    // Forgets a Cancel already chosen, so that the next one can be told apart
    // (after Cancel a download still waits for the receiver to finish).
    virtual void clearCancelRequest() {}
};
