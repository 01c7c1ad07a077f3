// SPDX-License-Identifier: GPL-3.0-or-later
// frmCommunication: the small non-modal progress window of receiver exchanges.
// Five dot pictures Dots(0..4) laid left to right and one picture Image1, the
// progress text (Count), a bar (ProgressBar) shown when the exchange knows its
// total, and a Cancel button offered during transfers and the port search. It is
// made on first use, shown and hidden by each exchange, and refuses every
// request to close, so it lives as long as its owner: Cancel is the one way
// to stop a transfer, and it stops at a point the exchange chooses.
#pragma once
#include "gps/progressview.h"

#include <QDialog>

#include <array>

class QLabel;
class QProgressBar;
class QPushButton;

class frmCommunication final : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit frmCommunication(QWidget* parent = nullptr);

    // Dots(i), i = 0..4, each 19 x 19 pixels.
    QLabel* Dots(int index) const { return dots_.at(static_cast<size_t>(index)); }
    QLabel* Image1 = nullptr; // 79 x 74 pixels
    QLabel* Count = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* CancelButton = nullptr;

    void setCaption(const QString& caption) override;
    void showProgress() override;
    void hideProgress() override;
    void DoDots(int& index) override;
    void setProgressText(const QString& text) override;
    void setProgressBar(int done, int total) override;
    void setCancellable(bool cancellable) override;
    bool cancelRequested() const override { return cancelled_; }
    void clearCancelRequest() override { cancelled_ = false; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape must not close it either

private:
    std::array<QLabel*, 5> dots_{};
    bool cancelled_ = false;
};
