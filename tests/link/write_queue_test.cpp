#include "link/write_queue.h"

#include <sys/eventfd.h>

#include "link/modem_watch.h"
#include "link/port_io.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Dones = std::vector<WriteDone>;
using test::Eventually;
using enum WriteEnd;
using enum test::FakePort::Call;

// 45 baud 5N1.5 on a hand-moved clock: 166.7 ms a character, 426 ms a byte allowed.
struct WriteQueueTest : test::FakeLinkTest {
    WriteQueueTest() { clock = &handClock; }
    int Write(const Bytes& bytes, std::uint64_t* id = nullptr) {
        return WriteCommBlock(&window, bytes.data(), static_cast<std::int32_t>(bytes.size()), id);
    }
    bool Sent(std::size_t n) {
        return Eventually([&] { return port->Received().size() >= n; }) &&
               port->Received().size() == n;
    }
    Bytes Settled() {
        std::this_thread::sleep_for(20ms);
        return port->Received();
    }
    int LooksWhileNothingChanges(test::FakePort::Call call) {
        Settled();
        const int before = port->Calls(call);
        std::this_thread::sleep_for(100ms);
        return port->Calls(call) - before;
    }

    test::MockClock handClock;
};

TEST_F(WriteQueueTest, BytesLeaveAtTheLinePaceWithoutGapsOnceClearToSend) {
    state.flowControl = kFlowRtsCts;
    port->Apply(PlanLine(state, ModeBaudot));
    port->SetInputLines(false, true);
    std::uint64_t ids[4] = {};
    for (int i = 0; const Bytes& b : {Bytes{3}, Bytes{}, Bytes{25}, Bytes{14}})
        EXPECT_EQ(Write(b, &ids[i++]), 1);
    EXPECT_TRUE(ids[0] < ids[1] && ids[1] < ids[2] && ids[2] < ids[3]);
    handClock.Advance(1s);
    EXPECT_TRUE(Settled().empty());
    // Held by CTS, the writer waits for the line, not on a timer.
    EXPECT_LE(LooksWhileNothingChanges(kModemLines), 1);
    port->SetInputLines(true, true);
    ASSERT_TRUE(Sent(1));
    handClock.Advance(160ms);
    EXPECT_EQ(Settled().size(), 1u);
    handClock.Advance(5ms);  // within the lead before the first character ends
    ASSERT_TRUE(Sent(2));
    handClock.Advance(167ms);
    ASSERT_TRUE(Sent(3));
    EXPECT_EQ(port->Received(), (Bytes{3, 25, 14}));
    EXPECT_FALSE(state.writer->Idle());
    handClock.Advance(200ms);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_EQ(window.Dones(), (Dones{{ids[0], 1, Complete},
                                     {ids[1], 0, Complete},
                                     {ids[2], 1, Complete},
                                     {ids[3], 1, Complete}}));

    port->SetHasModemLines(false);  // a pseudo-terminal: nothing to wait for
    port->SetInputLines(false, false);
    Write({9});
    EXPECT_TRUE(Sent(4));
}

TEST_F(WriteQueueTest, AWritePastItsDeadlineIsReportedAndStillGoesOut) {
    test::DiagnosticsCapture diagnostics;
    port->StallWrites(true);
    std::uint64_t late = 0, next = 0, held = 0;
    EXPECT_EQ(Write({1, 2}, &late), 1);
    EXPECT_EQ(Write({3}, &next), 1);
    ASSERT_TRUE(Eventually([&] { return port->Calls(kWrite) > 0; }));
    handClock.Advance(851ms);
    EXPECT_TRUE(Settled().empty());
    EXPECT_FALSE(diagnostics.Contains("Probable Write Timeout"));
    handClock.Advance(2ms);  // 2 x 426 ms allowed
    EXPECT_TRUE(Eventually(
        [&] { return diagnostics.Contains("Probable Write Timeout: Total of 0 bytes sent"); }));
    EXPECT_EQ(window.Dones(), (Dones{{late, 0, TimedOut}}));

    port->StallWrites(false);
    for (int i = 0; i < 10 && port->Received().size() < 3; ++i) {
        handClock.Advance(170ms);
        Settled();
    }
    EXPECT_EQ(port->Received(), (Bytes{1, 2, 3}));
    handClock.Advance(1s);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_TRUE(diagnostics.Contains("\n1 bytes written"));
    EXPECT_EQ(window.Dones(),
              (Dones{{late, 0, TimedOut}, {late, 2, Complete}, {next, 1, Complete}}));

    // Stopped after its time-out, a write held in the driver is cut short all the same.
    port->HoldOutput(true);
    Write({25}, &held);
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    handClock.Advance(427ms);
    ASSERT_TRUE(Eventually([&] { return diagnostics.Count("Total of 0 bytes sent") == 2; }));
    state.writer->Stop();
    EXPECT_EQ(window.Screen(), "<CE-995>");
    EXPECT_EQ(window.Dones().back(), (WriteDone{held, 0, CutShort}));
    EXPECT_EQ(window.Dones().size(), 5u);
    port->HoldOutput(false);
    EXPECT_EQ(port->Received(), (Bytes{1, 2, 3}));
}

