#include "link/write_queue.h"

#include <fcntl.h>

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

// The queue on a hand-moved clock at 45 baud, 5 data bits, 1.5 stop bits:
// 166.7 ms a character, 426 ms a byte allowed.
class WriteQueueTest : public test::FakeLinkTest {
  protected:
    WriteQueueTest() { clock = &handClock; }
    int Write(const Bytes& bytes, std::uint64_t* id = nullptr) {
        return WriteCommBlock(&window, bytes.data(), static_cast<std::int32_t>(bytes.size()), id);
    }
    bool Sent(std::size_t n) {
        return Eventually([&] { return port->Received().size() >= n; }) &&
               port->Received().size() == n;
    }
    // Lets the writer act on what it has been told, then says what went out.
    Bytes Settled() {
        std::this_thread::sleep_for(20ms);
        return port->Received();
    }
    // How often the writer looks while nothing changes.
    template <typename F>
    int LooksWhileNothingChanges(F looks) {
        Settled();
        const int before = looks();
        std::this_thread::sleep_for(100ms);
        return looks() - before;
    }

    test::MockClock handClock;
};

TEST_F(WriteQueueTest, BytesLeaveAtTheLinePaceWithoutGapsOnceClearToSend) {
    state.flowControl = kFlowRtsCts;
    port->Apply(PlanLine(state, ModeBaudot));
    port->SetInputLines(false, true);
    // An empty write ends in its turn, too.
    std::uint64_t ids[4] = {};
    for (int i = 0; const Bytes& b : {Bytes{3}, Bytes{}, Bytes{25}, Bytes{14}})
        EXPECT_EQ(Write(b, &ids[i++]), 1);
    EXPECT_TRUE(ids[0] < ids[1] && ids[1] < ids[2] && ids[2] < ids[3]);
    handClock.Advance(1s);
    EXPECT_TRUE(Settled().empty());
    // Held by CTS, the writer waits for the line to change, not on a timer.
    EXPECT_LE(LooksWhileNothingChanges([&] { return port->ModemLineReads(); }), 1);
    port->SetInputLines(true, true);
    ASSERT_TRUE(Sent(1));
    handClock.Advance(160ms);
    EXPECT_EQ(Settled().size(), 1u);  // the first character is still on the line
    handClock.Advance(5ms);           // within the lead before it ends
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

    // Without modem lines (a pseudo-terminal) there is nothing to wait for.
    port->SetHasModemLines(false);
    port->SetInputLines(false, false);
    Write({9});
    EXPECT_TRUE(Sent(4));
}

TEST_F(WriteQueueTest, AWritePastItsDeadlineIsReportedAndStillGoesOut) {
    test::DiagnosticsCapture diagnostics;
    port->StallWrites(true);  // the far end has said XOFF
    std::uint64_t late = 0, next = 0;
    EXPECT_EQ(Write({1, 2}, &late), 1);
    EXPECT_EQ(Write({3}, &next), 1);
    ASSERT_TRUE(Eventually([&] { return port->WriteAttempts() > 0; }));  // its time runs
    handClock.Advance(851ms);
    EXPECT_TRUE(Settled().empty());
    EXPECT_FALSE(diagnostics.Contains("Probable Write Timeout"));
    handClock.Advance(2ms);  // 2 x 426 ms allowed
    EXPECT_TRUE(Eventually(
        [&] { return diagnostics.Contains("Probable Write Timeout: Total of 0 bytes sent"); }));
    EXPECT_EQ(window.Screen(), "");
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
    // Its end follows once all of it has left the line.
    EXPECT_EQ(window.Dones(),
              (Dones{{late, 0, TimedOut}, {late, 2, Complete}, {next, 1, Complete}}));
}

// Output held in the driver (XOFF on a UART, a slow adapter): the writer
// sleeps for the time it needs instead of looking again at once.
TEST_F(WriteQueueTest, OutputHeldInTheDriverIsWaitedForNotPolled) {
    port->HoldOutput(true);
    Write({3});
    Write({25});
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    handClock.Advance(200ms);  // the line clock has run out; the driver still holds 3
    EXPECT_LE(LooksWhileNothingChanges([&] { return port->OutputQueuedCalls(); }), 2);
    EXPECT_TRUE(port->Received().empty());

    port->DrainOutput(1);
    handClock.Advance(167ms);  // the writer looks again when its time is up
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    port->HoldOutput(false);
    handClock.Advance(1s);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_EQ(port->Received(), (Bytes{3, 25}));

    // On the real clock, a driver sending none of its held bytes is looked at
    // less and less often; the queue makes its own wake-up.
    state.baudRate = 115200;
    WriteQueue fast(&window, &state, port, -1, 0, CharacterTime(state));
    port->HoldOutput(true);
    const Bytes ten(10, 3);
    fast.Enqueue(ten.data(), 10);
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 10; }));
    EXPECT_LE(LooksWhileNothingChanges([&] { return port->OutputQueuedCalls(); }), 15);
    port->HoldOutput(false);
    EXPECT_TRUE(fast.WaitIdle(2s));
}

