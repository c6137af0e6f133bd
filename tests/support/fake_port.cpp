#include "tests/support/fake_port.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tavirel::test {

namespace {

void SetReady(int fd, bool ready) {
    std::uint64_t v;
    while (::read(fd, &v, sizeof v) > 0) {
    }
    if (ready) {
        v = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &v, sizeof v);
    }
}

// Moves the first n bytes of from to the end of to.
void Move(std::vector<std::uint8_t>& from, std::size_t n, std::vector<std::uint8_t>& to) {
    const auto end = from.begin() + static_cast<std::ptrdiff_t>(std::min(n, from.size()));
    to.insert(to.end(), from.begin(), end);
    from.erase(from.begin(), end);
}

}  // namespace

FakePort::FakePort()
    : inputReady_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      outputReady_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      linesChanged_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    Update();
}

FakePort::~FakePort() {
    for (const int fd : {inputReady_, outputReady_, linesChanged_})
        ::close(fd);
}

void FakePort::Update() {
    SetReady(inputReady_, !input_.empty() || hungUp_);
    SetReady(outputReady_, !stalled_ || hungUp_);
}

void FakePort::SetInputLines(bool cts, bool dsr) {
    std::lock_guard lock(mutex_);
    cts_ = cts;
    dsr_ = dsr;
    SetReady(linesChanged_, true);
}

void FakePort::HoldOutput(bool held) {
    std::lock_guard lock(mutex_);
    holding_ = held;
    if (!held)
        Move(held_, held_.size(), output_);
}

void FakePort::DrainOutput(std::size_t n) {
    std::lock_guard lock(mutex_);
    Move(held_, n, output_);
}

int FakePort::Apply(const LinePlan& plan) {
    std::lock_guard lock(mutex_);
    if (refuseSettings || !plan.valid)
        return 0;
    applied_ = plan;
    dtr_ = plan.raiseDtr;
    rts_ = plan.raiseRts;
    return 1;
}

int FakePort::Read(std::uint8_t* buffer, int maxLength) {
    std::lock_guard lock(mutex_);
    readSizes_.push_back(maxLength);
    if (input_.empty()) {
        errno = hungUp_ ? EIO : EAGAIN;
        return -1;
    }
    std::vector<std::uint8_t> taken;
    Move(input_, static_cast<std::size_t>(maxLength), taken);
    std::copy(taken.begin(), taken.end(), buffer);
    Update();
    return static_cast<int>(taken.size());
}

int FakePort::Write(const std::uint8_t* bytes, int length) {
    std::lock_guard lock(mutex_);
    ++writeAttempts_;
    if (hungUp_ || failWith_ != 0 || stalled_) {
        errno = hungUp_ ? EIO : failWith_ != 0 ? failWith_.load() : EAGAIN;
        return -1;
    }
    auto& to = holding_ ? held_ : output_;
    to.insert(to.end(), bytes, bytes + length);
    return length;
}

int FakePort::ModemLines() {
    ++modemLineReads_;
    if (!hasLines_)
        return -1;
    return (dtr_ ? kLineDtr : 0) | (rts_ ? kLineRts : 0) | (cts_ ? kLineCts : 0) |
           (dsr_ ? kLineDsr : 0);
}

WaitResult FakePort::Wait(int ownFd, int wakeFd, int timeoutMs) {
    pollfd fds[2] = {{ownFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n;
    while ((n = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (n <= 0)
        return n < 0 ? WaitResult::Failed : WaitResult::Timeout;
    if (wakeFd >= 0 && (fds[1].revents & POLLIN))
        return WaitResult::Woken;
    std::lock_guard lock(mutex_);
    return hungUp_ ? WaitResult::Hangup : WaitResult::Ready;
}

WaitResult FakePort::WaitInput(int wakeFd, int timeoutMs) {
    if (failInputWaits.load() > 0) {
        --failInputWaits;
        errno = EINVAL;
        return WaitResult::Failed;
    }
    return Wait(inputReady_, wakeFd, timeoutMs);
}

WaitResult FakePort::WaitModemChange(int wakeFd, int timeoutMs) {
    const WaitResult r = Wait(linesChanged_, wakeFd, timeoutMs);
    if (r == WaitResult::Ready) {
        std::lock_guard lock(mutex_);
        SetReady(linesChanged_, false);
    }
    return r;
}

}  // namespace tavirel::test