TEST_F(WriteQueueTest, OutputHeldInTheDriverIsWaitedForNotPolled) {
    port->HoldOutput(true);
    Write({3});
    Write({25});
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    handClock.Advance(200ms);
    EXPECT_LE(LooksWhileNothingChanges(kOutputQueued), 2);

    port->DrainOutput(1);
    handClock.Advance(167ms);
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    port->HoldOutput(false);
    handClock.Advance(1s);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_EQ(port->Received(), (Bytes{3, 25}));

    // On the real clock a driver sending nothing is looked at less and less often.
    state.baudRate = 115200;
    WriteQueue fast(&window, &state, port, -1, 0, CharacterTime(state));
    port->HoldOutput(true);
    fast.Enqueue(Bytes(10, 3).data(), 10);
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 10; }));
    EXPECT_LE(LooksWhileNothingChanges(kOutputQueued), 15);
    port->HoldOutput(false);
    EXPECT_TRUE(fast.WaitIdle(2s));
}

// A line with a clock of its own, as the sound card, paces the writer: it is
// fed as the line wants, waited on rather than polled, and a write ends when
// its last byte has left, however many came after it.
TEST_F(WriteQueueTest, ALineWithItsOwnClockPacesTheWriter) {
    port->Pace();
    Reconnect();
    std::uint64_t ids[3] = {};
    for (int i = 0; const Bytes& b : {Bytes{3}, Bytes{25, 14}, Bytes{7}})
        Write(b, &ids[i++]);
    EXPECT_LE(LooksWhileNothingChanges(kWrite), 1);
    port->Want();
    port->Want();
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 2; }));
    EXPECT_EQ(window.Dones(), Dones{});
    port->DrainOutput(1);
    ASSERT_TRUE(Eventually([&] { return window.Dones().size() == 1; }));
    // The second write's first byte has left, its second not yet come.
    port->DrainOutput(1);
    Settled();
    EXPECT_EQ(window.Dones(), (Dones{{ids[0], 1, Complete}}));
    for (int i = 0; i < 2; ++i) {
        port->Want();
        ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
        port->DrainOutput(1);
    }
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_EQ(port->Received(), (Bytes{3, 25, 14, 7}));
    EXPECT_EQ(window.Dones(),
              (Dones{{ids[0], 1, Complete}, {ids[1], 2, Complete}, {ids[2], 1, Complete}}));
}

// A vanished device is marked once, whether the reader or the writer sees it first.
TEST_F(WriteQueueTest, APurgeOrAFailedDeviceShowsItsMark) {
    state.displayErrors = 0;
    std::uint64_t cut = 0, unstarted = 0;
    Write({3, 25, 14}, &cut);
    Write({9}, &unstarted);
    ASSERT_TRUE(Sent(1));
    state.writer->Purge();
    EXPECT_EQ(window.Screen(), "<CE-995>");
    EXPECT_EQ(window.Dones(), (Dones{{cut, 1, CutShort}, {unstarted, 0, CutShort}}));
    EXPECT_TRUE(state.writer->Idle());
    handClock.Advance(1s);
    EXPECT_EQ(Settled(), (Bytes{3}));

    // The reader saw the hang-up first; the writer's failure adds no mark.
    Reconnect();
    EXPECT_TRUE(PostDeviceGone(&window, state));
    EXPECT_FALSE(PostDeviceGone(&window, state));
    port->FailWrites(EIO);
    port->InjectErrors(CE_FRAME | CE_BREAK);
    std::uint64_t failed = 0;
    EXPECT_EQ(Write({3}, &failed), 1);
    ASSERT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_EQ(window.Dones().back(), (WriteDone{failed, 0, Failed}));
    for (const int display : {0, 1}) {
        state.displayErrors = display;
        port->InjectErrors(CE_FRAME | CE_BREAK);
        EXPECT_EQ(Write({25}), 0);
    }
    EXPECT_EQ(window.Screen(), "<CE-995><CE-5><CE-24>");

    Reconnect();
    port->FailWrites(ENXIO);
    Write({3});
    ASSERT_TRUE(window.WaitScreenContains("<CE-6>"));
    EXPECT_TRUE(PostDeviceGone(&window, state));
    EXPECT_EQ(window.Screen(), "<CE-995><CE-5><CE-24><CE-6><CE-5>");
}

TEST(ModemLineWatch, WakesOnAChangeAndStopsWhileTheDriverWaits) {
    const int change = ::eventfd(0, EFD_CLOEXEC);
    std::atomic<int> entered{0};
    ModemLineWatch watch([&] {
        ++entered;
        std::uint64_t n;
        return ::read(change, &n, sizeof n) > 0 ? 0 : -1;  // EINTR on the stop
    });
    const int wake = ::eventfd(1, EFD_CLOEXEC);
    EXPECT_EQ(watch.Wait(wake, -1), WaitResult::Woken);
    ASSERT_TRUE(Eventually([&] { return entered.load() == 1; }));
    SignalEvent(change);
    EXPECT_EQ(watch.Wait(-1, -1), WaitResult::Ready);
    ASSERT_TRUE(Eventually([&] { return entered.load() == 2; }));
    watch.Stop();
    EXPECT_EQ(entered.load(), 2);
    EXPECT_EQ(watch.Wait(-1, -1), WaitResult::Timeout);
    for (const int fd : {change, wake})
        ::close(fd);

    ModemLineWatch unsupported([] {
        errno = ENOTTY;
        return -1;
    });
    EXPECT_TRUE(Eventually([&] { return unsupported.Wait(-1, 1000) == WaitResult::Timeout; }));
}

TEST(WriteTimings, MultiplierAndCharacterTime) {
    for (const auto& [baud, ms] : {std::pair(45u, 426u), {110u, 174u}, {19200u, 1u}, {38400u, 0u}})
        EXPECT_EQ(WriteMsPerByte(baud), ms) << baud;
    EXPECT_EQ(
        CharacterTime({.baudRate = 9600, .byteSize = 8, .parity = 2, .stopBits = 2, .sound = {}}),
        1'250'000ns);  // 12 bits
}

}  // namespace
}  // namespace tavirel
