#include "link/sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/line_settings.h"
#include "link/write_queue.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_window.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// The byte sequences are the code sender's tests; here the wiring: echo, the
// modes and the connection.
TEST(SendKeyChar, SendsAndEchoesInEachModeOnlyWhileConnected) {
    const CodeModeValue saved = CodeMode.load();
    TtyState state;
    test::FakeWindow window(&state);
    ASSERT_TRUE(CreateLinkEvents(state));
    state.commHandle = std::make_unique<test::FakePort>();
    auto* port = static_cast<test::FakePort*>(state.commHandle.get());
    state.connected = 1;
    state.localEcho = 1;
    // No time-out and a fast line, so a queued write is on the port at once.
    state.baudRate = 128000;
    state.writer = std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent, 0,
                                                CharacterTime(state));
    const auto type = [&](const std::string& keys, int handled = 1) {
        for (const char c : keys)
            EXPECT_EQ(SendKeyChar(&window, static_cast<unsigned char>(c)), handled);
        EXPECT_TRUE(state.writer->WaitIdle(2s));
    };

    CodeMode = ModeAscii;
    type("\r\xE9");
    EXPECT_EQ(port->Received(), (Bytes{13, 0xE9}));
    EXPECT_EQ(window.Screen(), "\r\n\xE9");

    CodeMode = ModeBaudot;
    type("\r%q");  // '~' shows what has no code
    EXPECT_EQ(window.Screen(), "\r\n\xE9\r\n~q");
    // CR puts the line in letters, so q needs no shift; '%' sends nothing.
    const Bytes sent = port->Received();
    EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), (Bytes{8, 2, 23}));
    state.newLine = 1;
    type("\r");
    state.localEcho = 0;
    type("\r%q");
    const std::string shown = "\r\n\xE9\r\n~q\n\r\n";
    EXPECT_EQ(window.Screen(), shown);

    // Not connected, or no record: nothing is sent or shown.
    state.localEcho = 1;
    state.connected = 0;
    test::FakeWindow orphan(nullptr);
    const std::size_t before = port->Received().size();
    for (const CodeModeValue mode : {ModeAscii, ModeBaudot}) {
        CodeMode = mode;
        type("A%", 0);
        EXPECT_EQ(SendKeyChar(&orphan, 'A'), 0);
        EXPECT_EQ(SendKeyChar(nullptr, 'A'), 0);
    }
    EXPECT_EQ(port->Received().size(), before);
    EXPECT_EQ(window.Screen(), shown);
    state.writer.reset();  // it posts to the window, which goes first
    CodeMode = saved;
}

}  // namespace
}  // namespace tavirel
