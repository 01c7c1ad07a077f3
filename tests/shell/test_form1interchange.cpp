// SPDX-License-Identifier: GPL-3.0-or-later
// File > Import... and File > Export... through the main window's handlers.
#include "interchange/formats.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"
#include "support/tablerows.h"
#include "table/flexgrid.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Form1Interchange, ImportAppendsAndExportTakesTheMarkedRows) {
    QTemporaryDir dir;
    const QString gpx = dir.filePath("in.gpx");
    {
        QFile f(gpx);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<gpx><wpt lat=\"35.5\" lon=\"-90.25\"><ele>28.4</ele><name>Čakovec</name></wpt>"
                "<wpt lat=\"95\" lon=\"1\"><name>off</name></wpt><wpt lat=\"1\" lon=\"x\"/></gpx>");
    }
    ScriptedPrompts prompts;
    Form1 form;
    ASSERT_TRUE(LoadForm(&form));
    FlexGrid& grid = *form.MSFlexGrid1;
    AppendTableRow(grid, {"HOME", "1", "2", "", "", ""});
    form.blnSaved = true;

    prompts.answerFile(gpx).answerMessage();
    form.cmdImport_Click();
    ASSERT_EQ(grid.Rows(), 3);
    EXPECT_EQ(grid.TextMatrix(1, 1), "HOME");
    const QStringList added = {grid.TextMatrix(2, 1), grid.TextMatrix(2, 2), grid.TextMatrix(2, 3),
                               grid.TextMatrix(2, 4)};
    EXPECT_EQ(added, (QStringList{QStringLiteral("Čakovec"), "35.5", "-90.25", "0000028M"}));
    EXPECT_FALSE(form.blnSaved);
    EXPECT_EQ(form.findChild<QLabel*>("StatusMessage")->text(), "1 row added from in.gpx.");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith("2 point(s) in")) << prompts.messages()[0].toStdString();
    EXPECT_EQ(prompts.prompts()[0].file.filters.size(), 5);

    // A bad file: one message, the table as it was.
    QFile(dir.filePath("bad.csv")).open(QIODevice::WriteOnly);
    prompts.clear();
    prompts.answerFile(dir.filePath("bad.csv")).answerMessage();
    form.cmdImport_Click();
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_TRUE(prompts.messages().value(0).contains("the file is empty"));

    // All rows without marks; only the marked row once one is marked. A name
    // typed without extension gets ".gpx".
    prompts.clear();
    prompts.answerFile(dir.filePath("all"));
    form.cmdExport_Click();
    EXPECT_EQ(prompts.prompts()[0].file.title, "Export All Rows (2)");
    EXPECT_EQ(ReadInterchangeFile(dir.filePath("all.gpx")).rows.size(), 2u);
    grid.setMarked(2, true);
    prompts.clear();
    prompts.answerFile(dir.filePath("marked.kml"));
    form.cmdExport_Click();
    EXPECT_EQ(prompts.prompts()[0].file.title, "Export Marked Rows (1)");
    const ReadResult marked = ReadInterchangeFile(dir.filePath("marked.kml"));
    ASSERT_EQ(marked.rows.size(), 1u);
    EXPECT_EQ(marked.rows[0].name, QStringLiteral("Čakovec"));
}

} // namespace
