// WriteToScreen throughput: the buffer alone, and with the view attached and
// painting (offscreen); and the cost of repainting the whole view.
// Run: build-bench/bench/tavirel_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "terminal/terminal_view.h"

namespace {

using namespace tavirel;

class NullWindow : public ScreenWindow {
  public:
    explicit NullWindow(ScreenState* s) : state_(s) {
        s->charWidth = 8;
        s->lineHeight = 16;
    }
    ScreenState* State() override { return state_; }
    bool Connected() override { return false; }
    void Beep() override {}
    void Invalidate(const PixelRect*, bool) override {}
    void ScrollContent(int, int) override {}
    void SetScrollPos(Axis, int, bool) override {}
    void SetScrollRange(Axis, int, bool) override {}
    void CreateCaret(int, int) override {}
    void ShowCaret() override {}
    void HideCaret() override {}
    void DestroyCaret() override {}
    void SetCaretPos(int, int) override {}

  private:
    ScreenState* state_;
};

constexpr std::size_t kMiB = 1024 * 1024;

// Teleprinter-like traffic: 80-byte lines, 78 characters and CR LF.
std::string Traffic(std::size_t bytes) {
    static const std::string line =
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 RYRYRYRYRYRYRYRYRYRYRY.\r\n";
    std::string s;
    while (s.size() < bytes)
        s += line;
    s.resize(bytes);
    return s;
}

// Overstruck art: every line printed twice over itself, as pictures are.
std::string Art(std::size_t bytes) {
    static const std::string line =
        "  ..--,,;;IIXX##XXII;;,,--..  ..--,,;;IIXX##XXII;;,,--..  ..--,,;;IIXX##XX\r"
        "  ''==::!!llVV@@VVll!!::==''  ''==::!!llVV@@VVll!!::==''  ''==::!!llVV@@VV\r\n";
    std::string s;
    while (s.size() < bytes)
        s += line;
    s.resize(bytes);
    return s;
}

// 1 MiB per iteration; after the first 300 lines every line feed shifts the
// buffer.
void BM_WriteToScreenBuffer(benchmark::State& st) {
    ScreenState state;
    NullWindow window(&state);
    SizeTerminal(&window, 400, 640);
    const std::string text = st.range(0) ? Art(kMiB) : Traffic(kMiB);
    for (auto _ : st) {
        WriteToScreen(&window, text.data(), static_cast<std::int32_t>(text.size()));
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(text.size()));
    st.SetLabel(st.range(0) ? "overstruck art" : "text");
}
BENCHMARK(BM_WriteToScreenBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

struct ShownView {
    ShownView() {
        view.SetState(&state);
        ApplyFont(&view, &state);
        view.resize(view.sizeHint());
        view.show();
        QApplication::processEvents();
    }
    ~ShownView() { view.SetState(nullptr); }
    TtyState state;
    TerminalView view;
};

// 1 MiB per iteration, in blocks of the given size, one event-loop pass
// after each, as the window receives a flood; shown whole at the end.
void BM_WriteToScreenView(benchmark::State& st) {
    ShownView shown;
    const std::string text = Traffic(kMiB);
    const auto block = static_cast<std::size_t>(st.range(0));
    for (auto _ : st) {
        for (std::size_t at = 0; at < text.size(); at += block) {
            WriteToScreen(&shown.view, text.data() + at,
                          static_cast<std::int32_t>(std::min(block, text.size() - at)));
            QApplication::processEvents();
        }
        shown.view.UpdateNow();
    }
    st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_WriteToScreenView)->Arg(80)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

// One whole repaint of a default-sized view full of overstruck cells: the
// most a frame costs.
void BM_RepaintWholeView(benchmark::State& st) {
    ShownView shown;
    const std::string art = Art(64 * 1024);
    WriteToScreen(&shown.view, art.data(), static_cast<std::int32_t>(art.size()));
    shown.view.UpdateNow();
    for (auto _ : st) {
        shown.view.Invalidate(nullptr, true);
        shown.view.UpdateNow();
    }
}
BENCHMARK(BM_RepaintWholeView)->Unit(benchmark::kMicrosecond);

}  // namespace
