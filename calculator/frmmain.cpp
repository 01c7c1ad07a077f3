// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/frmmain.h"

#include "calculator/utmcalculation.h"
#include "crs/coordinatesystem.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/twips.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace {
// The widest value a box must show whole: a northing in feet south of the equator.
const QString kWidestValue = QStringLiteral("-12818518.3480903");

// The classic layout in twips (left, top, width, height), widened and
// heightened to the font in use: the caption column to the widest caption,
// the value column to the widest value, every row to the text's height. At a
// font that fits, each control keeps its designed place and size.
class Layout {
public:
    explicit Layout(const QWidget& form) {
        const QFontMetrics fm(form.font());
        const QStyle* style = form.style();
        const int frame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &form);
        int caption = 0;
        for (const char* text : {"Latitude", "Longitude", "Northing", "Easting", "UTM Zone"})
            caption = qMax(caption, fm.horizontalAdvance(QLatin1String(text)) + 4);
        // Text margins of a line edit (2 a side), its frame and the cursor.
        const int value = fm.horizontalAdvance(kWidestValue) + 4 + frame + 4;
        const int indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &form) + 8;
        const int option = qMax(fm.horizontalAdvance(QStringLiteral("Meters")),
                                fm.horizontalAdvance(QStringLiteral("Feet"))) +
                           indicator;
        // A direction caption spans both columns.
        const int direction = fm.horizontalAdvance(QStringLiteral("UTM \u2192 Lat/Long")) + indicator;
        extraDirection_ = qMax(0, PixelsToTwips(direction) - 3015);
        extraCaption_ = qMax(0, PixelsToTwips(qMax(caption, option)) - 1215);
        extraValue_ = qMax(0, PixelsToTwips(value) - 1815);
        scaleY_ = qMax(1.0, double(fm.height() + frame + 2) / TwipsToPixels(285));
    }
    int width() const { return 3120 + qMax(extraCaption_ + extraValue_, extraDirection_); }
    // The classic height, two rows below it for the coordinate system and two
    // for the direction.
    int height() const { return y(4140); }
    int noteHeight() const { return TwipsToPixels(y(255)) * 5 + TwipsToPixels(120); }
    QRect note() const {
        return {TwipsToPixels(53), TwipsToPixels(y(4140)), TwipsToPixels(3015 + extraCaption_ + extraValue_),
                TwipsToPixels(y(255)) * 5};
    }
    // A caption or option in the left column.
    QRect caption(int left, int top, int width, int height) const {
        return px(left, top, width + extraCaption_, height);
    }
    // A value box (or the right option), shifted by the wider caption column.
    QRect value(int left, int top, int width, int height, bool widen = true) const {
        return px(left + extraCaption_, top, width + (widen ? extraValue_ : extraCaption_), height);
    }
    // Spans both columns.
    QRect both(int left, int top, int width, int height) const {
        return px(left, top, width + extraCaption_ + extraValue_, height);
    }

private:
    int y(int twips) const { return int(twips * scaleY_ + 0.5); }
    QRect px(int left, int top, int width, int height) const {
        return {TwipsToPixels(left), TwipsToPixels(y(top)), TwipsToPixels(width), TwipsToPixels(y(height))};
    }
    int extraCaption_ = 0;
    int extraValue_ = 0;
    int extraDirection_ = 0;
    double scaleY_ = 1;
};

