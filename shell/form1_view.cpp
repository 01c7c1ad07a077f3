// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window shows around the table: the title with the points
// file's name and an unsaved mark, the status bar (rows, marks, files,
// receiver), the window's remembered size and place, and the ways into the
// cell editor besides arm-then-click (double-click, F2, typing).
#include "dxf/dxfengine.h"
#include "gps/commport.h"
#include "gps/gpsdevice.h"
#include "gps/serialcommport.h"
#include "platform/settings.h"
#include "shell/form1.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <functional>

namespace {

const QString kProgram = QStringLiteral("Korvel Transfer");
const QString kWindowSection = QStringLiteral("Window");
const QString kGeometryKey = QStringLiteral("Geometry");

// Keys on the table that open the editor on the current cell: F2, or a
// printable character (which then replaces the cell's text, as in a
// spreadsheet). Arrow keys and shortcuts pass through.
class GridEditKeys final : public QObject {
public:
    GridEditKeys(QObject* parent, std::function<bool()> open, QLineEdit* editor)
        : QObject(parent), open_(std::move(open)), editor_(editor) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_F2 && ke->modifiers() == Qt::NoModifier)
            return open_();
        const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        const QString text = ke->text();
        if ((ke->modifiers() & chord) || text.isEmpty() || !text.at(0).isPrint())
            return false;
        if (!open_())
            return false;
        editor_->insert(text);
        return true;
    }

private:
    std::function<bool()> open_;
    QLineEdit* editor_;
};

// Keeps a word-wrapping label as tall as its lines at its present width. The
// status bar lays its widgets out by their minimum heights only, so a message
// wrapped onto a second line would otherwise be cut to the first.
class WrapHeight final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            fit(static_cast<QLabel*>(watched));
        return false;
    }
    static void fit(QLabel* label) {
        // Measured as the label draws its text (QLabel's own heightForWidth
        // would include the minimum height set here, and never shrink back).
        int needed = 0;
        if (!label->text().isEmpty()) {
            const QMargins m = label->contentsMargins();
            const QRect room(0, 0, qMax(1, label->width() - m.left() - m.right()), QWIDGETSIZE_MAX);
            needed = label->fontMetrics()
                         .boundingRect(room, Qt::TextWordWrap | int(label->alignment()), label->text())
                         .height() +
                     m.top() + m.bottom();
        }
        if (label->minimumHeight() != needed)
            label->setMinimumHeight(needed);
    }
};

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QLabel* statusLabel(QStatusBar* bar, const char* name) {
    auto* label = new QLabel(bar);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setContentsMargins(6, 0, 6, 0);
    bar->addPermanentWidget(label);
    return label;
}

} // namespace

void Form1::setUpView() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    // The last command's message, whole: it wraps onto more lines when the
    // window is too narrow for it, and the status bar grows to hold them
    // (the bar's own temporary message would be cut at the counts' edge).
    statusMessage_ = new QLabel(bar);
    statusMessage_->setObjectName(QStringLiteral("StatusMessage"));
    statusMessage_->setTextFormat(Qt::PlainText);
    statusMessage_->setWordWrap(true);
    statusMessage_->setContentsMargins(6, 0, 6, 0);
    statusMessage_->installEventFilter(new WrapHeight(statusMessage_));
    bar->addWidget(statusMessage_, 1);
    statusRows_ = statusLabel(bar, "StatusRows");
    statusFile_ = statusLabel(bar, "StatusFile");
    statusReceiver_ = statusLabel(bar, "StatusReceiver");
    statusDrawing_ = statusLabel(bar, "StatusDrawing");

    MSFlexGrid1->setFillColumn(colMessage);
    // Nine decimals of a degree are about 0.1 mm on the ground; the digits
    // past them are conversion noise that only makes the columns hard to read.
    MSFlexGrid1->setDisplayDecimals(colLatitude, 9);
    MSFlexGrid1->setDisplayDecimals(colLongitude, 9);
    connect(MSFlexGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() >= 1)
            editCurrentCell();
    });
    MSFlexGrid1->installEventFilter(new GridEditKeys(
        MSFlexGrid1, [this] { return editCurrentCell(); }, Text1));

    WaypointRows* model = waypointRows;
    connect(model, &QAbstractItemModel::rowsInserted, this, &Form1::scheduleStatusUpdate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &Form1::scheduleStatusUpdate);
    connect(model, &QAbstractItemModel::modelReset, this, &Form1::scheduleStatusUpdate);
    connect(model, &QAbstractItemModel::dataChanged, this, &Form1::scheduleStatusUpdate);
    // After the command's own handler, which was connected first.
    for (QAction* a : std::as_const(items_))
        connect(a, &QAction::triggered, this, &Form1::refreshAfterChange);
    updateTitleAndStatus();
}

