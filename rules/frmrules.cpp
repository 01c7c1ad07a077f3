// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/frmrules.h"

#include "files/filedialog.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const QString kValue = QStringLiteral("Value");
const QString kBlockPath = QStringLiteral("BlockPath");
const QString kLocation = QStringLiteral("Location");
} // namespace

frmRules::frmRules(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Rules for Block Insertion"));

    Frame1 = new QGroupBox(QStringLiteral("Value"), this);
    Text2 = new QLineEdit(Frame1);
    (new QVBoxLayout(Frame1))->addWidget(Text2);

    Frame2 = new QGroupBox(QStringLiteral("Block Path and Name"), this);
    Text1 = new QLineEdit(Frame2);
    cmdBrowse = new QPushButton(QStringLiteral("..."), Frame2);
    cmdBrowse->setFixedWidth(32);
    auto* pathRow = new QHBoxLayout(Frame2);
    pathRow->addWidget(Text1);
    pathRow->addWidget(cmdBrowse);

    Frame3 = new QGroupBox(QStringLiteral("Location"), this);
    Option1[0] = new QRadioButton(QStringLiteral("Left"), Frame3);
    Option1[1] = new QRadioButton(QStringLiteral("Right"), Frame3);
    auto* locationRow = new QHBoxLayout(Frame3);
    locationRow->addWidget(Option1[0]);
    locationRow->addWidget(Option1[1]);

    cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    cmdFind = new QPushButton(QStringLiteral("Find"), this);
    cmdDelete = new QPushButton(QStringLiteral("Delete"), this);
    cmdMove[0] = new QPushButton(QStringLiteral("Back"), this);
    cmdMove[1] = new QPushButton(QStringLiteral("Next"), this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdMove[0], cmdMove[1], cmdAdd, cmdFind, cmdDelete, cmdOK, cmdCancel})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, &frmRules::cmdAdd_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmRules::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRules::cmdCancel_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmRules::cmdBrowse_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmRules::cmdDelete_Click);
    connect(cmdFind, &QPushButton::clicked, this, &frmRules::cmdFind_Click);
    for (int i = 0; i < 2; ++i) {
        connect(cmdMove[i], &QPushButton::clicked, this, [this, i] { cmdMove_Click(i); });
        connect(Option1[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
    }
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    ShowButtons();
}

frmRules::~frmRules() {
    // The cursor goes before the connection it reads through.
    rsRules.reset();
    dbRules.reset();
}

QString frmRules::defaultBlock() {
    return DefaultBlockPath();
}

bool frmRules::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == Text1)
            Text1_LostFocus();
        else if (watched == Text2)
            Text2_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

bool frmRules::openDatabase(QString* message) {
    QString warning;
    const QString path = WritableSupportFile(QStringLiteral("Rules.rls"), &warning);
    try {
        auto db = std::make_unique<RulesDb>(path);
        auto rs = std::make_unique<Recordset>(db->database(), QStringLiteral("Rules_Message"));
        dbRules = std::move(db);
        rsRules = std::move(rs);
        *message = warning;
        return true;
    } catch (const RecordsetError& e) {
        *message = RulesUnavailableMessage(path, e.description());
        return false;
    }
}

void frmRules::Form_Load() {
    QString message;
    openDatabase(&message);
    if (!message.isEmpty())
        MsgBox(message, vbOKOnly | vbExclamation);
    ShowRecord();
}

bool frmRules::ensureDatabase() {
    if (rsRules)
        return true;
    QString message;
    const bool opened = openDatabase(&message);
    if (!message.isEmpty())
        MsgBox(message, vbOKOnly | vbExclamation);
    if (opened)
        ShowRecord();
    return opened;
}

bool frmRules::rulesEmpty() const {
    return !rsRules || (rsRules->isBOF() && rsRules->isEOF());
}

bool frmRules::entering() const {
    return rsRules && rsRules->EditMode() == Recordset::EditAdd;
}

QString frmRules::CheckRules(QString& strMessage) {
    return FromProgramRelative(MatchBlockRule(rsRules.get(), strMessage, defaultBlock()));
}

std::function<QString(QString&)> frmRules::CheckRulesSnapshot() {
    std::vector<BlockRule> rules = ReadBlockRules(rsRules.get());
    return [rules = std::move(rules), fallback = defaultBlock()](QString& strMessage) {
        return FromProgramRelative(MatchBlockRule(rules, strMessage, fallback));
    };
}

void frmRules::showFailure(const RecordsetError& e) {
    MsgBox(QString::number(e.number()) + QStringLiteral(": ") + e.description());
}

void frmRules::setLocationButtons(int checkedIndex) {
    for (int i = 0; i < 2; ++i) {
        // An exclusive radio button cannot be unchecked directly.
        Option1[i]->setAutoExclusive(false);
        Option1[i]->setChecked(i == checkedIndex);
        Option1[i]->setAutoExclusive(true);
    }
}

bool frmRules::onShownRule() {
    if (!rsRules || shownRule_ < 0)
        return false;
    return rsRules->Bookmark() == shownRule_ || rsRules->setBookmark(shownRule_);
}

