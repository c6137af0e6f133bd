#include "audio/sound_monitor.h"

#include <algorithm>
#include <cmath>

namespace tavirel {

void SoundMonitor::PushInput(const float* samples, std::size_t count, double sampleRate) {
    std::lock_guard lock(mutex_);
    const auto size = static_cast<std::size_t>(std::max(1.0, std::ceil(sampleRate)));
    if (rate_ != sampleRate || ring_.size() != size) {
        ring_.assign(size, 0.0f);
        rate_ = sampleRate;
    }
    for (std::size_t i = 0; i < count; ++i)
        ring_[(pushed_ + i) % size] = samples[i];
    pushed_ += count;
}

double SoundMonitor::ReadInput(std::uint64_t* position, std::vector<float>& out) const {
    std::lock_guard lock(mutex_);
    if (ring_.empty())
        return 0;
    const std::uint64_t oldest = pushed_ > ring_.size() ? pushed_ - ring_.size() : 0;
    std::uint64_t p = std::clamp(*position, oldest, pushed_);
    for (; p < pushed_; ++p)
        out.push_back(ring_[p % ring_.size()]);
    *position = p;
    return rate_;
}

SoundMonitor& TheSoundMonitor() {
    static SoundMonitor monitor;
    return monitor;
}

}  // namespace tavirel
