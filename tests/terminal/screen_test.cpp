#include "terminal/screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavirel {
namespace {

// Records what the screen logic asks of its window.
class FakeWindow : public ScreenWindow {
  public:
    explicit FakeWindow(TtyState* s) : state(s) {
        state->charWidth = 8;
        state->lineHeight = 16;
    }
    TtyState* State() override { return state; }
    void Beep() override { ++beeps; }
    void Invalidate(const PixelRect* rect, bool erase) override {
        if (rect == nullptr) {
            (erase ? wholeErases : wholeNoErase)++;
        } else {
            cells.push_back(*rect);
            if (erase)
                ++cellErases;
        }
    }
    void ScrollContent(int dx, int dy) override { scrolls.push_back({dx, dy}); }
    void SetScrollPos(Axis a, int pos, bool) override {
        (a == Axis::Vertical ? vBarPos : hBarPos) = pos;
    }
    void SetScrollRange(Axis a, int max, bool) override {
        (a == Axis::Vertical ? vBarMax : hBarMax) = max;
    }
    void CreateCaret(int w, int h) override {
        ++caretsMade;
        caretW = w;
        caretH = h;
    }
    void ShowCaret() override { caretVisible = true; }
    void HideCaret() override { caretVisible = false; }
    void DestroyCaret() override { ++caretsDestroyed; }
    void SetCaretPos(int x, int y) override {
        caretX = x;
        caretY = y;
    }

    void Write(const std::string& text) {
        WriteToScreen(this, text.data(), static_cast<std::int32_t>(text.size()));
    }
    std::string Row(int r) const {
        return std::string(reinterpret_cast<const char*>(state->screen.data()) + r * 80, 80);
    }

    TtyState* state;
    int beeps = 0, wholeErases = 0, wholeNoErase = 0, cellErases = 0;
    std::vector<PixelRect> cells;
    struct Move {
        int dx, dy;
    };
    std::vector<Move> scrolls;
    int vBarPos = -1, hBarPos = -1, vBarMax = -1, hBarMax = -1;
    int caretsMade = 0, caretsDestroyed = 0, caretW = 0, caretH = 0, caretX = -1, caretY = -1;
    bool caretVisible = false;
};

class ScreenTest : public ::testing::Test {
  protected:
    TtyState state;
    FakeWindow win{&state};
};

TEST_F(ScreenTest, AutowrapFillsTheRowAndMovesToTheNext) {
    win.Write(std::string(80, 'X'));
    EXPECT_EQ(win.Row(0), std::string(80, 'X'));
    EXPECT_EQ(state.row, 1);
    EXPECT_EQ(state.column, 0);
    win.Write("\r\n");  // the wrap already moved down: one empty row follows
    EXPECT_EQ(state.row, 2);
    EXPECT_EQ(win.Row(1), std::string(80, ' '));
}

TEST_F(ScreenTest, WithoutAutowrapTheLastColumnIsOverwritten) {
    state.autoWrap = 0;
    win.Write(std::string(80, 'X') + "Y");
    EXPECT_EQ(state.row, 0);
    EXPECT_EQ(state.column, 79);
    EXPECT_EQ(win.Row(0), std::string(79, 'X') + "Y");
    win.Write("\bZ");  // BS leaves column 79 and the next byte lands in 78
    EXPECT_EQ(win.Row(0).substr(77), "XZY");
}

TEST_F(ScreenTest, NewLineMakesCarriageReturnFeedALine) {
    state.newLine = 1;
    win.Write("AB\r");
    EXPECT_EQ(state.row, 1);
    EXPECT_EQ(state.column, 0);
    win.Write("\r\n");  // CR LF advances two rows
    EXPECT_EQ(state.row, 3);
    win.Write(std::string(80, 'W'));  // a wrap with newLine advances two rows
    EXPECT_EQ(state.row, 5);
    EXPECT_EQ(state.column, 0);
}

TEST_F(ScreenTest, BackspaceLineFeedAndBell) {
    win.Write("\b");
    EXPECT_EQ(state.column, 0);
    win.Write("ABC\b\b");
    EXPECT_EQ(state.column, 1);
    EXPECT_EQ(win.Row(0).substr(0, 3), "ABC");  // BS does not erase
    win.Write("\n");
    EXPECT_EQ(state.row, 1);
    EXPECT_EQ(state.column, 1);  // LF keeps the column
    const auto before = state.screen;
    win.Write("\a");
    EXPECT_EQ(win.beeps, 1);
    EXPECT_EQ(state.screen, before);
    EXPECT_EQ(state.row, 1);
    EXPECT_EQ(state.column, 1);
}

TEST_F(ScreenTest, EveryOtherByteIsStoredAsItIs) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != 7 && b != 8 && b != 10 && b != 13)
            bytes.push_back(static_cast<char>(b));
    }
    state.autoWrap = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        state.column = 0;
        win.Write(bytes.substr(i, 1));
        EXPECT_EQ(state.screen[0], static_cast<std::uint8_t>(bytes[i])) << i;
    }
}

