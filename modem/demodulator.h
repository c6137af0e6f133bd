// From audio samples to ITA2 codes, for a real HF channel.
//
// The audio is mixed down around the middle of the two tones and filtered to
// a few times the signal's bandwidth. Each tone then has a matched filter one
// bit long (the sum of a bit's worth of samples turned to that tone), and a
// bit is decided by the likelihood of mark against space from both filters'
// magnitudes, weighed with each tone's own level and noise: a tone that has
// faded counts for what it is worth (threshold correction). A character is
// placed by the start bit's edge and then shifted to where its eight bit
// windows (the mark before it, start, five data bits, stop) together fit best.
// A squelch opens on the contrast between the two filters, which noise alone
// does not give; AFC finds a mistuned signal in the spectrum and then follows
// it from the phase turn inside the bits of each character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "modem/settings.h"

namespace tavirel {

class Demodulator {
  public:
    // Assumes CheckSettings(s) found nothing wrong.
    explicit Demodulator(const ModemSettings& s);
    ~Demodulator();
    Demodulator(const Demodulator&) = delete;
    Demodulator& operator=(const Demodulator&) = delete;

    // Appends the codes (0 to 31) found in the samples; the samples may come
    // in blocks of any size. Memory does not grow with the stream.
    void Process(const float* samples, std::size_t count, std::vector<std::uint8_t>& codes);
    // At the end of a recording: runs out the character still being read.
    void Flush(std::vector<std::uint8_t>& codes);

    // How much signal the squelch wants before characters are given: 0 lets
    // everything through, 1 only strong signals; 0.5 is the default.
    void SetSquelch(double level);

    // How far AFC has moved the tones, in Hz.
    double FrequencyOffset() const;
    bool SquelchOpen() const;

    // How far off tune AFC looks for a signal, in Hz.
    static constexpr double kAfcRange = 150.0;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tavirel
