#include "terminal/terminal_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <cstring>

namespace tavirel {
namespace {

class TerminalViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.SetState(&state);
        ApplyFont(&view, &state);
        view.resize(400, 300);
        view.show();
    }
    void TearDown() override { view.SetState(nullptr); }

    void WriteAt(int column, const char* text) {
        state.row = 0;
        state.column = column;
        WriteToScreen(&view, text, static_cast<std::int32_t>(std::strlen(text)));
    }
    // The pixels of a cell in row 0 as the user sees them.
    QImage Cell(int column) {
        const QRect r(column * state.charWidth, 0, state.charWidth, state.lineHeight);
        return view.viewport()->grab(r).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Dark pixels of a, or of a that are light in b.
    static int Inked(const QImage& a, const QImage* b = nullptr) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += qGray(a.pixel(x, y)) < 128 && (!b || qGray(b->pixel(x, y)) >= 128);
        return n;
    }

    TtyState state;
    TerminalView view;
};

TEST_F(TerminalViewTest, GlyphsFillTheirCellsAndOverstrikeUntilErased) {
    EXPECT_EQ(QFontMetrics(view.TerminalFont()).horizontalAdvance(QLatin1Char('i')),
              state.charWidth);
    WriteAt(2, "\xDB");  // code page 437's full block
    const QImage block = Cell(2);
    EXPECT_GT(Inked(block), block.width() * block.height() * 6 / 10);

    WriteAt(0, "O");
    const QImage o = Cell(0);
    WriteAt(0, "/");
    const QImage both = Cell(0);
    WriteAt(1, "/");
    const QImage slash = Cell(1);
    EXPECT_GT(Inked(o, &slash), 0);
    EXPECT_EQ(Inked(o, &both), 0) << "the O was erased";
    EXPECT_EQ(Inked(slash, &both), 0) << "the slash was not drawn";

    // Taller than the buffer: a resize repaints with erase, and no scrolling
    // moves the pixels when the bottom shift brings a blank row 0.
    view.resize(420, 310 * state.lineHeight);
    EXPECT_EQ(Cell(0), slash);
    state.row = 299;
    WriteToScreen(&view, "\n", 1);
    EXPECT_EQ(Inked(Cell(0)), 0);
}

TEST_F(TerminalViewTest, BarsFollowTheRanges) {
    QScrollBar* v = view.verticalScrollBar();
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(v->maximum(), 300 * state.lineHeight - view.viewport()->height());
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(state.vScrollPos, state.lineHeight);
    // Dragging the thumb moves the view only when it is released.
    v->setSliderDown(true);
    v->setSliderPosition(100);
    EXPECT_EQ(state.vScrollPos, state.lineHeight);
    v->setSliderDown(false);
    EXPECT_EQ(state.vScrollPos, 100);
    EXPECT_EQ(v->value(), 100);

    view.resize(100 * state.charWidth, 320 * state.lineHeight);
    QCoreApplication::processEvents();
    EXPECT_EQ(state.vScrollMax + state.hScrollMax + state.vScrollPos, 0);
    EXPECT_FALSE(v->isVisible());
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
}

TEST_F(TerminalViewTest, CaretIsABlockAtTheCursor) {
    state.connected = 1;
    state.column = 2;
    state.row = 1;
    ShowTerminalCaret(&view);
    ASSERT_TRUE(view.CaretExists());
    EXPECT_EQ(view.CaretRect(),
              QRect(2 * state.charWidth, state.lineHeight, state.charWidth, state.lineHeight));
    HideTerminalCaret(&view);
    EXPECT_FALSE(view.CaretExists());
}

}  // namespace
}  // namespace tavirel