TEST_F(ScreenTest, AStoreMarksOnlyItsCellWithoutErase) {
    state.vScrollPos = 32;
    state.hScrollPos = 8;
    state.row = 3;
    state.column = 5;
    win.Write("Q");
    ASSERT_EQ(win.cells.size(), 1u);
    const PixelRect r = win.cells[0];
    EXPECT_EQ(r.left, 5 * 8 - 8);
    EXPECT_EQ(r.top, 3 * 16 - 32);
    EXPECT_EQ(r.right - r.left, 8);
    EXPECT_EQ(r.bottom - r.top, 16);
    EXPECT_EQ(win.cellErases, 0);
    EXPECT_EQ(win.wholeErases, 0);
}

TEST_F(ScreenTest, LineFeedOnTheLastRowShiftsTheBufferUp) {
    state.row = 0;
    win.Write("top");
    state.row = 1;
    state.column = 0;
    win.Write("second");
    state.row = 299;
    state.column = 0;
    win.Write("bottom");
    win.Write("\n");
    EXPECT_EQ(state.row, 299);
    EXPECT_EQ(state.column, 6);
    EXPECT_EQ(win.Row(0).substr(0, 6), "second");
    EXPECT_EQ(win.Row(298).substr(0, 6), "bottom");
    EXPECT_EQ(win.Row(299), std::string(80, ' '));
    EXPECT_EQ(win.wholeErases, 1);
}

TEST_F(ScreenTest, TheViewFollowsFromTheTwentySixthLineFeed) {
    SizeTerminal(&win, 400, 640);
    ASSERT_EQ(state.vScrollMax, 4400);
    for (int i = 0; i < 25; ++i)
        win.Write("\n");
    EXPECT_EQ(state.vScrollPos, 0);
    win.Write("\n");
    EXPECT_EQ(state.row, 26);
    EXPECT_EQ(state.vScrollPos, 16);
    for (int i = 0; i < 400; ++i)
        win.Write("\n");
    EXPECT_EQ(state.vScrollPos, 4400);  // stops at the range, cursor stays at the bottom
    EXPECT_EQ(state.row, 299);
}

TEST_F(ScreenTest, NothingWithoutARecordOrForAnEmptyWrite) {
    const auto before = state.screen;
    EXPECT_EQ(WriteToScreen(&win, "abc", 0), 1);
    EXPECT_EQ(WriteToScreen(&win, "abc", -5), 1);
    EXPECT_EQ(state.screen, before);
    EXPECT_EQ(state.column, 0);

    FakeWindow orphan(&state);
    orphan.state = nullptr;
    EXPECT_EQ(WriteToScreen(&orphan, "abc", 3), 0);
    EXPECT_EQ(SizeTerminal(&orphan, 10, 10), 0);
    EXPECT_EQ(ScrollTerminalVert(&orphan, SbLineDown, 0), 0);
    EXPECT_EQ(ShowTerminalCaret(&orphan), 0);
    EXPECT_EQ(HideTerminalCaret(&orphan), 0);
    EXPECT_EQ(MoveTerminalCaret(&orphan), 0);
    EXPECT_EQ(WriteToScreen(nullptr, "abc", 3), 0);
}

