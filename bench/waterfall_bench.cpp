// The waterfall's cost: the real main window with the sound card as its line
// and the waterfall shown, fed at the sound card's pace in 20 ms blocks as
// the line's audio thread feeds it, for a while. Measures the program's CPU
// (the feeding thread included), the window thread's alone, the rows drawn a
// second and how late a 10 ms timer in the window ever ran.
// Run: build/bench/tavirel_waterfall_bench [--seconds=20] [--rate=8000]
//        [--tone=HZ] [--noise=RMS] [--shot=FILE.png] [--hidden]
// Without --tone and --noise the input is digital silence; --tone keys a
// 45.45-baud signal (mark and space at 2125 and 2295 Hz) when HZ is 0.
// --hidden leaves a serial port as the line, so the panel stays hidden: the
// window's cost without it.
#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/sound_monitor.h"
#include "bench/bench_support.h"
#include "link/line_settings.h"
#include "terminal/main_window.h"

using namespace tavirel;

namespace {

double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Option(int argc, char** argv, const char* name, double fallback) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind(prefix, 0) == 0)
            return std::atof(argv[i] + prefix.size());
    }
    return fallback;
}

std::string TextOption(int argc, char** argv, const char* name) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind(prefix, 0) == 0)
            return argv[i] + prefix.size();
    }
    return {};
}

// What the line's audio thread would push: silence, a steady tone, or random
// characters keyed between mark and space, with noise.
class Feeder {
  public:
    Feeder(double rate, double tone, double noise, bool keyed)
        : rate_(rate), tone_(tone), noise_(noise), keyed_(keyed), gauss_(0.0, noise) {}

    void Run(std::atomic<bool>& stop) {
        const auto block = static_cast<std::size_t>(rate_ / 50);
        std::vector<float> samples(block);
        auto next = std::chrono::steady_clock::now();
        TheSoundMonitor().running = true;
        while (!stop.load()) {
            for (float& s : samples)
                s = Next();
            TheSoundMonitor().PushInput(samples.data(), samples.size(), rate_);
            next += std::chrono::milliseconds(20);
            std::this_thread::sleep_until(next);
        }
        TheSoundMonitor().running = false;
    }

  private:
    float Next() {
        double hz = tone_;
        if (keyed_) {
            const double bit = rate_ / 45.45;
            if (++inBit_ >= bit) {
                inBit_ = 0;
                space_ = (random_() & 1) != 0;
            }
            hz = space_ ? 2295.0 : 2125.0;
        }
        phase_ += 2 * std::numbers::pi * hz / rate_;
        const double tone = hz > 0 ? 0.25 * std::sin(phase_) : 0.0;
        return static_cast<float>(tone + (noise_ > 0 ? gauss_(random_) : 0.0));
    }

    double rate_, tone_, noise_;
    bool keyed_;
    std::mt19937 random_{1};
    std::normal_distribution<double> gauss_;
    double phase_ = 0, inBit_ = 0;
    bool space_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const double seconds = Option(argc, argv, "seconds", 20);
    const double rate = Option(argc, argv, "rate", 8000);
    const double tone = Option(argc, argv, "tone", -1);
    const double noise = Option(argc, argv, "noise", 0);
    const std::string shot = TextOption(argc, argv, "shot");

    const auto window = MainWindow::Create();
    if (!window)
        return 1;
    const bool hidden = std::any_of(argv + 1, argv + argc,
                                    [](const char* a) { return std::string(a) == "--hidden"; });
    window->State()->portNumber = hidden ? 3 : kSoundCardPort;
    window->LineSettingsChanged();
    window->show();

    Feeder feeder(rate, std::max(0.0, tone), noise, tone == 0);
    std::atomic<bool> stop{false};
    std::thread feeding([&] { feeder.Run(stop); });
    // Quitting the application would ask to close the window: a loop of its own.
    const auto run = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    // A second to settle: the window's first paints and the first rows.
    run(1000);

    const bench::Lateness lateness;
    const double cpu0 = bench::CpuSeconds(), thread0 = ThreadCpuSeconds();
    const std::uint64_t rows0 = window->WaterfallPanel()->Rows();
    const auto start = std::chrono::steady_clock::now();
    run(static_cast<int>(seconds * 1000));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = bench::CpuSeconds() - cpu0, thread = ThreadCpuSeconds() - thread0;
    const std::uint64_t rows = window->WaterfallPanel()->Rows() - rows0;
    stop = true;
    feeding.join();

    std::printf("input: %s at %.0f Hz, %.1f s\n",
                tone < 0 && noise == 0 ? "silence"
                : tone == 0            ? "keyed 45.45-baud signal"
                : tone > 0             ? "steady tone"
                                       : "noise",
                rate, wall);
    std::printf("rows: %.1f a second\n", static_cast<double>(rows) / wall);
    std::printf("CPU: program %.2f %% of one core, window thread %.2f %%\n", 100 * cpu / wall,
                100 * thread / wall);
    std::printf("window thread's worst lateness: %lld ms\n",
                static_cast<long long>(lateness.Worst()));
    if (!shot.empty() && !window->grab().save(QString::fromStdString(shot)))
        std::fprintf(stderr, "could not write %s\n", shot.c_str());
    window->State()->portNumber = 3;
    return 0;
}
