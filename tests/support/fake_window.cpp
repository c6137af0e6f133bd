#include "tests/support/fake_window.h"

#include <unistd.h>

#include <algorithm>

#include "tests/support/eventually.h"

namespace tavirel {

void PrintTo(const WriteDone& done, std::ostream* out) {
    static const char* const kHow[] = {"Complete", "TimedOut", "CutShort", "Failed"};
    *out << "{" << done.id << ", " << done.bytesSent << ", " << kHow[static_cast<int>(done.how)]
         << "}";
}

}  // namespace tavirel

namespace tavirel::test {

int FakeWindow::WriteToScreen(const char* text, std::int32_t length) {
    if (length > 0)
        Append(std::string(text, static_cast<std::size_t>(length)));
    return 1;
}

void FakeWindow::Append(const std::string& text) {
    std::lock_guard lock(mutex_);
    screen_ += text;
}

void FakeWindow::SetWaitCursor(bool waiting) {
    waiting_ = waiting;
    ++cursorChanges_;
}

void FakeWindow::ConnectionChanged(bool connected) {
    std::lock_guard lock(mutex_);
    menuRows_.push_back(connected);
}

void FakeWindow::WakeReceived() {
    ++wakes_;
    if (!taking_)
        return;
    std::lock_guard lock(mutex_);
    std::string taken;
    state_->received.TakeAll(taken);
    received_ += taken;
    screen_ += taken;
}

void FakeWindow::PostMessageBox(const std::string& text, const std::string& caption) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(caption + ": " + text);
}

void FakeWindow::PostWriteDone(const WriteDone& done) {
    std::lock_guard lock(mutex_);
    dones_.push_back(done);
}

bool FakeWindow::WaitReceived(std::size_t n, std::chrono::milliseconds limit) {
    return Eventually([&] { return ReceivedText().size() >= n; }, limit);
}

bool FakeWindow::WaitScreenContains(const std::string& text) {
    return Eventually([&] { return Screen().find(text) != std::string::npos; });
}

Clock::Time MockClock::Now() {
    std::lock_guard lock(mutex_);
    return now_;
}

int MockClock::WaitMs(Time t) {
    std::lock_guard lock(mutex_);
    return t <= now_ ? 0 : -1;
}

void MockClock::AddSleeper(int fd) {
    std::lock_guard lock(mutex_);
    sleepers_.push_back(fd);
}

void MockClock::RemoveSleeper(int fd) {
    std::lock_guard lock(mutex_);
    sleepers_.erase(std::remove(sleepers_.begin(), sleepers_.end(), fd), sleepers_.end());
}

void MockClock::Advance(std::chrono::nanoseconds d) {
    std::lock_guard lock(mutex_);
    now_ += d;
    for (int fd : sleepers_) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    }
}

}  // namespace tavirel::test
