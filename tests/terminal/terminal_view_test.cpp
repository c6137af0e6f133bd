#include "terminal/terminal_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <string>

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

    void Write(const std::string& text) {
        WriteToScreen(&view, text.data(), static_cast<std::int32_t>(text.size()));
    }
    // The pixels of cell (0, 0) as the user would see them.
    QImage Cell() {
        return view.viewport()
            ->grab(QRect(0, 0, state.charWidth, state.lineHeight))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    static int Inked(const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    ++n;
        return n;
    }
    // Inked pixels of a that are not inked in b.
    static int InkedOnlyIn(const QImage& a, const QImage& b) {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (qGray(a.pixel(x, y)) < 128 && qGray(b.pixel(x, y)) >= 128)
                    ++n;
        return n;
    }
    void Home() {
        state.row = 0;
        state.column = 0;
    }

    TtyState state;
    TerminalView view;
};

TEST_F(TerminalViewTest, TheFontIsFixedPitchAndSetsTheCell) {
    // Every glyph advances by one cell.
    const QFontMetrics metrics(view.TerminalFont());
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), state.charWidth);
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('W')), state.charWidth);
    EXPECT_GT(state.charWidth, 3);
    EXPECT_GT(state.lineHeight, state.charWidth);
    EXPECT_EQ(state.vScrollMax, 300 * state.lineHeight - view.viewport()->height());
}

// Overstruck art: a character written over another shows both until the
// area is repainted with erase.
TEST_F(TerminalViewTest, OverstrikeKeepsBothGlyphsUntilErased) {
    Write("O");
    const QImage o = Cell();
    Home();
    Write("/");
    const QImage both = Cell();
    ASSERT_GT(Inked(o), 0);

    TtyState fresh;
    TerminalView other;
    other.SetState(&fresh);
    ApplyFont(&other, &fresh);
    other.resize(400, 300);
    other.show();
    WriteToScreen(&other, "/", 1);
    const QImage slash = other.viewport()
                             ->grab(QRect(0, 0, fresh.charWidth, fresh.lineHeight))
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    other.SetState(nullptr);

    EXPECT_GT(InkedOnlyIn(o, slash), 0);
    EXPECT_EQ(InkedOnlyIn(o, both), 0) << "the O was erased";
    EXPECT_EQ(InkedOnlyIn(slash, both), 0) << "the slash was not drawn";
    EXPECT_EQ(state.screen[0], '/');  // the buffer keeps only the last byte

    view.resize(420, 300);  // a resize repaints with erase
    EXPECT_EQ(Cell(), slash);
}

TEST_F(TerminalViewTest, BytesAreDrawnAsCodePage437Glyphs) {
    Write("\xDB");  // full block
    const QImage block = Cell();
    EXPECT_GT(Inked(block), block.width() * block.height() * 6 / 10);
    view.resize(401, 300);
    Home();
    Write("\x01");  // smiling face
    EXPECT_GT(Inked(Cell()), 0);
}

TEST_F(TerminalViewTest, TheBottomShiftRepaintsEverything) {
    Write("O");
    Cell();
    Home();
    Write("/");
    Cell();
    state.row = 299;
    Write("\n");  // row 0 now holds what was row 1: blank
    EXPECT_EQ(Inked(Cell()), 0);
}

TEST_F(TerminalViewTest, BarsFollowTheRanges) {
    QScrollBar* v = view.verticalScrollBar();
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(v->maximum(), state.vScrollMax);

    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(state.vScrollPos, state.lineHeight);
    EXPECT_EQ(v->value(), state.lineHeight);
    v->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(state.vScrollPos, state.vScrollMax);
    v->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(state.vScrollPos, state.vScrollMax - state.clientHeight);

    // Dragging the thumb moves the view only when it is released.
    v->setSliderDown(true);
    v->setSliderPosition(100);
    EXPECT_EQ(state.vScrollPos, state.vScrollMax - state.clientHeight);
    v->setSliderDown(false);
    EXPECT_EQ(state.vScrollPos, 100);
    EXPECT_EQ(v->value(), 100);

    view.resize(100 * state.charWidth, 320 * state.lineHeight);
    QCoreApplication::processEvents();
    EXPECT_EQ(state.vScrollMax, 0);
    EXPECT_EQ(state.hScrollMax, 0);
    EXPECT_EQ(state.vScrollPos, 0);
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    EXPECT_EQ(state.clientHeight, view.viewport()->height());
    EXPECT_EQ(state.clientWidth, view.viewport()->width());
}

TEST_F(TerminalViewTest, CaretIsABlockAtTheCursorWhileConnected) {
    ShowTerminalCaret(&view);
    EXPECT_FALSE(view.CaretExists());
    state.connected = 1;
    state.column = 2;
    state.row = 1;
    ShowTerminalCaret(&view);
    ASSERT_TRUE(view.CaretExists());
    EXPECT_EQ(view.CaretRect(),
              QRect(2 * state.charWidth, state.lineHeight, state.charWidth, state.lineHeight));
    HideTerminalCaret(&view);
    EXPECT_FALSE(view.CaretExists());
    state.connected = 0;
}

}  // namespace
}  // namespace tavirel
