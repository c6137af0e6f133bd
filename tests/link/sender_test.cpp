#include "link/sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/connection.h"
#include "link/line_settings.h"
#include "link/tty_state.h"
#include "link/write_queue.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::FakePort;
using test::FakeWindow;

// A connected record with a fast line, so a queued write is on the port at once.
class SenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedMode_ = CodeMode.load();
        state_.baudRate = 128000;
        ASSERT_TRUE(CreateLinkEvents(state_));
        auto port = std::make_unique<FakePort>();
        port_ = port.get();
        port_->Apply(PlanLine(state_, ModeBaudot));
        state_.commHandle = std::move(port);
        state_.connected = 1;
        state_.writer = std::make_unique<WriteQueue>(
            &window_, &state_, state_.commHandle.get(), state_.writeEvent,
            WriteMsPerByte(state_.baudRate), CharacterTime(state_));
    }

    void TearDown() override {
        if (state_.writer) {
            state_.writer->Stop();
            state_.writer.reset();
        }
        CodeMode = savedMode_;
    }

    // The process-wide sender keeps its shift between tests; a letter first
    // puts it in a known state, and its bytes are not part of the result.
    void StartInLetters() {
        CodeMode = ModeBaudot;
        Type("A");
        ASSERT_TRUE(state_.writer->WaitIdle(2s));
        skip_ = port_->Received().size();
        screenSkip_ = window_.Screen().size();
    }

    void Type(const std::string& keys) {
        for (const char c : keys)
            ASSERT_EQ(SendKeyChar(&window_, static_cast<unsigned char>(c)), 1);
    }

    Bytes Sent() {
        EXPECT_TRUE(state_.writer->WaitIdle(2s));
        const Bytes all = port_->Received();
        return Bytes(all.begin() + static_cast<std::ptrdiff_t>(skip_), all.end());
    }

    std::string Shown() { return window_.Screen().substr(screenSkip_); }

    TtyState state_;
    FakeWindow window_{&state_};
    FakePort* port_ = nullptr;
    std::size_t skip_ = 0;
    std::size_t screenSkip_ = 0;
    CodeModeValue savedMode_ = ModeAscii;
};

TEST_F(SenderTest, BaudotShiftsFollowTheTypedText) {
    StartInLetters();
    Type("A1 B");
    EXPECT_EQ(Sent(), (Bytes{3, 27, 23, 31, 4, 25}));
}

TEST_F(SenderTest, BaudotReturnAddsLineFeedInLetters) {
    StartInLetters();
    Type("1\r");
    EXPECT_EQ(Sent(), (Bytes{27, 23, 31, 8, 2}));
}

TEST_F(SenderTest, BaudotSendsNothingForUncodedAndShiftCodesAsTyped) {
    StartInLetters();
    Type("%");
    EXPECT_TRUE(Sent().empty());
    Type("\x1b\x1b");
    EXPECT_EQ(Sent(), (Bytes{27, 27, 27}));
}

TEST_F(SenderTest, BaudotEchoShowsWhatWasTyped) {
    state_.localEcho = 1;
    state_.newLine = 1;
    StartInLetters();
    Type("\r");
    EXPECT_EQ(Shown(), "\n\r\n");
    Type("%q");
    EXPECT_EQ(Shown(), "\n\r\n~q");
    EXPECT_EQ(Sent(), (Bytes{8, 2, 23}));
}

TEST_F(SenderTest, BaudotWithoutEchoShowsNothing) {
    StartInLetters();
    Type("\r%q");
    EXPECT_EQ(Shown(), "");
}

TEST_F(SenderTest, AsciiSendsBytesUnchanged) {
    CodeMode = ModeAscii;
    state_.localEcho = 1;
    ASSERT_EQ(SendKeyChar(&window_, '\r'), 1);
    ASSERT_EQ(SendKeyChar(&window_, 0xE9), 1);
    ASSERT_EQ(SendKeyChar(&window_, static_cast<char>(0xE9)), 1);  // a signed char
    EXPECT_EQ(Sent(), (Bytes{13, 0xE9, 0xE9}));
    EXPECT_EQ(window_.Screen(), "\r\n\xE9\xE9");
}

TEST_F(SenderTest, NothingHappensWithoutConnection) {
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot}) {
        CodeMode = mode;
        state_.localEcho = 1;
        state_.connected = 0;
        EXPECT_EQ(SendKeyChar(&window_, 'A'), 0);
        EXPECT_EQ(SendKeyChar(&window_, '%'), 0);
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(window_.Screen(), "");
}

TEST_F(SenderTest, NothingHappensWithoutRecord) {
    FakeWindow orphan(nullptr);
    CodeMode = ModeBaudot;
    EXPECT_EQ(SendKeyChar(&orphan, 'A'), 0);
    EXPECT_EQ(SendKeyChar(nullptr, 'A'), 0);
    SendBaudotChar(&orphan, 'A');
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(orphan.Screen(), "");
}

}  // namespace
}  // namespace tavirel
