// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/gpsdevice.h"

#include "gps/commport.h"
#include "gps/magellansentence.h"
#include "gps/progressview.h"
#include "platform/clock.h"
#include "platform/prompts.h" // vbCrLf

#include <utility>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// Whether text holds a complete END or UNABLE line, the last line of a download.
bool closesExchange(const QString& text) {
    for (const QString& last : {kEndReply, kUnableReply}) {
        const qsizetype at = text.indexOf(last);
        if (at >= 0 && text.indexOf(kCrLf, at) >= 0)
            return true;
    }
    return false;
}

// The complete lines of text (those ended by CR LF).
QStringList completeLines(const QString& text) {
    QStringList lines = text.split(kCrLf);
    lines.removeLast();
    return lines;
}
// Whether a download's answer ended on "UNABLE" rather than "END".
bool endsRefused(const QString& reply) {
    for (const QString& line : completeLines(reply)) {
        if (line.contains(kEndReply))
            return false;
        if (line.contains(kUnableReply))
            return true;
    }
    return false;
}
} // namespace

QString VersionLine(const QString& reply) {
    for (const QString& line : completeLines(reply))
        if (line.startsWith(QLatin1String("$PMGNVER,")))
            return line;
    return QString();
}

QString CommErrorText(int number, const QString& description) {
    return QString::number(number) + QStringLiteral(": ") + description;
}

QString StaleInputMessage(const QString& text) {
    QStringList lines = text.split(kCrLf);
    // What follows the last CR LF is a line only when it holds something.
    const qsizetype count = lines.last().isEmpty() && lines.size() > 1 ? lines.size() - 1 : lines.size();
    const QString head = QStringLiteral("This trash was in the input:") + vbCrLf;
    bool cut = false;
    for (QString& line : lines)
        if (line.size() > kStaleLineChars) {
            line = line.left(kStaleLineChars) + QStringLiteral("...");
            cut = true;
        }
    if (count <= kStaleLinesShown)
        return head + (cut ? lines.join(kCrLf) : text);
    return head + lines.mid(0, kStaleLinesShown).join(kCrLf) + vbCrLf +
           QStringLiteral("(%1 more lines were dropped.)").arg(count - kStaleLinesShown);
}

QString DownloadProgressText(int received, int expected, const QString& what) {
    if (expected >= 0 && received <= expected)
        return QStringLiteral("%1 of %2").arg(received).arg(expected);
    return QStringLiteral("%1 %2 received").arg(received).arg(what);
}

int ReceiverNameLength(const QString& model) {
    for (const char* older : {"GPS 315/320", "ColorTrak", "Map 410"})
        if (model == QLatin1String(older))
            return 6;
    return 8;
}

GPSDevice::GPSDevice(CommPort* port, ProgressView* progress) : port_(port), progress_(progress) {}

void GPSDevice::showProgress(const QString& caption) {
    if (progress_) {
        progress_->setCaption(caption);
        progress_->showProgress();
    }
}

void GPSDevice::hideProgress() {
    if (progress_)
        progress_->hideProgress();
}

void GPSDevice::withdrawCancel() {
    if (progress_)
        progress_->setCancellable(false);
}

void GPSDevice::stepDots(int& index) {
    if (progress_)
        progress_->DoDots(index);
}

void GPSDevice::closeQuietly() {
    try {
        if (port_->PortOpen())
            port_->setPortOpen(false);
    } catch (const CommError&) {
        // Already reporting another failure; the port is unusable either way.
    }
}

QString GPSDevice::waitForLine(int intervalMs, int maxPolls, bool dots, bool events, bool cancellable) {
    return waitFor(
        intervalMs, maxPolls, dots, events, [](const QString& r) { return r.contains(kCrLf); }, cancellable);
}

