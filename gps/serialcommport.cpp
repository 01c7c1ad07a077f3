// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/serialcommport.h"

#include "platform/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>

QStringList commPortDevices() {
    const QByteArray env = qgetenv("KORVEL_COMM_PORTS");
    if (!env.isNull()) {
        QStringList list = QString::fromLocal8Bit(env).split(QLatin1Char(','));
        for (QString& s : list)
            s = s.trimmed();
        return list;
    }

    QStringList fromSettings;
    bool anySetting = false;
    for (int n = 1; n <= 4; ++n) {
        const QString v = GetSetting(QStringLiteral("Korvel Transfer"), QStringLiteral("Ports"),
                                     QStringLiteral("Comm%1").arg(n));
        anySetting = anySetting || !v.isEmpty();
        fromSettings << v.trimmed();
    }
    if (anySetting)
        return fromSettings;

    QStringList found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        found << info.systemLocation();
    return adaptersFirst(found);
}

QStringList adaptersFirst(const QStringList& devices) {
    QStringList adapters, others;
    for (const QString& path : devices) {
        const QString name = path.section(QLatin1Char('/'), -1);
        if (name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")))
            adapters << path;
        else
            others << path;
    }
    std::sort(adapters.begin(), adapters.end());
    std::sort(others.begin(), others.end());
    return adapters + others;
}

QString SerialDeviceProblem(const QString& path) {
    const QString hint = QStringLiteral(" Give the serial port the receiver is on, such as /dev/ttyUSB0.");
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("There is no device \"%1\".").arg(path) + hint;
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("\"%1\" is a folder, not a serial device.").arg(path) + hint;
    if (S_ISREG(st.st_mode))
        return QStringLiteral("\"%1\" is a plain file, not a serial device.").arg(path) + hint;
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("\"%1\" is not a serial device.").arg(path) + hint;
    // The system lists each character device under its class; a pseudo-terminal
    // is not listed, a serial port is of class "tty", /dev/null of class "mem".
    const QString kind =
        QFileInfo(
            QFileInfo(
                QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(st.st_rdev)).arg(minor(st.st_rdev)))
                .symLinkTarget())
            .fileName();
    if (!kind.isEmpty() && kind != QLatin1String("tty"))
        return QStringLiteral("\"%1\" is not a serial device (it is a %2 device).").arg(path, kind) + hint;
    return QString();
}

SerialCommPort::SerialCommPort() = default;
SerialCommPort::SerialCommPort(QStringList devices) : devices_(std::move(devices)) {}
SerialCommPort::~SerialCommPort() {
    if (port_)
        port_->close();
}

bool SerialCommPort::PortOpen() const {
    return port_ && port_->isOpen();
}

QString SerialCommPort::deviceName() const {
    return PortOpen() ? device_ : QString();
}

void SerialCommPort::setPortOpen(bool open) {
    if (!open) {
        if (port_) {
            port_->close();
            port_.reset();
        }
        device_.clear();
        dropPending();
        return;
    }
    if (PortOpen())
        throw commError(comPortAlreadyOpen);
    const int n = commPortNumber();
    const QStringList devices = devices_ ? *devices_ : commPortDevices();
    if (n < 1 || n > devices.size() || devices.at(n - 1).isEmpty())
        throw commError(comInvalidPort);

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(devices.at(n - 1));
    if (!port->open(QIODevice::ReadWrite)) {
        const auto err = port->error();
        if (err == QSerialPort::DeviceNotFoundError)
            throw commError(comInvalidPort);
        // The message box carries the classic number and text only; the
        // system's reason (a lock file, permissions) goes to the log.
        qWarning("Opening %s failed: %s", qPrintable(devices.at(n - 1)), qPrintable(port->errorString()));
        throw commError(comPortUnavailable);
    }
    port_ = std::move(port);
    device_ = devices.at(n - 1);
    applySettings();
}

void SerialCommPort::applySettings() {
    // "baud,parity,data,stop"; fields that do not parse keep the port's value.
    const QStringList f = Settings().split(QLatin1Char(','));
    bool ok = false;
    if (f.size() > 0) {
        const int baud = f.at(0).trimmed().toInt(&ok);
        if (ok)
            port_->setBaudRate(baud);
    }
    if (f.size() > 1) {
        const QChar p =
            f.at(1).trimmed().toLower().isEmpty() ? QLatin1Char('n') : f.at(1).trimmed().toLower().at(0);
        port_->setParity(p == QLatin1Char('e')   ? QSerialPort::EvenParity
                         : p == QLatin1Char('o') ? QSerialPort::OddParity
                         : p == QLatin1Char('m') ? QSerialPort::MarkParity
                         : p == QLatin1Char('s') ? QSerialPort::SpaceParity
                                                 : QSerialPort::NoParity);
    }
    if (f.size() > 2) {
        const int bits = f.at(2).trimmed().toInt(&ok);
        if (ok && bits >= 5 && bits <= 8)
            port_->setDataBits(static_cast<QSerialPort::DataBits>(bits));
    }
    if (f.size() > 3) {
        const QString s = f.at(3).trimmed();
        port_->setStopBits(s == QLatin1String("2")     ? QSerialPort::TwoStop
                           : s == QLatin1String("1.5") ? QSerialPort::OneAndHalfStop
                                                       : QSerialPort::OneStop);
    }
    port_->setFlowControl(Handshaking() == 1   ? QSerialPort::SoftwareControl
                          : Handshaking() >= 2 ? QSerialPort::HardwareControl
                                               : QSerialPort::NoFlowControl);
}

void SerialCommPort::writeBytes(const QByteArray& bytes) {
    if (port_->write(bytes) != bytes.size())
        throw commError(comPortUnavailable);
    // Hand the bytes to the driver now: the caller then sleeps without an
    // event loop of its own, and the sentence must be on the wire meanwhile.
    while (port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(1000))
            throw commError(comPortUnavailable);
    }
}

QByteArray SerialCommPort::readAvailable() {
    // A zero wait pulls whatever the driver holds into the port's buffer.
    port_->waitForReadyRead(0);
    QByteArray data = port_->readAll();
    const auto err = port_->error();
    if (err == QSerialPort::ResourceError || err == QSerialPort::ReadError) {
        port_->clearError();
        if (data.isEmpty())
            throw commError(comReadError);
    } else if (err != QSerialPort::NoError) {
        port_->clearError(); // a zero-wait poll reports TimeoutError: not a failure
    }
    return data;
}
