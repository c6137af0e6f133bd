#include "link/connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "link/line_settings.h"
#include "link/port.h"
#include "link/port_io.h"
#include "link/sender.h"
#include "link/transfer_state.h"
#include "link/write_queue.h"
#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using test::FakePort;
using test::FakeWindow;
using test::PtyLine;
using Bytes = std::vector<std::uint8_t>;

class ModeGuard {
  public:
    explicit ModeGuard(CodeModeValue mode) : saved_(CodeMode.load()) { CodeMode = mode; }
    ~ModeGuard() { CodeMode = saved_; }

  private:
    CodeModeValue saved_;
};

// The link with a fake port behind the port name.
class FakeLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateLinkEvents(state));
        SetPortOpener([this](const std::string& name) -> std::unique_ptr<Port> {
            opened = name;
            auto owned = std::make_unique<FakePort>();
            port = owned.get();
            return owned;
        });
    }
    void TearDown() override {
        CloseConnection(&window);
        SetPortOpener(nullptr);
    }

    TtyState state;
    FakeWindow window{&state};
    FakePort* port = nullptr;
    std::string opened;
};

TEST_F(FakeLineTest, OpenAndCloseFollowTheirOrder) {
    ModeGuard mode(ModeBaudot);
    ASSERT_NE(OpenConnection(&window), 0);
    EXPECT_EQ(opened, "COM3");
    EXPECT_EQ(state.connected.load(), 1);
    EXPECT_GE(port->Purges(), 1);
    EXPECT_FALSE(port->Dtr());  // held low outside Terminal mode
    EXPECT_FALSE(port->Rts());
    EXPECT_EQ(window.CaretShows(), 1);
    EXPECT_EQ(window.MenuRows(), std::vector<bool>{true});
    EXPECT_TRUE(window.CursorEverLeftWaiting());

    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_EQ(state.connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
    EXPECT_FALSE(port->Dtr());
    EXPECT_EQ(state.readerThreadId.load(), 0u);
    EXPECT_EQ(window.MenuRows(), (std::vector<bool>{true, false}));
}

TEST_F(FakeLineTest, TerminalModeRaisesDtrAndEveryCloseDropsIt) {
    ModeGuard mode(ModeTerminal);
    ASSERT_NE(OpenConnection(&window), 0);
    EXPECT_TRUE(port->Dtr());
    EXPECT_TRUE(port->Rts());
    CloseConnection(&window);
    EXPECT_FALSE(port->Dtr());
}

TEST_F(FakeLineTest, RefusedSettingsCloseThePortAgain) {
    SetPortOpener([this](const std::string&) -> std::unique_ptr<Port> {
        auto owned = std::make_unique<FakePort>();
        owned->refuseSettings = true;
        port = owned.get();
        return owned;
    });
    EXPECT_EQ(OpenConnection(&window), 0);
    EXPECT_EQ(state.connected.load(), 0);
    EXPECT_TRUE(port->IsClosed());
    EXPECT_TRUE(window.MenuRows().empty());
    EXPECT_TRUE(window.CursorEverLeftWaiting());
    EXPECT_FALSE(state.writer);
}

TEST_F(FakeLineTest, ReceivedCodesAreDecodedInBlocksOfEighty) {
    ModeGuard mode(ModeBaudot);
    ASSERT_NE(OpenConnection(&window), 0);
    port->Send({27, 1, 4, 1});  // FIGS, 3, space (back to letters), E
    ASSERT_TRUE(window.WaitReceived(3, 2s));
    EXPECT_EQ(window.ReceivedText(), "3 E");

    CodeMode = ModeAscii;  // from the next block on
    Bytes burst(200);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<std::uint8_t>(i);
    burst[0] = 0xE9;
    port->Send(burst);
    ASSERT_TRUE(window.WaitReceived(203, 2s));
    const std::string text = window.ReceivedText().substr(3);
    EXPECT_EQ(text, std::string(burst.begin(), burst.end()));
    const std::vector<int> sizes = port->ReadSizes();
    ASSERT_GE(sizes.size(), 3u);
    EXPECT_EQ(std::vector<int>(sizes.end() - 3, sizes.end()), (std::vector<int>{80, 80, 40}));
    // A repaint is asked for after every block.
    for (int i = 0; i < 200 && window.Repaints() < 4; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_GE(window.Repaints(), 4);
}

class FakeDialog : public ProgressDialog {
  public:
    void PostItemText(int id, const std::string& text) override {
        std::lock_guard lock(mutex);
        texts[id] = text;
    }
    std::mutex mutex;
    std::map<int, std::string> texts;
};

TEST_F(FakeLineTest, ACaptureCountsAndAppendsWhatArrives) {
    ModeGuard mode(ModeBaudot);
    ASSERT_NE(OpenConnection(&window), 0);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    FakeDialog dialog;
    Transfer().Start(file, &dialog);
    port->Send({27, 1, 4, 1});
    ASSERT_TRUE(window.WaitReceived(3, 2s));
    port->Send({31, 27});  // shifts only: counted, nothing appended
    std::this_thread::sleep_for(50ms);
    CloseConnection(&window);
    EXPECT_EQ(Transfer().Finish(), file);
    EXPECT_EQ(Transfer().BytesRead(), 6);
    EXPECT_EQ(Transfer().BytesSaved(), 3);
    EXPECT_EQ(dialog.texts[kBytesReadControl], "6");
    EXPECT_EQ(dialog.texts[kBytesSavedControl], "3");
    std::rewind(file);
    char saved[8] = {};
    EXPECT_EQ(std::fread(saved, 1, sizeof saved, file), 3u);
    EXPECT_STREQ(saved, "3 E");
    std::fclose(file);

    // Without a transfer file nothing is counted.
    Transfer().RecordBlock(reinterpret_cast<const std::uint8_t*>("x"), 1, 1);
    EXPECT_EQ(Transfer().BytesRead(), 6);
}

TEST_F(FakeLineTest, WhatIsQueuedIsDrainedBeforeTheReaderEnds) {
    ModeGuard mode(ModeAscii);
    ASSERT_NE(OpenConnection(&window), 0);
    port->Send(Bytes(1000, 'R'));
    ASSERT_TRUE(window.WaitReceived(1, 2s));
    CloseConnection(&window);
    EXPECT_EQ(window.ReceivedText(), std::string(1000, 'R'));
}

TEST_F(FakeLineTest, AHangUpIsMarkedOnceAndTheCloseStillWorks) {
    ASSERT_NE(OpenConnection(&window), 0);
    port->HangUp();
    ASSERT_TRUE(window.WaitScreenContains("<CE-5>", 2s));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(window.Screen(), "<CE-5>");
    EXPECT_EQ(CloseConnection(&window), 1);
}

TEST_F(FakeLineTest, LineErrorsDuringReceptionAreClearedUnseen) {
    ModeGuard mode(ModeAscii);
    ASSERT_NE(OpenConnection(&window), 0);
    port->InjectErrors(CE_FRAME);
    port->Send({'O', 'K'});
    ASSERT_TRUE(window.WaitReceived(2, 2s));
    EXPECT_EQ(window.Screen(), "OK");
    EXPECT_EQ(port->TakeErrors(), 0u);
}

TEST(Connection, NothingWithoutARecord) {
    FakeWindow orphan(nullptr);
    EXPECT_EQ(OpenConnection(&orphan), 0);
    EXPECT_EQ(CloseConnection(&orphan), 0);
    EXPECT_EQ(OpenConnection(nullptr), 0);
}

// The link on a real pseudo-terminal, opened by its COM name.
class PtyLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(line.ok());
        ASSERT_TRUE(CreateLinkEvents(state));
    }
    void TearDown() override { CloseConnection(&window); }

    PtyLine line;
    TtyState state;
    FakeWindow window{&state};
};

