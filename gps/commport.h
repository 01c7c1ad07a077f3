// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port surface the GPS link uses: the classic comm control's
// operations under their own names. Failures raise CommError with the classic
// numbers and descriptions (see commError below).
//
// Nothing here blocks for long: Output hands the text to the port and returns,
// Input returns what has arrived and never waits. All waiting is done by the
// caller through the platform clock.
//
// The control's CommPort property cannot carry the class's own name in C++,
// so it is setCommPort(int) / commPortNumber() here.
#pragma once
#include <QByteArray>
#include <QString>

#include <stdexcept>

struct CommError : std::runtime_error {
    CommError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number(number), description(description) {}
    int number;
    QString description;
};

// The classic error numbers the port raises.
enum CommErrorNumber : int {
    comInvalidPort = 8002,     // "Invalid port number"
    comPortAlreadyOpen = 8005, // "Port already open"
    comPortUnavailable = 8010, // "The hardware is not available (locked by another device)"
    comNoOpen = 8012,          // "The device is not open"
    comPortNotOpen = 8018,     // "Operation valid only when the port is open"
    comReadError = 8020,       // "Error reading comm device"
};
// A CommError with the classic description of number.
CommError commError(int number);

class CommPort {
public:
    virtual ~CommPort() = default;

    // "baud,parity,data,stop", e.g. "4800,n,8,1". Applied when the port opens.
    QString Settings() const { return settings_; }
    void setSettings(const QString& settings) { settings_ = settings; }
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both. Applied when the port opens.
    int Handshaking() const { return handshaking_; }
    void setHandshaking(int handshaking) { handshaking_ = handshaking; }

    // Port number (1 to 4) used by the next open. Raises 8005 while open.
    int commPortNumber() const { return number_; }
    void setCommPort(int number);

    // True while the port is open. The program counts as connected exactly then.
    virtual bool PortOpen() const = 0;
    // Opens (true) or closes (false) the port numbered by setCommPort. Opening
    // raises 8002 when no device is behind the number, 8005 when already open,
    // 8010 when the device cannot be opened. Closing a closed port does nothing.
    virtual void setPortOpen(bool open) = 0;

    // Queues text (single-byte ANSI) for sending, in order, without waiting for
    // an answer. Raises 8018 when the port is closed.
    void Output(const QString& text);

    // Characters one Input read returns at most; 0 means everything received.
    int InputLen() const { return inputLen_; }
    void setInputLen(int n) { inputLen_ = n < 0 ? 0 : n; }
    // What has arrived since the last read (up to InputLen characters), removed
    // from the receive buffer; "" when nothing arrived. Never blocks. Raises
    // 8018 when the port is closed, 8020 when the device cannot be read.
    QString Input();

protected:
    // Sends bytes; raises as Output does.
    virtual void writeBytes(const QByteArray& bytes) = 0;
    // Everything received and not yet taken; never blocks.
    virtual QByteArray readAvailable() = 0;
    // Drops bytes kept back by a short InputLen (on close).
    void dropPending() { pending_.clear(); }

private:
    QString settings_ = QStringLiteral("9600,n,8,1");
    int handshaking_ = 0;
    int number_ = 1;
    int inputLen_ = 0;
    QByteArray pending_;
};
