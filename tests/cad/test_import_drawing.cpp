// SPDX-License-Identifier: GPL-3.0-or-later
// File > Import... of a drawing through the main window: a drawing another
// program wrote asks where it lies (the dialog, driven from inside its modal
// loop), one this program wrote does not.
#include "cad/drawingimport.h"
#include "cad/frmdrawingimport.h"
#include "support/sitedrawing.h"
#include "support/utmreference.h"
#include "test_insert_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Runs script on each import dialog once it is up in its modal loop. A
// script that leaves the dialog open is run again on the next tick.
class DialogScript {
public:
    explicit DialogScript(std::function<void(frmDrawingImport&)> script) : script_(std::move(script)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* d = qobject_cast<frmDrawingImport*>(QApplication::activeModalWidget())) {
                if (!d->property("seen").toBool()) {
                    d->setProperty("seen", true);
                    ++shown;
                }
                script_(*d);
            }
        });
        timer_.start();
    }
    int shown = 0;

private:
    std::function<void(frmDrawingImport&)> script_;
    QTimer timer_;
};

QStringList listed(const frmDrawingImport& d, bool checkedOnly = false) {
    QStringList out;
    for (int i = 0; i < d.lstLayers->count(); ++i)
        if (!checkedOnly || d.lstLayers->item(i)->checkState() == Qt::Checked)
            out << d.lstLayers->item(i)->text();
    return out;
}

QStringList tableNames(const FlexGrid& g, int from) {
    QStringList out;
    for (int r = from; r < g.Rows(); ++r)
        out << g.TextMatrix(r, 1);
    return out;
}

class ImportDrawing : public InsertTest {};

TEST_F(ImportDrawing, ADrawingWithoutOwnDataIsPlacedByTheDialogOrNotAtAll) {
    // Zone 16 north, metres: two points on "Sites", one on "Other".
    const double at[][2] = {{35.1, -87.3}, {35.25, -86.9}, {34.9, -88.2}};
    std::vector<SitePoint> points;
    const char* names[] = {"GATE", "WELL 2", "SHED"};
    for (int i = 0; i < 3; ++i) {
        const auto en = UtmExactGrid(at[i][0], at[i][1], 16, false);
        points.push_back({names[i], en[0], en[1], 12.0, i == 2 ? "Other" : "Sites"});
    }
    const QString site = work.filePath(QStringLiteral("site.dxf"));
    ASSERT_TRUE(WriteSiteDrawing(site, points));
    Form1& f = load("Name", "Flag", "Landmarks", true);
    FlexGrid& grid = *f.MSFlexGrid1;
    const int before = grid.Rows();
    f.blnSaved = true;

    // A zone out of range, a code PROJ does not know and no layer checked are
    // refused with the dialog kept open; then zone 16 N, metres, "Sites" only.
    int step = 0;
    QStringList layersShown;
    auto answer = std::make_unique<DialogScript>([&](frmDrawingImport& d) {
        switch (step++) {
        case 0:
            layersShown = listed(d);
            EXPECT_EQ(listed(d, true), layersShown) << "every layer checked at first";
            d.txtZone->setText("61");
            d.optNorth->setChecked(true);
            d.optMeters->setChecked(true);
            d.cmdOK->click();
            break;
        case 1:
            d.txtZone->setText("16");
            d.txtCrs->setText("EPSG:999999");
            EXPECT_FALSE(d.txtZone->isEnabled()) << "a code replaces the zone";
            d.cmdOK->click();
            break;
        case 2:
            d.txtCrs->clear();
            EXPECT_TRUE(d.txtZone->isEnabled());
            for (int i = 0; i < d.lstLayers->count(); ++i)
                d.lstLayers->item(i)->setCheckState(Qt::Unchecked);
            d.cmdOK->click();
            break;
        default:
            for (int i = 0; i < d.lstLayers->count(); ++i)
                if (d.lstLayers->item(i)->text() == "Sites")
                    d.lstLayers->item(i)->setCheckState(Qt::Checked);
            d.cmdOK->click();
        }
    });
    prompts.answerMessage().answerMessage().answerMessage();
    ASSERT_TRUE(f.ImportFile(site));
    EXPECT_EQ(answer->shown, 1);
    answer.reset();
    EXPECT_EQ(step, 4);
    const QStringList told = prompts.messages();
    ASSERT_EQ(told.size(), 3);
    EXPECT_EQ(told[0], "UTM zones run from 1 to 60.");
    EXPECT_TRUE(told[1].contains("999999")) << told[1].toStdString();
    EXPECT_EQ(told[2], "Please check at least one layer to read points from.");
    EXPECT_TRUE(layersShown.contains("Sites") && layersShown.contains("Other"))
        << layersShown.join(",").toStdString();
    ASSERT_EQ(tableNames(grid, before), (QStringList{"GATE", "WELL 2"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(grid.TextMatrix(before + i, 2).toDouble(), at[i][0], 1e-7);
        EXPECT_NEAR(grid.TextMatrix(before + i, 3).toDouble(), at[i][1], 1e-7);
        EXPECT_FALSE(grid.isMarked(before + i));
    }
    EXPECT_FALSE(f.blnSaved);
    EXPECT_EQ(f.findChild<QLabel*>("StatusMessage")->text(), "2 rows added from site.dxf.");
    const DrawingImportOptions stored = StoredDrawingImportOptions();
    EXPECT_EQ(stored.zone, 16);
    EXPECT_EQ(stored.layers, QStringList{"Sites"});

    // Again: the dialog shows the stored answers; Cancel adds nothing and
    // leaves the table's saved state alone.
    f.blnSaved = true;
    prompts.clear();
    DialogScript cancel([&](frmDrawingImport& d) {
        EXPECT_EQ(d.txtZone->text(), "16");
        EXPECT_EQ(listed(d, true), QStringList{"Sites"});
        d.cmdCancel->click();
    });
    EXPECT_FALSE(f.ImportFile(site));
    EXPECT_EQ(cancel.shown, 1);
    EXPECT_EQ(grid.Rows(), before + 2);
    EXPECT_TRUE(f.blnSaved);
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(ImportDrawing, ADrawingThisProgramWroteComesBackWithoutTheDialog) {
    Form1& f = load("Message", "Flag", "Landmarks", false);
    addRow({"MEMPHIS", "35.5", "-90.25", "0000028M", "Corner stake", "a"});
    addRow({"SYDNEY", "-33.9", "151.2", "0000003M", "Harbour", "b"});
    prompts.answerMessage();
    f.cmdInsertAll_Click();
    ASSERT_TRUE(engine.running());
    ASSERT_TRUE(engine.running()->flush());

    DialogScript unexpected([](frmDrawingImport& d) {
        ADD_FAILURE() << "the dialog was shown";
        d.reject();
    });
    const int before = f.MSFlexGrid1->Rows();
    ASSERT_TRUE(f.ImportFile(drawing));
    EXPECT_EQ(unexpected.shown, 0);
    ASSERT_EQ(tableNames(*f.MSFlexGrid1, before), (QStringList{"MEMPHIS", "SYDNEY"}));
    EXPECT_EQ(f.MSFlexGrid1->TextMatrix(before + 1, 5), "Harbour");
    EXPECT_NEAR(f.MSFlexGrid1->TextMatrix(before + 1, 2).toDouble(), -33.9, 1e-6);
    EXPECT_NEAR(f.MSFlexGrid1->TextMatrix(before + 1, 3).toDouble(), 151.2, 1e-6);
}

} // namespace
