// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakecommport.h"

#include "gps/magellansentence.h"
#include "platform/ansi.h"

#include <algorithm>

QString Framed(const QString& body) {
    return BuildSentence(QLatin1Char('$') + body + QLatin1Char('*'));
}

void FakeCommPort::deliverAfter(int delayMs, const QString& text) {
    arrivals_.push_back({clock_.NowMs() + delayMs, ToAnsi(text)});
}

void FakeCommPort::deliverPieces(int delayMs, int stepMs, const QStringList& pieces) {
    for (int i = 0; i < pieces.size(); ++i)
        deliverAfter(delayMs + i * stepMs, pieces.at(i));
}

QStringList FakeCommPort::writtenTexts() const {
    QStringList out;
    for (const Write& w : writes_)
        out << w.text;
    return out;
}

void FakeCommPort::setPortOpen(bool open) {
    if (!open) {
        if (open_)
            ++closes_;
        open_ = false;
        arrivals_.clear();
        dropPending();
        return;
    }
    if (open_)
        throw commError(comPortAlreadyOpen);
    if (!present.count(commPortNumber()))
        throw commError(comInvalidPort);
    open_ = true;
    opens_.push_back(commPortNumber());
}

void FakeCommPort::writeBytes(const QByteArray& bytes) {
    if (failNextWrite) {
        failNextWrite = false;
        throw commError(comPortUnavailable);
    }
    const QString text = FromAnsi(bytes);
    writes_.push_back({commPortNumber(), text});
    if (responder)
        responder(*this, commPortNumber(), text);
}

QByteArray FakeCommPort::readAvailable() {
    ++reads_;
    QByteArray out;
    const qint64 now = clock_.NowMs();
    if (failReadsFromMs >= 0 && now >= failReadsFromMs)
        throw commError(comReadError);
    // Arrivals keep their order: a later piece never overtakes an earlier one.
    std::stable_sort(arrivals_.begin(), arrivals_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.atMs < b.atMs; });
    auto it = arrivals_.begin();
    for (; it != arrivals_.end() && it->atMs <= now; ++it)
        out += it->bytes;
    arrivals_.erase(arrivals_.begin(), it);
    return out;
}

void FakeReceiver::attach(FakeCommPort& fake) {
    fake.responder = [this](FakeCommPort& self, int n, const QString& text) {
        if (n != port)
            return;
        if (text.startsWith(QLatin1String("$PMGNCMD,VERSION")))
            self.deliverAfter(answerDelayMs, Framed(versionReply.mid(1)));
        else if (text.startsWith(QLatin1String("$PMGNCMD,TON")) && answerTon)
            self.deliverAfter(answerDelayMs, Framed(QStringLiteral("PMGNCMD,TON")));
        else if (text.startsWith(QLatin1String("$PMGNCMD,WAYPOINT")))
            self.deliverAfter(answerDelayMs,
                              waypointLines.join(QString()) + kEndReply + QStringLiteral("\r\n"));
        else if (text.startsWith(QLatin1String("$PMGNCMD,TRACK")))
            self.deliverAfter(answerDelayMs, trackLines.join(QString()) + kEndReply + QStringLiteral("\r\n"));
    };
}
