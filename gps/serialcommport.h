// SPDX-License-Identifier: GPL-3.0-or-later
// SerialCommPort: the CommPort on a real serial device through QSerialPort.
//
// Port number n (1 to 4) is the n-th device of commPortDevices(). Settings such
// as "4800,n,8,1" and Handshaking are applied at open. Output writes and waits
// at most 1 s for the bytes to reach the driver; Input polls the device without
// waiting.
#pragma once
#include "gps/commport.h"

#include <QStringList>

#include <memory>
#include <optional>

class QSerialPort;

// Device paths behind port numbers 1, 2, ...: the comma-separated paths in the
// environment variable KORVEL_COMM_PORTS when it is set; else, when any of the
// settings "Korvel Transfer"/"Ports"/"Comm1".."Comm4" exists, those settings
// (a missing one leaves its number without a device); else the machine's
// serial ports, USB and ACM adapters first, then the rest, each group by name.
// An empty entry means no device.
QStringList commPortDevices();
// Device paths ordered as the machine's ports are numbered: USB and ACM
// adapters (where a receiver's cable usually is) first, then the rest, each
// group by name.
QStringList adaptersFirst(const QStringList& devices);

// Why path cannot be a receiver's serial port, as a sentence for the user;
// "" when it may be one. A missing path, a folder, a plain file and a device of
// another kind (/dev/null) are not; the device's kind comes from the system's
// device list (/sys/dev/char), without opening it. A device that list does not
// know (a pseudo-terminal) may be one.
QString SerialDeviceProblem(const QString& path);

class SerialCommPort final : public CommPort {
public:
    // devices: the device paths behind port numbers 1, 2, ... (as
    // commPortDevices() gives them); without it commPortDevices() is asked at
    // each open, so a changed setting or environment takes effect.
    SerialCommPort();
    explicit SerialCommPort(QStringList devices);
    ~SerialCommPort() override;

    bool PortOpen() const override;
    void setPortOpen(bool open) override;

    // Device path of the open port ("" when closed).
    QString deviceName() const;

protected:
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readAvailable() override;

private:
    void applySettings();
    std::optional<QStringList> devices_;
    std::unique_ptr<QSerialPort> port_;
    QString device_;
};
