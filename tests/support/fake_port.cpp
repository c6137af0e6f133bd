#include "tests/support/fake_port.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

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

}  // namespace

FakePort::FakePort()
    : inputReady_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      outputReady_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      linesChanged_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    Update();
}

FakePort::~FakePort() {
    ::close(inputReady_);
    ::close(outputReady_);
    ::close(linesChanged_);
}

void FakePort::Update() {
    SetReady(inputReady_, !input_.empty() || hungUp_);
    SetReady(outputReady_, !stalled_ || hungUp_);
}

void FakePort::Send(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    Update();
}

void FakePort::InjectErrors(std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    errors_ |= flags;
}

void FakePort::SetInputLines(bool cts, bool dsr) {
    std::lock_guard lock(mutex_);
    cts_ = cts;
    dsr_ = dsr;
    SetReady(linesChanged_, true);
}

void FakePort::SetHasModemLines(bool has) {
    std::lock_guard lock(mutex_);
    hasLines_ = has;
}

void FakePort::StallWrites(bool stalled) {
    std::lock_guard lock(mutex_);
    stalled_ = stalled;
    Update();
}

void FakePort::HoldOutput(bool held) {
    std::lock_guard lock(mutex_);
    holding_ = held;
    if (!held) {
        output_.insert(output_.end(), held_.begin(), held_.end());
        held_.clear();
    }
}

void FakePort::DrainOutput(std::size_t n) {
    std::lock_guard lock(mutex_);
    n = std::min(n, held_.size());
    output_.insert(output_.end(), held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
}

void FakePort::FailWrites(int error) {
    std::lock_guard lock(mutex_);
    failWith_ = error;
}

void FakePort::HangUp() {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    Update();
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

LinePlan FakePort::Applied() const {
    std::lock_guard lock(mutex_);
    return applied_;
}

int FakePort::BytesWaiting() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(input_.size());
}

int FakePort::Read(std::uint8_t* buffer, int maxLength) {
    std::lock_guard lock(mutex_);
    readSizes_.push_back(maxLength);
    if (input_.empty()) {
        errno = hungUp_ ? EIO : EAGAIN;
        return -1;
    }
    const auto n = std::min(input_.size(), static_cast<std::size_t>(maxLength));
    std::copy_n(input_.begin(), n, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    Update();
    return static_cast<int>(n);
}

int FakePort::Write(const std::uint8_t* bytes, int length) {
    std::lock_guard lock(mutex_);
    ++writeAttempts_;
    if (hungUp_) {
        errno = EIO;
        return -1;
    }
    if (failWith_ != 0) {
        errno = failWith_;
        return -1;
    }
    if (stalled_) {
        errno = EAGAIN;
        return -1;
    }
    auto& to = holding_ ? held_ : output_;
    to.insert(to.end(), bytes, bytes + length);
    return length;
}

int FakePort::OutputQueued() {
    std::lock_guard lock(mutex_);
    ++outputQueuedCalls_;
    return static_cast<int>(held_.size());
}

std::uint32_t FakePort::TakeErrors() {
    std::lock_guard lock(mutex_);
    return std::exchange(errors_, 0u);
}

bool FakePort::SetDtr(bool raise) {
    std::lock_guard lock(mutex_);
    dtr_ = raise;
    return true;
}

bool FakePort::SetRts(bool raise) {
    std::lock_guard lock(mutex_);
    rts_ = raise;
    return true;
}

int FakePort::ModemLines() {
    std::lock_guard lock(mutex_);
    ++modemLineReads_;
    if (!hasLines_)
        return -1;
    return (dtr_ ? kLineDtr : 0) | (rts_ ? kLineRts : 0) | (cts_ ? kLineCts : 0) |
           (dsr_ ? kLineDsr : 0);
}

void FakePort::Purge() {
    std::lock_guard lock(mutex_);
    ++purges_;
    input_.clear();
    held_.clear();
    Update();
}

void FakePort::PurgeOutput() {
    std::lock_guard lock(mutex_);
    ++outputPurges_;
    held_.clear();
}

WaitResult FakePort::Wait(int ownFd, int wakeFd, int timeoutMs) {
    pollfd fds[2] = {{ownFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n;
    while ((n = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (n < 0)
        return WaitResult::Failed;
    if (n == 0)
        return WaitResult::Timeout;
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

WaitResult FakePort::WaitOutput(int wakeFd, int timeoutMs) {
    return Wait(outputReady_, wakeFd, timeoutMs);
}

WaitResult FakePort::WaitModemChange(int wakeFd, int timeoutMs) {
    const WaitResult r = Wait(linesChanged_, wakeFd, timeoutMs);
    if (r == WaitResult::Ready) {
        std::lock_guard lock(mutex_);
        SetReady(linesChanged_, false);
    }
    return r;
}

void FakePort::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

}  // namespace tavirel::test
