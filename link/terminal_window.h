// What the link needs from the window it belongs to. The main window
// implements it; tests implement it without a toolkit.
#pragma once

#include <cstdint>
#include <string>

#include "link/tty_state.h"

namespace tavirel {

class TerminalWindow {
  public:
    virtual ~TerminalWindow() = default;

    // User-interface thread only.
    virtual TtyState* State() = 0;
    virtual int WriteToScreen(const char* text, std::int32_t length) = 0;
    virtual void ShowTerminalCaret() = 0;
    virtual void SetWaitCursor(bool waiting) = 0;
    // The four menu items that follow the connection.
    virtual void ConnectionChanged(bool connected) = 0;

    // Any thread. Never block; the window carries them out on its own
    // thread, in the order they were posted.
    // Received characters wait in State()->received; this asks the window to
    // take them. The queue calls for it at most once until they are taken.
    virtual void WakeReceived() = 0;
    // An error mark goes to the screen in its place among the received
    // characters.
    virtual void PostErrorMark(const std::string& text) = 0;
    virtual void PostMessageBox(const std::string& text, const std::string& caption) = 0;
};

// "<CE-%u>"
std::string ErrorMarkText(std::uint32_t value);

}  // namespace tavirel