template <typename W> W* place(W* w, const QRect& r) {
    w->setGeometry(r);
    return w;
}
} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Zenobar"));
    const Layout l(*this);
    // The classic size, and four lines below it for the zone note.
    setFixedSize(TwipsToPixels(l.width()), TwipsToPixels(l.height()) + l.noteHeight());

    Label1[0] = place(new QLabel(QStringLiteral("Latitude"), this), l.caption(53, 120, 1215, 255));
    Text[0] = place(new QLineEdit(this), l.value(1253, 120, 1815, 285));
    Label1[1] = place(new QLabel(QStringLiteral("Longitude"), this), l.caption(53, 480, 1215, 255));
    Text[1] = place(new QLineEdit(this), l.value(1253, 480, 1815, 285));
    Option1[0] = place(new QRadioButton(QStringLiteral("Feet"), this), l.caption(173, 840, 1215, 255));
    Option1[1] =
        place(new QRadioButton(QStringLiteral("Meters"), this), l.value(1853, 840, 1215, 255, false));
    Command1 = place(new QPushButton(QStringLiteral("Calculate"), this), l.both(53, 1200, 3015, 375));
    Label2[2] = place(new QLabel(QStringLiteral("UTM Zone"), this), l.caption(53, 1680, 1215, 255));
    UTM[2] = place(new QLineEdit(this), l.value(1253, 1680, 1815, 285));
    Label2[0] = place(new QLabel(QStringLiteral("Northing"), this), l.caption(53, 2040, 1215, 255));
    UTM[0] = place(new QLineEdit(this), l.value(1253, 2040, 1815, 285));
    Label2[1] = place(new QLabel(QStringLiteral("Easting"), this), l.caption(53, 2400, 1215, 255));
    UTM[1] = place(new QLineEdit(this), l.value(1253, 2400, 1815, 285));
    lblCoordinateSystem = place(new QLabel(QStringLiteral("Coordinate system (empty: UTM)"), this),
                                l.both(53, 2760, 3015, 255));
    txtCoordinateSystem = place(new QLineEdit(this), l.both(53, 3060, 3015, 285));
    txtCoordinateSystem->setPlaceholderText(QStringLiteral("EPSG:2274, EPSG:27700, ..."));
    optDirection[0] =
        place(new QRadioButton(QStringLiteral("Lat/Long \u2192 UTM"), this), l.both(53, 3420, 3015, 255));
    optDirection[1] =
        place(new QRadioButton(QStringLiteral("UTM \u2192 Lat/Long"), this), l.both(53, 3780, 3015, 255));
    // The hemisphere takes the right end of the zone box's row.
    zoneBoxWide_ = UTM[2]->geometry();
    zoneBoxNarrow_ = zoneBoxWide_.adjusted(0, 0, -TwipsToPixels(660), 0);
    cboHemisphere =
        place(new QComboBox(this), QRect(zoneBoxNarrow_.right() + TwipsToPixels(60), zoneBoxWide_.top(),
                                         TwipsToPixels(600), zoneBoxWide_.height()));
    cboHemisphere->addItems({QStringLiteral("N"), QStringLiteral("S")});
    cboHemisphere->setToolTip(QStringLiteral("Hemisphere: S when the northing counts from 10,000,000 m south "
                                             "of the equator"));
    cboHemisphere->hide();
    lblZoneNote = place(new QLabel(this), l.note());
    lblZoneNote->setWordWrap(true);
    lblZoneNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* units = new QButtonGroup(this);
    units->addButton(Option1[0], 0);
    units->addButton(Option1[1], 1);
    Option1[0]->setChecked(true); // Feet at design; start-up may select Meters
    auto* directions = new QButtonGroup(this);
    directions->addButton(optDirection[0], 0);
    directions->addButton(optDirection[1], 1);
    optDirection[0]->setChecked(true);

    // Tab order by the classic tab indices; labels take no focus.
    QWidget* order[] = {Text[0],         Text[1],        UTM[0], UTM[1],        Option1[0],
                        Option1[1],      Command1,       UTM[2], cboHemisphere, txtCoordinateSystem,
                        optDirection[0], optDirection[1]};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    for (QLineEdit* box : {Text[0], Text[1], UTM[0], UTM[1], UTM[2], txtCoordinateSystem})
        connect(box, &QLineEdit::returnPressed, this, &frmMain::Command1_Click);
    connect(txtCoordinateSystem, &QLineEdit::textChanged, this, &frmMain::txtCoordinateSystem_Change);
    for (QRadioButton* option : optDirection)
        connect(option, &QRadioButton::toggled, this, &frmMain::optDirection_Click);
}

bool frmMain::inverse() const {
    return optDirection[1]->isChecked();
}

void frmMain::optDirection_Click() {
    const bool back = inverse();
    // The boxes that are read stay editable, the ones written are read-only
    // in the UTM -> Lat/Long direction (the classic direction edits them all).
    Text[0]->setReadOnly(back);
    Text[1]->setReadOnly(back);
    UTM[2]->setGeometry(back ? zoneBoxNarrow_ : zoneBoxWide_);
    cboHemisphere->setVisible(back);
    lblZoneNote->clear();
    lblZoneNote->setStyleSheet(QString());
    txtCoordinateSystem_Change();
}

void frmMain::txtCoordinateSystem_Change() {
    const bool utm = txtCoordinateSystem->text().trimmed().isEmpty();
    Option1[0]->setEnabled(utm);
    Option1[1]->setEnabled(utm);
    Label2[2]->setText(utm ? QStringLiteral("UTM Zone") : QStringLiteral("System"));
    cboHemisphere->setEnabled(utm);
}

const CoordinateSystem& frmMain::boxSystem() {
    const std::string code = txtCoordinateSystem->text().trimmed().toStdString();
    if (!system_ || system_->code() != code) {
        try {
            system_ = std::make_shared<const CoordinateSystem>(code);
        } catch (const CoordinateSystemError& e) {
            system_.reset();
            throw CalculationError(e.what());
        }
    }
    return *system_;
}

QString frmMain::systemNote() const {
    // Short: the name, the unit, how good the datum shift is.
    QString note =
        QStringLiteral("%1, unit: %2; ")
            .arg(QString::fromStdString(system_->name()), QString::fromStdString(system_->unitName()));
    if (system_->isBallpark())
        note += QStringLiteral("datum shift ballpark only (off by up to some hundred metres).");
    else if (system_->transformationAccuracy() >= 0)
        note += QStringLiteral("datum shift good to %1\u00A0m.").arg(system_->transformationAccuracy());
    else
        note += QStringLiteral("datum shift of unknown accuracy.");
    return note;
}