QString GPSDevice::waitFor(int intervalMs, int maxPolls, bool dots, bool events,
                           const std::function<bool(const QString&)>& done, bool cancellable) {
    QString reply;
    int index = 0;
    auto stop = [&] { return cancellable && cancelRequested(); };
    for (int poll = 0; poll < maxPolls && !done(reply) && !stop(); ++poll) {
        if (dots)
            stepDots(index);
        if (events)
            DoEvents();
        CurrentClock().SleepUntil(intervalMs, stop);
        if (stop())
            break;
        reply += port_->Input();
    }
    return reply;
}

void GPSDevice::showReceived(int received, int expected, const QString& what) {
    if (!progress_)
        return;
    progress_->setProgressText(DownloadProgressText(received, expected, what));
    progress_->setProgressBar(received, expected >= received ? expected : 0);
}

bool GPSDevice::search() {
    if (!port_)
        return false;
    heldNames_.reset(); // perhaps another receiver
    // Cancel ends the search quietly: the user knows no receiver was taken.
    auto giveUp = [this] {
        closeQuietly();
        hideProgress();
        return false;
    };
    try {
        port_->setSettings(QStringLiteral("4800,n,8,1"));
        port_->setHandshaking(0);
        showProgress(QStringLiteral("Searching For GPS Device"));
        if (progress_)
            progress_->setCancellable(true);

        QString reply;
        int found = 0;
        for (int n = 1; n <= 4 && !found; ++n) {
            if (cancelRequested())
                return giveUp();
            if (progress_)
                progress_->setCaption(QStringLiteral("Searching For GPS Device On Comm Port ") +
                                      QString::number(n));
            port_->setCommPort(n);
            try {
                port_->setPortOpen(true);
            } catch (const CommError& e) {
                if (e.number != comInvalidPort)
                    throw;
                continue; // no such port: the next one, without a word
            }
            port_->Output(kVersionRequest);
            port_->setInputLen(0);
            // Only a version line makes a receiver: a port that refuses the
            // request, or answers with anything else, is not one.
            reply = waitFor(
                kSearchPollMs, kSearchPolls, true, true,
                [](const QString& r) {
                    return !VersionLine(r).isEmpty() || completeLines(r).contains(kUnableReply);
                },
                true);
            if (cancelRequested())
                return giveUp();
            reply = VersionLine(reply);
            if (!reply.isEmpty())
                found = n;
            else
                port_->setPortOpen(false);
        }
        if (!found) {
            withdrawCancel(); // nothing is left to stop while the message shows
            tell(QStringLiteral("No GPS Found!"));
            closeQuietly();
            hideProgress();
            return false;
        }

        // A version line names the receiver in its six fields; a shorter one
        // (no model or serial number) is no connection.
        const QStringList f = SplitReceivedFields(reply);
        if (f.size() < 6) {
            closeQuietly();
            hideProgress();
            tell(QStringLiteral("The device on Comm Port %1 answered the version request with \"%2\", "
                                "which does not name a GPS device.")
                     .arg(found)
                     .arg(reply) +
                 vbCrLf +
                 QStringLiteral("The port was closed. Check that the device is a Magellan GPS receiver "
                                "and that it is switched on, then connect again."));
            return false;
        }
        const QString model = f.value(3);
        const QString serial = f.value(5);
        QString version = f.value(2).mid(4);
        if (version.indexOf(QLatin1Char(' ')) > 0)
            version.replace(QLatin1Char(' '), QLatin1Char('.'));

        port_->Output(kTonCommand);
        port_->setInputLen(0);
        const QString ton = waitForLine(kSearchPollMs, kTonWaitMs / kSearchPollMs, false, true, true);
        if (cancelRequested())
            return giveUp();
        withdrawCancel();
        if (!ton.contains(kCrLf)) {
            closeQuietly();
            hideProgress();
            tell(QStringLiteral("The GPS device on Comm Port %1 stopped answering while connecting.")
                     .arg(found) +
                 vbCrLf + QStringLiteral("Check the device and its cable, then connect again."));
            return false;
        }
        model_ = model;
        serial_ = serial;
        tell(QStringLiteral("You have successfully connected to a ") + model_ + QStringLiteral(".") + vbCrLf +
             QStringLiteral(" Serial Number: ") + serial_ + vbCrLf + QStringLiteral("Software Version: ") +
             version);
        hideProgress();
        return true;
    } catch (const CommError& e) {
        closeQuietly();
        withdrawCancel();
        tell(CommErrorText(e.number, e.description));
        hideProgress();
        return false;
    }
}

