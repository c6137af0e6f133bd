// A port whose far end, modem lines, errors and driver the test plays.
#pragma once

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include "link/line_settings.h"
#include "link/port.h"
#include "link/tty_state.h"

namespace tavirel::test {

template <typename T>
T Locked(std::mutex& mutex, const T& member) {
    std::lock_guard lock(mutex);
    return member;
}
template <typename F>
void Under(std::mutex& mutex, F change) {
    std::lock_guard lock(mutex);
    change();
}

class FakePort : public Port {
    using Bytes = std::vector<std::uint8_t>;

  public:
    enum Call { kPurge, kWrite, kOutputQueued, kModemLines, kCalls };

    FakePort() { Update(); }
    ~FakePort() override {
        for (const int fd : {inputReady_, outputReady_, linesChanged_})
            ::close(fd);
    }

    void Send(const Bytes& bytes) {
        Change([&] { input_.insert(input_.end(), bytes.begin(), bytes.end()); });
    }
    Bytes Received() { return Locked(mutex_, output_); }
    void InjectErrors(std::uint32_t flags) { errors_ |= flags; }
    void SetInputLines(bool cts, bool dsr) {
        Under(mutex_, [&] { cts_ = cts, dsr_ = dsr, SetReady(linesChanged_, true); });
    }
    void SetHasModemLines(bool has) { hasLines_ = has; }
    void StallWrites(bool stalled) {
        Change([&] { stalled_ = stalled; });
    }
    // Taken but kept in the driver (XOFF, a slow adapter) until drained.
    void HoldOutput(bool held) {
        Under(mutex_, [&] {
            if (!(holding_ = held))
                Move(held_, held_.size(), output_);
        });
    }
    // As the sound card: the line takes a byte only when it wants one, holds it
    // until drained, and says when either happens.
    void Pace() {
        Under(mutex_, [&] { paced_ = holding_ = true, SetReady(outputReady_, false); });
    }
    void Want() {
        Under(mutex_, [&] { ++wanted_, SetReady(outputReady_, true); });
    }
    void DrainOutput(std::size_t n) {
        Under(mutex_, [&] {
            Move(held_, n, output_), SetReady(outputReady_, paced_ || !stalled_ || hungUp_);
        });
    }
    void FailWrites(int error) { failWith_ = error; }
    void HangUp() {
        Change([&] { hungUp_ = true; });
    }

    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }
    bool IsClosed() const { return closed_; }
    int Calls(Call which) const { return calls_[which]; }
    std::vector<int> ReadSizes() { return Locked(mutex_, readSizes_); }