// A cut-short write always shows its mark, also one that had timed out; the
// line errors only when wanted. A vanished device is marked once, whether the
// reader or the writer sees it first.
TEST_F(WriteQueueTest, APurgeOrAFailedDeviceShowsItsMark) {
    state.displayErrors = 0;
    std::uint64_t cut = 0, unstarted = 0;
    Write({3, 25, 14}, &cut);
    Write({9}, &unstarted);
    ASSERT_TRUE(Sent(1));
    state.writer->Purge();
    EXPECT_EQ(window.Screen(), "<CE-995>");  // once: the second write never started
    EXPECT_EQ(window.Dones(), (Dones{{cut, 1, CutShort}, {unstarted, 0, CutShort}}));
    EXPECT_EQ(port->OutputPurges(), 1);
    EXPECT_TRUE(state.writer->Idle());
    handClock.Advance(1s);
    EXPECT_EQ(Settled(), (Bytes{3}));

    test::DiagnosticsCapture diagnostics;
    port->HoldOutput(true);  // XOFF: the write outlives its deadline
    std::uint64_t held = 0;
    Write({25}, &held);
    ASSERT_TRUE(Eventually([&] { return port->OutputQueued() == 1; }));
    handClock.Advance(427ms);
    ASSERT_TRUE(Eventually([&] { return diagnostics.Contains("Total of 0 bytes sent"); }));
    state.writer->Stop();  // the Disconnect
    EXPECT_EQ(window.Screen(), "<CE-995><CE-995>");
    EXPECT_EQ(window.Dones(), (Dones{{cut, 1, CutShort},
                                     {unstarted, 0, CutShort},
                                     {held, 0, TimedOut},
                                     {held, 0, CutShort}}));
    port->HoldOutput(false);
    EXPECT_EQ(port->Received(), (Bytes{3}));

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
    // The device takes no more writes.
    for (const int display : {0, 1}) {
        state.displayErrors = display;
        port->InjectErrors(CE_FRAME | CE_BREAK);
        EXPECT_EQ(Write({25}), 0);
    }
    EXPECT_EQ(window.Screen(), "<CE-995><CE-995><CE-5><CE-24>");

    // Another error shows its own number; a new connection may mark the device again.
    Reconnect();
    port->FailWrites(ENXIO);
    Write({3});
    ASSERT_TRUE(window.WaitScreenContains("<CE-6>"));
    EXPECT_TRUE(PostDeviceGone(&window, state));
    EXPECT_EQ(window.Screen(), "<CE-995><CE-995><CE-5><CE-24><CE-6><CE-5>");
}

// Only a line change or a signal ends the driver's wait: the stop gets through.
TEST(ModemLineWatch, WakesOnAChangeAndStopsWhileTheDriverWaits) {
    int change[2];
    ASSERT_EQ(::pipe2(change, O_CLOEXEC), 0);
    std::atomic<int> entered{0};
    ModemLineWatch watch([&] {
        ++entered;
        char c;
        return ::read(change[0], &c, 1) == 1 ? 0 : -1;  // EINTR on the stop
    });
    TtyState state;
    ASSERT_TRUE(CreateLinkEvents(state));
    const std::uint64_t one = 1;
    ASSERT_EQ(::write(state.writeEvent, &one, sizeof one), 8);
    EXPECT_EQ(watch.Wait(state.writeEvent, -1), WaitResult::Woken);
    ASSERT_TRUE(Eventually([&] { return entered.load() == 1; }));
    ASSERT_EQ(::write(change[1], "x", 1), 1);
    EXPECT_EQ(watch.Wait(-1, -1), WaitResult::Ready);
    ASSERT_TRUE(Eventually([&] { return entered.load() == 2; }));
    watch.Stop();  // returns although the helper is blocked in read
    EXPECT_EQ(entered.load(), 2);
    // Stopped, or where the driver cannot wait, it looks on a timer.
    EXPECT_EQ(watch.Wait(-1, -1), WaitResult::Timeout);
    ::close(change[0]);
    ::close(change[1]);

    ModemLineWatch unsupported([] {
        errno = ENOTTY;
        return -1;
    });
    EXPECT_TRUE(Eventually([&] { return unsupported.Wait(-1, 1000) == WaitResult::Timeout; }));
}

// 5N1.5 at 45 baud is the pacing above; 9600 8E2 is 12 bits a character.
TEST(WriteTimings, MultiplierAndCharacterTime) {
    for (const auto& [baud, ms] : {std::pair(45u, 426u), {110u, 174u}, {19200u, 1u}, {38400u, 0u}})
        EXPECT_EQ(WriteMsPerByte(baud), ms) << baud;
    EXPECT_EQ(
        CharacterTime({.baudRate = 9600, .byteSize = 8, .parity = 2, .stopBits = 2, .sound = {}}),
        1'250'000ns);
}

}  // namespace
}  // namespace tavirel
