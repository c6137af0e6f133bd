// The sound card as the line, on a private sound server with minimodem as the
// far end's modem: text both ways, push-to-talk, and the faults.
#include <cerrno>
#include <future>

#include "audio/audio_port.h"
#include "link/port_io.h"
#include "tests/support/fake_window.h"
#include "tests/support/files.h"
#include "tests/support/modem_channel.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Eventually;

const std::string kText = "RYRY CQ DE TAVIREL 0123456789\r\n";
const std::string kMinimodem =
    "PULSE_LATENCY_MSEC=500 timeout 30 minimodem -q rtty -M 2125 -S 2295 ";

// A serial port that tells the test what becomes of its RTS and DTR.
struct LinesPort : test::FakePort {
    std::function<void(PushToTalk, bool)> set;
    bool SetRts(bool raise) override { return set(PushToTalk::Rts, raise), true; }
    bool SetDtr(bool raise) override { return set(PushToTalk::Dtr, raise), true; }
};

// The link on the sound card, playing into the sink "air" and hearing it: one
// channel, as on the air. The server lives in the test's own runtime folder.
class SoundLine : public ::testing::Test {
  public:
    void SetUp() override {
        if (std::system("{ command -v pulseaudio && command -v pactl && command -v minimodem; } "
                        ">/dev/null") != 0)
            GTEST_SKIP() << "needs pulseaudio, pulseaudio-utils and minimodem";
        setenv("XDG_RUNTIME_DIR", dir.path.c_str(), 1);
        ASSERT_EQ(Server("start"), 0) << test::ReadFile(dir / "server.log");
        ASSERT_TRUE(CreateLinkEvents(state));
        UseSoundCard();
        state.portNumber = kSoundCardPort;
        state.sound = {.output = "air", .input = "air_in", .leadIn = 0.3, .tail = 0.2};
    }
    void TearDown() override {
        CloseConnection(&window);
        SetPortOpener(nullptr);
        Server("kill");
    }
    int Server(const std::string& command) {
        return dir.Sh("'" TAVIREL_SOUND_SERVER "' " + command + " \"$PWD\" air");
    }
    void Send(const std::string& text) {
        const std::vector<std::uint8_t> codes = test::Codes(text);
        for (const std::uint8_t c : codes)
            ASSERT_EQ(WriteCommBlock(&window, &c, 1), 1);
        sent += codes.size();
    }
    bool AllSent(std::chrono::milliseconds limit) {
        return Eventually([&] { return window.Dones().size() >= sent; }, limit);
    }
    // Push-to-talk on COM2's line; no other port opens.
    void UsePtt(PushToTalk line) {
        state.sound.ptt = line;
        state.sound.pttPort = 2;
        SetPortOpener([this, line](const std::string& name) -> std::unique_ptr<Port> {
            if (name != "COM2") {
                errno = ENOENT;
                return nullptr;
            }
            auto port = std::make_unique<LinesPort>();
            port->set = [this, line](PushToTalk which, bool raise) {
                std::lock_guard lock(pttMutex);
                if (which == line && raise != Up(ptt))
                    ptt.emplace_back(raise, Clock::now());
            };
            return port;
        });
    }
    using Changes = std::vector<std::pair<bool, Clock::time_point>>;
    static bool Up(const Changes& c) { return !c.empty() && c.back().first; }
    Changes Ptt() { return test::Locked(pttMutex, ptt); }

    test::TempDir dir;
    TtyState state;
    test::FakeWindow window{&state};
    std::size_t sent = 0;
    std::mutex pttMutex;
    Changes ptt;  // each change of the push-to-talk line, when
};

// minimodem prints what is sent; our own signal, heard all along, is not
// decoded; what minimodem sends back is.
TEST_F(SoundLine, TextBothWaysHalfDuplex) {
    auto heard = std::async(std::launch::async, [&] {
        return std::system((kMinimodem + "--rx-one >" + dir / "heard").c_str());
    });
    ASSERT_TRUE(Eventually(
        [] { return std::system("pactl list short source-outputs | grep -q .") == 0; }, 5s));
    ASSERT_NE(OpenConnection(&window), 0);
    Send(kText);
    ASSERT_TRUE(AllSent(20s));
    heard.wait();
    EXPECT_EQ(test::ReadFile(dir / "heard"), kText);
    // The far end keys up with a second of carrier before its text.
    const std::string reply = "{ sleep 1; printf %s '" + kText + "'; } | PULSE_SINK=air ";
    ASSERT_EQ(std::system((reply + kMinimodem + "--tx --tx-carrier").c_str()), 0);
    window.WaitReceived(kText.size(), 5s);
    EXPECT_EQ(window.ReceivedText(), kText);
}

