#include "link/port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include "link/line_marks.h"
#include "link/port_lock.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::ReadFile;

// Up to n data bytes from the port, read two at a time so that marks split.
Bytes ReadPort(Port& port, std::size_t n, std::chrono::milliseconds limit = 2s) {
    Bytes got;
    test::Eventually(
        [&] {
            std::uint8_t buffer[2];
            got.insert(got.end(), buffer, buffer + std::max(port.Read(buffer, 2), 0));
            return got.size() >= n;
        },
        limit);
    return got;
}

using PortTest = test::PtyLinkTest;

TEST_F(PortTest, ComNumbersLeadToDevicesHeldByOneAtATimeThatReadWriteWaitAndPurge) {
    EXPECT_EQ(DeviceForPort("COM3"), line.portFolder() / "COM3");
    EXPECT_EQ(DeviceForPort("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPort("COM10"), "/dev/ttyS9");
    for (const char* bad : {"LPT1", "COM", "COM0", "COMx", "COM3x", "COM-1", "COM+3", "COM03",
                            "com3", " COM3", "COM99999999999"})
        EXPECT_EQ(DeviceForPort(bad), "") << bad;

    std::filesystem::create_symlink("/dev/tavirel-no-such-device", line.portFolder() / "COM7");
    EXPECT_EQ(DeviceForPort("COM7"), line.portFolder() / "COM7");
    errno = 0;
    EXPECT_EQ(OpenPortNamed("COM7"), nullptr);
    EXPECT_EQ(errno, ENOENT);

    // flock and our own lock refuse a second open in this process too.
    auto first = OpenSerialPort(line.slavePath());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenPortNamed("COM3"), nullptr);
    EXPECT_EQ(errno, EBUSY);
    first->Close();
    const auto port = OpenPortNamed("COM3");
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->Apply(PlanLine(LineSettings{}, ModeBaudot)), 1);
    EXPECT_EQ(port->ModemLines(), -1);
    EXPECT_EQ(port->WaitInput(state.readEvent, 20), WaitResult::Timeout);
    SignalEvent(state.readEvent);
    EXPECT_EQ(port->WaitInput(state.readEvent, -1), WaitResult::Woken);

    const Bytes sent = {'A', 0xFF, 0x00, 0x1B};
    ASSERT_EQ(port->Write(sent.data(), 4), 4);
    EXPECT_EQ(line.ReadFromFarEnd(4, 2s), sent);
    // The kernel doubles FF (PARMRK); Read gives one back.
    ASSERT_TRUE(line.WriteFromFarEnd(sent));
    EXPECT_EQ(port->WaitInput(-1, 2000), WaitResult::Ready);
    EXPECT_EQ(ReadPort(*port, sent.size()), sent);
    EXPECT_EQ(port->TakeErrors(), 0u);

    // The purge drops a mark half read too, or 'z' would come with a stray FF.
    ASSERT_TRUE(line.WriteFromFarEnd({0xFF, 'x', 'y'}));
    ASSERT_EQ(port->WaitInput(-1, 2000), WaitResult::Ready);
    std::uint8_t b;
    ASSERT_EQ(port->Read(&b, 1), 0);
    port->Purge();
    EXPECT_EQ(port->BytesWaiting(), 0);
    ASSERT_TRUE(line.WriteFromFarEnd({'z'}));
    EXPECT_EQ(ReadPort(*port, 2, 300ms), Bytes{'z'});

    line.CloseFarEnd();
    EXPECT_EQ(port->WaitInput(-1, 1000), WaitResult::Hangup);
}

std::string LockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(pid));
    return text;
}

TEST_F(PortTest, RefusedWhileAnotherProcessHoldsItAndFreeWhenItIsGone) {
    const std::string slave = line.slavePath();
    EXPECT_EQ(line.lockFile().filename().string().rfind("LCK..pts_", 0), 0u);
    test::DiagnosticsCapture diagnostics;

    // A program holding the slave without any lock; each child stops once it has the line.
    const pid_t reader = fork();
    if (reader == 0) {
        open(slave.c_str(), O_RDONLY | O_NOCTTY);
        for (;;)
            raise(SIGSTOP);
    }
    ASSERT_EQ(waitpid(reader, nullptr, WUNTRACED), reader);
    EXPECT_EQ(OpenSerialPort(slave), nullptr);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_TRUE(diagnostics.Contains("(process " + std::to_string(reader) + ")"));
    EXPECT_FALSE(std::filesystem::exists(line.lockFile()));
    kill(reader, SIGKILL);
    ASSERT_EQ(waitpid(reader, nullptr, 0), reader);

    // Another of us, killed without a chance to close: nothing it set stays.
    const pid_t holder = fork();
    if (holder == 0) {
        const auto held = OpenSerialPort(slave);
        for (;;)
            raise(SIGSTOP);
    }
    ASSERT_EQ(waitpid(holder, nullptr, WUNTRACED), holder);
    EXPECT_EQ(ReadFile(line.lockFile()), LockText(holder));
    std::filesystem::remove(line.lockFile());  // flock and /proc alone still refuse
    EXPECT_EQ(OpenSerialPort(slave), nullptr);
    EXPECT_EQ(errno, EBUSY);
    test::WriteFile(line.lockFile(), LockText(holder));
    kill(holder, SIGKILL);
    ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
    const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = -1;
    ioctl(fd, TIOCGEXCL, &exclusive);
    close(fd);
    EXPECT_EQ(exclusive, 0);
    EXPECT_NE(OpenSerialPort(slave), nullptr);
}

