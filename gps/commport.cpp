// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/commport.h"

#include "platform/ansi.h"

CommError commError(int number) {
    switch (number) {
    case comInvalidPort:
        return CommError(number, QStringLiteral("Invalid port number"));
    case comPortAlreadyOpen:
        return CommError(number, QStringLiteral("Port already open"));
    case comPortUnavailable:
        return CommError(number, QStringLiteral("The hardware is not available (locked by another device)"));
    case comNoOpen:
        return CommError(number, QStringLiteral("The device is not open"));
    case comPortNotOpen:
        return CommError(number, QStringLiteral("Operation valid only when the port is open"));
    case comReadError:
        return CommError(number, QStringLiteral("Error reading comm device"));
    default:
        return CommError(number, QStringLiteral("Communications error"));
    }
}

void CommPort::setCommPort(int number) {
    if (PortOpen())
        throw commError(comPortAlreadyOpen);
    number_ = number;
}

void CommPort::Output(const QString& text) {
    if (!PortOpen())
        throw commError(comPortNotOpen);
    const QByteArray bytes = ToAnsi(text);
    writeBytes(bytes);
}

QString CommPort::Input() {
    if (!PortOpen())
        throw commError(comPortNotOpen);
    pending_.append(readAvailable());
    QByteArray out;
    if (inputLen_ == 0 || pending_.size() <= inputLen_) {
        out.swap(pending_);
    } else {
        out = pending_.left(inputLen_);
        pending_.remove(0, inputLen_);
    }
    return FromAnsi(out);
}
