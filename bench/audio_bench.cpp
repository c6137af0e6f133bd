// The sound card as the line, over the null sinks of a private sound server:
//  - line use while 600 characters are sent at 45.45 baud, from the times
//    their last stop bits left the card (the write ends): a character time
//    between each two is full use;
//  - the time from a purge (Exit, Disconnect) to silence at the sink, heard
//    on its monitor;
//  - the time from a character's last stop bit played into the input's sink
//    to the code being readable, sent by a second sound-card port (negative:
//    readable before the stop bit has ended);
//  - the CPU it takes, idle and receiving.
// Usage: tavirel_audio_bench [CHARACTERS]   (600 by default)
#include <QAudioSource>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/audio_port.h"
#include "bench/bench_support.h"
#include "link/port_io.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

const std::string kServer = TAVIREL_SOUND_SERVER;

// Runs the event loop of this thread (the monitor's recorder) until done().
template <typename F>
bool RunUntil(F done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

// What the sink's monitor hears, each block with the time it came.
class Recorder {
  public:
    explicit Recorder(const QByteArray& source) {
        QAudioDevice device;
        for (const QAudioDevice& d : QMediaDevices::audioInputs())
            if (d.id() == source)
                device = d;
        QAudioFormat format;
        format.setSampleRate(kLineSampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        source_ = std::make_unique<QAudioSource>(device, format);
        source_->setBufferSize(kLineSampleRate / 100 * 2);  // 10 ms
        io_ = source_->start();
        QObject::connect(io_, &QIODevice::readyRead, [this] {
            const QByteArray data = io_->readAll();
            const auto* v = reinterpret_cast<const std::int16_t*>(data.constData());
            const auto now = Clock::now();
            const qsizetype n = data.size() / 2;
            for (qsizetype i = 0; i < n; ++i)
                if (std::abs(v[i]) > 1000)  // a tone, not the silence of a null sink
                    lastLoud_ =
                        now - std::chrono::microseconds((n - i) * 1'000'000 / kLineSampleRate);
            last_ = now;
        });
    }
    Clock::time_point LastLoud() const { return lastLoud_; }
    Clock::time_point Last() const { return last_; }

  private:
    std::unique_ptr<QAudioSource> source_;
    QIODevice* io_ = nullptr;
    Clock::time_point lastLoud_{}, last_{};
};

struct Line {
    explicit Line(const std::string& output, const std::string& input) {
        CreateLinkEvents(state);
        state.portNumber = kSoundCardPort;
        state.sound.output = output;
        state.sound.input = input;
    }
    TtyState state;
    test::FakeWindow window{&state};
};

int Run(int characters) {
    Line a("air", "back_in");
    OpenFailure failure;
    if (OpenConnection(&a.window, &failure) == 0) {
        std::fprintf(stderr, "%s\n", ConnectionFailedText(failure).c_str());
        return 1;
    }
    const double character = 7.5 / 45.45;

    // Line use.
    const std::uint8_t ry[2] = {10, 21};  // R and Y: every bit changes
    for (int i = 0; i < characters; ++i)
        WriteCommBlock(&a.window, &ry[i % 2], 1);
    std::vector<Clock::time_point> ends;
    while (ends.size() < static_cast<std::size_t>(characters)) {
        const std::size_t n = a.window.Dones().size();
        while (ends.size() < n)
            ends.push_back(Clock::now());
        std::this_thread::sleep_for(1ms);
    }
    const double span = std::chrono::duration<double>(ends.back() - ends.front()).count();
    double worstGap = 0;
    for (std::size_t i = 1; i < ends.size(); ++i)
        worstGap = std::max(worstGap, Ms(ends[i] - ends[i - 1]));
    std::printf(
        "line use, %d characters at 45.45 baud: %.2f %% (%.1f s for %.1f s of "
        "characters; longest between two write ends %.0f ms, one is %.0f ms)\n",
        characters, 100.0 * (characters - 1) * character / span, span, (characters - 1) * character,
        worstGap, 1000 * character);

    // Purge to silence at the sink.
    Recorder monitor("air_in");
    for (int i = 0; i < 40; ++i)
        WriteCommBlock(&a.window, &ry[i % 2], 1);
    const std::size_t before = a.window.Dones().size();
    RunUntil([&] { return a.window.Dones().size() >= before + 5; }, 20s);
    const auto purged = Clock::now();
    PurgeWrites(&a.window);
    RunUntil([&] { return monitor.Last() - purged > 1s; }, 5s);
    std::printf("purge to silence at the sink's monitor: %.0f ms (one character is %.0f ms)\n",
                Ms(monitor.LastLoud() - purged), 1000 * character);
    CloseConnection(&a.window);

    // Tones to a readable code: a second port sends into the sink A hears.
    Line rx("air", "back_in");
    if (OpenConnection(&rx.window, &failure) == 0)
        return 1;
    const double idleFrom = bench::CpuSeconds();
    QEventLoop idle;
    QTimer::singleShot(10s, &idle, &QEventLoop::quit);
    idle.exec();
    std::printf("CPU with the line open and hearing silence: %.1f %% of one core\n",
                10.0 * (bench::CpuSeconds() - idleFrom));
    SoundSettings far;
    far.output = "back";
    far.input = "air_in";
    far.leadIn = 0.5;
    std::string problem;
    const auto sender = OpenAudioPort(far, &problem);
    if (!sender || sender->Apply(PlanLine(rx.state, ModeBaudot)) == 0) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    const double busyFrom = bench::CpuSeconds();
    const auto busyStart = Clock::now();
    double sum = 0, worst = -1e9;
    const int count = 30;
    int measured = 0;
    for (int i = 0; i < count; ++i) {
        while (sender->Write(&ry[i % 2], 1) < 0)
            sender->WaitOutput(-1, 100);
        // When its last stop bit has left the card, and when it is read
        // (which may come first: the middle of the stop bit decides it).
        Clock::time_point played{}, read{};
        const std::size_t readBefore = rx.window.ReceivedText().size();
        RunUntil(
            [&] {
                if (played == Clock::time_point{} && sender->OutputQueued() == 0)
                    played = Clock::now();
                if (read == Clock::time_point{} && rx.window.ReceivedText().size() > readBefore)
                    read = Clock::now();
                return played != Clock::time_point{} && read != Clock::time_point{};
            },
            5s);
        if (read == Clock::time_point{} || played == Clock::time_point{})
            continue;  // lost, or the sender stopped
        const double ms = Ms(read - played);
        sum += ms;
        worst = std::max(worst, ms);
        ++measured;
    }
    std::printf(
        "last stop bit played to code readable: %.0f ms on average, %.0f ms at most "
        "(%d characters, %zu read)\n",
        sum / count, worst, count, rx.window.ReceivedText().size());
    std::printf(
        "CPU while receiving them (and sending them, on the second port): %.1f %% of one "
        "core\n",
        100.0 * (bench::CpuSeconds() - busyFrom) /
            std::chrono::duration<double>(Clock::now() - busyStart).count());
    CloseConnection(&rx.window);
    return 0;
}

}  // namespace
}  // namespace tavirel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int characters = argc > 1 ? std::max(2, std::atoi(argv[1])) : 600;
    char pattern[] = "/tmp/tavirel-bench-sound-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const std::string dir = pattern;
    setenv("XDG_RUNTIME_DIR", pattern, 1);
    if (std::system(("'" + tavirel::kServer + "' start '" + dir + "' air back").c_str()) != 0) {
        std::fprintf(stderr, "the sound server did not start\n");
        return 1;
    }
    tavirel::UseSoundCard();
    tavirel::CodeMode = tavirel::ModeBaudot;
    const int result = tavirel::Run(characters);
    std::system(("'" + tavirel::kServer + "' kill '" + dir + "'; rm -rf '" + dir + "'").c_str());
    return result;
}
