#include "terminal/screen.h"

#include <gtest/gtest.h>

namespace tavirel {
namespace {

// Without trailing blanks.
std::string Row(const ScreenBuffer& buffer, int r) {
    const auto first = buffer.screen.begin() + r * kScreenColumns;
    const std::string row(first, first + kScreenColumns);
    return row.substr(0, row.find_last_not_of(' ') + 1);
}

// What a cell shows, oldest strike first.
std::string Strikes(const ScreenBuffer& buffer, int r, int c) {
    std::string out;
    ForEachStrike(buffer, r, c, [&](std::uint8_t b) { out += char(b); });
    return out;
}

// Overstrikes stay in the buffer: a space strikes nothing, a repeated
// character adds no shape, and a full cell keeps its first strikes.
TEST(ScreenBufferTest, ControlBytesMoveTheCursorAndCellsKeepWhatWasStruck) {
    const std::string full(80, 'X');
    // autoWrap, newLine, input, row, column, row 0 after it, its cells 0 and 1
    const std::tuple<int, int, std::string, int, int, std::string, std::string, std::string>
        cases[] = {
            {1, 0, full, 1, 0, full, "X", "X"},
            {0, 0, full + "Y", 0, 79, full.substr(1) + "Y", "X", "X"},  // 81st replaces the 80th
            {1, 1, full, 2, 0, full, "X", "X"},                         // the wrap feeds two rows
            {1, 1, "AB\r", 1, 0, "AB", "A", "B"},
            {1, 1, "AB\r\n", 2, 0, "AB", "A", "B"},
            {1, 0, "AB\r\n", 1, 0, "AB", "A", "B"},
            {1, 0, "\b", 0, 0, "", " ", " "},
            {1, 0, "ABC\b\b", 0, 1, "ABC", "A", "B"},  // no erase
            {1, 0, "AB\n", 1, 2, "AB", "A", "B"},      // LF keeps the column
            {1, 0, "AB\rCD", 0, 2, "CD", "AC", "BD"},
            {1, 0, "AB\r \r", 0, 0, " B", "A ", "B"},
            {1, 0, "X\rX\r", 0, 0, "X", "X", " "},
            {1, 0, "X\rY\rX", 0, 1, "X", "YX", " "},
            {1, 0, "ABC\b\bZ", 0, 2, "AZC", "A", "BZ"},
            {1, 0, "0\r1\r2\r3\r4\r5\r6\r7\r8\r9", 0, 1, "9", "01234569", " "},
        };
    for (const auto& [autoWrap, newLine, input, row, column, row0, cell0, cell1] : cases) {
        ScreenBuffer buffer;
        buffer.autoWrap = autoWrap;
        buffer.newLine = newLine;
        buffer.Write(input);
        SCOPED_TRACE(testing::PrintToString(input));
        EXPECT_EQ(std::pair(buffer.row, buffer.column), std::pair(row, column));
        EXPECT_EQ(Row(buffer, 0), row0);
        EXPECT_EQ(Row(buffer, 1), "");
        EXPECT_EQ(std::pair(Strikes(buffer, 0, 0), Strikes(buffer, 0, 1)), std::pair(cell0, cell1));
    }
}

// Records what the screen logic asks of its window; cells are 8 x 16.
struct Win : ScreenWindow {
    explicit Win(ScreenState* s) : state(s) {
        s->charWidth = 8;
        s->lineHeight = 16;
    }
    ScreenState* State() override { return state; }
    bool Connected() override { return connected; }
    void Beep() override { ++beeps; }
    void Invalidate(const PixelRect* rect, bool erase) override {
        if (rect != nullptr)
            cells.push_back(*rect);
        erases += erase;
        wholeErases += erase && rect == nullptr;
    }
    void ScrollContent(int dx, int dy) override { scrolls.emplace_back(dx, dy); }
    void SetScrollPos(Axis a, int pos, bool) override { barPos[a == Axis::Vertical] = pos; }
    void SetScrollRange(Axis a, int max, bool) override { barMax[a == Axis::Vertical] = max; }
    void CreateCaret(int, int) override { ++caretsMade; }
    void ShowCaret() override {}
    void HideCaret() override {}
    void DestroyCaret() override {}
    void SetCaretPos(int x, int y) override { caretAt = {x, y}; }

    void Write(const std::string& t) { WriteToScreen(this, t.data(), std::int32_t(t.size())); }

