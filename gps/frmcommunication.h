// SPDX-License-Identifier: GPL-3.0-or-later
// frmCommunication: the small non-modal progress window of receiver exchanges.
// Five dot pictures Dots(0..4) laid left to right and one picture Image1. It is
// made on first use, shown and hidden by each exchange, and refuses every
// request to close, so it lives as long as its owner.
#pragma once
#include "gps/progressview.h"

#include <QDialog>

#include <array>

class QLabel;

class frmCommunication final : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit frmCommunication(QWidget* parent = nullptr);

    // Dots(i), i = 0..4, each 19 x 19 pixels.
    QLabel* Dots(int index) const { return dots_.at(static_cast<size_t>(index)); }
    QLabel* Image1 = nullptr; // 79 x 74 pixels

    void setCaption(const QString& caption) override;
    void showProgress() override;
    void hideProgress() override;
    void DoDots(int& index) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape must not close it either

private:
    std::array<QLabel*, 5> dots_{};
};
