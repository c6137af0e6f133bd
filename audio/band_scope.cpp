#include "audio/band_scope.h"

#include <complex>
// liquid.h needs <complex> before it.
#include <liquid/liquid.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavirel {

namespace {

// Bins no wider than this: the tones of a 170 Hz shift lie some twenty apart.
constexpr double kFinestBinHz = 10.0;
// Either side of a tone, the band its keyed signal spreads over.
constexpr double kToneHalfWidthHz = 25.0;
// Each row moves the averages this far toward it: about a quarter second.
constexpr double kSmoothing = 0.25;
constexpr double kFloorDb = -120.0;
// Each of the tuning scope's two stages; together about 50 Hz wide, as a
// 45-baud signal needs, and 25 dB down at the other tone of a 170 Hz shift.
constexpr double kResonatorWidthHz = 80.0;

std::size_t TransformSize(double rate) {
    std::size_t n = 64;
    while (static_cast<double>(n) < rate / kFinestBinHz)
        n *= 2;
    return n;
}

double Db(double power) {
    return power > 0 ? std::max(kFloorDb, 10.0 * std::log10(power)) : kFloorDb;
}

}  // namespace

struct Spectrum::Periodogram {
    explicit Periodogram(std::size_t nfft, std::size_t delay)
        : q(spgramf_create(static_cast<unsigned>(nfft), LIQUID_WINDOW_HANN,
                           static_cast<unsigned>(nfft), static_cast<unsigned>(delay))) {
        // Summed until a row takes them and clears the sum (liquid 1.5 gives
        // zeros for any other forgetting factor).
        spgramf_set_alpha(q, -1.0f);
    }
    ~Periodogram() { spgramf_destroy(q); }
    Periodogram(const Periodogram&) = delete;
    Periodogram& operator=(const Periodogram&) = delete;
    spgramf q;
};

Spectrum::Spectrum(double sampleRate, double topHz)
    : rate_(sampleRate),
      binHz_(sampleRate / static_cast<double>(TransformSize(sampleRate))),
      nfft_(TransformSize(sampleRate)),
      bins_(std::min(nfft_ / 2, static_cast<std::size_t>(std::ceil(topHz / binHz_)) + 1)),
      delay_(std::max<std::size_t>(
          1, static_cast<std::size_t>(std::lround(sampleRate / kWaterfallRowsPerSecond)))),
      psd_(nfft_),
      row_(bins_) {
    periodogram_ = std::make_unique<Periodogram>(nfft_, delay_);
}

Spectrum::~Spectrum() = default;

void Spectrum::SetTones(double lowerHz, double upperHz) {
    lowerHz_ = lowerHz;
    upperHz_ = upperHz;
}

void Spectrum::Write(std::span<const float> samples,
                     const std::function<void(std::span<const float>)>& row) {
    // The periodogram transforms every delay_ samples; feeding it no more
    // than up to the next transform at a time makes each one a row.
    while (!samples.empty()) {
        const std::size_t n = std::min(samples.size(), delay_ - sinceRow_);
        for (std::size_t i = 0; i < n; ++i)
            squares_ += static_cast<double>(samples[i]) * samples[i];
        counted_ += n;
        spgramf_write(periodogram_->q, const_cast<float*>(samples.data()),
                      static_cast<unsigned>(n));
        samples = samples.subspan(n);
        sinceRow_ += n;
        if (sinceRow_ == delay_) {
            sinceRow_ = 0;
            Row();
            if (row)
                row(row_);
        }
    }
}

