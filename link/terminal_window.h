// What the link needs from the window it belongs to. The main window
// implements it; tests implement it without a toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/tty_state.h"

namespace tavirel {

// How a write ended. TimedOut is not an end: the write counts as finished at
// its deadline, but its rest still goes out, and one of the others follows.
enum class WriteEnd { Complete, TimedOut, CutShort, Failed };

struct WriteDone {
    std::uint64_t id = 0;       // as the write queue handed it out
    std::size_t bytesSent = 0;  // of this write, that left the line
    WriteEnd how = WriteEnd::Complete;
    bool operator==(const WriteDone&) const = default;
};

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
    // A write ended (or timed out). The writer posts them in the order of the
    // writes' ids, each write's TimedOut before its end.
    virtual void PostWriteDone(const WriteDone& done) = 0;
};

// "<CE-%u>"
std::string ErrorMarkText(std::uint32_t value);

}  // namespace tavirel
