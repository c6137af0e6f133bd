#include "link/clock.h"

namespace tavirel {

namespace {

class Steady final : public Clock {
  public:
    Time Now() override { return std::chrono::steady_clock::now(); }
    int WaitMs(Time t) override {
        const auto left = t - Now();
        if (left <= Time::duration::zero())
            return 0;
        return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
};

}  // namespace

Clock& SteadyClock() {
    static Steady clock;
    return clock;
}

}  // namespace tavirel
