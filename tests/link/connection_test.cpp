#include "link/connection.h"

#include "link/port_io.h"
#include "link/sender.h"
#include "link/transfer_state.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::Eventually;

struct LinkTest : test::PtyLinkTest {
    void UseFakePort(int failInputWaits = 0) {
        SetPortOpener([=, this](const std::string&) -> std::unique_ptr<Port> {
            auto owned = std::make_unique<test::FakePort>();
            owned->failInputWaits = failInputWaits;
            port = owned.get();
            return owned;
        });
    }

    test::FakePort* port = nullptr;
};

TEST_F(LinkTest, OpenAndCloseFollowTheirOrder) {
    UseFakePort(2);
    for (const CodeModeValue mode : {ModeBaudot, ModeTerminal}) {
        SCOPED_TRACE(mode);
        CodeMode = mode;
        test::FakeWindow w(&state);
        ASSERT_NE(OpenConnection(&w), 0);
        EXPECT_GE(port->Calls(test::FakePort::kPurge), 1);
        EXPECT_EQ(port->Dtr(), mode == ModeTerminal);
        EXPECT_EQ(w.CaretShows(), 1);
        EXPECT_TRUE(w.CursorEverLeftWaiting());
        EXPECT_EQ(OpenConnection(&w), 0);
        EXPECT_FALSE(port->IsClosed());
        port->Send({'K'});  // after two failed waits
        EXPECT_TRUE(w.WaitReceived(1));
        EXPECT_EQ(port->failInputWaits.load(), 0);

        EXPECT_EQ(CloseConnection(&w), 1);
        EXPECT_TRUE(port->IsClosed());
        EXPECT_FALSE(port->Dtr());
        EXPECT_EQ(state.readerThreadId.load(), 0u);
        EXPECT_EQ(w.MenuRows(), (std::vector<bool>{true, false}));
    }

    state.byteSize = 9;
    test::DiagnosticsCapture diagnostics;
    EXPECT_EQ(OpenConnection(&window), 0);
    EXPECT_TRUE(diagnostics.Contains("the line settings were refused"));
    EXPECT_EQ(state.connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
    EXPECT_FALSE(state.writer);
    EXPECT_TRUE(window.MenuRows().empty());
    EXPECT_TRUE(window.CursorEverLeftWaiting());
}

TEST_F(LinkTest, ReceptionIsDecodedCapturedAndShownInBlocksOfEighty) {
    UseFakePort();
    Open(ModeBaudot, 45, 5);
    const test::TempDir dir;
    TransferGuard capture;
    capture.Start(std::fopen((dir / "cap").c_str(), "wb"), nullptr);
    port->InjectErrors(CE_FRAME);  // cleared unseen
    port->Send({27, 1, 4, 1});
    ASSERT_TRUE(window.WaitReceived(3));
    EXPECT_EQ(port->TakeErrors(), 0u);
    port->Send({31, 27});  // shifts only: counted, nothing appended
    ASSERT_TRUE(Eventually([] { return Transfer().BytesRead() == 6; }));
    EXPECT_EQ(Transfer().BytesSaved(), 3);

    CodeMode = ModeAscii;
    std::string burst = "\xE9";
    for (int i = 1; i < 200; ++i)
        burst += char(i);
    port->Send(Bytes(burst.begin(), burst.end()));
    ASSERT_TRUE(window.WaitReceived(203));
    EXPECT_EQ(window.Screen(), "3 E" + burst);
    const std::vector<int> sizes = port->ReadSizes();
    ASSERT_GE(sizes.size(), 3u);
    EXPECT_EQ(std::vector<int>(sizes.end() - 3, sizes.end()), (std::vector<int>{80, 80, 40}));

    EXPECT_TRUE(capture.End());
    EXPECT_EQ(Transfer().BytesRead(), 206);
    EXPECT_EQ(test::ReadFile(dir / "cap"), "3 E" + burst);

    // Once the reader has begun, the close waits until all is delivered.
    port->Send(Bytes(1000, 'R'));
    ASSERT_TRUE(window.WaitReceived(204));
    CloseConnection(&window);
    EXPECT_EQ(window.ReceivedText(), "3 E" + burst + std::string(1000, 'R'));
}

TEST_F(LinkTest, AVanishingFarEndIsMarkedOnceAndClosedPromptly) {
    ASSERT_NE(OpenConnection(&window), 0);
    WriteCommBlock(&window, Bytes(100, 'P').data(), 100);
    std::this_thread::sleep_for(50ms);
    line.CloseFarEnd();
    EXPECT_TRUE(window.WaitScreenContains("<CE-5>"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const std::string shown = window.Screen();
    EXPECT_EQ(shown.find("<CE-5>"), shown.rfind("<CE-5>")) << shown;
}

TEST_F(LinkTest, ABurstWakesOnceAndAFloodIsBoundedAndNeverHoldsTheCloseUp) {
    Open(ModeAscii, 115200, 8);
    const Bytes burst(50 * 80, 'B');
    ASSERT_TRUE(line.WriteFromFarEnd(burst));
    ASSERT_TRUE(window.WaitReceived(burst.size()));
    EXPECT_EQ(window.ReceivedText(), std::string(burst.size(), 'B'));
    const int wakes = window.Wakes();
    EXPECT_LE(wakes, 3);  // not one a block (50)

    window.StopTaking();
    std::atomic<bool> flooding{true};
    std::thread far([&] {
        while (flooding.load())
            line.WriteFromFarEnd(Bytes(4096, 'F'));
    });
    ASSERT_TRUE(
        Eventually([&] { return state.received.Size() >= ReceiveQueue::kDefaultCapacity; }));
    std::this_thread::sleep_for(50ms);
    const std::size_t held = state.received.Size();
    EXPECT_LE(held, ReceiveQueue::kDefaultCapacity + 80);
    EXPECT_EQ(window.Wakes(), wakes + 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    flooding = false;
    far.join();
    EXPECT_GE(state.received.Size(), held);
}

TEST_F(LinkTest, ASessionOnAPseudoTerminal) {
    state.flowControl = kFlowXonXoff;
    test::DiagnosticsCapture diagnostics;
    Open(ModeTerminal, 2400, 8);  // 8 ms allowed per byte
    for (const char c : std::string("hi"))
        SendKeyChar(&window, c);
    EXPECT_EQ(line.ReadFromFarEnd(2, 2s), (Bytes{'h', 'i'}));
    ASSERT_TRUE(line.WriteFromFarEnd({'O', 'K', 19}));  // and XOFF
    ASSERT_TRUE(window.WaitReceived(2));
    EXPECT_EQ(window.ReceivedText(), "OK");

    const std::string text = "0123456789ABCDEFGHIJ0123456789abcdefghij";
    for (const char c : text)
        SendKeyChar(&window, c);
    EXPECT_TRUE(line.ReadFromFarEnd(1, 300ms).empty());
    EXPECT_TRUE(diagnostics.Contains("Probable Write Timeout: Total of 0 bytes sent"));
    EXPECT_EQ(state.commHandle->TakeErrors() & CE_TXFULL, CE_TXFULL);  // the stalled driver
    ASSERT_TRUE(line.WriteFromFarEnd({17}));                           // XON
    const Bytes got = line.ReadFromFarEnd(text.size(), 3s);
    EXPECT_EQ(std::string(got.begin(), got.end()), text);

    EXPECT_TRUE(state.writer->WaitIdle(2s));
    state.commHandle->TakeErrors();
    EXPECT_EQ(state.commHandle->TakeErrors(), 0u);
    std::this_thread::sleep_for(20ms);  // the reader is asleep in its wait
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
}

}  // namespace
}  // namespace tavirel
