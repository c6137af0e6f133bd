// Receiving a flood through the real window: a pseudo-terminal's far end (a
// child process) sends as fast as the line takes it, and the main window
// with its view (offscreen platform) shows it. Measures, per size, the time
// until everything is on the screen, the program's CPU, its peak memory, how
// late a 10 ms timer in the window ever ran and how often the window's thread
// slept and was woken (the bench's own 1 ms check among them); then how long
// Disconnect takes while the flood goes on. With --busy=N, N processes spin beside it
// for the whole run, as other programs on a busy machine do.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench/tavirel_receive_bench [--busy=N] [MiB...]
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "resources/menu.h"
#include "terminal/main_window.h"
#include "tests/support/pty_port.h"

using namespace tavirel;
using bench::CpuSeconds;
using bench::Lateness;
using bench::PeakRssMiB;

namespace {

// 79 printable characters and CR LF a line, like a long listing, with a last
// line, different for every flood (floods are numbered), that the screen can
// be checked for.
std::string LastLine(std::size_t bytes, int flood) {
    return "THE END OF FLOOD " + std::to_string(flood) + " OF " + std::to_string(bytes) + " BYTES";
}

std::string Lines(std::size_t bytes, int flood) {
    std::string text;
    text.reserve(bytes);
    for (std::size_t line = 0; text.size() < bytes; ++line) {
        for (int c = 0; c < 79; ++c)
            text += static_cast<char>('!' + (line + static_cast<std::size_t>(c)) % 94);
        text += "\r\n";
    }
    const std::string last = "\r\n" + LastLine(bytes, flood) + "\r\n";
    text.resize(bytes - last.size());
    return text + last;
}

// The last line is on the screen, just above the cursor.
bool LastLineShown(const TtyState& s, const std::string& last) {
    if (s.row < 1)
        return false;
    const auto* row = s.screen.data() + (s.row - 1) * kScreenColumns;
    return std::equal(last.begin(), last.end(), row);
}

// A child writes the text (or, with repeat, repeats it) into the master. The
// text is made in the child, so the window's memory is the window's own.
pid_t FarEnd(int master, std::size_t bytes, int flood, bool repeat) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const std::string text = Lines(bytes, flood);
    do {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t w = write(master, text.data() + done, text.size() - done);
            if (w > 0)
                done += static_cast<std::size_t>(w);
            else if (w < 0 && errno == EAGAIN) {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 100);
            } else if (w < 0 && errno != EINTR) {
                _exit(1);
            }
        }
    } while (repeat);
    _exit(0);
}

// Processes that keep a core busy each until killed; not counted in the
// window's CPU.
std::vector<pid_t> SpinBeside(int count) {
    std::vector<pid_t> spinners;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spins = 0;
            for (;;)
                spins = spins + 1;
        }
        if (pid > 0)
            spinners.push_back(pid);
    }
    return spinners;
}

// How often the calling thread has gone to sleep and been woken again.
long Sleeps() {
    std::FILE* status = std::fopen("/proc/thread-self/status", "r");
    if (status == nullptr)
        return 0;
    char line[128];
    long sleeps = 0;
    while (std::fgets(line, sizeof line, status) != nullptr)
        std::sscanf(line, "voluntary_ctxt_switches: %ld", &sleeps);
    std::fclose(status);
    return sleeps;
}

bool Connect(MainWindow& window) {
    TtyState* s = window.State();
    s->baudRate = 115200;
    s->byteSize = 8;
    s->stopBits = 0;
    CodeMode = ModeAscii;
    window.Command(CMD_CONNECT);
    return s->connected.load() != 0;
}

void RunFlood(MainWindow& window, int master, std::size_t mib) {
    const std::size_t total = mib << 20;
    static int flood = 0;
    ++flood;
    const std::string last = LastLine(total, flood);
    const double cpu0 = CpuSeconds();
    const long sleeps0 = Sleeps();
    QElapsedTimer elapsed;
    elapsed.start();
    Lateness lateness;
    const pid_t child = FarEnd(master, total, flood, false);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (LastLineShown(*window.State(), last))
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    window.View()->UpdateNow();
    const double seconds = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    waitpid(child, nullptr, 0);
    std::printf(
        "%3zu MiB shown in %7.3f s  (%6.3f s/MiB)  CPU %6.3f s/MiB  peak RSS %4ld MiB  "
        "timer late by at most %lld ms  window woken %ld times\n",
        mib, seconds, seconds / static_cast<double>(mib), cpu / static_cast<double>(mib),
        PeakRssMiB(), static_cast<long long>(lateness.Worst()), Sleeps() - sleeps0);
    std::fflush(stdout);
}

void RunDisconnect(MainWindow& window, int master) {
    const pid_t child = FarEnd(master, 1 << 20, 0, true);
    QEventLoop loop;
    double took = 0;
    QTimer::singleShot(500, [&] {
        QElapsedTimer t;
        t.start();
        window.Command(CMD_DISCONNECT);
        took = static_cast<double>(t.nsecsElapsed()) / 1e6;
        loop.quit();
    });
    loop.exec();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::printf("Disconnect during a flood took %.1f ms\n", took);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::vector<std::size_t> sizes;
    int busy = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--busy=", 0) == 0)
            busy = std::atoi(arg.c_str() + 7);
        else
            sizes.push_back(static_cast<std::size_t>(std::atoi(argv[i])));
    }
    if (sizes.empty())
        sizes = {1, 4, 16};

    test::PtyLine line;
    const auto window = MainWindow::Create();
    if (!line.ok() || !window)
        return 1;
    window->show();
    if (!Connect(*window)) {
        std::fprintf(stderr, "could not connect to the pseudo-terminal\n");
        return 1;
    }
    const std::vector<pid_t> spinners = SpinBeside(busy);
    if (busy > 0)
        std::printf("%d busy processes beside\n", busy);
    for (const std::size_t mib : sizes)
        RunFlood(*window, line.master(), mib);
    RunDisconnect(*window, line.master());
    for (const pid_t pid : spinners) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return 0;
}
