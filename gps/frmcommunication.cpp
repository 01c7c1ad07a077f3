// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/frmcommunication.h"

#include "platform/clock.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPixmap dotPicture() {
    QPixmap pm(19, 19);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 170));
    p.drawEllipse(QRectF(4.5, 4.5, 10, 10));
    return pm;
}

// A hand-held receiver with a signal arc: the window's only illustration.
QPixmap receiverPicture() {
    QPixmap pm(79, 74);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(70, 70, 70));
    p.drawRoundedRect(QRectF(22, 18, 30, 52), 5, 5);
    p.setBrush(QColor(160, 200, 150));
    p.drawRect(QRectF(26, 23, 22, 20));
    p.drawLine(QPointF(30, 18), QPointF(30, 6));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 90, 170), 2));
    p.drawArc(QRectF(52, 4, 20, 20), -60 * 16, 120 * 16);
    p.drawArc(QRectF(48, 0, 28, 28), -60 * 16, 120 * 16);
    return pm;
}
} // namespace

frmCommunication::frmCommunication(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCommunication"));
    setWindowTitle(QStringLiteral("Dialog Caption"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(receiverPicture());
    Image1->setFixedSize(79, 74);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    const QPixmap dot = dotPicture();
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Dots%1").arg(i));
        label->setPixmap(dot);
        label->setFixedSize(19, 19);
        // A hidden dot keeps its place, so the others do not move as the row fills.
        QSizePolicy dotPolicy = label->sizePolicy();
        dotPolicy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(dotPolicy);
        dots_[static_cast<size_t>(i)] = label;
        row->addWidget(label);
    }
    layout->addLayout(row);
    Count = new QLabel(this);
    Count->setObjectName(QStringLiteral("Count"));
    Count->setAlignment(Qt::AlignCenter);
    layout->addWidget(Count);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false); // Count says it in words
    // Its room is kept while hidden, so the window does not change size when
    // an exchange learns its total.
    QSizePolicy barPolicy = ProgressBar->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    ProgressBar->setSizePolicy(barPolicy);
    ProgressBar->setVisible(false);
    layout->addWidget(ProgressBar);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    CancelButton->setEnabled(false);
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        CancelButton->setEnabled(false);
        Count->setText(Count->text().isEmpty() ? QStringLiteral("Stopping...")
                                               : Count->text() + QStringLiteral(" — stopping"));
    });
    layout->addWidget(CancelButton, 0, Qt::AlignHCenter);
    // Wide enough for the longest caption, "Searching For GPS Device On Comm Port 4",
    // in the title bar (bold there), beside the window manager's buttons; it
    // follows the font (and the scale).
    QFont titleFont = font();
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    const int captionWidth =
        title.horizontalAdvance(QStringLiteral("Searching For GPS Device On Comm Port 4")) +
        5 * title.height() + 40;
    Count->setMinimumWidth(qMax(300, captionWidth) - 2 * layout->contentsMargins().left());
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmCommunication::setCaption(const QString& caption) {
    setWindowTitle(caption);
}
void frmCommunication::showProgress() {
    cancelled_ = false;
    Count->clear();
    ProgressBar->setVisible(false);
    CancelButton->setEnabled(false);
    show();
}
void frmCommunication::setProgressText(const QString& text) {
    if (!cancelled_)
        Count->setText(text);
}
void frmCommunication::setProgressBar(int done, int total) {
    if (total <= 0) {
        ProgressBar->setVisible(false);
        return;
    }
    ProgressBar->setRange(0, total);
    ProgressBar->setValue(qBound(0, done, total));
    ProgressBar->setVisible(true);
}
void frmCommunication::setCancellable(bool cancellable) {
    CancelButton->setEnabled(cancellable && !cancelled_);
}
void frmCommunication::hideProgress() {
    hide();
}

void frmCommunication::DoDots(int& index) {
    if (index > 4 || index < 0)
        index = 0;
    if (index != 0) {
        Dots(index)->setVisible(true);
        ++index;
    } else {
        for (int i = 4; i >= 1; --i)
            Dots(i)->setVisible(false);
        index = 1;
    }
    DoEvents();
}

void frmCommunication::closeEvent(QCloseEvent* event) {
    event->ignore();
}
void frmCommunication::reject() {}
