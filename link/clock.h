// Time as the write queue sees it, so tests can move it by hand.
#pragma once

#include <chrono>

namespace tavirel {

class Clock {
  public:
    using Time = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual Time Now() = 0;
    // How long a wait for t may take, in whole milliseconds rounded up; 0 when
    // t has passed, -1 when only a wake-up ends the wait (a hand-moved clock
    // wakes its sleepers itself).
    virtual int WaitMs(Time t) = 0;
    // Called with the sleeper's wake descriptor; a hand-moved clock signals it.
    virtual void AddSleeper(int) {}
    virtual void RemoveSleeper(int) {}
};

Clock& SteadyClock();

}  // namespace tavirel
