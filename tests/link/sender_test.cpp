#include "link/sender.h"

#include "tests/support/diagnostics_capture.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Fast, so a queued write is on the port at once.
class SenderTest : public test::FakeLinkTest {
  protected:
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

TEST_F(SenderTest, SendKeyCharSendsAndEchoesInEachModeOnlyWhileConnected) {
    state.localEcho = 1;
    CodeMode = ModeAscii;
    Type("\r\xE9");
    EXPECT_EQ(port->Received(), (Bytes{13, 0xE9}));
    EXPECT_EQ(window.Screen(), "\r\n\xE9");

    CodeMode = ModeBaudot;
    Type("\r%q");
    EXPECT_EQ(window.Screen(), "\r\n\xE9\r\n~q");
    // CR puts the line in letters, so q needs no shift.
    const Bytes sent = port->Received();
    EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), (Bytes{8, 2, 23}));
    state.newLine = 1;
    Type("\r");
    state.localEcho = 0;
    Type("\r%q");
    const std::string shown = "\r\n\xE9\r\n~q\n\r\n";
    EXPECT_EQ(window.Screen(), shown);

    state.localEcho = 1;
    state.connected = 0;
    test::FakeWindow orphan(nullptr);
    const std::size_t before = port->Received().size();
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot}) {
        CodeMode = mode;
        Type("A%", 0);
        EXPECT_EQ(SendKeyChar(&orphan, 'A'), 0);
        EXPECT_EQ(SendKeyChar(nullptr, 'A'), 0);
    }
    EXPECT_EQ(port->Received().size(), before);
    EXPECT_EQ(window.Screen(), shown);
}

TEST_F(SenderTest, SendTextBlockEncodesInBaudotAndWritesOnceOtherwise) {
    struct Case {
        CodeModeValue mode;
        int echo;
        std::string text;
        Bytes line;
        std::string shown;
        int writes;  // writes the queue carried
    };
    const Case cases[] = {
        {ModeBaudot, 1, "A1\r\n\xE9 B", {31, 3, 27, 23, 31, 8, 2, 4, 25}, "A1\r\n~ B", 6},
        {ModeBaudot, 0, "%b", {31, 25}, "", 1},
        {ModeAscii, 1, "A1\r\n\xE9", {'A', '1', 13, 10, 0xE9}, "A1\r\n\xE9", 1},
        {ModeTerminal, 0, "xy", {'x', 'y'}, "", 1},
        {ModeAscii, 1, "", {}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CodeMode = c.mode;
        state.localEcho = c.echo;
        ForgetShiftSent();
        test::FakeWindow w(&state);
        const std::size_t sentBefore = port->Received().size();
        test::DiagnosticsCapture diagnostics;
        EXPECT_EQ(SendTextBlock(&w, reinterpret_cast<const std::uint8_t*>(c.text.data()),
                                static_cast<std::int32_t>(c.text.size())),
                  1);
        EXPECT_TRUE(state.writer->WaitIdle(2s));
        const Bytes sent = port->Received();
        EXPECT_EQ(Bytes(sent.begin() + static_cast<std::ptrdiff_t>(sentBefore), sent.end()),
                  c.line);
        EXPECT_EQ(w.Screen(), c.shown);
        EXPECT_EQ(diagnostics.Count("bytes written"), c.writes);
    }
    state.connected = 0;
    const std::uint8_t a = 'A';
    EXPECT_EQ(SendTextBlock(&window, &a, 1), 0);
    EXPECT_EQ(window.Screen(), "");
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
