#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "modem/text.h"

namespace tavirel::test {

// Our own seeded generator, so that figures do not depend on the standard library's.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Gauss() {
        if (std::exchange(spare_, false))
            return saved_;
        const double r = std::sqrt(-2.0 * std::log(1.0 - Uniform()));
        const double a = 2.0 * std::numbers::pi * Uniform();
        saved_ = r * std::sin(a);
        spare_ = true;
        return r * std::cos(a);
    }

  private:
    std::uint64_t state_;
    bool spare_ = false;
    double saved_ = 0;
};

// The codes a fresh sender makes of text.
inline std::vector<std::uint8_t> Codes(const std::string& text) {
    BaudotSender sender;
    std::vector<std::uint8_t> codes;
    TextToCodes(text, sender, codes);
    return codes;
}

// Letters, figures and spaces (70, 12 and 18 in 100) in CR LF lines of 60 to 69.
inline std::string RandomText(std::size_t characters, Random& random) {
    static const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const std::string kFigures = "0123456789-.,/?:;()'";
    std::string text;
    std::size_t left = 60 + random.Next() % 10;  // on this line
    while (text.size() < characters) {
        if (left-- == 0) {
            text += "\r\n";
            left = 60 + random.Next() % 10;
        } else if (const auto pick = random.Next() % 100; pick < 18) {
            text += ' ';
        } else {
            const std::string& from = pick < 88 ? kLetters : kFigures;
            text += from[random.Next() % from.size()];
        }
    }
    return text;
}

// A sine of this amplitude and frequency plus Gaussian noise of this RMS.
inline std::vector<float> Signal(double rate, double seconds, double hz, double amplitude,
                                 double noise = 0) {
    Random random(7);
    std::vector<float> out(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate) +
            noise * random.Gauss());
    return out;
}

inline double Power(const std::vector<float>& x) {
    const auto addSquare = [](double sum, float v) { return sum + static_cast<double>(v) * v; };
    return std::accumulate(x.begin(), x.end(), 0.0, addSquare) / static_cast<double>(x.size());
}

// White Gaussian noise at snr dB against power, the noise counted in 3 kHz.
inline std::vector<float> AddNoise(std::vector<float> x, double power, double rate, double snr,
                                   Random& random) {
    const double sigma = std::sqrt(power / std::pow(10.0, snr / 10.0) * (rate / 2.0) / 3000.0);
    for (float& v : x)
        v += static_cast<float>(sigma * random.Gauss());
    return x;
}

// Edit distance without CR and LF, in per cent of what was sent.
inline double CharacterErrorRate(std::string a, std::string b) {
    for (std::string* s : {&a, &b})
        std::erase_if(*s, [](char c) { return c == '\r' || c == '\n'; });
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = std::exchange(row[0], i);
        for (std::size_t j = 1; j <= b.size(); ++j)
            diagonal = std::exchange(
                row[j], std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])}));
    }
    return 100.0 * static_cast<double>(row[b.size()]) / static_cast<double>(a.size());
}

}  // namespace tavirel::test
