// Waiting for a modem input line (CTS, DSR) to change without a timer.
//
// The driver's TIOCMIWAIT blocks in an ioctl that only a line change or a
// signal ends, so a helper thread sits in it and signals an eventfd on every
// change; Stop interrupts it with a signal of our own, which has an empty
// handler installed without SA_RESTART. Where the driver cannot wait (no
// TIOCMIWAIT, or the signal is taken by someone else) the wait falls back to
// looking every 10 ms.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "link/port.h"

namespace tavirel {

class ModemLineWatch {
  public:
    // waitChange blocks until a watched line changes: 0, or -1 with errno
    // (EINTR when a signal ended it). It runs on the helper thread.
    explicit ModemLineWatch(std::function<int()> waitChange);
    ~ModemLineWatch();
    ModemLineWatch(const ModemLineWatch&) = delete;
    ModemLineWatch& operator=(const ModemLineWatch&) = delete;

    // As Port::WaitModemChange. The helper starts on the first call.
    WaitResult Wait(int wakeFd, int timeoutMs);
    // Ends the helper; later waits fall back to looking every 10 ms.
    void Stop();

  private:
    bool Start();
    void Run();

    std::function<int()> waitChange_;
    int changed_;  // eventfd: a line changed, or the helper gave up
    std::atomic<bool> stop_{false};
    std::atomic<bool> unsupported_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = false;
    std::thread thread_;
};

}  // namespace tavirel
