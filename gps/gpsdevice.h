// SPDX-License-Identifier: GPL-3.0-or-later
// GPSDevice: the link to a Magellan receiver. Finds the receiver on ports 1 to
// 4, downloads waypoints and tracks, uploads and deletes waypoints, and keeps
// the connected receiver's model and serial number.
//
// Every exchange runs on the calling (interface) thread and polls the port
// through the platform clock: it lets pending events run and sleeps between
// reads, so the window stays usable. Every wait is bounded (see the constants).
// Port failures never leave an exchange as exceptions: they are told as
// "number: description" and the exchange fails.
//
// Nothing here shows a message: each exchange returns what the user is to be
// told, in order, and the caller shows it (the window through the prompt
// service, the command line on standard error).
//
// Neither the port nor the progress view is owned; both must outlive the calls.
#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class CommPort;
class ProgressView;

// What an exchange with the receiver came to: ok as each call below describes
// it, and the messages for the user in the order they arose (empty when there
// is nothing to tell).
struct ExchangeResult {
    bool ok = false;
    QStringList messages;
};

class GPSDevice {
public:
    // Poll intervals and bounds, in milliseconds.
    static constexpr int kSearchPollMs = 500;      // version reply: interval
    static constexpr int kSearchPolls = 15;        // ... and polls per port (7.5 s)
    static constexpr int kTonWaitMs = 5000;        // the one line after "TON"
    static constexpr int kDownloadPollMs = 1500;   // download: interval
    static constexpr int kDownloadStallMs = 10000; // ... ends after this long without a byte
    // A download is stopped (and nothing of it kept) when its answer has not
    // ended after an hour, or after 8 MiB: the largest track log a receiver
    // holds (some 10,000 points of about 70 bytes) takes under half an hour at
    // 4800 baud and is well under 1 MiB. A port that keeps sending beyond that
    // is not answering the request (a receiver streaming NMEA, a wrong device).
    // The answer is held as text until it ends, so this also bounds memory.
    static constexpr int kDownloadMaxMs = 60 * 60 * 1000;
    static constexpr qsizetype kDownloadMaxChars = 8 * 1024 * 1024;
    // After Cancel the rest of the answer is read and dropped until its end
    // line, or until the line has been quiet this long; polled this often.
    static constexpr int kDrainQuietMs = 1000;
    static constexpr int kDrainPollMs = 250;
    static constexpr int kReplyWaitMs = 500;       // upload / delete one: the single wait
    static constexpr int kLateReplyMs = 1500;      // after the last upload: late replies ...
    static constexpr int kLateQuietMs = 1000;      // ... unless the line is quiet this long
    static constexpr int kDeleteAllPollMs = 500;   // delete all: interval
    static constexpr int kDeleteAllWaitMs = 10000; // ... and bound

    explicit GPSDevice(CommPort* port = nullptr, ProgressView* progress = nullptr);

    void setPort(CommPort* port) { port_ = port; }
    CommPort* port() const { return port_; }

    // Tries ports 1 to 4 for a receiver and reports what it found. Only a port
    // that answers the version request with a "$PMGNVER" line holds one.
    // Leaves the port open on the receiver (ok) or closed (not ok). The
    // progress window offers Cancel throughout: it ends the search within one
    // slice of the clock's wait, closes the port and tells nothing more. On
    // success the one message is the connection report.
    ExchangeResult SearchForDevice();
    // Closes the port; not ok (with the port's message) when closing failed.
    ExchangeResult CloseDevice();

    // Downloads all waypoints ("$PMGNWPL" lines) / the track log ("$PMGNTRK"
    // lines) into the received lines. Ok when there are lines to be added:
    // the transfer ended, or it stalled, was cancelled or was refused part way
    // ("UNABLE" after some lines), or a port error cut it short after some
    // complete lines; each of these but the first is told to the user and
    // leaves lastDownloadComplete() false or lastDownloadRefused() true.
    // Not ok after a port error before any complete line, when the receiver
    // refused the request before any line, and when the answer went past
    // kDownloadMaxMs or kDownloadMaxChars (the port is then closed; all told).
    // Complete lines of any other kind are stale input: dropped, and shown.
    // After Cancel the rest of the answer is discarded before this returns
    // (see kDrainQuietMs), so the next command starts on a quiet line; a second
    // Cancel gives that wait up and closes the port instead.
    ExchangeResult ReceiveWaypoints();
    ExchangeResult ReceiveTracks();
    // The last download's text split at CR LF (the last element is what
    // followed the final CR LF).
    const QStringList& receivedLines() const { return received_; }
    // The complete lines of the requested kind before the line that ended the
    // transfer ("END" or "UNABLE"); after a stall, Cancel or a port error,
    // every complete line of that kind.
    QStringList receivedDataLines() const { return data_; }
    bool lastDownloadComplete() const { return complete_; }
    // The receiver answered the last download with "UNABLE" (after any lines).
    bool lastDownloadRefused() const { return refused_; }
    // The user stopped the last download with Cancel: receivedDataLines() then
    // holds the complete lines received before it.
    bool lastDownloadCancelled() const { return cancelled_; }
    // How many waypoints the connected receiver holds, as far as this program
    // can tell; -1 when it cannot. The protocol announces no count before a
    // download, so the count is learnt from a complete waypoint download and
    // kept up to date through this program's own uploads (a name the receiver
    // holds is replaced, a new one added) and deletions. Anything uncertain
    // (a refusal, a reply it cannot read, a port error, a new connection)
    // makes it unknown again. A download shows "n of m" against it and falls
    // back to counting alone when more come than expected (waypoints changed
    // on the receiver by hand meanwhile).
    int expectedWaypoints() const { return heldNames_ ? int(heldNames_->size()) : -1; }

