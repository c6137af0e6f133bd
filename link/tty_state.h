// The record of the one terminal window and its one serial line. The code
// passes the whole record around; it is made of named parts, each in the
// folder that owns it, so a piece that needs only one part takes only that:
//   ScreenBuffer  (terminal/) the cells, their strikes, the cursor, wrap
//   ViewMetrics   (terminal/) pixels, scrolling, caret, font and colour
//   LineSettings  (link/)     port number, framing, flow, echo
//   RunningLink   (below)     the open port, its threads, queues and wake-ups
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "link/line_settings.h"
#include "link/receive_queue.h"
#include "terminal/screen_state.h"

namespace tavirel {

class Port;
class TerminalWindow;
class WriteQueue;

// The connection while it runs. Only meaningful while connected, except the
// wake-up descriptors, which live as long as the record.
struct RunningLink {
    RunningLink();
    ~RunningLink();
    RunningLink(const RunningLink&) = delete;
    RunningLink& operator=(const RunningLink&) = delete;

    std::unique_ptr<Port> commHandle;        // the open port
    std::atomic<std::int32_t> connected{0};  // the reader's stop signal
    std::thread readerThread;
    TerminalWindow* terminalWindow = nullptr;
    std::atomic<std::uint32_t> readerThreadId{0};
    // Wake-up descriptors of the reader and the writer (eventfds), made by
    // CreateLinkEvents; -1 until then. The record closes them.
    int readEvent = -1;
    int writeEvent = -1;
    // The write queue of the open connection.
    std::unique_ptr<WriteQueue> writer;
    // What the reader received (and the error marks), waiting for the screen.
    ReceiveQueue received;
    // The device-gone mark was shown on this connection (PostDeviceGone);
    // cleared when the connection's write queue is made.
    std::atomic<bool> deviceGoneShown{false};
};

// The running link comes last, so it goes first: its queue and threads may
// still look at the other parts while they end.
struct TtyState : ScreenState, LineSettings, RunningLink {};

// Makes the record's two wake-up descriptors; false (and none made) when the
// system refuses.
bool CreateLinkEvents(RunningLink& link);

// Wakes whoever waits on an eventfd; takes a wake-up that came.
void SignalEvent(int fd);
void DrainEvent(int fd);

}  // namespace tavirel