bool GPSDevice::closeDevice() {
    if (!port_)
        return false;
    heldNames_.reset();
    try {
        port_->setPortOpen(false);
        return true;
    } catch (const CommError& e) {
        tell(CommErrorText(e.number, e.description));
        return false;
    }
}

ExchangeResult GPSDevice::SearchForDevice() {
    messages_.clear();
    const bool ok = search();
    return {ok, takeMessages()};
}

ExchangeResult GPSDevice::CloseDevice() {
    messages_.clear();
    const bool ok = closeDevice();
    return {ok, takeMessages()};
}

ExchangeResult GPSDevice::ReceiveWaypoints() {
    messages_.clear();
    const bool ok = receive(QStringLiteral("Getting Waypoints From GPS Device"), kWaypointRequest,
                            QStringLiteral("$PMGNWPL,"));
    // A whole list read without a fault tells what the receiver holds.
    heldNames_.reset();
    if (ok && complete_ && !refused_) {
        QSet<QString> names;
        for (const QString& line : std::as_const(data_)) {
            if (!HasValidChecksum(line))
                return {ok, takeMessages()};
            names.insert(SplitReceivedFields(line).value(7));
        }
        if (names.size() == data_.size()) // two of one name: which one changes cannot be told
            heldNames_ = names;
    }
    return {ok, takeMessages()};
}

ExchangeResult GPSDevice::ReceiveTracks() {
    messages_.clear();
    const bool ok =
        receive(QStringLiteral("Getting Tracks From GPS Device"), kTrackRequest, QStringLiteral("$PMGNTRK,"));
    return {ok, takeMessages()};
}

QStringList GPSDevice::takeMessages() {
    return std::exchange(messages_, QStringList());
}

void GPSDevice::tell(const QString& message) {
    messages_ << message;
}

QStringList GPSDevice::takeReply(const QString& reply, const QString& keyword) {
    received_ = reply.split(kCrLf);
    data_.clear();
    QStringList stale;
    // The last element follows the final CR LF: never a complete line.
    for (qsizetype i = 0; i + 1 < received_.size(); ++i) {
        const QString& line = received_.at(i);
        if (complete_ && (line.contains(kEndReply) || line.contains(kUnableReply)))
            break;
        (line.startsWith(keyword) ? data_ : stale) << line;
    }
    return stale;
}

