// A terminal window without a toolkit: it keeps what reaches its screen and
// what the link posts to it, from any thread, and takes received characters
// at once on the thread that wakes it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <ostream>

#include "link/connection.h"
#include "link/line_settings.h"
#include "link/write_queue.h"
#include "tests/support/eventually.h"
#include "tests/support/fake_port.h"

namespace tavirel {

inline void PrintTo(const WriteDone& done, std::ostream* out) {
    static const char* const kHow[] = {"Complete", "TimedOut", "CutShort", "Failed"};
    *out << "{" << done.id << ", " << done.bytesSent << ", " << kHow[int(done.how)] << "}";
}

namespace test {

class FakeWindow : public TerminalWindow {
  public:
    explicit FakeWindow(TtyState* state) : state_(state) {}

    // Busy, or in a modal loop that never returns to it.
    void StopTaking() { taking_ = false; }

    TtyState* State() override { return state_; }
    int WriteToScreen(const char* text, std::int32_t length) override {
        PostErrorMark(std::string(text, static_cast<std::size_t>(std::max(length, 0))));
        return 1;
    }
    void ShowTerminalCaret() override { ++caretShows_; }
    void SetWaitCursor(bool waiting) override {
        waiting_ = waiting;
        ++cursorChanges_;
    }
    void ConnectionChanged(bool connected) override {
        Under(mutex_, [&] { menuRows_.push_back(connected); });
    }
    void WakeReceived() override {
        ++wakes_;
        if (taking_)
            Under(mutex_, [&] {
                std::string taken;
                state_->received.TakeAll(taken);
                received_ += taken;
                screen_ += taken;
            });
    }
    void PostErrorMark(const std::string& text) override {
        Under(mutex_, [&] { screen_ += text; });
    }
    void PostMessageBox(const std::string& text, const std::string& caption) override {
        Under(mutex_, [&] { boxes_.push_back(caption + ": " + text); });
    }
    void PostWriteDone(const WriteDone& done) override {
        Under(mutex_, [&] { dones_.push_back(done); });
        if (onWriteDone)
            onWriteDone(done);
    }

    // Everything shown: echo, marks and received characters, in order.
    std::string Screen() { return Locked(mutex_, screen_); }
    std::string ReceivedText() { return Locked(mutex_, received_); }
    std::vector<std::string> Boxes() { return Locked(mutex_, boxes_); }
    std::vector<bool> MenuRows() { return Locked(mutex_, menuRows_); }
    std::vector<WriteDone> Dones() { return Locked(mutex_, dones_); }
    int Wakes() const { return wakes_; }
    int CaretShows() const { return caretShows_; }
    bool CursorEverLeftWaiting() const { return cursorChanges_ > 0 && !waiting_; }
    bool WaitReceived(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(2)) {
        return Eventually([&] { return ReceivedText().size() >= n; }, limit);
    }
    bool WaitScreenContains(const std::string& text) {
        return Eventually([&] { return Screen().find(text) != std::string::npos; });
    }

    // Called on the writer's thread.
    std::function<void(const WriteDone&)> onWriteDone;

  private:
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
    Time Now() override { return Locked(mutex_, now_); }
    int WaitMs(Time t) override { return t <= Now() ? 0 : -1; }
    void AddSleeper(int fd) override {
        Under(mutex_, [&] { sleepers_.push_back(fd); });
    }
    void RemoveSleeper(int fd) override {
        Under(mutex_, [&] { std::erase(sleepers_, fd); });
    }
    void Advance(std::chrono::nanoseconds d) {
        Under(mutex_, [&] {
            now_ += d;
            for (const std::uint64_t one = 1; int fd : sleepers_)
                [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
        });
    }

  private:
    std::mutex mutex_;
    Time now_{};
    std::vector<int> sleepers_;
};

// A connected record on a fake port, as a connection makes it. The writer
// posts to the window, so it goes first.
class FakeLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateLinkEvents(state));
        state.commHandle = std::make_unique<FakePort>();
        port = static_cast<FakePort*>(state.commHandle.get());
        state.connected = 1;
        Reconnect();
    }
    void TearDown() override { state.writer.reset(); }
    // A new writer on the same port, as a new connection makes.
    void Reconnect() {
        state.writer.reset();
        state.writer = std::make_unique<WriteQueue>(&window, &state, port, state.writeEvent,
                                                    WriteMsPerByte(state.baudRate),
                                                    CharacterTime(state), *clock);
    }

    TtyState state;
    FakeWindow window{&state};
    FakePort* port = nullptr;
    Clock* clock = &SteadyClock();
};

}  // namespace test
}  // namespace tavirel
