#include "link/modem_watch.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <system_error>

#include "link/line_settings.h"

namespace tavirel {

namespace {

// Without the driver's help the lines are looked at this often.
constexpr int kFallbackMs = 10;
// A change in the instant between one driver wait and the next is not seen by
// the driver; looking again now and then keeps such a change from holding the
// output for good.
constexpr int kRecheckMs = 1000;

void InterruptHandler(int) {}

// The signal that ends a helper's wait in the driver; 0 when it cannot be had.
int InterruptSignal() {
    static const int signal = [] {
        const int candidate = SIGRTMAX - 3;
        struct sigaction old {};
        if (sigaction(candidate, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
            return 0;
        struct sigaction action {};
        action.sa_handler = InterruptHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the ioctl must return EINTR
        return sigaction(candidate, &action, nullptr) == 0 ? candidate : 0;
    }();
    return signal;
}

void Signal(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

int Min(int timeoutMs, int limitMs) {
    return timeoutMs < 0 ? limitMs : std::min(timeoutMs, limitMs);
}

WaitResult PollFor(int ownFd, int wakeFd, int timeoutMs) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {ownFd, POLLIN, 0}};
    const nfds_t count = (wakeFd >= 0 ? 1 : 0) + (ownFd >= 0 ? 1 : 0);
    pollfd* first = wakeFd >= 0 ? fds : fds + 1;
    if (RetryPoll(first, count, timeoutMs) < 0)
        return WaitResult::Failed;
    if (wakeFd >= 0 && (fds[0].revents & POLLIN))
        return WaitResult::Woken;
    if (ownFd >= 0 && (fds[1].revents & POLLIN)) {
        std::uint64_t value;
        [[maybe_unused]] const ssize_t r = ::read(ownFd, &value, sizeof value);
        return WaitResult::Ready;
    }
    return WaitResult::Timeout;
}

}  // namespace

ModemLineWatch::ModemLineWatch(std::function<int()> waitChange)
    : waitChange_(std::move(waitChange)), changed_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ModemLineWatch::~ModemLineWatch() {
    Stop();
    if (changed_ >= 0)
        ::close(changed_);
}

bool ModemLineWatch::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        return true;
    if (stop_.load() || changed_ < 0 || InterruptSignal() == 0)
        return false;
    try {
        running_ = true;
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

WaitResult ModemLineWatch::Wait(int wakeFd, int timeoutMs) {
    if (unsupported_.load() || !Start())
        return PollFor(-1, wakeFd, Min(timeoutMs, kFallbackMs));
    return PollFor(changed_, wakeFd, Min(timeoutMs, kRecheckMs));
}

void ModemLineWatch::Run() {
    // Whatever the starting thread blocked, the interrupt must get through.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, InterruptSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    while (!stop_.load()) {
        if (waitChange_() == 0) {
            Signal(changed_);
        } else if (errno != EINTR) {
            // The driver cannot wait for its lines; the waiter looks instead.
            unsupported_ = true;
            Signal(changed_);
            break;
        }
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    ended_.notify_all();
}

void ModemLineWatch::Stop() {
    std::unique_lock lock(mutex_);
    stop_ = true;
    if (!thread_.joinable())
        return;
    // A signal that lands just before the helper enters the driver is lost;
    // send another until it has ended.
    while (running_) {
        pthread_kill(thread_.native_handle(), InterruptSignal());
        ended_.wait_for(lock, std::chrono::milliseconds(10));
    }
    lock.unlock();
    thread_.join();
}

}  // namespace tavirel
