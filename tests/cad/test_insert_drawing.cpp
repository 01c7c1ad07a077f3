// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing window and the main window agree on the drawing insertions go
// into: the window's File menu changes it, the main status bar follows at once,
// and the next insertion lands there while the drawing before keeps its points.
#include "cad/drawingwindow.h"
#include "test_insert_fixture.h"

#include <QLabel>
#include <QStatusBar>

namespace {

class DrawingFollowTest : public InsertTest {
protected:
    DrawingFollowTest() { DrawingWindow::install(); }
    ~DrawingFollowTest() override {
        form.reset();
        DxfAutomation::setStartedHook(nullptr);
    }
    std::string mainStatus() const {
        return form->findChild<QLabel*>(QStringLiteral("StatusDrawing"))->text().toStdString();
    }
    static int insertsIn(const QString& path) { return readBack(path).value("inserts").toArray().size(); }
};

} // namespace

TEST_F(DrawingFollowTest, AnotherDrawingOpenedOrMadeInTheWindowTakesTheNextInsertions) {
    load("Name", "Flag", "0", true);
    addRow({"WP1", "35.5", "-90.25", "", "", ""});
    prompts.answerMessage();
    form->cmdInsertAll_Click();
    ASSERT_TRUE(engine.running());
    DrawingWindow* window = DrawingWindow::of(*engine.running());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible()) << "an insertion shows the drawing";
    EXPECT_EQ(mainStatus(), "Drawing: Site.dxf");

    // Open Drawing while the insertion is not written yet: it is written to
    // its own drawing first, and everything follows the new one at once.
    const QString other = work.filePath(QStringLiteral("text_alignments.dxf"));
    writeAll(other, DxfDrawing::createNew().toBytes());
    prompts.answerFile(other);
    window->openDrawing();
    EXPECT_EQ(mainStatus(), "Drawing: text_alignments.dxf");
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(other));
    EXPECT_EQ(window->statusBar()->currentMessage(),
              QStringLiteral("Insertions now go into text_alignments.dxf."));
    EXPECT_EQ(insertsIn(drawing), 1);

    form->MSFlexGrid1->setMarked(1, true);
    prompts.answerMessage();
    form->cmdInsertSelected_Click();
    ASSERT_TRUE(engine.running()->flush());
    EXPECT_EQ(insertsIn(other), 1);
    EXPECT_EQ(insertsIn(drawing), 1) << "the drawing before keeps its point and gets no other";

    // New Drawing: the first free DrawingN.dxf beside it, named at once.
    window->newDrawing();
    EXPECT_EQ(mainStatus(), "Drawing: Drawing1.dxf");
    prompts.answerMessage();
    form->cmdInsertLine_Click(); // one marked row: no line, and the drawing is not contacted
    EXPECT_EQ(prompts.messages().last(),
              QStringLiteral("Only one point is selected. A line needs at least two selected points."));
    EXPECT_EQ(prompts.pending(), 0);
}

TEST_F(DrawingFollowTest, ShowDrawingStartsTheEngineAndShowsTheWindowWithoutInserting) {
    load("Name", "Flag", "0", true);
    EXPECT_FALSE(engine.running());
    form->cmdShowDrawing_Click();
    ASSERT_TRUE(engine.running());
    DrawingWindow* window = DrawingWindow::of(*engine.running());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(drawing));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_FALSE(QFile::exists(drawing)) << "showing a drawing writes nothing";
    // Hidden by its close box, it comes back with the next Show Drawing.
    window->close();
    EXPECT_FALSE(window->isVisible());
    form->cmdShowDrawing_Click();
    EXPECT_TRUE(window->isVisible());
}