void frmMain::calculateInSystem(double latitude, double longitude) {
    const CoordinateSystem& system = boxSystem();
    const ProjectedPoint p = CalculateInSystem(system, latitude, longitude);
    UTM[0]->setText(QString::fromStdString(ResultText(p.northing)));
    UTM[1]->setText(QString::fromStdString(ResultText(p.easting)));
    UTM[2]->setText(QString::fromStdString(system.name()));
    UTM[2]->setCursorPosition(0);
    UTM[2]->setToolTip(QString::fromStdString(system.name()));
    QString note = systemNote();
    if (!p.insideArea)
        note = QStringLiteral("This point lies outside the area the system is meant for. ") + note;
    lblZoneNote->setText(note);
    lblZoneNote->setStyleSheet(p.insideArea ? QString() : QStringLiteral("color: #b00000;"));
}

void frmMain::calculateInverse() {
    // Everything is read and converted before any box is written.
    const double northing = GridValue(UTM[0]->text().toStdString(), "northing");
    const double easting = GridValue(UTM[1]->text().toStdString(), "easting");
    double latitude = 0, longitude = 0;
    QString note;
    bool warn = false;
    if (!txtCoordinateSystem->text().trimmed().isEmpty()) {
        const CoordinateSystem& system = boxSystem();
        const GeographicPoint p = CalculateFromSystem(system, easting, northing);
        latitude = p.latitude;
        longitude = p.longitude;
        UTM[2]->setText(QString::fromStdString(system.name()));
        UTM[2]->setCursorPosition(0);
        UTM[2]->setToolTip(QString::fromStdString(system.name()));
        note = systemNote();
        if (!p.insideArea)
            note = QStringLiteral("This point lies outside the area the system is meant for. ") + note;
        warn = !p.insideArea;
    } else {
        const int zone = InverseZone(UTM[2]->text().toStdString());
        const LatLongCalculation r = CalculateLatLong(zone, cboHemisphere->currentIndex() == 1, easting,
                                                      northing, Option1[1]->isChecked());
        latitude = r.latitude;
        longitude = r.longitude;
        note = QStringLiteral("Zone %1%2.").arg(zone).arg(cboHemisphere->currentText());
        if (r.outsideZone > 0) {
            warn = true;
            note += QStringLiteral(" This point lies %1\u00B0 outside zone %2%3")
                        .arg(r.outsideZone, 0, 'f', 1)
                        .arg(zone)
                        .arg(r.outsideZone > 3 ? QStringLiteral(", where UTM loses accuracy.")
                                               : QStringLiteral("."));
        }
    }
    Text[0]->setText(QString::fromStdString(DegreesText(latitude)));
    Text[1]->setText(QString::fromStdString(DegreesText(longitude)));
    note = QStringLiteral("%1\n%2\n")
               .arg(QString::fromStdString(DmsText(latitude, true)),
                    QString::fromStdString(DmsText(longitude, false))) +
           note;
    lblZoneNote->setText(note);
    lblZoneNote->setStyleSheet(warn ? QStringLiteral("color: #b00000;") : QString());
}

void frmMain::Command1_Click() {
    try {
        if (inverse()) {
            calculateInverse();
            return;
        }
        double latitude = InputDegrees(Text[0]->text().toStdString(), "latitude");
        double longitude = InputDegrees(Text[1]->text().toStdString(), "longitude");
        if (!txtCoordinateSystem->text().trimmed().isEmpty()) {
            calculateInSystem(latitude, longitude);
            return;
        }
        // A zone box that is not a number counts as 0; it is only written
        // (with the zone used) once the whole calculation succeeded.
        int zone = ZoneFromText(UTM[2]->text().toStdString());
        UtmCalculation r = CalculateUtm(latitude, longitude, Option1[1]->isChecked(), zone);
        UTM[0]->setText(QString::fromStdString(ResultText(r.northing)));
        UTM[1]->setText(QString::fromStdString(ResultText(r.easting)));
        UTM[2]->setText(QString::number(r.zone));
        // The zone box keeps the zone used and forces it on the next point:
        // the note says so, and warns when that puts a point outside the band.
        bool outside = false;
        lblZoneNote->setText(QString::fromStdString(ZoneNote(latitude, longitude, zone, r.zone, &outside)));
        lblZoneNote->setStyleSheet(outside ? QStringLiteral("color: #b00000;") : QString());
    } catch (const CalculationError& e) {
        MsgBox(QString::fromStdString(e.what()), vbExclamation);
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    ShowSettingSaved(SaveSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                 QStringLiteral("Metric"),
                                 Option1[1]->isChecked() ? QStringLiteral("True") : QStringLiteral("False")));
    ShowSettingSaved(SaveSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"),
                                 QStringLiteral("CoordinateSystem"), txtCoordinateSystem->text().trimmed()));
    ShowSettingSaved(
        SaveSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"), QStringLiteral("Direction"),
                    inverse() ? QStringLiteral("UTMToLatLong") : QStringLiteral("LatLongToUTM")));
    event->accept();
}
