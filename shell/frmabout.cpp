// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/frmabout.h"

#include "platform/ansi.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "platform/twips.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QtEndian>

#include <algorithm>

namespace {

// The release this build is; an application version set at start-up wins.
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr int kVersionRevision = 0;

// Where a System Information tool may be registered (under HKEY_LOCAL_MACHINE).
const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoFolderValue = QStringLiteral("MSINFO");
const QString kSysInfoProgram = QStringLiteral("MSINFO32.EXE");

// Geometry in twips: left, top, width, height.
void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QFont arial(double points, bool bold = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QLabel* label(QWidget* parent, const char* name, const QFont& font) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);
    return l;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(TwipsToPixels(5730), TwipsToPixels(3555));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    place(picIcon, 240, 240, 540, 540);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    picIcon->setPixmap(icon.pixmap(32, 32));
    picIcon->setAlignment(Qt::AlignCenter);

    lblTitle = label(this, "lblTitle", arial(12, true));
    place(lblTitle, 1050, 120, 3885, 600);
    lblVersion = label(this, "lblVersion", arial(9.75));
    place(lblVersion, 1050, 780, 3885, 225);
    lblDescription = label(this, "lblDescription", arial(9.75));
    place(lblDescription, 1050, 1125, 3885, 1170);
    lblDescription->setText(QStringLiteral(
        "Download waypoints and tracking points from your Magellan GPS unit. Save the file for "
        "later upload or transfer the points to an AutoCAD drawing."));
    lblDisclaimer = label(this, "lblDisclaimer", arial(9.75));
    place(lblDisclaimer, 255, 2745, 3510, 585);
    lblDisclaimer->setText(
        QStringLiteral("AutoCAD is a trademark of AutoDesk. SporTrak is a trademark of Magellan."));

    // The etched separator: a dark line over a light one.
    for (int i = 0; i < 2; ++i) {
        Line1[i] = new QFrame(this);
        Line1[i]->setObjectName(QStringLiteral("Line1_%1").arg(i));
        Line1[i]->setFrameShape(QFrame::HLine);
        Line1[i]->setFrameShadow(i == 0 ? QFrame::Sunken : QFrame::Plain);
        place(Line1[i], 225, 2460 + i * 15, 5280, 15);
    }
    Line1[1]->setStyleSheet(QStringLiteral("color: white"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    place(cmdOK, 4245, 2625, 1260, 345);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    place(cmdSysInfo, 4260, 3075, 1245, 345);
    cmdSysInfo->setAutoDefault(false);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    launcher = [](const QString& program) { return QProcess::startDetached(program, {}); };
}

QString frmAbout::versionText() {
    const QStringList parts = QCoreApplication::applicationVersion().split(QLatin1Char('.'));
    int v[3] = {kVersionMajor, kVersionMinor, kVersionRevision};
    if (parts.size() >= 3) {
        bool ok[3];
        int read[3];
        for (int i = 0; i < 3; ++i)
            read[i] = parts[i].toInt(&ok[i]);
        if (ok[0] && ok[1] && ok[2])
            std::copy(read, read + 3, v);
    }
    return QStringLiteral("%1.%2.%3").arg(v[0]).arg(v[1]).arg(v[2]);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + AppTitle());
    lblVersion->setText(QStringLiteral("Version ") + versionText());
    lblTitle->setText(AppTitle());
}

void frmAbout::cmdOK_Click() {
    // done() rather than close(): Esc and the title bar's close reach here
    // through reject() while a close is already under way, and a nested
    // close() would be ignored and leave the window open.
    done(QDialog::Accepted); // hides and, WA_DeleteOnClose, deletes the window
}

void frmAbout::reject() {
    cmdOK_Click();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
    QString path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, path)) {
        if (!path.isEmpty() && launcher(path))
            return;
    } else if (GetKeyValue(HKEY_LOCAL_MACHINE, kSysInfoFolderKey, kSysInfoFolderValue, path) &&
               !path.isEmpty()) {
        QString folder = path;
        while (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
            folder.chop(1);
        const QString program = folder + QLatin1Char('/') + kSysInfoProgram;
        if (FileExists(program) && launcher(program))
            return;
    }
    MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), vbOKOnly);
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal) {
    RegistryFile& reg = CurrentRegistry();
    HKEY key = 0;
    if (reg.RegOpenKeyEx(KeyRoot, KeyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    constexpr std::uint32_t kBufferSize = 1024;
    QByteArray buffer(kBufferSize, '\0');
    std::uint32_t size = kBufferSize;
    std::uint32_t type = 0;
    if (reg.RegQueryValueEx(key, SubKeyRef, &type, buffer.data(), &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        reg.RegCloseKey(key);
        return false;
    }
    buffer.truncate(size);
    if (type == REG_SZ) {
        // The terminating NUL, when the value carries one.
        if (buffer.endsWith('\0'))
            buffer.chop(1);
        KeyVal = FromAnsi(buffer);
    } else if (type == REG_DWORD) {
        char bytes[4] = {0, 0, 0, 0};
        std::copy(buffer.cbegin(), buffer.cbegin() + std::min<qsizetype>(buffer.size(), 4), bytes);
        KeyVal =
            QStringLiteral("%1").arg(qFromLittleEndian<quint32>(bytes), 8, 16, QLatin1Char('0')).toUpper();
    }
    reg.RegCloseKey(key);
    return true;
}