bool GPSDevice::receive(const QString& caption, const QString& request, const QString& keyword) {
    if (!port_)
        return false;
    showProgress(caption);
    QString reply;
    complete_ = refused_ = cancelled_ = false;
    received_.clear();
    data_.clear();
    try {
        port_->setInputLen(0);
        const QString stale = port_->Input();
        if (!stale.isEmpty())
            tell(StaleInputMessage(stale));
        port_->Output(request);
        if (progress_)
            progress_->setCancellable(true);
        const bool waypoints = keyword == QLatin1String("$PMGNWPL,");
        const QString what = waypoints ? QStringLiteral("waypoints") : QStringLiteral("track points");
        const int expected = waypoints ? expectedWaypoints() : -1;
        int points = 0;        // complete lines of the requested kind so far
        qsizetype counted = 0; // where the first line not yet counted begins
        showReceived(points, expected, what);

        int index = 0;
        bool stalled = false;
        Clock& clock = CurrentClock();
        const qint64 start = clock.NowMs();
        qint64 lastData = start;
        for (;;) {
            port_->setInputLen(0);
            stepDots(index);
            DoEvents();
            // The wait ends early once the closing line is in, so a download
            // ends when the receiver finishes rather than at the next poll. The
            // closing line may have begun in an earlier poll: look back as far
            // as the longer one ("UNABLE") with its CR LF.
            // What arrives joins the reply at once, and the count follows it
            // within the wait, not only once per poll.
            QString piece;
            bool closed = false;
            clock.SleepUntil(kDownloadPollMs, [&] {
                const QString more = port_->Input();
                if (!more.isEmpty()) {
                    piece += more;
                    reply += more;
                    for (qsizetype end; (end = reply.indexOf(kCrLf, counted)) >= 0;
                         counted = end + kCrLf.size())
                        points += QStringView(reply).mid(counted, end - counted).startsWith(keyword) ? 1 : 0;
                    showReceived(points, expected, what);
                }
                closed = closesExchange(reply.right(kUnableReply.size() + kCrLf.size() + piece.size()));
                return closed || cancelRequested();
            });
            if (!piece.isEmpty())
                lastData = clock.NowMs();
            // Cancel keeps what came so far; a closing line that came with it wins.
            if (!closed && cancelRequested()) {
                cancelled_ = true;
                break;
            }
            if (piece.isEmpty() && clock.NowMs() - lastData >= kDownloadStallMs) {
                stalled = true;
                break;
            }
            // Only a complete closing line ends the transfer: stopping at "END"
            // before its CR LF arrived would leave that CR LF in the port, and
            // the next download would report it as stale input.
            if (!piece.isEmpty() && closed)
                break;
            const bool tooLong = clock.NowMs() - start >= kDownloadMaxMs;
            if (tooLong || reply.size() > kDownloadMaxChars) {
                // Still sending: the port is closed so that the rest cannot be
                // taken for the answer to the next command.
                reply.clear();
                closeQuietly();
                hideProgress();
                tell(
                    (tooLong
                         ? QStringLiteral("The GPS device was still sending after %1 minutes without "
                                          "ending its answer.")
                               .arg(kDownloadMaxMs / 60000)
                         : QStringLiteral("The GPS device sent more than %1 MB without ending its answer.")
                               .arg(kDownloadMaxChars / (1024 * 1024))) +
                    vbCrLf +
                    QStringLiteral("The download was stopped and nothing was added to the list. The port was "
                                   "closed: check that the device on it is the GPS receiver, then connect "
                                   "again."));
                return false;
            }
        }
        complete_ = !stalled && !cancelled_;
        refused_ = complete_ && endsRefused(reply);
        const QStringList staleLines = takeReply(reply, keyword);
        const bool gaveUp =
            cancelled_ && !drainCancelledTransfer(reply.right(kUnableReply.size() + kCrLf.size()));
        if (gaveUp)
            closeQuietly();
        hideProgress();
        if (!staleLines.isEmpty())
            tell(StaleInputMessage(staleLines.join(kCrLf) + kCrLf));
        const qsizetype n = data_.size();
        if (gaveUp)
            tell(QStringLiteral(
                     "You stopped waiting for the GPS device to finish sending. The port was closed, "
                     "so that the rest of its answer cannot be taken for the answer to the next "
                     "command.") +
                 vbCrLf +
                 QStringLiteral("The %1 complete lines received before Cancel will be added to the list. "
                                "Connect to the GPS device again once it has finished sending.")
                     .arg(n));
        if (refused_) {
            if (n == 0) {
                tell(QStringLiteral("The GPS device refused the request (it answered UNABLE).") + vbCrLf +
                     QStringLiteral("Nothing was added to the list."));
                return false;
            }
            tell(QStringLiteral("The GPS device refused the rest of the transfer (it answered UNABLE).") +
                 vbCrLf +
                 QStringLiteral("The %1 complete lines received before that will be added to the list.")
                     .arg(n));
        }
        if (stalled) {
            tell(QStringLiteral("The GPS device stopped sending before the transfer was finished.") + vbCrLf +
                 (n == 0 ? QStringLiteral("Nothing was received.")
                         : QStringLiteral("The %1 complete lines received so far will be added to the list.")
                               .arg(n)));
        }
        return true;
    } catch (const CommError& e) {
        hideProgress();
        tell(CommErrorText(e.number, e.description));
        // A receiver unplugged or a read failing part way: the complete lines
        // received before it are kept, as after a stall, and never the lines of
        // an earlier download.
        complete_ = false;
        const QStringList staleLines = takeReply(reply, keyword);
        if (!staleLines.isEmpty())
            tell(StaleInputMessage(staleLines.join(kCrLf) + kCrLf));
        const qsizetype n = data_.size();
        if (n == 0)
            return false;
        tell(QStringLiteral("The %1 complete lines received so far will be added to the list.").arg(n));
        return true;
    }
}

