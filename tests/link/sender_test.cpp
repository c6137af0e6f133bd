#include "link/sender.h"

#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Fast, so a queued write is on the port at once.
struct SenderTest : test::FakeLinkTest {
    void SetUp() override {
        state.baudRate = 128000;
        FakeLinkTest::SetUp();
        ForgetShiftSent();
    }
    void Type(const std::string& keys, int handled = 1) {
        for (const char c : keys)
            EXPECT_EQ(SendKeyChar(&window, static_cast<unsigned char>(c)), handled);
        EXPECT_TRUE(state.writer->WaitIdle(2s));
    }
};

// A character without a code sends nothing; a typed CR is followed by LF.
TEST_F(SenderTest, KeysAndBlocksAreEncodedAndEchoedInEachModeOnlyWhileConnected) {
    struct Case {
        bool typed;  // else one block
        CodeModeValue mode;
        int echo, newLine;
        std::string text;
        Bytes line;
        std::string shown;
        int writes;  // writes the queue carried
    };
    const Case cases[] = {
        {true, ModeAscii, 1, 0, "\r\xE9", {13, 0xE9}, "\r\n\xE9", 2},
        {true, ModeBaudot, 1, 0, "\r%q", {31, 8, 2, 23}, "\r\n~q", 3},
        {true, ModeBaudot, 1, 1, "\r", {31, 8, 2}, "\n\r\n", 2},
        {true, ModeBaudot, 0, 1, "\r%q", {31, 8, 2, 23}, "", 3},
        {false, ModeBaudot, 1, 0, "A1\r\n\xE9 B", {31, 3, 27, 23, 31, 8, 2, 4, 25}, "A1\r\n~ B", 6},
        {false, ModeBaudot, 0, 0, "%b", {31, 25}, "", 1},
        {false, ModeAscii, 1, 0, "A1\r\n\xE9", {'A', '1', 13, 10, 0xE9}, "A1\r\n\xE9", 1},
        {false, ModeTerminal, 0, 0, "xy", {'x', 'y'}, "", 1},
        {false, ModeAscii, 1, 0, "", {}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CodeMode = c.mode;
        state.localEcho = c.echo;
        state.newLine = c.newLine;
        ForgetShiftSent();
        const std::size_t sentBefore = port->Received().size();
        const std::size_t shownBefore = window.Screen().size();
        test::DiagnosticsCapture diagnostics;
        if (c.typed)
            Type(c.text);
        else
            EXPECT_EQ(SendTextBlock(&window, reinterpret_cast<const std::uint8_t*>(c.text.data()),
                                    static_cast<std::int32_t>(c.text.size())),
                      1);
        EXPECT_TRUE(state.writer->WaitIdle(2s));
        const Bytes sent = port->Received();
        EXPECT_EQ(Bytes(sent.begin() + static_cast<std::ptrdiff_t>(sentBefore), sent.end()),
                  c.line);
        EXPECT_EQ(window.Screen().substr(shownBefore), c.shown);
        EXPECT_EQ(diagnostics.Count("bytes written"), c.writes);
    }

    state.localEcho = 1;
    state.connected = 0;
    test::FakeWindow orphan(nullptr);
    const std::size_t sent = port->Received().size();
    const std::string shown = window.Screen();
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot}) {
        CodeMode = mode;
        Type("A%", 0);
        EXPECT_EQ(SendKeyChar(&orphan, 'A'), 0);
        EXPECT_EQ(SendKeyChar(nullptr, 'A'), 0);
        EXPECT_EQ(SendTextBlock(&window, reinterpret_cast<const std::uint8_t*>("A"), 1), 0);
    }
    EXPECT_EQ(port->Received().size(), sent);
    EXPECT_EQ(window.Screen(), shown);
}

TEST_F(SenderTest, AShiftDroppedByAPurgeOrAFailureIsSentAgain) {
    CodeMode = ModeBaudot;
    port->HoldOutput(true);
    SendKeyChar(&window, 'A');
    SendKeyChar(&window, '1');
    ASSERT_TRUE(test::Eventually([&] { return port->OutputQueued() == 4; }));
    state.writer->Purge();
    port->HoldOutput(false);
    Type("2");
    EXPECT_EQ(port->Received(), (Bytes{27, 19}));

    port->FailWrites(EIO);
    Type("A");  // its LTRS is lost with the device
    ASSERT_TRUE(window.WaitScreenContains("<CE-5>"));
    port->FailWrites(0);
    Reconnect();
    Type("B");
    EXPECT_EQ(port->Received(), (Bytes{27, 19, 31, 25}));
}

}  // namespace
}  // namespace tavirel