TEST_F(ScreenTest, ScrollArithmetic) {
    SizeTerminal(&win, 400, 300);
    EXPECT_EQ(state.vScrollMax, 4400);
    EXPECT_EQ(state.hScrollMax, 640 - 300);

    state.vScrollPos = 4300;
    win.scrolls.clear();
    EXPECT_EQ(ScrollTerminalVert(&win, SbPageDown, 0), 1);
    EXPECT_EQ(state.vScrollPos, 4400);
    ASSERT_EQ(win.scrolls.size(), 1u);
    EXPECT_EQ(win.scrolls[0].dy, -100);  // content moves up by the step taken
    EXPECT_EQ(win.vBarPos, 4400);

    state.vScrollPos = 0;
    EXPECT_EQ(ScrollTerminalVert(&win, SbLineUp, 0), 1);  // a zero step still goes through
    EXPECT_EQ(state.vScrollPos, 0);

    EXPECT_EQ(ScrollTerminalVert(&win, SbThumbTrack, 1234), 0);
    EXPECT_EQ(ScrollTerminalVert(&win, SbEndScroll, 1234), 0);
    EXPECT_EQ(ScrollTerminalVert(&win, 9, 1234), 0);
    EXPECT_EQ(state.vScrollPos, 0);
    EXPECT_EQ(ScrollTerminalVert(&win, SbThumbPosition, 1234), 1);
    EXPECT_EQ(state.vScrollPos, 1234);
    EXPECT_EQ(ScrollTerminalVert(&win, SbThumbPosition, 99999), 1);
    EXPECT_EQ(state.vScrollPos, 4400);
    EXPECT_EQ(ScrollTerminalVert(&win, SbTop, 0), 1);
    EXPECT_EQ(state.vScrollPos, 0);
    EXPECT_EQ(ScrollTerminalVert(&win, SbBottom, 0), 1);
    EXPECT_EQ(state.vScrollPos, 4400);
    EXPECT_EQ(ScrollTerminalVert(&win, SbPageUp, 0), 1);
    EXPECT_EQ(state.vScrollPos, 4000);

    EXPECT_EQ(ScrollTerminalHorz(&win, SbLineDown, 0), 1);
    EXPECT_EQ(state.hScrollPos, 8);
    EXPECT_EQ(win.scrolls.back().dx, -8);
    EXPECT_EQ(win.scrolls.back().dy, 0);
    EXPECT_EQ(ScrollTerminalHorz(&win, SbPageDown, 0), 1);
    EXPECT_EQ(state.hScrollPos, 308);
    EXPECT_EQ(ScrollTerminalHorz(&win, SbPageDown, 0), 1);
    EXPECT_EQ(state.hScrollPos, 340);
    EXPECT_EQ(ScrollTerminalHorz(&win, SbTop, 0), 1);
    EXPECT_EQ(state.hScrollPos, 0);
}

TEST_F(ScreenTest, ResizingClampsThePositionAndDropsTheBars) {
    SizeTerminal(&win, 400, 300);
    state.vScrollPos = 4400;
    state.hScrollPos = 340;
    win.scrolls.clear();
    SizeTerminal(&win, 800, 400);
    EXPECT_EQ(state.vScrollMax, 4000);
    EXPECT_EQ(state.vScrollPos, 4000);
    EXPECT_EQ(state.hScrollPos, 240);
    ASSERT_EQ(win.scrolls.size(), 2u);
    EXPECT_EQ(win.scrolls[0].dy, 400);  // the content moves down by what was removed
    EXPECT_EQ(win.scrolls[1].dx, 100);

    const int wholeBefore = win.wholeErases;
    SizeTerminal(&win, 5000, 700);  // larger than the whole buffer
    EXPECT_EQ(state.vScrollMax, 0);
    EXPECT_EQ(state.hScrollMax, 0);
    EXPECT_EQ(state.vScrollPos, 0);
    EXPECT_EQ(state.hScrollPos, 0);
    EXPECT_EQ(win.vBarMax, 0);
    EXPECT_EQ(win.hBarMax, 0);
    EXPECT_EQ(win.wholeErases, wholeBefore + 1);
}

TEST_F(ScreenTest, TheCaretLivesOnlyWhileConnected) {
    EXPECT_EQ(ShowTerminalCaret(&win), 1);
    EXPECT_EQ(win.caretsMade, 0);
    EXPECT_EQ(state.caretShown, 0);

    state.connected = 1;
    state.row = 2;
    state.column = 3;
    ShowTerminalCaret(&win);
    ShowTerminalCaret(&win);  // made once
    EXPECT_EQ(win.caretsMade, 1);
    EXPECT_EQ(win.caretW, 8);
    EXPECT_EQ(win.caretH, 16);
    EXPECT_EQ(win.caretX, 24);
    EXPECT_EQ(win.caretY, 32);
    win.Write("\b");
    EXPECT_EQ(win.caretX, 16);

    HideTerminalCaret(&win);
    EXPECT_EQ(win.caretsDestroyed, 1);
    EXPECT_EQ(state.caretShown, 0);

    ShowTerminalCaret(&win);
    state.connected = 0;
    HideTerminalCaret(&win);  // not connected: leaves the caret alone
    EXPECT_EQ(win.caretsDestroyed, 1);
    EXPECT_EQ(state.caretShown, 1);
}

TEST(PaintSpanTest, CellsUnderAnUpdateRectangle) {
    TtyState s;
    s.charWidth = 8;
    s.lineHeight = 16;
    s.vScrollPos = 20;
    s.hScrollPos = 4;
    PaintSpan p = CellsToPaint(s, {0, 0, 20, 16});
    EXPECT_EQ(p.firstRow, 1);  // 20 / 16
    EXPECT_EQ(p.lastRow, 2);   // 35 / 16
    EXPECT_EQ(p.firstColumn, 0);
    EXPECT_EQ(p.lastColumn, 2);  // 23 / 8
    p = CellsToPaint(s, {0, 0, 100000, 100000});
    EXPECT_EQ(p.lastRow, 299);
    EXPECT_EQ(p.lastColumn, 79);
}

}  // namespace
}  // namespace tavirel
