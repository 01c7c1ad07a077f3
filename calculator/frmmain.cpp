// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/frmmain.h"

#include "calculator/utmcalculation.h"
#include "platform/numbers.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/twips.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
// Positions and sizes in twips (left, top, width, height).
template <typename W> W* place(W* w, int left, int top, int width, int height) {
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
    return w;
}
} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Zenobar"));
    setFixedSize(TwipsToPixels(3120), TwipsToPixels(2700));

    Label1[0] = place(new QLabel(QStringLiteral("Latitude"), this), 53, 120, 1215, 255);
    Text[0] = place(new QLineEdit(this), 1253, 120, 1815, 285);
    Label1[1] = place(new QLabel(QStringLiteral("Longitude"), this), 53, 480, 1215, 255);
    Text[1] = place(new QLineEdit(this), 1253, 480, 1815, 285);
    Option1[0] = place(new QRadioButton(QStringLiteral("Feet"), this), 173, 840, 1215, 255);
    Option1[1] = place(new QRadioButton(QStringLiteral("Meters"), this), 1853, 840, 1215, 255);
    Command1 = place(new QPushButton(QStringLiteral("Calculate"), this), 53, 1200, 3015, 375);
    Label2[2] = place(new QLabel(QStringLiteral("UTM Zone"), this), 53, 1680, 1215, 255);
    UTM[2] = place(new QLineEdit(this), 1253, 1680, 1815, 285);
    Label2[0] = place(new QLabel(QStringLiteral("Northing"), this), 53, 2040, 1215, 255);
    UTM[0] = place(new QLineEdit(this), 1253, 2040, 1815, 285);
    Label2[1] = place(new QLabel(QStringLiteral("Easting"), this), 53, 2400, 1215, 255);
    UTM[1] = place(new QLineEdit(this), 1253, 2400, 1815, 285);

    auto* units = new QButtonGroup(this);
    units->addButton(Option1[0], 0);
    units->addButton(Option1[1], 1);
    Option1[0]->setChecked(true); // Feet at design; start-up may select Meters

    // Tab order by the classic tab indices; labels take no focus.
    QWidget* order[] = {Text[0], Text[1], UTM[0], UTM[1], Option1[0], Option1[1], Command1, UTM[2]};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
}

void frmMain::Command1_Click() {
    try {
        double latitude = InputDegrees(Text[0]->text().toStdString(), "latitude");
        double longitude = InputDegrees(Text[1]->text().toStdString(), "longitude");
        // A zone box that is not a number counts as 0; it is only written
        // (with the zone used) once the whole calculation succeeded.
        int zone = ZoneFromText(UTM[2]->text().toStdString());
        UtmCalculation r = CalculateUtm(latitude, longitude, Option1[1]->isChecked(), zone);
        UTM[0]->setText(NumberToText(r.northing));
        UTM[1]->setText(NumberToText(r.easting));
        UTM[2]->setText(QString::number(r.zone));
    } catch (const CalculationError& e) {
        MsgBox(QString::fromStdString(e.what()), vbExclamation);
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    SaveSetting(QStringLiteral("Zenobar"), QStringLiteral("Options"), QStringLiteral("Metric"),
                Option1[1]->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    event->accept();
}
