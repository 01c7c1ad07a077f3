// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted serial port for tests on the virtual clock: which port numbers
// exist, what each sentence the program writes makes the "receiver" answer,
// and when the answer arrives (in virtual milliseconds after the write).
#pragma once
#include "gps/commport.h"
#include "platform/clock.h"

#include <QStringList>

#include <functional>
#include <set>
#include <vector>

class FakeCommPort final : public CommPort {
public:
    struct Write {
        int port;
        QString text;
    };
    // Called for every Output; the test answers with deliver()/deliverAfter().
    using Responder = std::function<void(FakeCommPort& self, int port, const QString& text)>;

    explicit FakeCommPort(VirtualClock& clock) : clock_(clock) {}

    std::set<int> present{1, 2, 3, 4}; // port numbers with a device behind them
    Responder responder;
    bool failNextWrite = false;  // the next Output raises 8010
    qint64 failReadsFromMs = -1; // reads at or after this virtual time raise 8020 (-1: never)

    // Text arriving on the open port delayMs after now (0: already there).
    void deliverAfter(int delayMs, const QString& text);
    // Several pieces, one every stepMs, starting delayMs after now.
    void deliverPieces(int delayMs, int stepMs, const QStringList& pieces);

    const std::vector<Write>& writes() const { return writes_; }
    QStringList writtenTexts() const;
    const std::vector<int>& opens() const { return opens_; } // successful opens, by number
    int closes() const { return closes_; }
    int reads() const { return reads_; }

    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override;

protected:
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readAvailable() override;

private:
    struct Arrival {
        qint64 atMs;
        QByteArray bytes;
    };
    VirtualClock& clock_;
    bool open_ = false;
    std::vector<Arrival> arrivals_;
    std::vector<Write> writes_;
    std::vector<int> opens_;
    int closes_ = 0;
    int reads_ = 0;
};

// A receiver answering like a Magellan unit on one port number.
struct FakeReceiver {
    int port = 1;
    QString versionReply = QStringLiteral("$PMGNVER,37,VER 1 06,SporTrak,0,12345678");
    int answerDelayMs = 200;
    bool answerTon = true;
    QStringList waypointLines; // data lines, framed, CR LF included
    QStringList trackLines;
    // Installs itself as the port's responder (the port must outlive it).
    void attach(FakeCommPort& port);
};

// "$" body "*hh" CR LF.
QString Framed(const QString& body);
