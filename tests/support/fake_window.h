// A terminal window without a toolkit: it keeps what reaches its screen and
// what the link posts to it, from any thread. Received characters are taken
// from the queue at once, on the thread that wakes it.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/terminal_window.h"

namespace tavirel {

// For readable test failures.
void PrintTo(const WriteDone& done, std::ostream* out);

}  // namespace tavirel

namespace tavirel::test {

class FakeWindow : public TerminalWindow {
  public:
    explicit FakeWindow(TtyState* state) : state_(state) {}

    // A window that has stopped taking received characters (busy, or a
    // modal loop that never returns to it).
    void StopTaking() { taking_ = false; }

    TtyState* State() override { return state_; }
    int WriteToScreen(const char* text, std::int32_t length) override;
    void ShowTerminalCaret() override { ++caretShows_; }
    void SetWaitCursor(bool waiting) override;
    void ConnectionChanged(bool connected) override;
    void WakeReceived() override;
    void PostErrorMark(const std::string& text) override { Append(text); }
    void PostMessageBox(const std::string& text, const std::string& caption) override;
    void PostWriteDone(const WriteDone& done) override;

    // Everything shown: echo, marks and received characters, in order.
    std::string Screen() { return Copy(screen_); }
    std::string ReceivedText() { return Copy(received_); }
    std::vector<std::string> Boxes() { return Copy(boxes_); }
    std::vector<bool> MenuRows() { return Copy(menuRows_); }
    // Every write end posted, in order.
    std::vector<WriteDone> Dones() { return Copy(dones_); }
    int Wakes() const { return wakes_; }
    int CaretShows() const { return caretShows_; }
    bool CursorEverLeftWaiting() const { return cursorChanges_ > 0 && !waiting_; }
    // Wait until the received text has at least n characters, or the screen
    // shows text.
    bool WaitReceived(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(2));
    bool WaitScreenContains(const std::string& text);

  private:
    void Append(const std::string& text);
    // A member the link's threads also write, read under the lock.
    template <typename T>
    T Copy(const T& member) {
        std::lock_guard lock(mutex_);
        return member;
    }

    TtyState* state_;
    std::mutex mutex_;
    std::string screen_, received_;
    std::vector<std::string> boxes_;
    std::vector<bool> menuRows_;
    std::vector<WriteDone> dones_;
    std::atomic<bool> taking_{true}, waiting_{false};
    std::atomic<int> wakes_{0}, caretShows_{0}, cursorChanges_{0};
};

// A clock moved by hand; moving it wakes whoever sleeps on it.
class MockClock : public Clock {
  public:
    Time Now() override;
    int WaitMs(Time t) override;
    void AddSleeper(int fd) override;
    void RemoveSleeper(int fd) override;
    void Advance(std::chrono::nanoseconds d);

  private:
    std::mutex mutex_;
    Time now_{};
    std::vector<int> sleepers_;
};

}  // namespace tavirel::test