TEST_F(PtyLineTest, AMissingOrHeldPortFailsCleanly) {
    state.portNumber = 7;  // no link: /dev/ttyS6, absent or not ours
    std::filesystem::create_symlink("/nonexistent/tty", line.portFolder() / "COM7");
    EXPECT_EQ(OpenConnection(&window), 0);
    EXPECT_EQ(state.connected.load(), 0);
    EXPECT_TRUE(window.MenuRows().empty());
    EXPECT_TRUE(window.CursorEverLeftWaiting());

    state.portNumber = 3;
    ASSERT_NE(OpenConnection(&window), 0);
    TtyState other;
    ASSERT_TRUE(CreateLinkEvents(other));
    FakeWindow otherWindow(&other);
    EXPECT_EQ(OpenConnection(&otherWindow), 0);  // held by the first
    CloseConnection(&window);
    EXPECT_NE(OpenConnection(&otherWindow), 0);  // released by the close
    CloseConnection(&otherWindow);
}

TEST_F(PtyLineTest, TypedTextReachesTheFarEndAndItsAnswerTheScreen) {
    ModeGuard mode(ModeBaudot);
    state.baudRate = 1200;
    ASSERT_NE(OpenConnection(&window), 0);
    SendKeyChar(&window, 'A');  // whatever shift the sender assumed before, now letters
    line.ReadFromFarEnd(2, 500ms);
    for (char c : std::string("A1 B"))
        SendKeyChar(&window, c);
    EXPECT_EQ(line.ReadFromFarEnd(6, 2s), (Bytes{3, 27, 23, 31, 4, 25}));

    ASSERT_TRUE(line.WriteFromFarEnd({27, 1, 4, 1}));
    ASSERT_TRUE(window.WaitReceived(3, 2s));
    EXPECT_EQ(window.ReceivedText(), "3 E");
}

