#include "link/write_queue.h"

#include <gtest/gtest.h>

#include <thread>

#include "link/connection.h"
#include "link/line_settings.h"
#include "link/port_io.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using test::FakePort;
using test::FakeWindow;
using test::MockClock;
using Bytes = std::vector<std::uint8_t>;

// Polls a condition that another thread makes true.
template <typename F>
bool Eventually(F condition, std::chrono::milliseconds limit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A connected record on a fake port, with the queue on a hand-moved clock at
// 45 baud, 5 data bits, 1.5 stop bits: 166.7 ms a character, 426 ms a byte
// allowed.
class WriteQueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateLinkEvents(state));
        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        state.commHandle = std::move(owned);
        port->Apply(PlanLine(state, ModeBaudot));
        state.connected = 1;
    }
    void Start() {
        state.writer = std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent,
                                                    WriteMsPerByte(state.baudRate),
                                                    CharacterTime(state), clock);
    }
    void TearDown() override {
        if (state.writer)
            state.writer->Stop();
        state.writer.reset();
    }
    int Write(const Bytes& bytes) {
        return WriteCommBlock(&window, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    // Lets the writer act on what it has been told, then says what went out.
    Bytes Settled() {
        std::this_thread::sleep_for(20ms);
        return port->Received();
    }

    TtyState state;
    FakeWindow window{&state};
    FakePort* port = nullptr;
    MockClock clock;
};

TEST_F(WriteQueueTest, BytesLeaveAtTheLinePaceWithoutGaps) {
    Start();
    EXPECT_EQ(Write({3}), 1);
    EXPECT_EQ(Write({25}), 1);
    EXPECT_EQ(Write({14}), 1);
    ASSERT_TRUE(Eventually([&] { return port->Received().size() == 1; }));
    clock.Advance(160ms);
    EXPECT_EQ(Settled().size(), 1u);  // the first character is still on the line
    clock.Advance(5ms);               // within the lead before it ends
    ASSERT_TRUE(Eventually([&] { return port->Received().size() == 2; }));
    clock.Advance(167ms);
    ASSERT_TRUE(Eventually([&] { return port->Received().size() == 3; }));
    EXPECT_EQ(port->Received(), (Bytes{3, 25, 14}));
    EXPECT_FALSE(state.writer->Idle());
    clock.Advance(200ms);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
}

TEST_F(WriteQueueTest, AWritePastItsDeadlineIsReportedAndStillGoesOut) {
    test::DiagnosticsCapture diagnostics;
    Start();
    port->StallWrites(true);  // the far end has said XOFF
    EXPECT_EQ(Write({1, 2}), 1);
    EXPECT_EQ(Write({3}), 1);
    ASSERT_TRUE(Eventually([&] { return port->WriteAttempts() > 0; }));  // its time runs
    clock.Advance(851ms);
    EXPECT_TRUE(Settled().empty());
    clock.Advance(2ms);  // 2 x 426 ms allowed
    ASSERT_TRUE(Eventually(
        [&] { return diagnostics.Contains("Probable Write Timeout: Total of 0 bytes sent"); }));
    EXPECT_EQ(window.Screen(), "");

    port->StallWrites(false);
    for (int i = 0; i < 10 && port->Received().size() < 3; ++i) {
        clock.Advance(170ms);
        Settled();
    }
    EXPECT_EQ(port->Received(), (Bytes{1, 2, 3}));
    clock.Advance(1s);
    EXPECT_TRUE(state.writer->WaitIdle(2s));
    EXPECT_TRUE(diagnostics.Contains("\n1 bytes written"));
}

TEST_F(WriteQueueTest, APurgeCutsTheWriteShortAndShowsTheAbortEvenWithErrorsHidden) {
    state.displayErrors = 0;
    Start();
    Write({3, 25, 14});
    Write({9});
    ASSERT_TRUE(Eventually([&] { return port->Received().size() == 1; }));
    const int purgesBefore = port->OutputPurges();
    state.writer->Purge();
    EXPECT_TRUE(window.WaitScreenContains("<CE-995>", 2s));
    EXPECT_EQ(window.Screen(), "<CE-995>");  // once: the second write never started
    EXPECT_EQ(port->OutputPurges(), purgesBefore + 1);
    EXPECT_TRUE(state.writer->Idle());
    clock.Advance(1s);
    EXPECT_EQ(Settled(), (Bytes{3}));
}

TEST_F(WriteQueueTest, AFailedDeviceShowsItsErrorAndRefusesFurtherWrites) {
    Start();
    port->FailWrites(EIO);
    EXPECT_EQ(Write({3}), 1);
    ASSERT_TRUE(window.WaitScreenContains("<CE-5>", 2s));

    // Framing error and break pending: shown only when the operator wants them.
    port->InjectErrors(CE_FRAME | CE_BREAK);
    EXPECT_EQ(Write({25}), 0);
    EXPECT_EQ(window.Screen(), "<CE-5><CE-24>");
    state.displayErrors = 0;
    port->InjectErrors(CE_FRAME | CE_BREAK);
    EXPECT_EQ(Write({25}), 0);
    EXPECT_EQ(window.Screen(), "<CE-5><CE-24>");
}

TEST_F(WriteQueueTest, OutputWaitsForClearToSend) {
    state.flowControl = kFlowRtsCts;
    port->Apply(PlanLine(state, ModeBaudot));
    port->SetInputLines(false, true);
    Start();
    Write({3});
    clock.Advance(1s);
    EXPECT_TRUE(Settled().empty());
    port->SetInputLines(true, true);
    EXPECT_TRUE(Eventually([&] { return port->Received() == Bytes{3}; }));

    // Without modem lines (a pseudo-terminal) there is nothing to wait for.
    port->SetHasModemLines(false);
    port->SetInputLines(false, false);
    clock.Advance(1s);
    Write({25});
    EXPECT_TRUE(Eventually([&] { return port->Received() == Bytes{3, 25}; }));
}

TEST_F(WriteQueueTest, NothingIsStartedWithoutAConnection) {
    Start();
    state.writer->Stop();
    EXPECT_EQ(Write({3}), 0);
    state.connected = 0;
    EXPECT_EQ(Write({3}), 0);
    FakeWindow orphan(nullptr);
    const std::uint8_t byte = 3;
    EXPECT_EQ(WriteCommBlock(&orphan, &byte, 1), 0);
    EXPECT_TRUE(port->Received().empty());
}

TEST(WriteTimings, MultiplierAndCharacterTime) {
    const std::pair<std::uint32_t, std::uint32_t> rates[] = {
        {45, 426}, {50, 384},  {57, 336},  {74, 259},  {100, 192}, {110, 174},
        {300, 64}, {1200, 16}, {14400, 1}, {19200, 1}, {38400, 0}, {128000, 0}};
    for (const auto& [baud, ms] : rates)
        EXPECT_EQ(WriteMsPerByte(baud), ms) << baud;

    TtyState s;  // 45 baud, 5N1.5: 7.5 bits
    EXPECT_EQ(CharacterTime(s), std::chrono::nanoseconds(166'666'666));
    s.byteSize = 8;
    s.parity = 2;
    s.stopBits = 0;
    s.baudRate = 9600;  // 11 bits
    EXPECT_EQ(CharacterTime(s), std::chrono::nanoseconds(1'145'833));
}

}  // namespace
}  // namespace tavirel
