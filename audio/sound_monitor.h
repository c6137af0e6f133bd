// What the sound-card line hears and does, shared between the line's audio
// thread and the window's waterfall. The line writes samples and state; the
// window polls them on its own timer, so neither ever waits for the other.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tavirel {

class SoundMonitor {
  public:
    // Audio thread: the input as heard, at sampleRate. Only the newest second
    // is kept.
    void PushInput(const float* samples, std::size_t count, double sampleRate);
    // Window: appends the samples since *position (the count pushed when last
    // read; older ones already dropped are skipped) and moves it on. Returns
    // the sample rate, 0 before any input.
    double ReadInput(std::uint64_t* position, std::vector<float>& out) const;

    // The line, while it runs.
    std::atomic<bool> running{false};
    std::atomic<bool> transmitting{false};
    std::atomic<bool> squelchOpen{false};
    std::atomic<double> frequencyOffset{0.0};  // Hz that AFC has moved the tones

    // The window's controls, read by the line at its next block.
    std::atomic<double> mark{2125.0};
    std::atomic<bool> afc{true};
    std::atomic<double> squelch{0.5};

  private:
    mutable std::mutex mutex_;
    std::vector<float> ring_;
    std::uint64_t pushed_ = 0;
    double rate_ = 0;
};

// The one sound-card line of the process.
SoundMonitor& TheSoundMonitor();

}  // namespace tavirel
