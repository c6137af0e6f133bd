#include "audio/band_scope.h"

#include <gtest/gtest.h>

#include "tests/support/modem_channel.h"

namespace tavirel {
namespace {

// Rows reach 3 kHz at any rate and peak at a tone. The level is the RMS in dB
// full scale; the SNR is that of the 2125 and 2295 Hz bands, which at 8 kHz
// hold 1/37 of white noise, so a tone as strong as the noise reads 15.6 dB.
TEST(SpectrumTest, PeakLevelAndSnr) {
    const struct {
        const char* name;
        double rate, hz, amplitude, noise, dbfs, snrLow, snrHigh;  // hz 0: no peak to look for
    } rows[] = {{"full scale at 8k", 8000, 2125, 1.0, 0, 0.0, -1e3, 1e3},
                {"space at 48k, faint noise", 48000, 2295, 0.5, 0.001, -6.02, 50, 100},
                {"off the tones at 11.025k", 11025, 2975, 0.01, 0, -40.0, -1e3, 1e3},
                {"tone as strong as the noise", 8000, 2125, 0.1414, 0.1, -13.98, 12.5, 18.5},
                {"noise alone", 8000, 0, 0, 0.1, -16.99, -1e3, 3},
                {"silence", 8000, 0, 0, 0, -120.0, -1e3, 1e3}};
    for (const auto& r : rows) {
        Spectrum spectrum(r.rate);
        spectrum.SetTones(2125, 2295);
        EXPECT_GE(spectrum.BinHz() * static_cast<double>(spectrum.Bins() - 1), 2999.0) << r.name;
        std::ptrdiff_t peak = 0;  // in the last row
        spectrum.Write(test::Signal(r.rate, 3.0, r.hz, r.amplitude, r.noise), [&](auto row) {
            peak = std::max_element(row.begin(), row.end()) - row.begin();
        });
        EXPECT_NEAR(r.hz > 0 ? static_cast<double>(peak) * spectrum.BinHz() : 0, r.hz,
                    spectrum.BinHz() / 2)
            << r.name;
        EXPECT_NEAR(spectrum.LevelDbfs(), r.dbfs, r.noise > 0 ? 1.0 : 0.05) << r.name;
        EXPECT_GE(spectrum.SnrDb(), r.snrLow) << r.name;
        EXPECT_LE(spectrum.SnrDb(), r.snrHigh) << r.name;
    }
}

// A mark tone draws a horizontal line, a space tone a vertical one; silence
// stays in the middle.
TEST(TuningScopeTest, MarkDrawsAcrossSpaceDrawsUp) {
    for (const bool mark : {true, false}) {
        TuningScope scope(8000);
        scope.Write(test::Signal(8000, 0.2, mark ? 2125 : 2295, 0.3));
        float x = 0, y = 0;
        for (const auto& p : scope.Points()) {
            x = std::max(x, std::abs(p.x));
            y = std::max(y, std::abs(p.y));
        }
        EXPECT_GT(mark ? x : y, 0.95f) << mark;
        EXPECT_LT(mark ? y : x, 0.1f) << mark;
    }
    TuningScope quiet(48000);
    quiet.Write(std::vector<float>(4800, 0.0f));
    for (const auto& p : quiet.Points())
        ASSERT_TRUE(p.x == 0 && p.y == 0);
}

}  // namespace
}  // namespace tavirel