class PushToTalkLine : public SoundLine, public ::testing::WithParamInterface<PushToTalk> {};

// Up before the lead-in, down once the hold and the tail have been played,
// and at once on a purge.
TEST_P(PushToTalkLine, KeysTheTransmitter) {
    UsePtt(GetParam());
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RY");
    ASSERT_TRUE(AllSent(5s));
    const auto lastSent = Clock::now();
    ASSERT_TRUE(Eventually([&] { return Ptt().size() == 2; }, 5s));
    const Changes changes = Ptt();
    EXPECT_GE(lastSent - changes[0].second, 300ms + 2 * 165ms);  // two characters at 45.45 baud
    // Down once the hold and tail are played: the card's clock times both ends.
    const std::chrono::duration<double> hold(kHoldSeconds + 0.2);
    EXPECT_LT(std::chrono::abs(changes[1].second - lastSent - hold), 100ms);

    Send("RYRYRYRYRYRYRYRYRYRY");
    ASSERT_TRUE(Eventually([&] { return Up(Ptt()); }, 5s));
    PurgeWrites(&window);
    EXPECT_FALSE(Up(Ptt()));
    EXPECT_TRUE(AllSent(2s));
    EXPECT_EQ(window.Dones().back().how, WriteEnd::CutShort);
}

INSTANTIATE_TEST_SUITE_P(Lines, PushToTalkLine, ::testing::Values(PushToTalk::Rts, PushToTalk::Dtr),
                         [](const auto& row) {
                             return row.param == PushToTalk::Rts ? "Rts" : "Dtr";
                         });

struct FaultRow {
    const char* name;
    void (*arrange)(SoundLine&);
    int error = 0;           // of a refused open
    const char* words = "";  // in its message
    friend std::ostream& operator<<(std::ostream& out, const FaultRow& r) { return out << r.name; }
};
constexpr auto KillServer = [](SoundLine& line) { line.Server("kill"); };
constexpr auto Unplug = [](SoundLine&) {
    EXPECT_EQ(std::system("pactl unload-module module-null-sink"), 0);
};
class SoundLineRefusal : public SoundLine, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SoundLineRefusal, SaysWhy) {
    GetParam().arrange(*this);
    OpenFailure failure;
    ASSERT_EQ(OpenConnection(&window, &failure), 0);
    EXPECT_EQ(failure.error, GetParam().error);
    EXPECT_NE(ConnectionFailedText(failure).find(GetParam().words), std::string::npos)
        << ConnectionFailedText(failure);
}

const FaultRow kRefusals[] = {
    {"NoServer", KillServer, ECONNREFUSED, "No sound server answers"},
    {"NoOutput", [](SoundLine& line) { line.state.sound.output = "nowhere"; }, ENODEV,
     "The sound output \"nowhere\" is not there"},
    {"NoInput", [](SoundLine& line) { line.state.sound.input = "nowhere"; }, ENODEV,
     "The sound input \"nowhere\" is not there"},
    {"NoPttPort",
     [](SoundLine& line) {
         line.UsePtt(PushToTalk::Rts);
         line.state.sound.pttPort = 7;
     },
     ENOENT, "COM7 for push-to-talk"},
    {"EightBits", [](SoundLine& line) { line.state.byteSize = 8; }, EINVAL,
     "five-bit codes without parity"},
};
INSTANTIATE_TEST_SUITE_P(Faults, SoundLineRefusal, ::testing::ValuesIn(kRefusals),
                         ::testing::PrintToStringParamName());

class SoundLineGone : public SoundLineRefusal {};

// Mid-send: the device-gone mark, every write ended, push-to-talk down, a close that returns.
TEST_P(SoundLineGone, MidSendIsADeviceGone) {
    UsePtt(PushToTalk::Rts);
    ASSERT_NE(OpenConnection(&window), 0);
    Send("RYRYRYRYRYRYRYRYRYRY");
    ASSERT_TRUE(Eventually([&] { return !window.Dones().empty(); }, 5s));
    GetParam().arrange(*this);
    EXPECT_TRUE(Eventually([&] { return window.Screen().find("<CE-5>") != std::string::npos; }, 5s))
        << window.Screen();
    EXPECT_TRUE(AllSent(1s));
    EXPECT_EQ(window.Dones().back().how, WriteEnd::Failed);
    EXPECT_FALSE(Up(Ptt()));
    EXPECT_EQ(CloseConnection(&window), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, SoundLineGone,
                         ::testing::Values(FaultRow{"ServerKilled", KillServer},
                                           FaultRow{"OutputUnplugged", Unplug}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace tavirel
