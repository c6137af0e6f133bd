// Line pacing, stopping, receiving and idling, on a real pseudo-terminal; the
// writer's CPU while a fake port holds its output.
// Run: build/bench/bench/tavirel_link_bench [held]   (about 25 s; "held": 3 s)
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "link/connection.h"
#include "link/line_settings.h"
#include "link/port_io.h"
#include "link/write_queue.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"
#include "tests/support/pty_port.h"

using namespace std::chrono;
using namespace tavirel;
using bench::CpuSeconds;

namespace {

// Bytes from the far end, each with the time it arrived.
std::vector<steady_clock::time_point> Arrivals(int master, std::size_t n, milliseconds limit) {
    std::vector<steady_clock::time_point> at;
    const auto end = steady_clock::now() + limit;
    while (at.size() < n && steady_clock::now() < end) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        std::uint8_t buf[256];
        const ssize_t r = read(master, buf, sizeof buf);
        for (ssize_t i = 0; i < r; ++i)
            at.push_back(steady_clock::now());
    }
    return at;
}

struct Connected {
    test::PtyLine line;
    TtyState state;
    test::FakeWindow window{&state};
    explicit Connected(CodeModeValue mode) {
        CodeMode = mode;
        CreateLinkEvents(state);
        if (!line.ok() || OpenConnection(&window) == 0) {
            std::fprintf(stderr, "cannot open the pseudo-terminal line\n");
            std::exit(1);
        }
    }
    ~Connected() { CloseConnection(&window); }
};

void Pacing() {
    Connected c(ModeAscii);  // 45 baud, 5 data bits, 1.5 stop bits
    const std::uint8_t byte = 'R';
    const auto start = steady_clock::now();
    for (int i = 0; i < 60; ++i)
        WriteCommBlock(&c.window, &byte, 1);
    const auto at = Arrivals(c.line.master(), 60, 15s);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < at.size(); ++i)
        gaps.push_back(duration<double, std::milli>(at[i] - at[i - 1]).count());
    if (gaps.empty())
        return;
    double sum = 0;
    for (double g : gaps)
        sum += g;
    // The whole send: from the first write to the end of the last character.
    const double total = duration<double, std::milli>(at.back() - start).count() + 166.67;
    std::printf(
        "pacing: %zu bytes, gap mean %.2f ms, min %.2f, max %.2f; whole send %.1f ms "
        "(line limit 60 x 166.67 = 10000.0 ms, off by %+.2f %%)\n",
        at.size(), sum / static_cast<double>(gaps.size()),
        *std::min_element(gaps.begin(), gaps.end()), *std::max_element(gaps.begin(), gaps.end()),
        total, (total - 10000.0) / 100.0);
}

void Stop() {
    Connected c(ModeAscii);
    const std::uint8_t byte = 'S';
    for (int i = 0; i < 20; ++i)
        WriteCommBlock(&c.window, &byte, 1);
    Arrivals(c.line.master(), 3, 2s);
    const auto purge = steady_clock::now();
    c.state.writer->Purge();
    const auto after = Arrivals(c.line.master(), 20, 1s);
    const double last =
        after.empty() ? 0.0 : duration<double, std::milli>(after.back() - purge).count();
    std::printf(
        "stop: %zu bytes after the purge, the last %.2f ms after it "
        "(one character is 166.67 ms)\n",
        after.size(), last);
}

void Receive() {
    Connected c(ModeAscii);
    constexpr std::size_t kSize = 1 << 20;
    const pid_t child = fork();
    if (child == 0) {
        std::vector<std::uint8_t> data(kSize);
        for (std::size_t i = 0; i < kSize; ++i)
            data[i] = static_cast<std::uint8_t>(i % 251);
        std::size_t at = 0;
        while (at < kSize) {
            pollfd p{c.line.master(), POLLOUT, 0};
            poll(&p, 1, 1000);
            const ssize_t w = write(c.line.master(), data.data() + at, kSize - at);
            if (w > 0)
                at += static_cast<std::size_t>(w);
        }
        _exit(0);
    }
    const double cpu0 = CpuSeconds();
    const auto start = steady_clock::now();
    const bool all = c.window.WaitReceived(kSize, 60s);
    const double seconds = duration<double>(steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpu0;
    waitpid(child, nullptr, 0);
    const std::string got = c.window.ReceivedText();
    bool inOrder = got.size() == kSize;
    for (std::size_t i = 0; inOrder && i < kSize; ++i)
        inOrder = static_cast<std::uint8_t>(got[i]) == i % 251;
    std::printf("receive: %zu of %zu bytes, %s, in %.3f s = %.1f MiB/s, program CPU %.3f s\n",
                got.size(), kSize, all && inOrder ? "complete and in order" : "INCOMPLETE", seconds,
                static_cast<double>(kSize) / seconds / (1 << 20), cpu);
}

void Idle() {
    Connected c(ModeBaudot);
    std::this_thread::sleep_for(100ms);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double cpu0 = CpuSeconds();
    std::this_thread::sleep_for(10s);
    const double cpu = CpuSeconds() - cpu0;
    getrusage(RUSAGE_SELF, &after);
    std::printf(
        "idle: 10 s connected, CPU %.6f s, context switches %ld (this thread's own "
        "sleep is one)\n",
        cpu, (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw));
}

double RusageSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(r.ru_utime) + seconds(r.ru_stime);
}

// The writer with writes queued while the port will not let them go: the
// driver holds what it took (XOFF), or CTS is low. Only the writer runs
// meanwhile, so the process's CPU time is its own.
void Held() {
    const std::pair<bool, std::uint32_t> cases[] = {
        {false, 45}, {false, 9600}, {false, 115200}, {true, 45}};
    for (const auto& [flow, baud] : cases) {
        TtyState state;
        state.baudRate = baud;
        test::FakeWindow window{&state};
        CreateLinkEvents(state);
        auto owned = std::make_unique<test::FakePort>();
        test::FakePort* port = owned.get();
        state.commHandle = std::move(owned);
        state.connected = 1;
        if (flow) {
            state.flowControl = kFlowRtsCts;
            port->SetInputLines(false, true);
        } else {
            port->HoldOutput(true);
        }
        port->Apply(PlanLine(state, ModeBaudot));
        state.writer = std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent, 0,
                                                    CharacterTime(state));
        const std::uint8_t bytes[10] = {3, 25, 14, 9, 1, 13, 26, 20, 6, 11};
        for (const std::uint8_t b : bytes)
            WriteCommBlock(&window, &b, 1);
        std::this_thread::sleep_for(300ms);  // past the first character's line time
        const double cpu0 = RusageSeconds();
        const int looks0 = flow ? port->ModemLineReads() : port->OutputQueuedCalls();
        std::this_thread::sleep_for(1s);
        const double cpu = RusageSeconds() - cpu0;
        const int looks = (flow ? port->ModemLineReads() : port->OutputQueuedCalls()) - looks0;
        std::printf("held (%s, %u baud): writer CPU %.2f ms in 1 s, %d looks at the port\n",
                    flow ? "CTS low" : "driver holds output", baud, cpu * 1000, looks);
        state.writer.reset();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool heldOnly = argc > 1 && std::string_view(argv[1]) == "held";
    if (!heldOnly) {
        Pacing();
        Stop();
        Receive();
        Idle();
    }
    Held();
    return 0;
}