void Form1::scheduleStatusUpdate() {
    // Coalesced: a command that marks 100,000 rows recounts once.
    if (statusQueued_)
        return;
    statusQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        statusQueued_ = false;
        refreshAfterChange();
    });
}

void Form1::refreshAfterChange() {
    // The menus' enabling rules, applied now as well as when a menu opens: a
    // shortcut reaches its command only while the item is enabled, and the
    // last opening may have left it disabled for a table that has since changed.
    mnuFile_Click();
    mnuEdit_Click();
    mnuACAD_Click();
    mnuGPS_Click();
    updateTitleAndStatus();
}

void Form1::updateTitleAndStatus() {
    const QString name = strCurrentFile.isEmpty() ? QString() : QFileInfo(strCurrentFile).fileName();
    const QString mark = blnSaved ? QString() : QStringLiteral("*");
    if (name.isEmpty() && blnSaved)
        setWindowTitle(kProgram);
    else
        setWindowTitle((name.isEmpty() ? QStringLiteral("Untitled") : name) + mark +
                       QStringLiteral(" \u2014 ") + kProgram);

    const FlexGrid& grid = *MSFlexGrid1;
    int marked = 0;
    for (int r = 1; r < grid.Rows(); ++r)
        marked += grid.isMarked(r) ? 1 : 0;
    statusRows_->setText(plural(grid.Rows() - 1, "row", "rows") + QStringLiteral(", %1 marked").arg(marked));

    const QString file = QDir::toNativeSeparators(strCurrentFile);
    statusFile_->setText(QStringLiteral("File: ") + (name.isEmpty() ? QStringLiteral("none") : name));
    statusFile_->setToolTip(file);

    QString receiver = QStringLiteral("none");
    QString device;
    if (MSComm1 && MSComm1->PortOpen()) {
        const QString model = gpsDevice_ ? gpsDevice_->deviceModel() : QString();
        receiver = (model.isEmpty() ? QStringLiteral("connected") : model) +
                   QStringLiteral(" on port %1").arg(MSComm1->commPortNumber());
        if (const auto* serial = dynamic_cast<const SerialCommPort*>(MSComm1.get()))
            device = serial->deviceName();
    }
    statusReceiver_->setText(QStringLiteral("Receiver: ") + receiver);
    statusReceiver_->setToolTip(device);

    // The drawing the engine holds while it runs, else the one it will be given.
    const auto* engine = dynamic_cast<const DxfAutomation*>(&CurrentAcadAutomation());
    const QString drawing = engine && engine->running() ? engine->drawingPath() : DrawingPathSetting();
    statusDrawing_->setText(QStringLiteral("Drawing: ") + QFileInfo(drawing).fileName());
    statusDrawing_->setToolTip(QDir::toNativeSeparators(drawing));
}

void Form1::showRowsAdded(int rows, const QString& from) {
    statusMessage_->setText(plural(rows, "row", "rows") + QStringLiteral(" added from ") + from +
                            QLatin1Char('.'));
    WrapHeight::fit(statusMessage_);
    updateTitleAndStatus();
}

bool Form1::editCurrentCell() {
    const FlexGrid& grid = *MSFlexGrid1;
    if (grid.Row() < 1 || grid.Col() < 1 || grid.Row() >= grid.Rows())
        return false;
    if (Text1->isVisible()) {
        Text1->setFocus(Qt::OtherFocusReason);
        return true;
    }
    intCurRow = grid.Row();
    intCurCol = grid.Col();
    openCellEditor();
    return true;
}

void Form1::restoreWindowPlace() {
    const QString saved = GetSetting(kProgram, kWindowSection, kGeometryKey);
    if (!saved.isEmpty() && restoreGeometry(QByteArray::fromBase64(saved.toLatin1())))
        return;
    // First run: a comfortable share of the screen, centred on it; never
    // smaller than the designed size unless the screen is (a large scale
    // factor can make the designed size wider than the screen).
    const QScreen* s = screen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    // Before the window is first shown its frame is not known yet (it reads
    // as none): room is kept for a usual title bar and borders instead.
    QSize chrome = frameGeometry().size() - size();
    if (chrome.isEmpty())
        chrome = QSize(12, 36);
    const QSize room = avail.size() - chrome;
    const QSize share(avail.width() * 3 / 4, avail.height() * 7 / 10);
    resize(size().expandedTo(share).boundedTo(room));
    QRect outer(QPoint(0, 0), size() + chrome);
    outer.moveCenter(avail.center());
    move(outer.topLeft());
}

void Form1::saveWindowPlace() const {
    ShowSettingSaved(
        SaveSetting(kProgram, kWindowSection, kGeometryKey, QString::fromLatin1(saveGeometry().toBase64())));
}
