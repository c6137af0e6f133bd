#include "audio/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tavirel {
namespace {

// A sine of this amplitude and frequency plus Gaussian noise of this RMS.
std::vector<float> Signal(double rate, double seconds, double hz, double amplitude, double noise) {
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    std::vector<float> out(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        out[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * t) +
                                    (noise > 0 ? gauss(random) : 0.0));
    }
    return out;
}

struct ToneRow {
    const char* name;
    double rate, hz;
};

// A tone's row peaks at its frequency, at any rate the line may run at, and
// at least ten rows come a second.
TEST(SpectrumTest, ATonePeaksInItsBin) {
    const ToneRow rows[] = {{"8k 1000 Hz", 8000, 1000},
                            {"8k 2125 Hz", 8000, 2125},
                            {"48k 2295 Hz", 48000, 2295},
                            {"44.1k 300 Hz", 44100, 300},
                            {"11.025k 2975 Hz", 11025, 2975}};
    for (const ToneRow& r : rows) {
        Spectrum spectrum(r.rate);
        EXPECT_GE(spectrum.BinHz() * static_cast<double>(spectrum.Bins() - 1), 2999.0) << r.name;
        int count = 0;
        std::vector<float> last;
        spectrum.Write(Signal(r.rate, 1.0, r.hz, 0.5, 0), [&](std::span<const float> row) {
            ++count;
            last.assign(row.begin(), row.end());
        });
        EXPECT_GE(count, 10) << r.name;
        ASSERT_EQ(last.size(), spectrum.Bins()) << r.name;
        const auto peak = std::max_element(last.begin(), last.end()) - last.begin();
        EXPECT_NEAR(static_cast<double>(peak) * spectrum.BinHz(), r.hz, spectrum.BinHz() / 2)
            << r.name;
    }
}

struct LevelRow {
    const char* name;
    double amplitude, noise, dbfs;
};

TEST(SpectrumTest, LevelIsTheRmsInDecibelsFullScale) {
    const LevelRow rows[] = {{"full-scale sine", 1.0, 0, 0.0},
                             {"half", 0.5, 0, -6.02},
                             {"a hundredth", 0.01, 0, -40.0},
                             {"noise of RMS 0.1", 0, 0.1, -16.99},
                             {"silence", 0, 0, -120.0}};
    for (const LevelRow& r : rows) {
        Spectrum spectrum(8000);
        spectrum.Write(Signal(8000, 0.5, 1000, r.amplitude, r.noise), nullptr);
        EXPECT_NEAR(spectrum.LevelDbfs(), r.dbfs, r.noise > 0 ? 1.0 : 0.05) << r.name;
    }
}

struct SnrRow {
    const char* name;
    double rate, amplitude, noise, low, high;
};

// Tones of 2125 and 2295 Hz. At 8 kHz their two 55 Hz bands hold 1/37 of
// white noise, so a tone as strong as the noise reads 15.6 dB.
TEST(SpectrumTest, SnrOfAToneInNoiseAndOfNoiseAlone) {
    const SnrRow rows[] = {{"noise alone", 8000, 0, 0.1, -100, 3},
                           {"noise alone at 48k", 48000, 0, 0.1, -100, 3},
                           {"tone as strong as the noise", 8000, 0.1414, 0.1, 12.5, 18.5},
                           {"strong tone, faint noise", 48000, 0.5, 0.001, 50, 100}};
    for (const SnrRow& r : rows) {
        Spectrum spectrum(r.rate);
        spectrum.SetTones(2125, 2295);
        spectrum.Write(Signal(r.rate, 3.0, 2125, r.amplitude, r.noise), nullptr);
        EXPECT_GE(spectrum.SnrDb(), r.low) << r.name;
        EXPECT_LE(spectrum.SnrDb(), r.high) << r.name;
    }
}

struct ScopeRow {
    const char* name;
    double hz;
    bool wide;  // along x (mark), else along y (space)
};

// A mark tone draws a horizontal line, a space tone a vertical one; silence
// stays in the middle.
TEST(TuningScopeTest, MarkDrawsAcrossSpaceDrawsUp) {
    const ScopeRow rows[] = {{"mark", 2125, true}, {"space", 2295, false}};
    for (const ScopeRow& r : rows) {
        TuningScope scope(8000);
        scope.SetTones(2125, 2295);
        scope.Write(Signal(8000, 0.2, r.hz, 0.3, 0));
        const auto points = scope.Points();
        ASSERT_EQ(points.size(), TuningScope::kPoints) << r.name;
        float x = 0, y = 0;
        for (const auto& p : points) {
            x = std::max(x, std::abs(p.x));
            y = std::max(y, std::abs(p.y));
        }
        EXPECT_GT(r.wide ? x : y, 0.95f) << r.name;
        EXPECT_LT(r.wide ? y : x, 0.1f) << r.name;
    }
    TuningScope quiet(48000);
    quiet.Write(std::vector<float>(4800, 0.0f));
    for (const auto& p : quiet.Points())
        ASSERT_TRUE(p.x == 0 && p.y == 0);
}

}  // namespace
}  // namespace tavirel