bool GPSDevice::SendWaypoint(const QString& fields) {
    if (!port_)
        return false;
    try {
        port_->setInputLen(0);
        // A late answer to an earlier sentence must not count against this
        // one; a refusal among them is counted for the closing message.
        lateRefusals_ += int(port_->Input().count(kUnableReply));
        port_->Output(BuildSentence(QStringLiteral("$PMGNWPL,") + fields + QStringLiteral("*")));
        port_->setInputLen(0);
        DoEvents();
        Sleep(kReplyWaitMs);
        const bool stored = port_->Input().isEmpty();
        // The receiver reads the name from the sentence as it stands (field 7)
        // and keeps as many characters as its model does.
        if (stored && heldNames_)
            heldNames_->insert(
                DecodeEscapes(fields.split(QLatin1Char(',')).value(6)).left(ReceiverNameLength(model_)));
        else
            heldNames_.reset();
        return stored;
    } catch (const CommError& e) {
        heldNames_.reset();
        tell(CommErrorText(e.number, e.description));
        return false;
    }
}

int GPSDevice::TakeLateRefusals() {
    int refusals = lateRefusals_;
    lateRefusals_ = 0;
    if (!port_)
        return refusals;
    try {
        port_->setInputLen(0);
        QString late;
        Clock& clock = CurrentClock();
        const qint64 start = clock.NowMs();
        qint64 lastHeard = start;
        clock.SleepUntil(kLateReplyMs, [&] {
            const QString piece = port_->Input();
            if (!piece.isEmpty()) {
                late += piece;
                lastHeard = clock.NowMs();
            }
            return clock.NowMs() - lastHeard >= kLateQuietMs;
        });
        late += port_->Input();
        refusals += int(late.count(kUnableReply));
    } catch (const CommError& e) {
        heldNames_.reset();
        tell(CommErrorText(e.number, e.description));
    }
    // A waypoint counted as stored was refused after all; which one is unknown.
    if (refusals > 0)
        heldNames_.reset();
    return refusals;
}

bool GPSDevice::DeleteDeviceWaypoint(const QString& name, const QString& icon) {
    if (!port_)
        return false;
    try {
        port_->Output(BuildSentence(QStringLiteral("$PMGNDWP,") + name + QStringLiteral(",") + icon +
                                    QStringLiteral("*")));
        port_->setInputLen(0);
        DoEvents();
        Sleep(kReplyWaitMs);
        const bool deleted = port_->Input().isEmpty();
        // A silent receiver deleted a waypoint; one this program did not know
        // of means its list was out of date.
        if (!deleted || !heldNames_ || !heldNames_->remove(name))
            heldNames_.reset();
        return deleted;
    } catch (const CommError& e) {
        heldNames_.reset();
        tell(CommErrorText(e.number, e.description));
        return false;
    }
}

bool GPSDevice::DeleteAllDeviceWaypoints() {
    if (!port_)
        return false;
    showProgress(QStringLiteral("Deleting All Waypoints From GPS Device"));
    try {
        port_->Output(kDeleteAllRequest);
        port_->setInputLen(0);
        const QString reply = waitForLine(kDeleteAllPollMs, kDeleteAllWaitMs / kDeleteAllPollMs, true, true);
        hideProgress();
        const bool deleted = reply == kEndReply + kCrLf;
        if (deleted)
            heldNames_.emplace();
        else
            heldNames_.reset();
        return deleted;
    } catch (const CommError& e) {
        heldNames_.reset();
        hideProgress();
        tell(CommErrorText(e.number, e.description));
        return false;
    }
}
