#include "modem/modulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavirel {

namespace {

constexpr double kFadeSeconds = 0.005;

double RaisedCosine(double x) {
    return 0.5 * (1.0 - std::cos(std::numbers::pi * std::clamp(x, 0.0, 1.0)));
}

}  // namespace

Modulator::Modulator(const ModemSettings& s) : s_(s), from_(s.MarkHz()), to_(s.MarkHz()) {}

double Modulator::Position() const {
    return idleSamples_ + static_cast<double>(halfBits_) * s_.sampleRate / (2.0 * s_.baud);
}

void Modulator::Samples(std::vector<float>& out) {
    const double until = Position();
    const double glide = kGlide * s_.BitSamples();
    const double fade = kFadeSeconds * s_.sampleRate;
    const double toRadians = 2.0 * std::numbers::pi / s_.sampleRate;
    for (; static_cast<double>(sample_) < until; ++sample_) {
        const auto n = static_cast<double>(sample_);
        const double f = from_ + (to_ - from_) * RaisedCosine((n - glideStart_) / glide);
        double gain = RaisedCosine(n / fade);
        if (fadeOutEnd_ >= 0)
            gain = std::min(gain, RaisedCosine((fadeOutEnd_ - n) / fade));
        out.push_back(static_cast<float>(kAmplitude * gain * std::sin(phase_)));
        phase_ = std::fmod(phase_ + f * toRadians, 2.0 * std::numbers::pi);
    }
}

void Modulator::Tone(double frequency, std::int64_t halfBits, std::vector<float>& out) {
    if (frequency != to_) {
        from_ = to_;
        to_ = frequency;
        glideStart_ = Position();
    }
    halfBits_ += halfBits;
    Samples(out);
}

void Modulator::Begin(std::vector<float>& out) {
    Idle(s_.leadIn, out);
}

void Modulator::Idle(double seconds, std::vector<float>& out) {
    // Always after a stop bit, or at the start: the tone is mark already.
    idleSamples_ += seconds * s_.sampleRate;
    Samples(out);
}

void Modulator::Send(std::uint8_t code, std::vector<float>& out) {
    Tone(s_.SpaceHz(), 2, out);
    for (int bit = 0; bit < 5; ++bit)
        Tone((code >> bit) & 1 ? s_.MarkHz() : s_.SpaceHz(), 2, out);
    Tone(s_.MarkHz(), static_cast<std::int64_t>(std::lround(s_.stopBits * 2.0)), out);
}

void Modulator::End(std::vector<float>& out) {
    End(kTailSeconds, out);
}

void Modulator::End(double tailSeconds, std::vector<float>& out) {
    idleSamples_ += tailSeconds * s_.sampleRate;
    fadeOutEnd_ = Position();
    Samples(out);
}

std::vector<float> Modulate(const ModemSettings& s, const std::vector<std::uint8_t>& codes) {
    Modulator m(s);
    std::vector<float> out;
    m.Begin(out);
    for (const std::uint8_t c : codes)
        m.Send(c, out);
    m.End(out);
    return out;
}

}  // namespace tavirel
