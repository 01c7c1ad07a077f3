// SPDX-License-Identifier: GPL-3.0-or-later
// File > Print through the main window: what the user is told, where the pages
// go, and that the window and table are as they were afterwards.
#include "platform/programfolder.h"
#include "reportfixture.h"
#include "shell/form1.h"
#include "shell/modmain.h"
#include "support/scriptedprompts.h"

#include <QDir>
#include <QHeaderView>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// KORVEL_PRINT_DIR set for the life of the object.
struct PrintDir {
    PrintDir() { qputenv("KORVEL_PRINT_DIR", dir.path().toLocal8Bit()); }
    ~PrintDir() { qunsetenv("KORVEL_PRINT_DIR"); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    QTemporaryDir dir;
};

struct TableState {
    int row, col, top, left, windowHeight;
    std::vector<int> heights;
    std::vector<bool> marks;
    QStringList texts;
    bool operator==(const TableState&) const = default;
};

TableState stateOf(Form1& form) {
    FlexGrid& g = *form.MSFlexGrid1;
    TableState s{
        g.Row(), g.Col(), g.verticalScrollBar()->value(), g.horizontalScrollBar()->value(), form.height(), {},
        {},      {}};
    for (int r = 1; r < g.Rows(); ++r) {
        s.heights.push_back(g.rowHeight(r - 1));
        s.marks.push_back(g.isMarked(r));
        for (int c = 0; c < g.Cols(); ++c)
            s.texts << g.TextMatrix(r, c);
    }
    return s;
}

} // namespace

TEST(PrintCommand, PagesGoToThePrintDirAndTheTableIsUnchanged) {
    PrintDir out;
    Form1 form;
    LoadForm(&form);
    form.resize(900, 500);
    form.show();
    FlexGrid& g = *form.MSFlexGrid1;
    fillTable(g, 120);
    g.setMarked(3, true);
    g.setMarked(100, true);
    g.setRowHeight(4, 40); // data row 5, made taller by the user
    g.setRow(70);
    g.setCol(3);
    g.verticalScrollBar()->setValue(30);
    g.horizontalScrollBar()->setValue(g.horizontalScrollBar()->maximum());
    const TableState before = stateOf(form);
    const bool savedBefore = form.blnSaved;

    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();

    ASSERT_EQ(prompts.messages().size(), 1);
    const QString message = prompts.messages()[0];
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(out.dir.path()))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("GPS Report page 3.pdf"))) << message.toStdString();
    EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(out.files(),
              QStringList({QStringLiteral("GPS Report page 1.pdf"), QStringLiteral("GPS Report page 2.pdf"),
                           QStringLiteral("GPS Report page 3.pdf")}));
    EXPECT_EQ(rowsIn(pdfText(out.dir.path() + QStringLiteral("/GPS Report page 3.pdf"))),
              std::vector<int>({115, 116, 117, 118, 119, 120}));

    EXPECT_TRUE(stateOf(form) == before);
    EXPECT_EQ(g.rowHeight(4), 40);
    EXPECT_EQ(form.blnSaved, savedBefore);
}

TEST(PrintCommand, OnePageIsNamedInTheMessage) {
    PrintDir out;
    Form1 form;
    LoadForm(&form);
    fillTable(*form.MSFlexGrid1, 57);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("\"GPS Report page 1.pdf\"")));
    EXPECT_EQ(out.files(), QStringList({QStringLiteral("GPS Report page 1.pdf")}));
}

TEST(PrintCommand, EmptyTablePrintsNothingAndSaysSo) {
    PrintDir out;
    Form1 form;
    LoadForm(&form);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("There are no waypoints to print.")}));
    EXPECT_TRUE(out.files().isEmpty());
}

TEST(PrintCommand, WithoutAPrinterPagesGoToSupportData) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a printer is installed; this machine would print on paper";
    QTemporaryDir program; // a program folder with no Support/ yet
    SetAppPathOverride(program.path());
    ScriptedPrompts prompts;
    prompts.setAnswerMessagesWithOk(true); // loading without a rules file warns
    Form1 form;
    LoadForm(&form);
    fillTable(*form.MSFlexGrid1, 2);
    prompts.setAnswerMessagesWithOk(false);
    prompts.clear();
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    const QString data = program.path() + QStringLiteral("/Support/Data");
    SetAppPathOverride(QString());
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QDir::toNativeSeparators(data)))
        << prompts.messages()[0].toStdString();
    EXPECT_TRUE(QFile::exists(data + QStringLiteral("/GPS Report page 1.pdf")));
}

TEST(PrintCommand, AFailedPageIsReportedNotCalledDone) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("KORVEL_PRINT_DIR", (blocker.fileName() + QStringLiteral("/sub")).toLocal8Bit());
    Form1 form;
    LoadForm(&form);
    fillTable(*form.MSFlexGrid1, 2);
    ScriptedPrompts prompts;
    prompts.answerMessage();
    form.cmdPrintGrid_Click();
    qunsetenv("KORVEL_PRINT_DIR");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("could not be created")))
        << prompts.messages()[0].toStdString();
}
