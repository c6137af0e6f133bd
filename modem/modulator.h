// Phase-continuous FSK for a teleprinter line: a start bit (space), five data
// bits first bit first (mark is 1), and the stop bits (mark).
//
// Every bit boundary is placed from one count of bits since the start, so no
// rounding builds up and the stop bits never jitter. The tone glides from one
// frequency to the other along a raised cosine over the first fifth of a bit,
// which keeps the sidebands inside a radio's passband without smearing the
// bits; the glide starts on the boundary, so a bit's steady tone runs from a
// fifth of the way in to its end.
#pragma once

#include <cstdint>
#include <vector>

#include "modem/settings.h"

namespace tavirel {

class Modulator {
  public:
    // Assumes CheckSettings(s) found nothing wrong.
    explicit Modulator(const ModemSettings& s);

    // The lead-in: steady mark, faded in so the first sample does not click.
    void Begin(std::vector<float>& out);
    // One character's bits; code is taken modulo 32.
    void Send(std::uint8_t code, std::vector<float>& out);
    // Steady mark for a while (between characters, as a typist leaves it).
    void Idle(double seconds, std::vector<float>& out);
    // The short mark tail after the last character, faded out.
    void End(std::vector<float>& out);
    void End(double tailSeconds, std::vector<float>& out);

    // Where the next bit boundary falls, in samples from the first sample.
    double Position() const;
    // The fraction of a bit the tone takes to glide to the other frequency.
    static constexpr double kGlide = 0.2;
    static constexpr double kTailSeconds = 0.25;
    static constexpr float kAmplitude = 0.5f;

  private:
    void Tone(double frequency, std::int64_t halfBits, std::vector<float>& out);
    // Writes the samples up to the current position.
    void Samples(std::vector<float>& out);

    ModemSettings s_;
    std::int64_t halfBits_ = 0;  // bit time since the start, in half bits
    double idleSamples_ = 0;     // plus time spent idle, in samples
    std::int64_t sample_ = 0;    // samples written
    double phase_ = 0;           // radians
    double from_ = 0, to_ = 0;   // the glide under way: its frequencies
    double glideStart_ = 0;      // and where it began, in samples
    double fadeOutEnd_ = -1;     // where the fade-out ends, once End() started it
};

// The whole transmission: lead-in, the codes back to back, tail.
std::vector<float> Modulate(const ModemSettings& s, const std::vector<std::uint8_t>& codes);

}  // namespace tavirel
