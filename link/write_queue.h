// The write queue: everything that goes to the line passes through it. The
// user-interface thread enqueues and returns at once; a writer thread feeds
// the port at the line's own pace and reports each write's outcome.
//
// A write is complete when the driver's output queue is empty and the line
// clock has run out (start + n character times): pseudo-terminals and many
// USB adapters take bytes at once, so the clock is what paces a send. The
// next write follows without a gap; at most a couple of milliseconds of line
// time sit in the driver, so a purge stops the line within one character.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "link/clock.h"

namespace tavirel {

class Port;
class TerminalWindow;
struct TtyState;

class WriteQueue {
  public:
    // msPerByte: the write time-out per byte, 0 for none. wakeFd: an eventfd
    // the queue may signal and drain.
    WriteQueue(TerminalWindow* window, TtyState* state, Port* port, int wakeFd,
               std::uint32_t msPerByte, std::chrono::nanoseconds characterTime,
               Clock& clock = SteadyClock());
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // False when the queue takes nothing: stopped, or the port has failed.
    bool Enqueue(const std::uint8_t* bytes, int length);
    // Drops every queued write and empties the driver's output queue; a write
    // cut short shows the error mark with 995.
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
    void ReportEnd(const Write& w, std::size_t sent);
    std::size_t SentOf(const Write& w);

    TerminalWindow* window_;
    TtyState* state_;
    Port* port_;
    int wakeFd_;
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