    int Apply(const LinePlan& plan) override {
        std::lock_guard lock(mutex_);
        if (!plan.valid)
            return 0;
        applied_ = plan;
        dtr_ = plan.raiseDtr, rts_ = plan.raiseRts;
        return 1;
    }
    LinePlan Applied() const override { return Locked(mutex_, applied_); }
    LinePlan Accepted() const override { return accepted; }
    int BytesWaiting() override { return static_cast<int>(Locked(mutex_, input_).size()); }
    int Read(std::uint8_t* buffer, int maxLength) override {
        std::lock_guard lock(mutex_);
        readSizes_.push_back(maxLength);
        if (input_.empty()) {
            errno = hungUp_ ? EIO : EAGAIN;
            return -1;
        }
        Bytes taken;
        Move(input_, static_cast<std::size_t>(maxLength), taken);
        std::copy(taken.begin(), taken.end(), buffer);
        Update();
        return static_cast<int>(taken.size());
    }
    int Write(const std::uint8_t* bytes, int length) override {
        std::lock_guard lock(mutex_);
        ++calls_[kWrite];
        if (hungUp_ || failWith_ != 0 || stalled_ || (paced_ && wanted_ == 0)) {
            errno = hungUp_ ? EIO : failWith_ != 0 ? failWith_.load() : EAGAIN;
            return -1;
        }
        if (paced_)
            --wanted_, length = 1;
        auto& to = holding_ ? held_ : output_;
        to.insert(to.end(), bytes, bytes + length);
        return length;
    }
    int OutputQueued() override {
        ++calls_[kOutputQueued];
        return static_cast<int>(Locked(mutex_, held_).size());
    }
    std::uint32_t TakeErrors() override { return errors_.exchange(0); }
    bool SetDtr(bool raise) override { return dtr_ = raise, true; }
    bool SetRts(bool raise) override { return rts_ = raise, true; }
    int ModemLines() override {
        ++calls_[kModemLines];
        return !hasLines_ ? -1
                          : (dtr_ ? kLineDtr : 0) | (rts_ ? kLineRts : 0) | (cts_ ? kLineCts : 0) |
                                (dsr_ ? kLineDsr : 0);
    }
    void Purge() override {
        ++calls_[kPurge];
        Change([&] { input_.clear(), held_.clear(); });
    }
    void PurgeOutput() override {
        Under(mutex_, [&] { held_.clear(); });
    }
    WaitResult WaitInput(int wakeFd, int timeoutMs) override {
        if (failInputWaits.load() > 0) {
            --failInputWaits;
            errno = EINVAL;
            return WaitResult::Failed;
        }
        return Wait(inputReady_, wakeFd, timeoutMs);
    }
    WaitResult WaitOutput(int wakeFd, int timeoutMs) override {
        return Wait(outputReady_, wakeFd, timeoutMs, Locked(mutex_, paced_));
    }
    WaitResult WaitModemChange(int wakeFd, int timeoutMs) override {
        return Wait(linesChanged_, wakeFd, timeoutMs, true);
    }
    void Close() override { closed_ = true; }
    bool PacesOutput() const override { return Locked(mutex_, paced_); }

    std::atomic<int> failInputWaits{0};
    LinePlan accepted;  // what the device reads back

  private:
    static void SetReady(int fd, bool ready) {
        DrainEvent(fd);
        if (ready)
            SignalEvent(fd);
    }
    static void Move(Bytes& from, std::size_t n, Bytes& to) {
        const auto end = from.begin() + static_cast<std::ptrdiff_t>(std::min(n, from.size()));
        to.insert(to.end(), from.begin(), end);
        from.erase(from.begin(), end);
    }
    // once: ownFd tells of a change, which the wait that sees it takes.
    WaitResult Wait(int ownFd, int wakeFd, int timeoutMs, bool once = false) {
        pollfd fds[2] = {{ownFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int n = RetryPoll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
        if (n <= 0)
            return n < 0 ? WaitResult::Failed : WaitResult::Timeout;
        if (wakeFd >= 0 && (fds[1].revents & POLLIN))
            return WaitResult::Woken;
        std::lock_guard lock(mutex_);
        if (hungUp_)
            return WaitResult::Hangup;
        if (once)
            SetReady(ownFd, false);
        return WaitResult::Ready;
    }
    void Update() {
        SetReady(inputReady_, !input_.empty() || hungUp_);
        SetReady(outputReady_, !stalled_ || hungUp_);
    }
    template <typename F>
    void Change(F change) {
        Under(mutex_, [&] { change(), Update(); });
    }

    mutable std::mutex mutex_;
    const int inputReady_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int outputReady_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int linesChanged_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    Bytes input_, output_, held_;
    std::vector<int> readSizes_;
    LinePlan applied_;
    bool stalled_ = false, holding_ = false, hungUp_ = false, paced_ = false;
    int wanted_ = 0;
    std::atomic<std::uint32_t> errors_{0};
    std::atomic<bool> cts_{true}, dsr_{true}, dtr_{false}, rts_{false}, hasLines_{true}, closed_;
    std::atomic<int> failWith_{0}, calls_[kCalls]{};
};

}  // namespace tavirel::test
