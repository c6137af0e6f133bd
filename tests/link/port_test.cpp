#include "link/port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/line_marks.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::PtyLine;

// Reads from the port until n data bytes came or the time ran out.
Bytes ReadPort(Port& port, std::size_t n, std::chrono::milliseconds limit = 2s) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
        if (port.WaitInput(-1, 50) != WaitResult::Ready)
            continue;
        std::uint8_t buffer[64];
        const int r = port.Read(buffer, sizeof buffer);
        if (r < 0 && errno != EAGAIN)
            break;
        if (r > 0)
            got.insert(got.end(), buffer, buffer + r);
    }
    return got;
}

// A port on a fresh pseudo-terminal, opened by name and set up as for Baudot.
struct OpenLine {
    PtyLine line;
    std::unique_ptr<Port> port = OpenPortNamed("COM3");
    OpenLine() {
        EXPECT_TRUE(line.ok());
        EXPECT_NE(port, nullptr) << std::strerror(errno);
        if (port != nullptr) {
            EXPECT_EQ(port->Apply(PlanLine(TtyState{}, ModeBaudot)), 1);
        }
    }
};

// ---- Names -------------------------------------------------------------------

struct EnvGuard {
    std::string name;
    std::optional<std::string> saved;
    explicit EnvGuard(std::string n) : name(std::move(n)) {
        if (const char* v = std::getenv(name.c_str()))
            saved = v;
    }
    ~EnvGuard() {
        if (saved)
            setenv(name.c_str(), saved->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

TEST(PortNames, FolderFollowsXdgConfigHomeElseHome) {
    EnvGuard config("XDG_CONFIG_HOME"), home("HOME");
    setenv("HOME", "/home/op", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PortFolder(), "/cfg/tavirel/ports");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(PortFolder(), "/home/op/.config/tavirel/ports");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(PortFolder(), "/home/op/.config/tavirel/ports");
}

TEST(PortNames, ComNumbersToDevices) {
    EXPECT_EQ(PortName(3), "COM3");
    EXPECT_EQ(PortName(12), "COM12");

    PtyLine line(3);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(DeviceForPort("COM3"), line.portFolder() / "COM3");
    EXPECT_EQ(DeviceForPort("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort("COM10"), "/dev/ttyS9");
    for (const char* bad : {"LPT1", "COM", "COM0", "COMx", "COM3x", "COM-1", "COM+3", "COM03",
                            "com3", " COM3", "COM3 ", "COM99999999999"})
        EXPECT_EQ(DeviceForPort(bad), "") << bad;

    // A link to a device that is gone still names the port; the open says why.
    std::filesystem::create_symlink("/dev/tavirel-no-such-device", line.portFolder() / "COM7");
    EXPECT_EQ(DeviceForPort("COM7"), line.portFolder() / "COM7");
    errno = 0;
    EXPECT_EQ(OpenPortNamed("COM7"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

// ---- Opening -----------------------------------------------------------------

TEST(OpenSerialPort, RefusesWhatIsNoFreeTerminal) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    errno = 0;
    EXPECT_EQ(OpenSerialPort(line.portFolder() / "COM9"), nullptr);
    EXPECT_EQ(errno, ENOENT);

    const auto file = line.portFolder() / "plain";
    std::ofstream(file) << "not a terminal";
    errno = 0;
    EXPECT_EQ(OpenSerialPort(file), nullptr);
    EXPECT_EQ(errno, ENOTTY);

    errno = 0;
    EXPECT_EQ(OpenPortNamed("LPT1"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

// The tests run as root, whom TIOCEXCL lets through: the lock must hold.
TEST(OpenSerialPort, OnlyOneHolderAtATime) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    auto first = OpenSerialPort(line.slavePath());
    ASSERT_NE(first, nullptr) << std::strerror(errno);
    errno = 0;
    EXPECT_EQ(OpenSerialPort(line.slavePath()), nullptr);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(OpenPortNamed("COM3"), nullptr);

    first->Close();
    first->Close();
    auto second = OpenPortNamed("COM3");
    ASSERT_NE(second, nullptr) << std::strerror(errno);
    second.reset();  // the destructor lets go too
    EXPECT_NE(OpenSerialPort(line.slavePath()), nullptr);
}

TEST(OpenPortNamed, OpenerCanBeReplacedAndRestored) {
    std::string asked;
    SetPortOpener([&](const std::string& name) -> std::unique_ptr<Port> {
        asked = name;
        errno = EACCES;
        return nullptr;
    });
    EXPECT_EQ(OpenPortNamed("COM3"), nullptr);
    EXPECT_EQ(asked, "COM3");
    SetPortOpener(nullptr);

    PtyLine line;
    ASSERT_TRUE(line.ok());
    EXPECT_NE(OpenPortNamed("COM3"), nullptr);
}

// ---- Data through a pseudo-terminal -------------------------------------------

TEST(PosixPort, BytesCrossTheLineUnchanged) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    EXPECT_EQ(l.port->Applied().ispeed, 45u);

    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(l.port->Write(all.data(), static_cast<int>(all.size())), 256);
    EXPECT_EQ(l.line.ReadFromFarEnd(256, 2s), all);

    // The slave's input is doubled for FF (PARMRK); Read gives the data back.
    const Bytes sent = {'A', 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00, 'B'};
    ASSERT_TRUE(l.line.WriteFromFarEnd(sent));
    ASSERT_EQ(l.port->WaitInput(-1, 2000), WaitResult::Ready);
    EXPECT_EQ(l.port->BytesWaiting(), static_cast<int>(sent.size()) + 3);
    EXPECT_EQ(ReadPort(*l.port, sent.size()), sent);
    EXPECT_EQ(l.port->TakeErrors(), 0u);

    // One byte at a time splits every FF FF pair across two reads.
    ASSERT_TRUE(l.line.WriteFromFarEnd({0xFF, 'C', 0xFF}));
    Bytes single;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (single.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::uint8_t b;
        if (l.port->Read(&b, 1) == 1)
            single.push_back(b);
    }
    EXPECT_EQ(single, (Bytes{0xFF, 'C', 0xFF}));
}

TEST(PosixPort, PseudoTerminalHasNoModemLinesOrCounters) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    EXPECT_EQ(l.port->ModemLines(), -1);
    EXPECT_FALSE(l.port->SetDtr(true));
    EXPECT_FALSE(l.port->SetRts(false));
    // The kernel takes the bytes at once: nothing ever waits in its queue.
    const Bytes block(512, 'x');
    EXPECT_EQ(l.port->Write(block.data(), 512), 512);
    EXPECT_EQ(l.port->OutputQueued(), 0);
    EXPECT_EQ(l.port->TakeErrors(), 0u);
}

TEST(PosixPort, PurgeDropsInputAndAHalfReadMark) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    ASSERT_TRUE(l.line.WriteFromFarEnd({0xFF, 'x', 'y'}));
    ASSERT_EQ(l.port->WaitInput(-1, 2000), WaitResult::Ready);
    std::uint8_t b[8];
    ASSERT_EQ(l.port->Read(b, 1), 0);  // the first FF of FF FF: a mark begins
    l.port->Purge();
    EXPECT_EQ(l.port->BytesWaiting(), 0);
    EXPECT_EQ(l.port->Read(b, sizeof b), -1);
    EXPECT_EQ(errno, EAGAIN);

    // Had the parser kept its open FF, 'z' would come with a stray FF.
    ASSERT_TRUE(l.line.WriteFromFarEnd({'z'}));
    EXPECT_EQ(ReadPort(*l.port, 2, 300ms), Bytes{'z'});
}

// ---- Waiting -------------------------------------------------------------------

TEST(PosixPortWait, ReadyWokenTimeout) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(wake, 0);

    EXPECT_EQ(l.port->WaitInput(wake, 20), WaitResult::Timeout);
    EXPECT_EQ(l.port->WaitInput(-1, 0), WaitResult::Timeout);
    EXPECT_EQ(l.port->WaitOutput(wake, 1000), WaitResult::Ready);

    std::uint64_t one = 1;
    ASSERT_EQ(write(wake, &one, sizeof one), 8);
    EXPECT_EQ(l.port->WaitInput(wake, -1), WaitResult::Woken);
    // The wake-up is the caller's to drain.
    std::uint64_t count = 0;
    EXPECT_EQ(read(wake, &count, sizeof count), 8);
    EXPECT_EQ(count, 1u);

    ASSERT_TRUE(l.line.WriteFromFarEnd({'r'}));
    EXPECT_EQ(l.port->WaitInput(wake, 2000), WaitResult::Ready);
    close(wake);
}

void Ignore(int) {}

TEST(PosixPortWait, SignalsDoNotShortenTheWait) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    struct sigaction action {
    }, saved{};
    action.sa_handler = Ignore;  // no SA_RESTART: poll returns EINTR
    sigaction(SIGUSR1, &action, &saved);
    const pthread_t waiter = pthread_self();
    std::thread interrupter([waiter] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(20ms);
            pthread_kill(waiter, SIGUSR1);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(l.port->WaitInput(-1, 200), WaitResult::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 195ms);
    interrupter.join();
    sigaction(SIGUSR1, &saved, nullptr);
}

TEST(PosixPortWait, FarEndClosedIsAHangup) {
    OpenLine l;
    ASSERT_NE(l.port, nullptr);
    l.line.CloseFarEnd();
    EXPECT_EQ(l.port->WaitInput(-1, 1000), WaitResult::Hangup);
    EXPECT_EQ(l.port->WaitOutput(-1, 1000), WaitResult::Hangup);
    std::uint8_t b[8];
    errno = 0;
    EXPECT_EQ(l.port->Read(b, sizeof b), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(l.port->Write(b, 1), -1);

    l.port->Close();
    EXPECT_EQ(l.port->WaitInput(-1, 0), WaitResult::Failed);
}

// ---- In-band marks ---------------------------------------------------------------

struct Parsed {
    Bytes data;
    std::uint32_t flags = 0;
};

// Feeds the raw input in pieces ending at the cuts, as Read does: each piece
// lands after the room the parser asks for.
Parsed ParseInPieces(const Bytes& raw, const std::vector<std::size_t>& cuts) {
    LineMarkParser parser;
    Parsed out;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t to = i < cuts.size() ? cuts[i] : raw.size();
        const int lead = parser.Lead();
        Bytes buffer(static_cast<std::size_t>(lead), 0xEE);
        buffer.insert(buffer.end(), raw.begin() + static_cast<std::ptrdiff_t>(from),
                      raw.begin() + static_cast<std::ptrdiff_t>(to));
        const int n = parser.Parse(buffer.data(), lead, static_cast<int>(buffer.size()));
        out.data.insert(out.data.end(), buffer.begin(), buffer.begin() + n);
        out.flags |= parser.TakeFlags();
        from = to;
    }
    return out;
}

TEST(LineMarkParser, Marks) {
    struct Case {
        Bytes raw, data;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {{'a', 'b', 0x00, 0x7F}, {'a', 'b', 0x00, 0x7F}, 0},
        {{0xFF, 0xFF}, {0xFF}, 0},
        {{'a', 0xFF, 0x00, 0x00, 'b'}, {'a', 'b'}, CE_BREAK},
        {{0xFF, 0x00, 'A'}, {'A'}, CE_FRAME},
        {{0xFF, 0x00, 0xFF}, {0xFF}, CE_FRAME},
        {{0xFF, 'Q'}, {0xFF, 'Q'}, 0},  // no kernel sends this; nothing is lost
        {{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 'x'}, {0xFF, 'x'}, CE_BREAK | CE_FRAME},
    };
    for (const Case& c : cases) {
        const Parsed p = ParseInPieces(c.raw, {});
        EXPECT_EQ(p.data, c.data);
        EXPECT_EQ(p.flags, c.flags);
    }
}

TEST(LineMarkParser, MarksSplitAnywhere) {
    const Bytes raw = {'a',  0xFF, 0xFF, 0xFF, 0x00, 0x00, 'b', 0xFF, 0x00, 'c',
                       0xFF, 'd',  0xFF, 0xFF, 0xFF, 0x00, 'e', 0xFF, 0x00, 0x00};
    const Parsed whole = ParseInPieces(raw, {});
    ASSERT_EQ(whole.data, (Bytes{'a', 0xFF, 'b', 'c', 0xFF, 'd', 0xFF, 'e'}));
    ASSERT_EQ(whole.flags, CE_BREAK | CE_FRAME);
    for (std::size_t i = 0; i <= raw.size(); ++i) {
        for (std::size_t j = i; j <= raw.size(); ++j) {
            const Parsed p = ParseInPieces(raw, {i, j});
            EXPECT_EQ(p.data, whole.data) << "cut at " << i << " and " << j;
            EXPECT_EQ(p.flags, whole.flags) << "cut at " << i << " and " << j;
        }
    }
}

TEST(LineMarkParser, ResetForgetsAHalfMark) {
    LineMarkParser parser;
    std::uint8_t start[] = {'a', 0xFF, 0x00};
    EXPECT_EQ(parser.Parse(start, 0, 3), 1);
    parser.Reset();
    std::uint8_t rest[] = {0x00, 'b'};
    EXPECT_EQ(parser.Parse(rest, 0, 2), 2);
    EXPECT_EQ(rest[0], 0x00);
    EXPECT_EQ(parser.TakeFlags(), 0u);
}

}  // namespace
}  // namespace tavirel