void frmRules::ShowRecord() {
    shownRule_ = -1;
    try {
        if (!rsRules)
            throw RecordsetError(errNoCurrentRecord, QStringLiteral("No current record."));
        const QString path = rsRules->text(kBlockPath);
        const QString value = rsRules->text(kValue);
        const QString location = rsRules->text(kLocation);
        Text1->setText(path);
        Text2->setText(value);
        if (location == QLatin1String("Left"))
            setLocationButtons(0);
        else if (location == QLatin1String("Right"))
            setLocationButtons(1);
        shownRule_ = rsRules->Bookmark();
    } catch (const RecordsetError& e) {
        if (e.number() == errNoCurrentRecord || e.number() == errRecordDeleted) {
            Text1->clear();
            Text2->clear();
            setLocationButtons(-1);
        } else {
            showFailure(e);
        }
    }
}

void frmRules::ShowButtons() {
    for (QPushButton* b : {cmdAdd, cmdDelete, cmdFind, cmdMove[0], cmdMove[1]})
        b->setVisible(true);
    cmdOK->setVisible(false);
    cmdCancel->setVisible(false);
}

void frmRules::HideButtons() {
    for (QPushButton* b : {cmdAdd, cmdDelete, cmdFind, cmdMove[0], cmdMove[1]})
        b->setVisible(false);
    cmdOK->setVisible(true);
    cmdCancel->setVisible(true);
}

void frmRules::writeField(const QString& field, const QString& value) {
    if (!rsRules || entering() || !onShownRule())
        return;
    try {
        rsRules->Edit();
        rsRules->setValue(field, value);
        rsRules->Update();
    } catch (const RecordsetError& e) {
        if (rsRules->EditMode() == Recordset::EditInProgress)
            rsRules->CancelUpdate();
        showFailure(e);
    }
}

void frmRules::cmdAdd_Click() {
    if (!rsRules)
        return;
    rsRules->AddNew();
    Text1->clear();
    Text2->clear();
    HideButtons();
}

void frmRules::cmdOK_Click() {
    if (!rsRules)
        return;
    if (Text1->text().isEmpty() || Text2->text().isEmpty()) {
        MsgBox(QStringLiteral("All fields must be entered."));
        return;
    }
    QString location;
    for (QRadioButton* option : Option1) {
        if (option->isChecked()) {
            location = option->text();
            break;
        }
    }
    const QString value = Text2->text();
    try {
        rsRules->setValue(kValue, value);
        rsRules->setValue(kBlockPath, ToProgramRelative(Text1->text()));
        rsRules->setValue(kLocation, location);
        rsRules->Update();
        rsRules->FindFirst(kValue, value);
        ShowRecord();
        ShowButtons();
    } catch (const RecordsetError& e) {
        showFailure(e);
    }
}

void frmRules::cmdCancel_Click() {
    if (rsRules && rsRules->EditMode() != Recordset::EditNone)
        rsRules->CancelUpdate();
    ShowRecord();
    ShowButtons();
}

void frmRules::cmdBrowse_Click() {
    FileDialog dialog;
    dialog.setOwnerHwnd(static_cast<std::int32_t>(winId()));
    dialog.setFilter(QStringLiteral("AutoCAD_Drawings|*.dxf"));
    try {
        dialog.setInitialDir(SupportPath(QStringLiteral("Inserts/")));
    } catch (const FileDialogError&) {
        // No Inserts folder (an incomplete installation): start in the program
        // folder instead; the user can still pick a block anywhere.
        try {
            dialog.setInitialDir(AppPath() + QLatin1Char('/'));
        } catch (const FileDialogError&) {
        }
    }
    const QString path = dialog.ShowOpen();
    if (path.isEmpty())
        return;
    // A block inside the program folder is stored relative to it.
    Text1->setText(ToProgramRelative(path));
    writeField(kBlockPath, ToProgramRelative(Text1->text()));
}

void frmRules::cmdDelete_Click() {
    const int answer = MsgBox(QStringLiteral("This will delete the current rule.") + vbCrLf +
                                  QStringLiteral("Ok to delete or Cancel to quit."),
                              vbOKCancel, QStringLiteral("Warning"));
    if (answer != vbOK)
        return;
    try {
        if (!onShownRule())
            throw RecordsetError(errNoCurrentRecord, QStringLiteral("No current record."));
        rsRules->Delete();
        rsRules->MoveFirst();
        ShowRecord();
    } catch (const RecordsetError& e) {
        if (e.number() == errNoCurrentRecord)
            MsgBox(QStringLiteral("There is no current record."));
        else
            showFailure(e);
    }
}

void frmRules::cmdMove_Click(int Index) {
    if (!rsRules)
        return;
    try {
        if (Index == 0) {
            if (rsRules->isBOF()) {
                MsgBox(QStringLiteral("This is the first record"));
                return;
            }
            rsRules->MovePrevious();
        } else {
            if (rsRules->isEOF()) {
                MsgBox(QStringLiteral("This is the last record"));
                return;
            }
            rsRules->MoveNext();
        }
        ShowRecord();
    } catch (const RecordsetError& e) {
        showFailure(e);
    }
}

void frmRules::cmdFind_Click() {
    const QString answer = InputBox(QStringLiteral("Value to search for:"), QStringLiteral("Find Rule"));
    if (!rsRules)
        return;
    try {
        if (!rsRules->FindFirst(kValue, answer)) {
            MsgBox(QStringLiteral("No rule found with a Value of ") + answer + QStringLiteral("."));
            return;
        }
        ShowRecord();
    } catch (const RecordsetError& e) {
        showFailure(e);
    }
}

void frmRules::Option1_Click(int Index) {
    writeField(kLocation, Option1[Index]->text());
}

void frmRules::Text1_LostFocus() {
    writeField(kBlockPath, ToProgramRelative(Text1->text()));
}

void frmRules::Text2_LostFocus() {
    writeField(kValue, Text2->text());
}
