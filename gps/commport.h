// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port surface the GPS link uses (the classic comm control's
// operations). Failures raise CommError with the classic numbers.
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

class CommPort {
public:
    virtual ~CommPort() = default;
    // True while the port is open. The program counts as connected exactly then.
    virtual bool PortOpen() const = 0;
    // Opens (true) or closes (false) the port numbered by setCommPort.
    virtual void setPortOpen(bool open) = 0;
};
