// WriteToScreen throughput: the buffer alone, and with the view attached and
// painting (offscreen). Run: build-bench/bench/tavirel_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "terminal/terminal_view.h"

namespace {

using namespace tavirel;

class NullWindow : public ScreenWindow {
  public:
    explicit NullWindow(TtyState* s) : state_(s) {
        s->charWidth = 8;
        s->lineHeight = 16;
    }
    TtyState* State() override { return state_; }
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
    TtyState* state_;
};

// Teleprinter-like traffic: 72-column lines of text ending in CR LF.
std::string Traffic(std::size_t bytes) {
    static const std::string line =
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 RYRYRYRYRYRYRYRY.\r\n";
    std::string s;
    while (s.size() < bytes)
        s += line;
    s.resize(bytes);
    return s;
}

void BM_WriteToScreenBuffer(benchmark::State& st) {
    TtyState state;
    NullWindow window(&state);
    SizeTerminal(&window, 400, 640);
    const std::string text = Traffic(64 * 1024);
    for (auto _ : st) {
        WriteToScreen(&window, text.data(), static_cast<std::int32_t>(text.size()));
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_WriteToScreenBuffer);

// Blocks of the reader's size, each written and then painted, as a fast line
// delivers them.
void BM_WriteToScreenView(benchmark::State& st) {
    TtyState state;
    TerminalView view;
    view.SetState(&state);
    ApplyFont(&view, &state);
    view.resize(view.sizeHint());
    view.show();
    QApplication::processEvents();
    const std::string text = Traffic(80 * 1024);
    const auto block = static_cast<std::size_t>(st.range(0));
    std::size_t at = 0;
    for (auto _ : st) {
        if (at + block > text.size())
            at = 0;
        WriteToScreen(&view, text.data() + at, static_cast<std::int32_t>(block));
        at += block;
        QApplication::processEvents();
    }
    st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(block));
    view.SetState(nullptr);
}
BENCHMARK(BM_WriteToScreenView)->Arg(1)->Arg(80);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