    ScreenState* state;
    bool connected = false;
    int beeps = 0, erases = 0, wholeErases = 0, caretsMade = 0;
    std::vector<PixelRect> cells;
    std::vector<std::pair<int, int>> scrolls;
    int barPos[2] = {-1, -1}, barMax[2] = {-1, -1};  // [0] horizontal, [1] vertical
    std::pair<int, int> caretAt{-1, -1};
};

struct ScreenTest : testing::Test {
    ScreenState state;
    Win win{&state};
};

// Bytes marking only their cells, then resizes, the caret and a missing record.
TEST_F(ScreenTest, StoresEveryOtherByteRingsForBelResizesAndKeepsTheCaretWhileConnected) {
    std::string bytes(1, '\0');
    for (int b = 128; b < 256; ++b)
        bytes += char(b);
    win.Write(bytes);
    EXPECT_EQ(std::string(state.screen.begin(), state.screen.begin() + 129), bytes);
    EXPECT_EQ(WriteToScreen(&win, "abc", 0) + WriteToScreen(&win, "abc", -5), 2);
    EXPECT_EQ(Row(state, 1).size(), 49u);

    state.vScrollPos = 32;
    state.hScrollPos = 8;
    state.row = 3;
    state.column = 5;
    win.cells.clear();
    win.Write("Q");
    ASSERT_EQ(win.cells.size(), 1u);
    const PixelRect r = win.cells[0];
    EXPECT_EQ(std::vector({r.left, r.top, r.right, r.bottom}), std::vector({32, 16, 40, 32}));
    EXPECT_EQ(win.erases, 0);
    win.Write("\a");
    EXPECT_EQ(std::pair(win.beeps, win.cells.size()), std::pair(1, std::size_t{1}));

    SizeTerminal(&win, 400, 300);
    state.vScrollPos = 4400;
    state.hScrollPos = 340;
    SizeTerminal(&win, 800, 400);
    EXPECT_EQ(std::vector({state.vScrollMax, state.vScrollPos, state.hScrollPos}),
              std::vector({4000, 4000, 240}));
    EXPECT_EQ(win.scrolls, (std::vector<std::pair<int, int>>{{0, 400}, {100, 0}}));

    SizeTerminal(&win, 5000, 700);  // larger than the whole buffer
    EXPECT_EQ(std::vector({state.vScrollMax, state.hScrollMax, state.vScrollPos, state.hScrollPos,
                           win.barMax[0], win.barMax[1]}),
              std::vector(6, 0));

    ShowTerminalCaret(&win);
    EXPECT_EQ(win.caretsMade, 0);
    win.connected = true;
    state.row = 2;
    state.column = 3;
    ShowTerminalCaret(&win);
    ShowTerminalCaret(&win);
    EXPECT_EQ(win.caretsMade, 1);
    EXPECT_EQ(win.caretAt, std::pair(24, 32));
    win.Write("\b");
    EXPECT_EQ(win.caretAt, std::pair(16, 32));

    win.state = nullptr;
    EXPECT_EQ(WriteToScreen(&win, "abc", 3) + SizeTerminal(&win, 10, 10) +
                  ScrollTerminalVert(&win, SbLineDown, 0) + ShowTerminalCaret(&win) +
                  HideTerminalCaret(&win) + WriteToScreen(nullptr, "abc", 3),
              0);
}

// The view follows from the 26th line feed; at row 299 the buffer shifts up,
// strikes and all, under a cursor that stays.
TEST_F(ScreenTest, LineFeedsMoveTheViewThenTheBufferWithItsStrikes) {
    SizeTerminal(&win, 400, 640);
    win.Write("top\r\nsecond" + std::string(24, '\n'));
    EXPECT_EQ(state.vScrollPos, 0);
    win.Write("\n\rE\rs");  // strikes on row 26 and row 1
    EXPECT_EQ(state.vScrollPos, 16);
    state.row = 1;
    win.Write("\rS");
    state.row = 299;
    state.column = 0;
    win.wholeErases = 0;
    win.Write("bottom\rB\n");
    EXPECT_EQ(std::pair(state.row, state.column), std::pair(299, 1));
    EXPECT_EQ(win.wholeErases, 1);
    EXPECT_EQ(Row(state, 0) + "|" + Row(state, 298) + "|" + Row(state, 299), "Second|Bottom|");
    EXPECT_EQ(Strikes(state, 0, 0) + Strikes(state, 25, 0) + Strikes(state, 298, 0), "sSEsbB");
    win.Write(std::string(300, '\n'));
    EXPECT_EQ(state.vScrollPos, 4400);
    EXPECT_EQ(Strikes(state, 298, 0) + Strikes(state, 0, 0), "  ");
}

TEST(ScreenScrollTest, StepsAreClampedToTheRange) {
    constexpr auto V = Axis::Vertical, H = Axis::Horizontal;
    // Client 400 x 300: ranges 4400 and 340. Axis, start, code, position, result, end.
    const std::tuple<Axis, int, std::uint16_t, int, int, int> cases[] = {
        {V, 4300, SbPageDown, 0, 1, 4400},      {V, 0, SbLineUp, 0, 1, 0},
        {V, 0, SbThumbTrack, 1234, 0, 0},       {V, 0, SbEndScroll, 1234, 0, 0},
        {V, 0, SbThumbPosition, 1234, 1, 1234}, {V, 2000, SbTop, 0, 1, 0},
        {V, 0, SbBottom, 0, 1, 4400},           {H, 0, SbLineDown, 0, 1, 8},
        {H, 308, SbPageDown, 0, 1, 340}};
    for (const auto& [axis, start, code, position, result, end] : cases) {
        ScreenState state;
        Win win(&state);
        SizeTerminal(&win, 400, 300);
        const bool vert = axis == V;
        int& pos = vert ? state.vScrollPos : state.hScrollPos;
        pos = start;
        SCOPED_TRACE(testing::Message() << vert << " " << start << " " << code);
        EXPECT_EQ((vert ? ScrollTerminalVert : ScrollTerminalHorz)(&win, code, position), result);
        EXPECT_EQ(pos, end);
        // The content moves against the step taken.
        const auto moved = vert ? std::pair(0, start - end) : std::pair(start - end, 0);
        EXPECT_EQ(win.scrolls, (std::vector(result, moved)));
        EXPECT_EQ(win.barPos[vert], end);
    }
}

}  // namespace
}  // namespace tavirel