    // Sends one waypoint ("$PMGNWPL," fields "*hh"); true when the receiver
    // stayed silent for kReplyWaitMs. Pending input is dropped first.
    bool SendWaypoint(const QString& fields);
    // After the last SendWaypoint of an upload: waits for late replies, up to
    // kLateReplyMs and ended early once the line has been quiet for
    // kLateQuietMs, and drops them. Returns the refusals ("UNABLE") that came
    // too late to be tied to a waypoint: those among the replies dropped
    // before each SendWaypoint since the last call, and those heard now.
    int TakeLateRefusals();
    // "$PMGNDWP,name,icon"; true when the receiver stayed silent.
    bool DeleteDeviceWaypoint(const QString& name, const QString& icon);
    // "$PMGNCMD,DELETE,WAYPOINT"; true when the reply is exactly "$PMGNCMD,END*3D" CR LF.
    bool DeleteAllDeviceWaypoints();
    // The four calls above keep the message of a port failure here for the
    // caller, in order; this hands them over and forgets them. Each exchange
    // that returns an ExchangeResult starts with none kept.
    QStringList takeMessages();

    // Set by a successful connection, kept until the next one; "" before.
    QString deviceModel() const { return model_; }
    QString deviceSerialNumber() const { return serial_; }

    // ---- progress of a row-by-row transfer (gpsprogress.cpp) ----
    // Shows the progress window with caption and "0 of total", offering Cancel.
    void beginBatch(const QString& caption, int total);
    // "done of total" after each waypoint.
    void stepBatch(int done, int total);
    void endBatch();
    // True once the user chose Cancel in the progress window.
    bool cancelRequested() const;

private:
    bool search();
    bool closeDevice();
    void tell(const QString& message);
    // After a cancelled download the receiver is still sending: reads and drops
    // what arrives until its end line or kDrainQuietMs of quiet, however long
    // that takes. tail: the end of what was received before Cancel. False when
    // the user gave the wait up with a second Cancel.
    bool drainCancelledTransfer(const QString& tail);
    bool receive(const QString& caption, const QString& request, const QString& keyword);
    // Fills received_ and data_ from reply; returns the stale lines.
    QStringList takeReply(const QString& reply, const QString& keyword);
    // Polls until the text read so far holds CR LF or maxPolls polls passed.
    // Pieces are joined: a line cut between two reads still counts as one.
    // cancellable: Cancel in the progress window also ends the wait, within
    // one slice of the clock's wait (the caller asks cancelRequested()).
    QString waitForLine(int intervalMs, int maxPolls, bool dots, bool events, bool cancellable = false);
    // The same, until done(text read so far) holds.
    QString waitFor(int intervalMs, int maxPolls, bool dots, bool events,
                    const std::function<bool(const QString&)>& done, bool cancellable = false);
    // Shows how many points of a download have come, against the expected
    // total when there is one (-1: none).
    void showReceived(int received, int expected, const QString& what);
    void showProgress(const QString& caption);
    void hideProgress();
    void stepDots(int& index);
    void withdrawCancel();
    void closeQuietly();

    CommPort* port_;
    ProgressView* progress_;
    QString model_;
    QString serial_;
    QStringList received_;
    QStringList data_;
    bool complete_ = false;
    bool refused_ = false;
    int lateRefusals_ = 0;
    bool cancelled_ = false;
    // The names of the waypoints the receiver holds, as the receiver keeps
    // them; empty optional when not known (see expectedWaypoints()).
    std::optional<QSet<QString>> heldNames_;
    QStringList messages_; // for the caller, in order (see takeMessages())
};

// The progress text of a download: "n of m" while the expected total m is
// known (m >= 0) and not passed, else "n <what> received".
QString DownloadProgressText(int received, int expected, const QString& what);

// The first complete "$PMGNVER," line of reply (without its CR LF); "" when
// there is none.
QString VersionLine(const QString& reply);

// The message of a port failure: "number: description".
QString CommErrorText(int number, const QString& description);

// The stale-input message for text found in the port: "This trash was in the
// input:" and the text, cut to its first kStaleLinesShown lines (each cut to
// kStaleLineChars characters), saying how many more lines were dropped.
QString StaleInputMessage(const QString& text);
inline constexpr int kStaleLinesShown = 20;
inline constexpr int kStaleLineChars = 120;

// Characters of a waypoint name the receiver model keeps: 6 on the GPS
// 315/320, ColorTrak and Map 410, 8 on the later models and when the model is
// unknown. A longer name is cut to this length by the receiver.
int ReceiverNameLength(const QString& model);
