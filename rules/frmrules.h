// SPDX-License-Identifier: GPL-3.0-or-later
// frmRules: "Rules for Block Insertion". Edits the block rules one at a time
// and offers CheckRules to point insertion. Loaded hidden at start-up; the
// rules database opens when it loads and stays open until the program ends.
// rsRules is one cursor shared by the editor and CheckRules; edits and Delete
// act on the rule the controls show, wherever a lookup has left the cursor.
//
// When the database cannot be opened the window still loads: the user is told
// once which file failed and why, CheckRules gives the default block, and
// ensureDatabase() (used by "Set Rules") tries again and repeats the message.
#pragma once
#include "rules/recordset.h"
#include "rules/rulesdb.h"
#include <functional>

#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmRules : public QWidget {
    Q_OBJECT
public:
    explicit frmRules(QWidget* parent = nullptr);
    ~frmRules() override;

    // The open database and the cursor over Rules_Message; null while the
    // database cannot be opened. Owned by the window.
    std::unique_ptr<RulesDb> dbRules;
    std::unique_ptr<Recordset> rsRules;

    QGroupBox* Frame1 = nullptr;            // "Value"
    QGroupBox* Frame2 = nullptr;            // "Block Path and Name"
    QGroupBox* Frame3 = nullptr;            // "Location"
    QLineEdit* Text1 = nullptr;             // BlockPath
    QLineEdit* Text2 = nullptr;             // Value
    std::array<QRadioButton*, 2> Option1{}; // "Left", "Right"
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdDelete = nullptr;
    std::array<QPushButton*, 2> cmdMove{}; // "Back", "Next"
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The block path for strMessage, cutting the matched Value from it; the
    // default block Support/Inserts/Flag.dxf when no rule matches or the
    // database is not open.
    QString CheckRules(QString& strMessage);
    // CheckRules over the rules as they stand now, read once: for a command
    // that looks up many messages without a database query per message. Moves
    // the shared cursor as CheckRules does.
    std::function<QString(QString&)> CheckRulesSnapshot();
    static QString defaultBlock();

    // True when the rules table has no row (also while the database is not open).
    bool rulesEmpty() const;
    bool databaseOpen() const { return rsRules != nullptr; }
    // Opens the database if it is not open yet; on failure shows the message
    // naming the file and returns false.
    bool ensureDatabase();
    // True between "Add" and a successful "OK" or "Cancel".
    bool entering() const;

public slots:
    void Form_Load();
    void ShowRecord();
    void ShowButtons();
    void HideButtons();

    void cmdAdd_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();
    void cmdDelete_Click();
    void cmdMove_Click(int Index);
    void cmdFind_Click();
    void Option1_Click(int Index);
    void Text1_LostFocus();
    void Text2_LostFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the user's rules file (WritableSupportFile). *message: why it
    // failed, or on success a warning to show ("" when none).
    bool openDatabase(QString* message);
    void showFailure(const RecordsetError& e);
    void setLocationButtons(int checkedIndex); // -1 clears both
    // Puts the shared cursor back on the rule the controls show (CheckRules may
    // have moved it since); false when they show none or it is gone.
    bool onShownRule();
    // Writes one field of the current rule at once, when one exists and no new
    // rule is being entered.
    void writeField(const QString& field, const QString& value);

    qint64 shownRule_ = -1; // bookmark of the rule ShowRecord put in the controls
};
