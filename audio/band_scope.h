// What the waterfall shows of the input, without a window: rows of the power
// spectrum from 0 Hz to a top frequency, the level, a signal-to-noise estimate
// at the two tones, and the points of a crossed-ellipse tuning indicator.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace tavirel {

inline constexpr double kWaterfallTopHz = 3000.0;
inline constexpr double kWaterfallRowsPerSecond = 16.0;

class Spectrum {
  public:
    explicit Spectrum(double sampleRate, double topHz = kWaterfallTopHz);
    ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    double SampleRate() const { return rate_; }
    double BinHz() const { return binHz_; }
    // Bins from 0 Hz up to the top frequency.
    std::size_t Bins() const { return bins_; }

    // Where the two tones are (Hz, lower and upper), for the estimate.
    void SetTones(double lowerHz, double upperHz);

    // Takes samples; each completed row (linear power per bin, Bins() of
    // them) is handed to `row` before the next one is started.
    void Write(std::span<const float> samples,
               const std::function<void(std::span<const float>)>& row);

    // Of the last row: the RMS level in dB full scale (a full-scale sine
    // reads 0), and the power in the tones' bands over the noise in the same
    // bands, in dB, averaged over about a quarter of a second.
    double LevelDbfs() const { return levelDbfs_; }
    double SnrDb() const { return snrDb_; }
    // The noise floor per bin (linear, same scale as the rows).
    double NoiseFloor() const { return noise_; }

  private:
    void Row();

    struct Periodogram;
    std::unique_ptr<Periodogram> periodogram_;
    double rate_;
    double binHz_;
    std::size_t nfft_;
    std::size_t bins_;
    std::size_t delay_;
    double lowerHz_ = 0, upperHz_ = 0;
    std::vector<float> psd_;  // the whole transform, zero frequency in the middle
    std::vector<float> row_;
    std::vector<float> sorted_;
    double squares_ = 0;  // sum of squared samples since the last row
    std::size_t counted_ = 0;
    std::size_t sinceRow_ = 0;
    double levelDbfs_ = -120.0;
    double snrDb_ = -20.0;
    double noise_ = 0;
    double bandPower_ = -1, bandNoise_ = -1;  // smoothed; negative before the first row
};

// The mark filter's output against the space filter's: a mark tone draws a
// horizontal line, a space tone a vertical one, a signal in tune a cross.
class TuningScope {
  public:
    struct Point {
        float x, y;  // -1..1, scaled by the largest of the points kept
    };
    static constexpr std::size_t kPoints = 512;

    explicit TuningScope(double sampleRate);
    void SetTones(double markHz, double spaceHz);
    void Write(std::span<const float> samples);
    // The newest kPoints points, oldest first (fewer before that many came).
    std::vector<Point> Points() const;

  private:
    // Two cascaded resonators (a fourth-order band-pass) around one tone.
    struct Resonator {
        double b0 = 0, b2 = 0, a1 = 0, a2 = 0;
        double x1[2] = {}, x2[2] = {}, y1[2] = {}, y2[2] = {};
        void Tune(double hz, double bandwidthHz, double rate);
        double Step(double x);
    };
    double rate_;
    std::size_t step_;  // keep every step_-th output: about 4000 a second
    std::size_t phase_ = 0;
    Resonator mark_, space_;
    std::vector<Point> ring_;
    std::size_t next_ = 0;
};

}  // namespace tavirel
