#include "tests/support/fake_window.h"

#include <unistd.h>

#include <algorithm>

namespace tavirel::test {

int FakeWindow::WriteToScreen(const char* text, std::int32_t length) {
    std::lock_guard lock(mutex_);
    if (length > 0)
        screen_.append(text, static_cast<std::size_t>(length));
    changed_.notify_all();
    return 1;
}

void FakeWindow::ShowTerminalCaret() {
    std::lock_guard lock(mutex_);
    ++caretShows_;
}

void FakeWindow::SetWaitCursor(bool waiting) {
    std::lock_guard lock(mutex_);
    waiting_ = waiting;
    ++cursorChanges_;
}

void FakeWindow::ConnectionChanged(bool connected) {
    std::lock_guard lock(mutex_);
    menuRows_.push_back(connected);
}

void FakeWindow::WakeReceived() {
    std::string taken;
    std::lock_guard lock(mutex_);
    ++wakes_;
    if (!taking_)
        return;
    state_->received.TakeAll(taken);
    received_ += taken;
    screen_ += taken;
    changed_.notify_all();
}

void FakeWindow::PostErrorMark(const std::string& text) {
    std::lock_guard lock(mutex_);
    screen_ += text;
    changed_.notify_all();
}

void FakeWindow::PostMessageBox(const std::string& text, const std::string& caption) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(caption + ": " + text);
    changed_.notify_all();
}

bool FakeWindow::WaitReceived(std::size_t n, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return received_.size() >= n; });
}

bool FakeWindow::WaitScreenContains(const std::string& text, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return screen_.find(text) != std::string::npos; });
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