void Spectrum::Row() {
    spgramf_get_psd_mag(periodogram_->q, psd_.data());
    spgramf_clear(periodogram_->q);
    // Zero frequency sits in the middle of the transform; a real input's
    // positive half is all there is to see.
    std::copy_n(psd_.begin() + static_cast<std::ptrdiff_t>(nfft_ / 2), bins_, row_.begin());

    const double meanSquare = counted_ > 0 ? squares_ / static_cast<double>(counted_) : 0;
    levelDbfs_ = Db(2.0 * meanSquare);
    squares_ = 0;
    counted_ = 0;

    // The noise per bin from the median, which the few bins of a signal do
    // not move; a bin of noise alone is exponentially distributed, whose
    // median is ln 2 of its mean.
    sorted_.assign(row_.begin(), row_.end());
    const auto middle = sorted_.begin() + static_cast<std::ptrdiff_t>(sorted_.size() / 2);
    std::nth_element(sorted_.begin(), middle, sorted_.end());
    const double noise = *middle / std::numbers::ln2;

    double power = 0;
    std::size_t count = 0;
    const auto lo = [&](double hz) {
        return static_cast<std::size_t>(std::max(0.0, std::ceil((hz - kToneHalfWidthHz) / binHz_)));
    };
    const auto hi = [&](double hz) {
        return std::min(bins_, static_cast<std::size_t>(std::max(
                                   0.0, std::floor((hz + kToneHalfWidthHz) / binHz_) + 1)));
    };
    // The two bands, counted once where they overlap.
    const std::size_t begin1 = lo(lowerHz_), end1 = hi(lowerHz_);
    const std::size_t begin2 = std::max(lo(upperHz_), end1), end2 = hi(upperHz_);
    for (std::size_t i = begin1; i < end1; ++i, ++count)
        power += row_[i];
    for (std::size_t i = begin2; i < end2; ++i, ++count)
        power += row_[i];
    const double bandNoise = noise * static_cast<double>(count);

    if (bandPower_ < 0) {
        bandPower_ = power;
        bandNoise_ = bandNoise;
        noise_ = noise;
    } else {
        bandPower_ += kSmoothing * (power - bandPower_);
        bandNoise_ += kSmoothing * (bandNoise - bandNoise_);
        noise_ += kSmoothing * (noise - noise_);
    }
    if (bandNoise_ <= 0) {
        snrDb_ = bandPower_ > 0 ? -kFloorDb : 0.0;
        return;
    }
    const double signal = bandPower_ - bandNoise_;
    snrDb_ = signal > 0 ? std::clamp(10.0 * std::log10(signal / bandNoise_), -20.0, 100.0) : -20.0;
}

void TuningScope::Resonator::Tune(double hz, double bandwidthHz, double rate) {
    const double f = std::clamp(hz, 1.0, rate / 2.0 - 1.0);
    const double w0 = 2.0 * std::numbers::pi * f / rate;
    const double alpha = std::sin(w0) * bandwidthHz / (2.0 * f);
    const double a0 = 1.0 + alpha;
    b0 = alpha / a0;
    b2 = -alpha / a0;
    a1 = -2.0 * std::cos(w0) / a0;
    a2 = (1.0 - alpha) / a0;
}

double TuningScope::Resonator::Step(double x) {
    for (int s = 0; s < 2; ++s) {
        const double y = b0 * x + b2 * x2[s] - a1 * y1[s] - a2 * y2[s];
        x2[s] = x1[s];
        x1[s] = x;
        y2[s] = y1[s];
        y1[s] = y;
        x = y;
    }
    return x;
}

TuningScope::TuningScope(double sampleRate)
    : rate_(sampleRate),
      step_(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(sampleRate / 4000.0)))) {
    ring_.reserve(kPoints);
    SetTones(2125.0, 2295.0);
}

void TuningScope::SetTones(double markHz, double spaceHz) {
    mark_.Tune(markHz, kResonatorWidthHz, rate_);
    space_.Tune(spaceHz, kResonatorWidthHz, rate_);
}

void TuningScope::Write(std::span<const float> samples) {
    for (const float s : samples) {
        const double x = mark_.Step(s);
        const double y = space_.Step(s);
        if (++phase_ < step_)
            continue;
        phase_ = 0;
        const Point p{static_cast<float>(x), static_cast<float>(y)};
        if (ring_.size() < kPoints) {
            ring_.push_back(p);
        } else {
            ring_[next_] = p;
            next_ = (next_ + 1) % kPoints;
        }
    }
}

std::vector<TuningScope::Point> TuningScope::Points() const {
    std::vector<Point> out;
    out.reserve(ring_.size());
    float peak = 0;
    for (const Point& p : ring_)
        peak = std::max({peak, std::abs(p.x), std::abs(p.y)});
    // Silence stays a dot in the middle rather than noise blown up.
    const float scale = peak > 1e-6f ? 1.0f / peak : 0.0f;
    for (std::size_t i = 0; i < ring_.size(); ++i) {
        const Point& p = ring_[(next_ + i) % ring_.size()];
        out.push_back({p.x * scale, p.y * scale});
    }
    return out;
}

}  // namespace tavirel