// Process 1 is always running.
TEST_F(PortTest, TheLockHolderIsReadFromEveryForm) {
    const int init = 1;
    const std::string binary(reinterpret_cast<const char*>(&init), sizeof init);
    const struct Row {
        const char* name;
        std::string text;
        pid_t holder;  // 0: the lock is ours; -1 refused, holder unknown
    } rows[] = {
        {"ten characters", LockText(1), 1},
        {"PID, name and user a line each", "1\nterm\nroot\n", 1},
        {"blanks, PID, name and user", "  1 term root\n", 1},
        {"a binary int", binary, 1},
        {"PID ending with the field", std::string(kLockPidField - 1, ' ') + "1\n", 1},
        {"PID running past the field", std::string(kLockPidField, ' ') + "1\n", -1},
        {"a PID no process has", "99999999\nterm\n", 0},
        {"no PID first", "term 1\n", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::DiagnosticsCapture diagnostics;
        test::WriteFile(line.lockFile(), row.text);
        const auto port = OpenSerialPort(line.slavePath());
        EXPECT_EQ(port == nullptr ? errno : 0, row.holder == 0 ? 0 : EBUSY);
        EXPECT_EQ(diagnostics.Contains("(process 1)"), row.holder == 1);
        EXPECT_EQ(ReadFile(line.lockFile()), row.holder == 0 ? LockText(getpid()) : row.text);
    }
}

// A link planted under a name our lock might have had is neither written
// through nor taken for our lock.
TEST_F(PortTest, PlantedLockLinksAreNeitherWrittenThroughNorTaken) {
    const auto victim = line.lockFolder() / "victim";
    test::WriteFile(victim, "keep\n");
    const auto planted = line.lockFolder() / ("LTMP." + std::to_string(getpid()));
    for (const bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        hard ? create_hard_link(victim, planted) : create_symlink(victim, planted);
        PortLock lock;
        ASSERT_TRUE(lock.Acquire(line.slavePath()));
        EXPECT_EQ(ReadFile(victim), "keep\n");
        EXPECT_EQ(ReadFile(line.lockFile()), LockText(getpid()));
        EXPECT_EQ(std::filesystem::status(line.lockFile()).permissions(),
                  std::filesystem::perms(0644));
        EXPECT_EQ(std::ranges::distance(std::filesystem::directory_iterator(line.lockFolder())), 3);
        lock.Release();
        std::filesystem::remove(planted);
    }

    test::DiagnosticsCapture diagnostics;
    SetLockFolder(line.lockFolder() / "missing");
    PortLock lock;
    EXPECT_TRUE(lock.Acquire(line.slavePath()));
    EXPECT_FALSE(lock.written());
    EXPECT_TRUE(diagnostics.Contains("warning: No lock file"));
}

// Without counters (a pseudo-terminal) the marks are all there is.
TEST(PortErrors, CountersStandForLineErrorsAndTheFullQueueIsKept) {
    const LineErrorCounts zero, parity{0, 0, 1, 0, 0}, all{2, 1, 0, 3, 1};
    const struct {
        std::uint32_t marks;
        const LineErrorCounts* now;
        std::uint32_t flags;
    } rows[] = {
        {CE_FRAME | CE_BREAK | CE_TXFULL, nullptr, CE_FRAME | CE_BREAK | CE_TXFULL},
        {CE_TXFULL, &zero, CE_TXFULL},
        {CE_FRAME, &parity, CE_RXPARITY},
        {CE_BREAK | CE_TXFULL, &all, CE_RXOVER | CE_OVERRUN | CE_FRAME | CE_BREAK | CE_TXFULL}};
    for (const auto& r : rows)
        EXPECT_EQ(ErrorFlags(r.marks, r.now ? &zero : nullptr, r.now), r.flags) << r.marks;
}

// Feeds raw in pieces ending at the cuts, each after the lead the parser asks, as Read does.
std::pair<Bytes, std::uint32_t> ParseInPieces(const Bytes& raw, std::vector<std::size_t> cuts) {
    LineMarkParser parser;
    Bytes data;
    std::size_t from = 0;
    cuts.push_back(raw.size());
    for (const std::size_t to : cuts) {
        Bytes buffer(static_cast<std::size_t>(parser.Lead()), 0xEE);
        buffer.insert(buffer.end(), raw.begin() + static_cast<std::ptrdiff_t>(from),
                      raw.begin() + static_cast<std::ptrdiff_t>(to));
        const int n = parser.Parse(buffer.data(), parser.Lead(), static_cast<int>(buffer.size()));
        data.insert(data.end(), buffer.begin(), buffer.begin() + n);
        from = to;
    }
    const std::uint32_t flags = parser.TakeFlags();
    EXPECT_EQ(parser.TakeFlags(), 0u);  // taking them clears them
    return {data, flags};
}

TEST(LineMarkParser, MarksWholeOrSplitAnywhere) {
    // FF FF is data, FF 00 00 a break, FF 00 c a bad c; FF d is no mark.
    const Bytes raw = {'a',  0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 'b',  0xFF, 0x00, 'c',
                       0xFF, 'd',  0xFF, 0xFF, 0xFF, 0x00, 'e',  0xFF, 0x00, 0x00};
    const auto whole =
        std::make_pair(Bytes{'a', 0x00, 0xFF, 'b', 'c', 0xFF, 'd', 0xFF, 'e'}, CE_BREAK | CE_FRAME);
    for (std::size_t i = 0; i <= raw.size(); ++i) {
        for (std::size_t j = i; j <= raw.size(); ++j)
            EXPECT_EQ(ParseInPieces(raw, {i, j}), whole) << "cut at " << i << " and " << j;
    }
    EXPECT_EQ(ParseInPieces({0xFF, 0x00, 'A'}, {}).second, CE_FRAME);
    EXPECT_EQ(ParseInPieces({0xFF, 0x00, 0x00}, {}).second, CE_BREAK);
}

}  // namespace
}  // namespace tavirel
