// SPDX-License-Identifier: GPL-3.0-or-later
// A main window over a private program folder and drawing, with the built-in
// drawing engine installed, for the insertion commands. Drawings are read back
// by ezdxf (dxfreadback.h).
#pragma once
#include "cad/frmoptions.h"
#include "conversion/utmoptions.h"
#include "dxf/dxfengine.h"
#include "platform/numbers.h"
#include "platform/settings.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/drawingfixture.h"
#include "support/dxfreadback.h"
#include "support/scriptedprompts.h"
#include "support/test_rules_fixture.h"
#include "table/flexgrid.h"

#include <GeographicLib/TransverseMercator.hpp>

#include <QDir>
#include <QFile>
#include <QSettings>

#include <cmath>
#include <memory>

inline const QString kApp = QStringLiteral("Korvel Transfer");

// Whether a drawn point (E, N, Z) is where GeographicLib's exact transverse
// Mercator puts (lat, lon) in metres or feet (metric), in the given zone (0:
// the zone of the longitude), and rounded to 0.01 as the drawing must hold it. The program's classic series
// is within 15 mm of GeographicLib and then rounds, so 2 cm (in metres) is allowed.
inline ::testing::AssertionResult placedAt(const QJsonValue& got, double lat, double lon, double elevation,
                                           bool metric, int zone = 0) {
    if (zone == 0)
        zone = static_cast<int>(std::floor((lon + 180) / 6)) + 1;
    double x = 0, y = 0;
    GeographicLib::TransverseMercator::UTM().Forward(6.0 * zone - 183, lat, lon, x, y);
    const double unit = metric ? 1 : 3.28083;
    const double want[] = {(x + 500000) * unit, (lat < 0 ? y + 10000000 : y) * unit, elevation};
    const QJsonArray a = got.toArray();
    if (a.size() != 3)
        return ::testing::AssertionFailure() << "not a point: " << a.size() << " values";
    for (int k = 0; k < 3; ++k) {
        const double v = a[k].toDouble();
        if (std::fabs(v * 100 - std::nearbyint(v * 100)) > 1e-6)
            return ::testing::AssertionFailure() << "value " << k << " = " << v << " is not in hundredths";
        if (std::fabs(v - want[k]) > (k < 2 ? 0.02 * unit : 0.005))
            return ::testing::AssertionFailure()
                   << "value " << k << " = " << v << ", expected about " << want[k];
    }
    return ::testing::AssertionSuccess();
}

class InsertTest : public ::testing::Test {
protected:
    InsertTest() {
        QSettings(SettingsFilePath(kApp), QSettings::IniFormat).clear();
        CurrentUtmOptions() = UtmOptions{};
        const QString from = QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/");
        QDir(folder.insertsDir()).mkpath(QStringLiteral("SporTrak"));
        for (const char* f : {"Flag.dxf", "SporTrak/a.dxf", "SporTrak/b.dxf"})
            QFile::copy(from + QLatin1String(f), folder.insertsDir() + QLatin1String(f));
        drawing = work.filePath(QStringLiteral("Site.dxf"));
        setDrawingPath(drawing);
        engine.setDrawingPath(drawing); // as the main window gives it, for commands run without it
        SetAcadAutomation(&engine);
    }
    ~InsertTest() override {
        form.reset();
        SetAcadAutomation(nullptr);
        setDrawingPath(QString());
    }

    // Stores the options and loads the main window, which reads them and opens
    // the rules file (written with rules first).
    Form1& load(const QString& attribute, const QString& block, const QString& layer, bool metric,
                const QVector<RuleRow>& rules = {}) {
        writeRulesFile(folder.rulesFile(), rules);
        SaveSetting(kApp, "Options", "Attribute", attribute);
        SaveSetting(kApp, "Options", "Block", block);
        SaveSetting(kApp, "Options", "Layer", layer);
        SaveSetting(kApp, "Options", "Metric", metric ? "True" : "False");
        form = std::make_unique<Form1>();
        EXPECT_TRUE(LoadForm(form.get()));
        return *form;
    }
    // Changes stored options and has the loaded window read them again.
    void reoption(const QString& key, const QString& value) {
        SaveSetting(kApp, "Options", key, value);
        form->optionsWindow->OptionSettings();
    }

    // Appends a data row: name, latitude, longitude, elevation, message, icon.
    void addRow(const QStringList& cells, bool marked = false) {
        FlexGrid& g = *form->MSFlexGrid1;
        const int row = g.Rows();
        g.setRows(row + 1);
        for (int c = 0; c < cells.size(); ++c)
            g.setTextMatrix(row, c + 1, cells[c]);
        g.setMarked(row, marked);
    }

    // The drawing as ezdxf reads it, after the engine has written it; fails the
    // test on any structural or audit problem.
    QJsonObject drawn() {
        if (engine.running()) {
            EXPECT_TRUE(engine.running()->flush());
        }
        QJsonObject r = readBack(drawing);
        EXPECT_EQ(problemsOf(r), "");
        return r;
    }
    static QString label(const QJsonObject& insert) {
        for (const auto& a : insert.value("attribs").toArray())
            if (a.toArray()[0].toString() == QLatin1String("TRANSFERTEXT"))
                return a.toArray()[1].toString();
        return QStringLiteral("<no TRANSFERTEXT>");
    }

    ProgramFolder folder;
    QTemporaryDir work;
    QString drawing;
    ScriptedPrompts prompts;
    DxfAutomation engine;
    std::unique_ptr<Form1> form;
};