TEST_F(PtyLineTest, ClosingWhileIdleEndsTheReaderAtOnce) {
    ASSERT_NE(OpenConnection(&window), 0);
    std::this_thread::sleep_for(20ms);  // the reader is asleep in its wait
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_FALSE(state.readerThread.joinable());
}

TEST_F(PtyLineTest, TheFarEndVanishingWhileSendingOrReceiving) {
    ModeGuard mode(ModeAscii);
    state.baudRate = 300;
    ASSERT_NE(OpenConnection(&window), 0);
    const std::string paste(100, 'P');
    WriteCommBlock(&window, reinterpret_cast<const std::uint8_t*>(paste.data()),
                   static_cast<std::int32_t>(paste.size()));
    std::this_thread::sleep_for(50ms);
    line.CloseFarEnd();
    ASSERT_TRUE(window.WaitScreenContains("<CE-5>", 2s));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseConnection(&window), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// XON/XOFF in Terminal mode: the far end's XOFF stalls the send, the write
// times out, and XON lets every byte through in order.
TEST_F(PtyLineTest, XoffStallsTheSendAndXonResumesIt) {
    ModeGuard mode(ModeTerminal);
    state.baudRate = 2400;  // 8 ms allowed per byte
    state.byteSize = 8;
    state.stopBits = 0;
    state.flowControl = kFlowXonXoff;
    test::DiagnosticsCapture diagnostics;
    ASSERT_NE(OpenConnection(&window), 0);
    ASSERT_TRUE(line.WriteFromFarEnd({19}));  // XOFF
    std::this_thread::sleep_for(20ms);
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += static_cast<char>('0' + i % 10);
    for (char c : text)
        SendKeyChar(&window, c);
    EXPECT_TRUE(line.ReadFromFarEnd(1, 300ms).empty());
    EXPECT_TRUE(diagnostics.Contains("Probable Write Timeout: Total of 0 bytes sent"))
        << ::testing::PrintToString(diagnostics.Lines());
    // The stalled driver shows as a full output queue among the line errors.
    EXPECT_EQ(state.commHandle->TakeErrors() & CE_TXFULL, CE_TXFULL);
    ASSERT_TRUE(line.WriteFromFarEnd({17}));  // XON
    const Bytes got = line.ReadFromFarEnd(text.size(), 3s);
    EXPECT_EQ(std::string(got.begin(), got.end()), text);
}

}  // namespace
}  // namespace tavirel
