// Send File and Capture through the real window and dialogs (offscreen
// platform) on a pseudo-terminal.
//   send45 [chars]    a file of letters at 45 baud 5N1.5: line use and gaps
//   send9600 [bytes]  an ASCII file at 9600 baud 8N1 (default 64 KiB)
//   stop              Exit halfway through a send at 45 baud: bytes after it
//   capture [MiB]     a flood captured in ASCII and BAUDOT modes
// With no argument: stop and capture (send45 takes 100 s, send9600 70 s).
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench/tavirel_transfer_bench [mode [n]]
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "dialogs/capture_dialog.h"
#include "dialogs/message_box.h"
#include "dialogs/send_file_dialog.h"
#include "link/line_settings.h"
#include "link/transfer_state.h"
#include "resources/menu.h"
#include "terminal/main_window.h"
#include "tests/support/pty_port.h"

using namespace tavirel;
using bench::CpuSeconds;
using bench::Lateness;
using Steady = std::chrono::steady_clock;

namespace {

double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The far end of the line: every byte with the time it arrived.
class FarEnd {
  public:
    explicit FarEnd(int master) : master_(master), thread_([this] { Run(); }) {}
    ~FarEnd() {
        stop_ = true;
        thread_.join();
    }
    std::vector<Steady::time_point> Arrivals() {
        std::lock_guard lock(mutex_);
        return at_;
    }

  private:
    void Run() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            std::uint8_t buf[4096];
            const ssize_t r = read(master_, buf, sizeof buf);
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < r; ++i)
                at_.push_back(Steady::now());
        }
    }
    int master_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Steady::time_point> at_;
    std::thread thread_;
};

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Bench {
    test::PtyLine line;
    std::unique_ptr<MainWindow> window = MainWindow::Create();
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("tavirel-transfer-bench-" + std::to_string(getpid()));
    ~Bench() { std::filesystem::remove(file); }

    void Connect(CodeModeValue mode, std::uint32_t baud, std::uint8_t bits) {
        window->Command(CMD_DISCONNECT);
        TtyState* s = window->State();
        s->baudRate = baud;
        s->byteSize = bits;
        s->stopBits = bits == 5 ? 1 : 0;
        CodeMode = mode;
        window->Command(CMD_CONNECT);
        if (!s->connected.load()) {
            std::fprintf(stderr, "could not connect to the pseudo-terminal\n");
            std::exit(1);
        }
    }

    // Sends the file through the dialog; stopAfter > 0 presses Exit once
    // that many bytes have reached the far end. Returns when the send ended.
    std::vector<Steady::time_point> Send(std::size_t stopAfter, Steady::time_point* start,
                                         Steady::time_point* end, Steady::time_point* exitAt) {
        FarEnd far(line.master());
        SendFileDialog dialog(window.get(), window.get());
        QObject::connect(window.get(), &MainWindow::WriteDone, dialog.Dialog(),
                         [&](quint64 id, qint64 sent, int how) {
                             dialog.OnWriteDone(
                                 {id, static_cast<std::size_t>(sent), static_cast<WriteEnd>(how)});
                         });
        QEventLoop loop;
        SetMessageHandler([&](QWidget*, const QString&, const QString&, auto&&...) {
            *end = Steady::now();
            loop.quit();
            return IDOK;
        });
        QTimer watch;
        if (stopAfter > 0) {
            QObject::connect(&watch, &QTimer::timeout, [&] {
                if (far.Arrivals().size() >= stopAfter) {
                    watch.stop();
                    *exitAt = Steady::now();
                    dialog.Dialog()->Command(IDC_SEND_EXIT);
                }
            });
            watch.start(1);
        }
        dialog.Dialog()->SetItemText(IDC_SEND_NAME, QString::fromStdString(file.string()));
        *start = Steady::now();
        dialog.Dialog()->Command(IDC_SEND);
        loop.exec();
        Settle(1000);  // whatever still comes
        SetMessageHandler(nullptr);
        return far.Arrivals();
    }

    void WriteFile(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
};

void SendPaced(Bench& b, const char* name, CodeModeValue mode, std::uint32_t baud,
               std::uint8_t bits, std::size_t n) {
    b.Connect(mode, baud, bits);
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += "RY"[i % 2];
    b.WriteFile(text);
    const double charMs = Ms(CharacterTime(*b.window->State()));
    Steady::time_point start, end, exitAt;
    const auto at = b.Send(0, &start, &end, &exitAt);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < at.size(); ++i)
        gaps.push_back(Ms(at[i] - at[i - 1]));
    std::sort(gaps.begin(), gaps.end());
    const double total = Ms(end - start);
    std::printf(
        "%s: %zu characters, %zu codes in %.1f ms against the line's %zu x %.3f = %.1f ms: "
        "line use %.2f %%; gap median %.3f ms, max %.3f ms\n",
        name, n, at.size(), total, at.size(), charMs, static_cast<double>(at.size()) * charMs,
        100.0 * static_cast<double>(at.size()) * charMs / total,
        gaps.empty() ? 0 : gaps[gaps.size() / 2], gaps.empty() ? 0 : gaps.back());
}

