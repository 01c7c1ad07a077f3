// SPDX-License-Identifier: GPL-3.0-or-later
// frmAbout: the About window. Names the program and its version, describes it
// and can start a System Information tool registered in the registry stand-in.
// Shown modeless; OK (also Enter and Esc) closes and deletes it.
#pragma once
#include "shell/modreg.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QFrame;

class frmAbout final : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QFrame* Line1[2] = {nullptr, nullptr};

    // Starts the System Information tool, or shows "System Information Is
    // Unavailable At This Time".
    void StartSysInfo();

    // Reads value SubKeyRef of KeyRoot\KeyName into KeyVal; true when read. A
    // string value is returned as stored less one terminating NUL; a 32-bit
    // number as 8 hexadecimal digits; a value of any other type leaves KeyVal
    // as it was. Values longer than 1024 bytes are not read (false, KeyVal "").
    bool GetKeyValue(HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    // Starts a program detached; true when it started. Tests replace it.
    std::function<bool(const QString& program)> launcher;

    // The program's version, as major.minor.revision.
    static QString versionText();

public slots:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

protected:
    void reject() override; // Esc
};
