// SPDX-License-Identifier: GPL-3.0-or-later
// GPSDevice: the link to a Magellan receiver. Finds the receiver on ports 1 to
// 4, downloads waypoints and tracks, uploads and deletes waypoints, and keeps
// the connected receiver's model and serial number.
//
// Every exchange runs on the calling (interface) thread and polls the port
// through the platform clock: it lets pending events run and sleeps between
// reads, so the window stays usable. Every wait is bounded (see the constants).
// Port failures never leave an exchange as exceptions: they are shown as
// "number: description" and the exchange returns false.
//
// Neither the port nor the progress view is owned; both must outlive the calls.
#pragma once
#include <QString>
#include <QStringList>

#include <functional>

class CommPort;
class ProgressView;

class GPSDevice {
public:
    // Poll intervals and bounds, in milliseconds.
    static constexpr int kSearchPollMs = 500;      // version reply: interval
    static constexpr int kSearchPolls = 15;        // ... and polls per port (7.5 s)
    static constexpr int kTonWaitMs = 5000;        // the one line after "TON"
    static constexpr int kDownloadPollMs = 1500;   // download: interval
    static constexpr int kDownloadStallMs = 10000; // ... ends after this long without a byte
    static constexpr int kReplyWaitMs = 500;       // upload / delete one: the single wait
    static constexpr int kLateReplyMs = 1500;      // after the last upload: late replies ...
    static constexpr int kLateQuietMs = 1000;      // ... unless the line is quiet this long
    static constexpr int kDeleteAllPollMs = 500;   // delete all: interval
    static constexpr int kDeleteAllWaitMs = 10000; // ... and bound

    explicit GPSDevice(CommPort* port = nullptr, ProgressView* progress = nullptr);

    void setPort(CommPort* port) { port_ = port; }
    CommPort* port() const { return port_; }
    void setProgress(ProgressView* progress) { progress_ = progress; }

    // Tries ports 1 to 4 for a receiver and reports what it found. Only a port
    // that answers the version request with a "$PMGNVER" line holds one.
    // Leaves the port open on the receiver (true) or closed (false).
    bool SearchForDevice();
    // Closes the port; false (after a message) when closing failed.
    bool CloseDevice();

    // Downloads all waypoints / the track log into the received lines. True when
    // the lines are there to be added: the transfer ended, or it stalled and the
    // user was told so (lastDownloadComplete() false), or a port error (shown)
    // cut it short after some complete lines (also not complete). False after a
    // port error before any complete line and when the receiver refused the
    // request ("UNABLE"; the user is told).
    bool ReceiveWaypoints();
    bool ReceiveTracks();
    // The last download's text split at CR LF (the last element is what
    // followed the final CR LF).
    const QStringList& receivedLines() const { return received_; }
    // The complete lines before the line that ended the transfer ("END" or
    // "UNABLE"); after a stall or a port error, every complete line.
    QStringList receivedDataLines() const;
    bool lastDownloadComplete() const { return complete_; }
    // The user stopped the last download with Cancel: receivedDataLines() then
    // holds the complete lines received before it.
    bool lastDownloadCancelled() const { return cancelled_; }

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
    // After a cancelled download the receiver is still sending: reads and drops
    // what arrives until it ends or goes quiet, at most kDownloadStallMs.
    void drainCancelledTransfer();
    void drainUntilQuiet(qint64 start, QString& tail);
    bool receive(const QString& caption, const QString& request);
    // Polls until the text read so far holds CR LF or maxPolls polls passed.
    // Pieces are joined: a line cut between two reads still counts as one.
    QString waitForLine(int intervalMs, int maxPolls, bool dots, bool events);
    // The same, until done(text read so far) holds.
    QString waitFor(int intervalMs, int maxPolls, bool dots, bool events,
                    const std::function<bool(const QString&)>& done);
    // Whether the last download ended on "UNABLE" rather than "END".
    bool refusedDownload() const;
    void showProgress(const QString& caption);
    void hideProgress();
    void stepDots(int& index);
    void closeQuietly();

    CommPort* port_;
    ProgressView* progress_;
    QString model_;
    QString serial_;
    QStringList received_;
    bool complete_ = false;
    int lateRefusals_ = 0;
    bool cancelled_ = false;
};

// The first complete "$PMGNVER," line of reply (without its CR LF); "" when
// there is none.
QString VersionLine(const QString& reply);

// The message of a port failure: "number: description".
QString CommErrorText(int number, const QString& description);