void StopHalfway(Bench& b) {
    b.Connect(ModeBaudot, 45, 5);
    b.WriteFile(std::string(100, 'R'));
    Steady::time_point start, end, exitAt;
    const auto at = b.Send(10, &start, &end, &exitAt);
    const auto after = std::count_if(at.begin(), at.end(), [&](auto t) { return t > exitAt; });
    std::printf("stop at 45 baud: %zu bytes out, %ld after Exit; Task complete %.1f ms after it\n",
                at.size(), static_cast<long>(after), Ms(end - exitAt));
}

void Capture(Bench& b, CodeModeValue mode, std::size_t mib) {
    b.Connect(mode, 115200, 8);
    const std::size_t total = mib << 20;
    CaptureDialog dialog(b.window.get());
    dialog.Dialog()->show();
    dialog.Dialog()->SetItemText(IDC_CAPTURE_NAME, QString::fromStdString(b.file.string()));
    dialog.Dialog()->Command(IDC_START_CAPTURE);
    Lateness lateness;
    const double cpu0 = CpuSeconds();
    const auto start = Steady::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<std::uint8_t> data(total);
        for (std::size_t i = 0; i < total; ++i)
            data[i] =
                static_cast<std::uint8_t>(mode == ModeBaudot ? (i * 7) % 32 : i * 7 + i / 251);
        std::size_t done = 0;
        while (done < total) {
            const ssize_t w = write(b.line.master(), data.data() + done, total - done);
            if (w > 0)
                done += static_cast<std::size_t>(w);
            else if (w < 0 && errno != EINTR && errno != EAGAIN)
                _exit(1);
        }
        _exit(0);
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (static_cast<std::size_t>(Transfer().BytesRead()) >= total)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    const double seconds = Ms(Steady::now() - start) / 1000;
    dialog.Dialog()->Command(IDC_STOP_CAPTURE);
    const double cpu = CpuSeconds() - cpu0;
    waitpid(child, nullptr, 0);
    const auto size = std::filesystem::file_size(b.file);
    const TransferCounters shown{dialog.Dialog()->ItemText(IDC_BYTES_READ).toInt(),
                                 dialog.Dialog()->ItemText(IDC_BYTES_SAVED).toInt()};
    std::printf(
        "capture %s %zu MiB: %.3f s, CPU %.3f s, file %ju bytes, shown read %d saved %d, "
        "lost %jd; window timer late by at most %lld ms\n",
        mode == ModeBaudot ? "BAUDOT" : "ASCII", mib, seconds, cpu,
        static_cast<std::uintmax_t>(size), shown.bytesRead, shown.bytesSaved,
        static_cast<std::intmax_t>(shown.bytesSaved) - static_cast<std::intmax_t>(size),
        static_cast<long long>(lateness.Worst()));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Bench b;
    if (!b.line.ok() || !b.window)
        return 1;
    b.window->show();
    const std::string mode = argc > 1 ? argv[1] : "";
    const auto n = [&](std::size_t fallback) {
        return argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : fallback;
    };
    if (mode == "send45")
        SendPaced(b, "send at 45 baud 5N1.5", ModeBaudot, 45, 5, n(600));
    if (mode == "send9600")
        SendPaced(b, "send at 9600 baud 8N1", ModeAscii, 9600, 8, n(65536));
    if (mode.empty() || mode == "stop")
        StopHalfway(b);
    if (mode.empty() || mode == "capture") {
        Capture(b, ModeAscii, n(1));
        Capture(b, ModeBaudot, n(1));
    }
    b.window->Command(CMD_DISCONNECT);
    return 0;
}
