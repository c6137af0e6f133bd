// The screen on any received bytes, in writes cut anywhere: the cursor, each
// cell written and the scroll positions stay on the 80 x 300 screen, and each
// cell's strikes stay distinct, few and never a space.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/pieces.h"
#include "terminal/screen.h"

namespace tavirel::fuzz {
namespace {

constexpr int kCell = 8;  // cell width; lines are twice as high

// A window without a toolkit that checks what the screen logic hands it.
struct Window : ScreenWindow {
    ScreenState state;
    ScreenState* State() override { return &state; }
    bool Connected() override { return true; }  // so the caret follows the cursor
    void Beep() override {}
    void Invalidate(const PixelRect* r, bool) override {
        if (r == nullptr)
            return;
        const int x = r->left + state.hScrollPos, y = r->top + state.vScrollPos;
        Check(x >= 0 && x < kScreenColumns * kCell && y >= 0 && y < kScreenRows * 2 * kCell);
    }
    void ScrollContent(int, int) override {}
    void SetScrollPos(Axis axis, int pos, bool) override {
        Check(pos >= 0 && pos <= (axis == Axis::Vertical ? state.vScrollMax : state.hScrollMax));
    }
    void SetScrollRange(Axis, int, bool) override {}
    void CreateCaret(int, int) override {}
    void ShowCaret() override {}
    void HideCaret() override {}
    void DestroyCaret() override {}
    void SetCaretPos(int, int) override { CheckCursor(); }
    void CheckCursor() const {
        Check(state.row >= 0 && state.row < kScreenRows && state.column >= 0 &&
              state.column < kScreenColumns);
    }
};

// Every cell, each input: kept out of the coverage the fuzzer steers by, which
// it would otherwise dominate.
__attribute__((no_sanitize("coverage"))) void CheckStrikes(const ScreenBuffer& s) {
    for (int row = 0; row < kScreenRows; ++row) {
        for (int column = 0; column < kScreenColumns; ++column) {
            const ScreenStrikes::Cell& cell = s.strikes.At(row, column);
            Check(cell.count <= kEarlierStrikes);
            const auto first = cell.bytes.begin(), end = first + cell.count;
            for (auto b = first; b != end; ++b)
                Check(*b != ' ' && std::find(first, b, *b) == b);
        }
    }
}

}  // namespace
}  // namespace tavirel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavirel;
    using namespace tavirel::fuzz;
    FuzzedDataProvider options(data, size);
    Window window;
    ScreenState& s = window.state;
    s.charWidth = kCell;
    s.lineHeight = 2 * kCell;
    s.autoWrap = options.ConsumeBool();
    s.newLine = options.ConsumeBool();
    s.caretShown = 1;
    SizeTerminal(&window, options.ConsumeIntegral<std::uint16_t>(),
                 options.ConsumeIntegral<std::uint16_t>());
    const std::size_t used = size - options.remaining_bytes();
    const Pieces pieces = SplitInput(data, size - used);
    ForEachPiece(pieces, [&](const std::vector<std::uint8_t>& piece) {
        WriteToScreen(&window, reinterpret_cast<const char*>(piece.data()),
                      static_cast<std::int32_t>(piece.size()));
        window.CheckCursor();
    });
    CheckStrikes(s);
    return 0;
}
