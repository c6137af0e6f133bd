// The sound card as the line, on a private sound server, with minimodem as
// the independent modem at the far end: text both ways, half duplex,
// push-to-talk around each transmission and at a purge, and the faults.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "audio/audio_port.h"
#include "audio/sound_monitor.h"
#include "link/port_io.h"
#include "modem/text.h"
#include "tests/support/fake_window.h"
#include "tests/support/files.h"
#include "tests/support/sound_server.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Eventually;

const std::string kText = "RYRY CQ DE TAVIREL 0123456789\r\n";
constexpr auto kCharacter = 165ms;  // at 45.45 baud, 1.5 stop bits
const std::string kMinimodem = "PULSE_LATENCY_MSEC=500 minimodem -q rtty -M 2125 -S 2295";

// A program at the far end, its standard output kept in a file.
class FarEnd {
  public:
    FarEnd(const std::string& command, const std::filesystem::path& out) : out_(out) {
        pid_ = fork();
        if (pid_ == 0) {
            execl("/bin/sh", "sh", "-c",
                  ("exec env " + command + " >'" + out.string() + "'").c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~FarEnd() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string Output() const {
        std::ifstream in(out_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    pid_t pid_ = -1;
    std::filesystem::path out_;
};

// Push-to-talk as a serial port shows it: each change of the line, when.
struct PttLog {
    std::mutex mutex;
    std::vector<std::pair<bool, Clock::time_point>> changes;
    bool up = false;
    void Set(bool raise) {
        std::lock_guard lock(mutex);
        if (raise != up)
            changes.emplace_back(raise, Clock::now());
        up = raise;
    }
};

class PttPort : public test::FakePort {
  public:
    PttPort(std::shared_ptr<PttLog> log, PushToTalk line) : log_(std::move(log)), line_(line) {}
    bool SetRts(bool raise) override { return Change(PushToTalk::Rts, raise); }
    bool SetDtr(bool raise) override { return Change(PushToTalk::Dtr, raise); }

  private:
    bool Change(PushToTalk line, bool raise) {
        if (line == line_)
            log_->Set(raise);
        return true;
    }
    std::shared_ptr<PttLog> log_;
    PushToTalk line_;
};

// The link on the sound card: it plays into the sink "air" and listens to
// "back" (or to what it plays itself, for half duplex).
class SoundLine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!server.ok())
            GTEST_SKIP() << server.error();
        if (std::system("minimodem --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "minimodem is not installed (apt-get install minimodem)";
        ASSERT_TRUE(CreateLinkEvents(state));
        UseSoundCard();
        CodeMode = ModeBaudot;
        state.portNumber = kSoundCardPort;
        state.sound.output = "air";
        state.sound.input = "back_in";
        state.sound.leadIn = 0.3;
        state.sound.tail = 0.2;
    }
    void TearDown() override {
        CloseConnection(&window);
        SetSoundCardOpener({});
        SetPortOpener(nullptr);
        CodeMode = savedMode;
    }
    void Send(const std::string& text) {
        BaudotSender sender;
        std::vector<std::uint8_t> codes;
        TextToCodes(text, sender, codes);
        for (const std::uint8_t c : codes)
            ASSERT_EQ(WriteCommBlock(&window, &c, 1), 1);
        sent += codes.size();
    }
    bool AllSent(std::chrono::milliseconds limit) {
        return Eventually([&] { return window.Dones().size() >= sent; }, limit);
    }
    // minimodem listening to a sink, once its stream is running.
    std::unique_ptr<FarEnd> Listen(const std::string& sink) {
        auto far = std::make_unique<FarEnd>(
            server.Environment() + "PULSE_SOURCE=" + sink + "_in " + kMinimodem + " --rx",
            dir / "heard.txt");
        Eventually(
            [&] {
                return std::system(
                           (server.Environment() + "pactl list short source-outputs | grep -q .")
                               .c_str()) == 0;
            },
            5s);
        return far;
    }
    // Push-to-talk on COM2, as a serial port that records its line.
    std::shared_ptr<PttLog> UsePtt(PushToTalk line) {
        auto log = std::make_shared<PttLog>();
        state.sound.ptt = line;
        state.sound.pttPort = 2;
        SetPortOpener([log, line](const std::string& name) -> std::unique_ptr<Port> {
            if (name != "COM2") {
                errno = ENOENT;
                return nullptr;
            }
            return std::make_unique<PttPort>(log, line);
        });
        return log;
    }

    test::SoundServer server{{"air", "back"}};
    test::TempDir dir;
    const CodeModeValue savedMode = CodeMode.load();
    TtyState state;
    test::FakeWindow window{&state};
    std::size_t sent = 0;
};

TEST_F(SoundLine, MinimodemPrintsWhatIsSent) {
    const auto far = Listen("air");
    ASSERT_NE(OpenConnection(&window), 0);
    Send(kText);
    ASSERT_TRUE(AllSent(20s));
    for (const WriteDone& done : window.Dones())
        EXPECT_EQ(done.how, WriteEnd::Complete);
    EXPECT_TRUE(Eventually([&] { return far->Output() == kText; }, 5s)) << far->Output();
}

TEST_F(SoundLine, ReadsWhatMinimodemSends) {
    test::WriteFile(dir / "text.txt", kText);
    ASSERT_NE(OpenConnection(&window), 0);
    ASSERT_EQ(std::system((server.Environment() + "PULSE_SINK=back " + kMinimodem + " --tx <'" +
                           (dir / "text.txt") + "'")
                              .c_str()),
              0);
    EXPECT_TRUE(window.WaitReceived(kText.size(), 5s));
    EXPECT_EQ(window.ReceivedText(), kText);
}

// Radio is half duplex: the input hears the transmitter, and nothing of it
// is decoded, though the characters would have been long before the end.
TEST_F(SoundLine, OwnSignalIsNotDecoded) {
    state.sound.input = "air_in";
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RYRY");
    SoundMonitor& monitor = TheSoundMonitor();
    ASSERT_TRUE(Eventually([&] { return monitor.transmitting.load(); }));
    ASSERT_TRUE(AllSent(5s));
    ASSERT_TRUE(Eventually([&] { return !monitor.transmitting.load(); }, 5s));
    EXPECT_EQ(window.ReceivedText(), "");
}

struct PttCase {
    const char* name;
    PushToTalk line;
};
void PrintTo(const PttCase& row, std::ostream* out) {
    *out << row.name;
}
const PttCase kPttCases[] = {{"Rts", PushToTalk::Rts}, {"Dtr", PushToTalk::Dtr}};

class PushToTalkLine : public SoundLine, public ::testing::WithParamInterface<PttCase> {};

// Up before the lead-in, down once the hold and the tail have been played.
TEST_P(PushToTalkLine, SpansTheTransmission) {
    const auto log = UsePtt(GetParam().line);
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RY");
    ASSERT_TRUE(AllSent(5s));
    const auto lastSent = Clock::now();
    ASSERT_TRUE(Eventually([&] { return test::Locked(log->mutex, log->changes).size() == 2; }, 5s));
    const auto changes = test::Locked(log->mutex, log->changes);
    ASSERT_TRUE(changes[0].first && !changes[1].first);
    EXPECT_GE(lastSent - changes[0].second, 300ms + 2 * kCharacter);
    // Less the port's tick and the test's own look at the write ends.
    EXPECT_GE(changes[1].second - lastSent,
              std::chrono::duration<double>(kHoldSeconds) + 200ms - 50ms);
}

TEST_P(PushToTalkLine, DropsAtOnceOnPurge) {
    const auto log = UsePtt(GetParam().line);
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RYRYRYRYRYRYRYRYRYRY");
    ASSERT_TRUE(Eventually([&] { return !window.Dones().empty(); }, 5s));
    PurgeWrites(&window);
    EXPECT_FALSE(test::Locked(log->mutex, log->up));
    EXPECT_TRUE(AllSent(2s));
    EXPECT_EQ(window.Dones().back().how, WriteEnd::CutShort);
}

INSTANTIATE_TEST_SUITE_P(Lines, PushToTalkLine, ::testing::ValuesIn(kPttCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct RefusalCase {
    const char* name;
    void (*arrange)(SoundLine&, SoundSettings&);
    int error;
    const char* words;  // in the message
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class SoundLineRefusal : public SoundLine, public ::testing::WithParamInterface<RefusalCase> {
  public:
    static void NoServer(SoundLine& t, SoundSettings&) {
        static_cast<SoundLineRefusal&>(t).server.Kill();
    }
    static void NoOutput(SoundLine&, SoundSettings& s) { s.output = "nowhere"; }
    static void NoInput(SoundLine&, SoundSettings& s) { s.input = "nowhere"; }
    static void EightBits(SoundLine& t, SoundSettings&) {
        static_cast<SoundLineRefusal&>(t).state.byteSize = 8;
    }
    static void NoPttPort(SoundLine&, SoundSettings& s) {
        s.ptt = PushToTalk::Rts;
        s.pttPort = 7;
    }
};

const RefusalCase kRefusals[] = {
    {"NoServer", SoundLineRefusal::NoServer, ECONNREFUSED, "No sound server answers"},
    {"NoOutput", SoundLineRefusal::NoOutput, ENODEV, "The sound output \"nowhere\" is not there"},
    {"NoInput", SoundLineRefusal::NoInput, ENODEV, "The sound input \"nowhere\" is not there"},
    {"NoPttPort", SoundLineRefusal::NoPttPort, ENOENT, "COM7 for push-to-talk"},
    {"EightBits", SoundLineRefusal::EightBits, EINVAL, "five-bit codes without parity"},
};

TEST_P(SoundLineRefusal, SaysWhyAndLeavesNothingOpen) {
    UsePtt(PushToTalk::None);
    GetParam().arrange(*this, state.sound);
    OpenFailure failure;
    ASSERT_EQ(OpenConnection(&window, &failure), 0);
    EXPECT_EQ(failure.error, GetParam().error);
    EXPECT_NE(ConnectionFailedText(failure).find(GetParam().words), std::string::npos)
        << ConnectionFailedText(failure);
    EXPECT_EQ(state.connected.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, SoundLineRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

struct GoneCase {
    const char* name;
    const char* how;  // a command for the server, or empty to kill it
};
void PrintTo(const GoneCase& row, std::ostream* out) {
    *out << row.name;
}
const GoneCase kGone[] = {
    {"ServerKilled", ""},
    {"OutputUnplugged", "pactl unload-module module-null-sink"},
};

class SoundLineGone : public SoundLine, public ::testing::WithParamInterface<GoneCase> {};

// Mid-send: the device-gone mark, every write ended, push-to-talk down, and
// the close does not hang.
TEST_P(SoundLineGone, MidSendIsADeviceGone) {
    const auto log = UsePtt(PushToTalk::Rts);
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RYRYRYRYRYRYRYRYRYRY");
    ASSERT_TRUE(Eventually([&] { return !window.Dones().empty(); }, 5s));
    if (*GetParam().how == '\0')
        server.Kill();
    else
        ASSERT_EQ(std::system((server.Environment() + GetParam().how).c_str()), 0);
    EXPECT_TRUE(Eventually([&] { return window.Screen().find("<CE-5>") != std::string::npos; }, 5s))
        << window.Screen();
    EXPECT_TRUE(AllSent(1s));
    EXPECT_EQ(window.Dones().back().how, WriteEnd::Failed);
    EXPECT_FALSE(test::Locked(log->mutex, log->up));
    EXPECT_EQ(CloseConnection(&window), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, SoundLineGone, ::testing::ValuesIn(kGone),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tavirel
