// A terminal window without a toolkit: it keeps what reaches its screen and
// what the link posts to it, from any thread. Received characters are taken
// from the queue at once, on the thread that wakes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/terminal_window.h"

namespace tavirel::test {

class FakeWindow : public TerminalWindow {
    // Reads state the link's threads also write.
    template <typename F>
    auto Locked(F read) {
        std::lock_guard lock(mutex_);
        return read();
    }

  public:
    explicit FakeWindow(TtyState* state) : state_(state) {}

    // A window that has stopped taking received characters (busy, or a
    // modal loop that never returns to it).
    void StopTaking() {
        std::lock_guard lock(mutex_);
        taking_ = false;
    }

    TtyState* State() override { return state_; }
    int WriteToScreen(const char* text, std::int32_t length) override;
    void ShowTerminalCaret() override;
    void SetWaitCursor(bool waiting) override;
    void ConnectionChanged(bool connected) override;
    void WakeReceived() override;
    void PostErrorMark(const std::string& text) override;
    void PostMessageBox(const std::string& text, const std::string& caption) override;

    // Everything shown: echo, marks and received characters, in order.
    std::string Screen() {
        return Locked([&] { return screen_; });
    }
    std::string ReceivedText() {
        return Locked([&] { return received_; });
    }
    std::vector<std::string> Boxes() {
        return Locked([&] { return boxes_; });
    }
    std::vector<bool> MenuRows() {
        return Locked([&] { return menuRows_; });
    }
    int Wakes() {
        return Locked([&] { return wakes_; });
    }
    int CaretShows() {
        return Locked([&] { return caretShows_; });
    }
    bool CursorEverLeftWaiting() {
        return Locked([&] { return cursorChanges_ > 0 && !waiting_; });
    }
    // Waits until the received text has at least n characters.
    bool WaitReceived(std::size_t n, std::chrono::milliseconds limit);
    bool WaitScreenContains(const std::string& text, std::chrono::milliseconds limit);

  private:
    TtyState* state_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string screen_;
    std::string received_;
    std::vector<std::string> boxes_;
    std::vector<bool> menuRows_;
    int wakes_ = 0;
    bool taking_ = true;
    int caretShows_ = 0;
    bool waiting_ = false;
    int cursorChanges_ = 0;
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
