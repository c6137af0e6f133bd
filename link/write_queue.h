// The write queue: everything that goes to the line passes through it. The
// user-interface thread enqueues and returns at once; a writer thread feeds
// the port at the line's own pace and reports each write's outcome.
//
// A write is complete when the driver's output queue is empty and the line
// clock has run out (start + n character times): pseudo-terminals and many
// USB adapters take bytes at once, so the clock is what paces a send. The
// next write follows without a gap; at most a couple of milliseconds of line
// time sit in the driver, so a purge stops the line within one character.
// While the driver holds more (XOFF, an adapter slower than its clock) or a
// flow line is low, the writer sleeps: for the time the held bytes need, or
// until the line changes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "link/clock.h"
#include "link/terminal_window.h"

namespace tavirel {

class Port;
struct TtyState;

class WriteQueue {
  public:
    // msPerByte: the write time-out per byte, 0 for none. wakeFd: an eventfd
    // the queue may signal and drain; below 0 the queue makes its own, and
    // throws std::system_error when it cannot. A new queue is a new
    // connection: the device-gone mark may be shown again.
    WriteQueue(TerminalWindow* window, TtyState* state, Port* port, int wakeFd,
               std::uint32_t msPerByte, std::chrono::nanoseconds characterTime,
               Clock& clock = SteadyClock());
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // The write's id (rising, never the same twice in the process), or 0 when the queue takes
    // nothing: stopped, or the port has failed. Every write with an id ends with one PostWriteDone
    // to the window: Complete, CutShort or Failed, with TimedOut before it when its deadline passed
    // first. An empty write completes in its turn.
    std::uint64_t Enqueue(const std::uint8_t* bytes, int length);
    // Drops every queued write and empties the driver's output queue; each
    // started write cut short shows the error mark with 995, also one already
    // reported as timed out. Every dropped write reports CutShort, one that
    // never started with 0 bytes. When bytes that never reached the line are
    // dropped, the BAUDOT sender forgets the shift it last sent.
    void Purge();
    // Purges and ends the writer thread.
    void Stop();
    void SetCharacterTime(std::chrono::nanoseconds characterTime);

    // Nothing queued and nothing on the line.
    bool Idle();
    // For tests and the close: waits until Idle() or the time passes.
    bool WaitIdle(std::chrono::milliseconds limit);

  private:
    struct Write {
        std::uint64_t id = 0;
        std::vector<std::uint8_t> bytes;
        std::size_t fed = 0;  // handed to the driver
        bool started = false;
        bool reported = false;   // timed out: finished, its rest still goes out
        Clock::Time deadline{};  // none when time() == 0
        Clock::Time lineEnd{};   // when its last fed byte has left the line
    };

    void Run();
    void Wake();
    void DrainWake();
    void FailAll(int error);
    bool FlowHeld();
    std::chrono::nanoseconds HeldTime(int queued) const;
    void ReportEnd(const Write& w, std::size_t sent);
    void Post(const Write& w, std::size_t sent, WriteEnd how);
    std::vector<std::size_t> SentEach();

    TerminalWindow* window_;
    TtyState* state_;
    Port* port_;
    int wakeFd_;
    int ownWakeFd_ = -1;  // made when none was given
    const std::uint32_t msPerByte_;
    Clock& clock_;

    std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<Write> writes_;
    std::chrono::nanoseconds charTime_;
    Clock::Time lineFree_{};
    bool stop_ = false;
    bool failed_ = false;
    std::thread thread_;
};

}  // namespace tavirel
