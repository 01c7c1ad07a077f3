// SPDX-License-Identifier: GPL-3.0-or-later
// Point and line insertion with 10,000 rows through Form1's handlers, end to
// end into one drawing of the built-in engine, the drawing written to disk
// included. Runs with a private settings folder and a drawing in a temporary
// folder; the block drawings are the shipped ones beside the program.
// Prints one line per figure.
#include "dxf/dxfengine.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

const QString kApp = QStringLiteral("Korvel Transfer");

// Answers every message box with OK and remembers the last text.
class QuietPrompts final : public PromptResponder {
public:
    int msgBox(const QString& text, int, const QString&) override {
        last = text;
        ++count;
        return vbOK;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList chooseFile(const FileChooserRequest&) override { return {}; }
    QString last;
    int count = 0;
};

double timeMs(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

void fill(FlexGrid& g, int rows) {
    g.beginBulkUpdate();
    g.setRows(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        // A 10 km by 10 km field of points, elevations 0 to 99 m.
        g.setTextMatrix(r, colName, QStringLiteral("WP%1").arg(r));
        g.setTextMatrix(r, colLatitude, QString::number(35.2 + (r % 100) * 0.001, 'f', 6));
        g.setTextMatrix(r, colLongitude, QString::number(-90.3 + (r / 100) * 0.001, 'f', 6));
        g.setTextMatrix(r, colElevation, QStringLiteral("%1M").arg(r % 100, 7, 10, QLatin1Char('0')));
        g.setTextMatrix(r, colMessage, QStringLiteral("CAMP %1").arg(r));
        g.setTextMatrix(r, colIcon, QStringLiteral("a"));
        g.setMarked(r, true);
    }
    g.endBulkUpdate();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QuietPrompts prompts;
    SetPromptResponder(&prompts);
    const int rows = 10000;
    QTemporaryDir work;

    auto run = [&](const QString& label, const QString& block, auto command) {
        const QString drawing = work.filePath(label + QStringLiteral(".dxf"));
        SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, drawing);
        SaveSetting(kApp, QStringLiteral("Options"), QStringLiteral("Block"), block);
        SaveSetting(kApp, QStringLiteral("Options"), QStringLiteral("Metric"), QStringLiteral("True"));
        DxfAutomation engine;
        SetAcadAutomation(&engine);
        {
            Form1 form;
            LoadForm(&form);
            fill(*form.MSFlexGrid1, rows);
            const double ms = timeMs([&] {
                (form.*command)();
                if (engine.running())
                    engine.running()->flush();
            });
            std::printf("%s, %d rows: %.0f ms (%.1f us per row), drawing %.1f MB, message: %s\n",
                        label.toUtf8().constData(), rows, ms, ms * 1000 / rows,
                        double(QFileInfo(drawing).size()) / 1e6, prompts.last.left(60).toUtf8().constData());
        }
        SetAcadAutomation(nullptr);
    };
    run(QStringLiteral("Insert All (Flag)"), QStringLiteral("Flag"), &Form1::cmdInsertAll_Click);
    run(QStringLiteral("Insert Selected (By Message)"), QStringLiteral("By Message"),
        &Form1::cmdInsertSelected_Click);
    run(QStringLiteral("Insert a Line"), QStringLiteral("Flag"), &Form1::cmdInsertLine_Click);
    SetPromptResponder(nullptr);
    return 0;
}
