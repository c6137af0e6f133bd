#include "modem/demodulator.h"

#include <complex>  // before liquid.h, so its complex types are std::complex
// clang-format off
#include <liquid/liquid.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavirel {

namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr float kLoudest = 1e4f;

// Samples per bit after decimation: fine enough to place a character to a
// fortieth of a bit.
constexpr double kBasebandSamplesPerBit = 40.0;
// Squelch: mean energy of the stronger filter against the weaker, averaged
// over this many bits; opens above kOpen and closes below kClose. Noise alone
// gives about 3. The squelch control scales both (kOpen at its middle).
constexpr double kSquelchBits = 30.0;
constexpr double kSquelchOpen = 5.5;
constexpr double kSquelchClose = 4.0;
constexpr double kNoiseContrast = 3.0;
constexpr std::size_t kHeldCharacters = 32;
// Levels for threshold correction follow the decided bits this fast.
constexpr double kLevelWeight = 1.0 / 32.0;
// A character closer than this to where the last one's clock puts it
// follows it straight on; the clock moves by this share of the difference,
// and the time from one character to the next by this share (harder for the
// first characters of a run, to catch a sender off speed).
constexpr double kFollowBits = 0.35;
constexpr double kClockGain = 0.2;
constexpr double kPeriodGain = 0.02;
constexpr double kAcquireClockGain = 0.5;
constexpr double kAcquirePeriodGain = 0.1;
constexpr int kSettleCharacters = 8;
// A fit elsewhere this much better (as a share of it) means the sender paused.
constexpr double kJump = 0.25;
// How far the time between two characters may be from the nominal and still
// be the sender's pace, in bits (4 % of a character).
constexpr double kPaceBits = 0.3;
// Fine AFC: share of a character's measured error corrected at once.
constexpr double kAfcGain = 0.15;
// Coarse AFC: how often the spectrum is looked at, and how much better
// another tuning must fit before the tones jump there.
constexpr double kCoarseSeconds = 0.25;
constexpr double kCoarseBetter = 1.5;
constexpr float kCoarseAverage = 0.4f;
// A signal in the spectrum: its two lobes this far above the noise.
constexpr double kCoarseSignal = 4.0;
// Idle and stop bits are mark: a lone tone is taken for mark.
constexpr double kMarkWeight = 1.25;

// ln I0(x) for x >= 0 (Abramowitz and Stegun 9.8.1 and 9.8.2).
double LogI0(double x) {
    if (x < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        return std::log(
            1.0 + t * (3.5156229 +
                       t * (3.0899424 +
                            t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813))))));
    }
    const double t = 3.75 / x;
    const double p =
        0.39894228 +
        t * (0.01328592 +
             t * (0.00225319 +
                  t * (-0.00157565 +
                       t * (0.00916281 +
                            t * (-0.02057706 +
                                 t * (0.02635537 + t * (-0.01647633 + t * 0.00392377)))))));
    return x - 0.5 * std::log(x) + std::log(p);
}

}  // namespace

struct Demodulator::Impl {
    explicit Impl(const ModemSettings& settings);
    ~Impl();

    void Input(float x, std::vector<std::uint8_t>& codes);
    void Baseband(Complex y, std::vector<std::uint8_t>& codes);
    double Llr(double rm, double rs) const;
    // A tone filter's complex output for the bit window ending at sample e.
    Complex Window(const std::vector<Complex>& sums, std::int64_t e, std::int64_t span) const {
        return sums[static_cast<std::size_t>(e & mask)] -
               sums[static_cast<std::size_t>((e - span) & mask)];
    }
    float LlrAt(double position) const {
        return llr[static_cast<std::size_t>(std::llround(position) & mask)];
    }
    void Frames(std::vector<std::uint8_t>& codes);
    void Character(std::vector<std::uint8_t>& codes);
    double Fit(std::int64_t t) const;
    void Learn(std::int64_t t0, const bool* marks);
    void FineAfc(std::int64_t t0, const bool* marks);
    void CoarseAfc();
    double Lobe(const std::vector<float>& psd, double f) const;

    ModemSettings s;
    // Front end: mixer to the middle of the tones, decimating low-pass.
    double centre;
    unsigned decimation;
    double rate;  // after decimation
    Complex mixer{1.0, 0.0}, mixerStep;
    unsigned mixCount = 0;
    firdecim_crcf decimator = nullptr;
    std::vector<std::complex<float>> block;
    unsigned filled = 0;

    // Tone filters: running sums of the samples turned to each tone, kept
    // for the last few characters; a window's sum is a difference of two.
    double markHz, spaceHz;  // in the baseband, before AFC
    double afc = 0;
    double markPhase = 0, spacePhase = 0;  // in cycles
    double bit;                            // samples per bit
    std::int64_t length;                   // the filters' length
    std::int64_t n = -1;                   // newest sample
    std::int64_t mask;
    std::vector<Complex> markSums, spaceSums;
    std::vector<float> llr;
    Complex markSum, spaceSum;

    // Threshold correction: energy of each filter when its tone is sent
    // (signal and noise) and when the other is (noise).
    bool levelsKnown = false;
    double markOn = 1, markOff = 1, spaceOn = 1, spaceOff = 1;
    double markA = 0, markNoise = 1, spaceA = 0, spaceNoise = 1;

    double strong = 0, weak = 0;
    bool open = false;
    bool squelched = true;  // false: the squelch control is all the way down
    double squelchOpen = kSquelchOpen, squelchClose = kSquelchClose;
    std::vector<std::uint8_t> held;  // the current run's, while the squelch is shut

    bool waiting = false, armed = false;
    // Where the next character starts if it follows this one straight on.
    bool locked = false;
    double period, predicted = 0, lastMeasured = -1e300;
    int run = 0;  // characters followed since the lock began
    std::int64_t cursor, trigger = 0;

    spgramcf spectrum = nullptr;
    std::vector<float> psd, average;
    std::int64_t nextLook;
};

Demodulator::Impl::Impl(const ModemSettings& settings) : s(settings) {
    centre = 0.5 * (s.MarkHz() + s.SpaceHz());
    const double edge = s.shift / 2.0 + kAfcRange + 2.0 * s.baud;
    const double wanted = std::max(kBasebandSamplesPerBit * s.baud, 2.5 * edge);
    decimation = static_cast<unsigned>(std::max(1.0, std::floor(s.sampleRate / wanted)));
    rate = s.sampleRate / decimation;
    mixerStep = std::polar(1.0, -kTwoPi * centre / s.sampleRate);

    const float df = static_cast<float>((rate - 2.0 * edge) / s.sampleRate);
    const unsigned taps = std::max(3u, estimate_req_filter_len(std::min(df, 0.45f), 60.0f));
    std::vector<float> h(taps);
    liquid_firdes_kaiser(taps, static_cast<float>(0.5 * rate / s.sampleRate), 60.0f, 0.0f,
                         h.data());
    // Unity gain at the middle frequency.
    float sum = 0;
    for (const float v : h)
        sum += v;
    for (float& v : h)
        v /= sum;
    decimator = firdecim_crcf_create(decimation, h.data(), taps);
    block.resize(decimation);

    markHz = s.MarkHz() - centre;
    spaceHz = s.SpaceHz() - centre;
    bit = rate / s.baud;
    length = std::llround(bit);
    std::int64_t size = 1;
    while (static_cast<double>(size) < 16.0 * bit)
        size *= 2;
    mask = size - 1;
    markSums.assign(static_cast<std::size_t>(size), Complex{});
    spaceSums.assign(static_cast<std::size_t>(size), Complex{});
    llr.assign(static_cast<std::size_t>(size), 0.0f);
    cursor = 3 * length;
    period = (6.0 + s.stopBits) * bit;

    if (s.afc) {
        unsigned nfft = 64;
        while (nfft < rate / 4.0)
            nfft *= 2;
        spectrum = spgramcf_create(nfft, LIQUID_WINDOW_HANN, nfft, nfft / 2);
        // Each look takes the transforms since the last; the looks are then
        // averaged here (liquid 1.5 gives zeros with a forgetting factor).
        spgramcf_set_alpha(spectrum, -1.0f);
        psd.resize(nfft);
        average.assign(nfft, 0.0f);
    }
    nextLook = std::llround(kCoarseSeconds * rate);
    held.reserve(kHeldCharacters);
}

Demodulator::Impl::~Impl() {
    firdecim_crcf_destroy(decimator);
    if (spectrum != nullptr)
        spgramcf_destroy(spectrum);
}

void Demodulator::Impl::Input(float x, std::vector<std::uint8_t>& codes) {
    const Complex z = static_cast<double>(x) * mixer;
    mixer *= mixerStep;
    if (++mixCount == 4096) {
        mixer /= std::abs(mixer);
        mixCount = 0;
    }
    block[filled++] = std::complex<float>(z);
    if (filled < decimation)
        return;
    filled = 0;
    std::complex<float> y;
    firdecim_crcf_execute(decimator, block.data(), &y);
    Baseband(Complex(y), codes);
}

double Demodulator::Impl::Llr(double rm, double rs) const {
    return LogI0(2.0 * markA * rm / markNoise) - markA * markA / markNoise -
           LogI0(2.0 * spaceA * rs / spaceNoise) + spaceA * spaceA / spaceNoise;
}

void Demodulator::Impl::Baseband(Complex y, std::vector<std::uint8_t>& codes) {
    ++n;
    if (spectrum != nullptr) {
        spgramcf_push(spectrum, std::complex<float>(y));
        if (n >= nextLook) {
            nextLook += std::llround(kCoarseSeconds * rate);
            CoarseAfc();
        }
    }
    markSum += y * std::polar(1.0, -kTwoPi * markPhase);
    spaceSum += y * std::polar(1.0, -kTwoPi * spacePhase);
    markPhase += (markHz + afc) / rate;
    markPhase -= std::floor(markPhase);
    spacePhase += (spaceHz + afc) / rate;
    spacePhase -= std::floor(spacePhase);
    const auto at = static_cast<std::size_t>(n & mask);
    markSums[at] = markSum;
    spaceSums[at] = spaceSum;

    const double rm = std::abs(Window(markSums, n, length));
    const double rs = std::abs(Window(spaceSums, n, length));
    const double em = rm * rm, es = rs * rs;
    const double a = 1.0 / (kSquelchBits * bit);
    strong += a * (std::max(em, es) - strong);
    weak += a * (std::min(em, es) - weak);
    if (!squelched)
        open = true;
    else if (open && strong < squelchClose * weak)
        open = false;
    else if (!open && strong > squelchOpen * weak && n > std::llround(kSquelchBits * bit))
        open = true;

    if (!levelsKnown) {
        // Until characters have been seen, both tones alike, from the squelch's
        // view of signal and noise.
        markNoise = spaceNoise = std::max(weak, 1e-30);
        markA = spaceA = std::sqrt(std::max(strong - weak, 0.0));
    }
    llr[at] = static_cast<float>(Llr(rm, rs));
    Frames(codes);
}

void Demodulator::Impl::Frames(std::vector<std::uint8_t>& codes) {
    for (;;) {
        if (!waiting) {
            if (cursor > n)
                return;
            const float v = llr[static_cast<std::size_t>(cursor & mask)];
            if (v > 0) {
                armed = true;
            } else if (armed && v < 0) {
                waiting = true;
                trigger = cursor;
            }
            ++cursor;
            continue;
        }
        if (static_cast<double>(n) < static_cast<double>(trigger) + 7.6 * bit + 1.0)
            return;
        Character(codes);
    }
}

double Demodulator::Impl::Fit(std::int64_t t) const {
    const auto e = static_cast<double>(t);
    double fit = LlrAt(e) - LlrAt(e + bit) + LlrAt(e + 7.0 * bit);
    for (int j = 2; j <= 6; ++j)
        fit += std::abs(LlrAt(e + j * bit));
    return fit;
}

void Demodulator::Impl::Character(std::vector<std::uint8_t>& codes) {
    waiting = false;
    // The start bit's edge lies about half a bit before the filters turned
    // to space; place the character where its eight windows fit best.
    const auto from = trigger - std::llround(bit);
    const auto to = trigger + std::llround(0.6 * bit);
    auto best = [&](std::int64_t lo, std::int64_t hi, double& fit) {
        fit = -1e300;
        std::int64_t at = lo;
        for (std::int64_t t = lo; t <= hi; ++t) {
            const double f = Fit(t);
            if (f > fit) {
                fit = f;
                at = t;
            }
        }
        return at;
    };
    double fit = 0;
    const std::int64_t measured = best(from, to, fit);
    // Characters sent back to back keep the sender's clock, which is far
    // steadier than one character's own edges. Near where that clock puts
    // this character, the best fit is taken unless a fit elsewhere is much
    // better (the sender paused); the clock then moves a little towards it
    // and learns the time from one character to the next.
    bool following = false;
    std::int64_t near = measured;
    if (locked) {
        const auto gate = std::llround(kFollowBits * bit);
        const auto lo = std::max(from, std::llround(predicted) - gate);
        const auto hi = std::min(to, std::llround(predicted) + gate);
        double nearFit = 0;
        if (lo <= hi) {
            near = best(lo, hi, nearFit);
            following = fit - nearFit <= kJump * std::abs(fit);
        }
    }
    // A new lock pulls hard to catch a sender off speed, then settles.
    const bool settled = run >= kSettleCharacters;
    const double clockGain = settled ? kClockGain : kAcquireClockGain;
    const double periodGain = settled ? kPeriodGain : kAcquirePeriodGain;
    const double start = following ? predicted + clockGain * (static_cast<double>(near) - predicted)
                                   : static_cast<double>(measured);
    const double e0 = std::round(start);
    // A character on its own needs both its start and its stop bit; one that
    // follows the clock is taken with one of them lost in the noise.
    const bool startBit = LlrAt(e0 + bit)<0, stopBit = LlrAt(e0 + 7.0 * bit)> 0;
    if (following ? !(startBit || stopBit) : !(startBit && stopBit)) {
        // No character here: look again after the next mark.
        cursor = trigger + 1;
        armed = false;
        locked = false;
        return;
    }
    const double nominal = (6.0 + s.stopBits) * bit;
    if (following) {
        period += periodGain * (static_cast<double>(near) - predicted);
        ++run;
    } else {
        // A new run of characters: the time from the last one is the best
        // first guess of the sender's pace, when it is near enough.
        const double since = static_cast<double>(measured) - lastMeasured;
        period = std::abs(since - nominal) < kPaceBits * bit ? since : nominal;
        run = 0;
    }
    lastMeasured = static_cast<double>(measured);
    predicted = start + period;
    locked = true;
    const std::int64_t t0 = static_cast<std::int64_t>(e0);
    bool marks[8];
    for (int j = 0; j < 8; ++j)
        marks[j] = LlrAt(e0 + j * bit) > 0;
    marks[0] = true;
    marks[1] = false;
    marks[7] = true;
    std::uint8_t code = 0;
    for (int j = 0; j < 5; ++j)
        code = static_cast<std::uint8_t>(code | (marks[j + 2] ? 1 << j : 0));
    // The squelch opens a little after a signal starts. The characters of the
    // run it opened on are kept meanwhile and given then: noise seldom keeps
    // a clock, so a run that lasts until the squelch opens is the signal.
    if (!following)
        held.clear();
    if (open) {
        codes.insert(codes.end(), held.begin(), held.end());
        held.clear();
        codes.push_back(code);
    } else if (held.size() < kHeldCharacters) {
        held.push_back(code);
    }
    Learn(t0, marks);
    if (open && spectrum != nullptr)
        FineAfc(t0, marks);
    cursor = std::llround(e0 + 7.0 * bit);
    armed = true;
}

void Demodulator::Impl::Learn(std::int64_t t0, const bool* marks) {
    if (!levelsKnown) {
        markOn = spaceOn = std::max(strong, 1e-30);
        markOff = spaceOff = std::max(weak, 1e-30);
        levelsKnown = true;
    }
    for (int j = 0; j < 8; ++j) {
        const auto e = std::llround(static_cast<double>(t0) + j * bit);
        const double em = std::norm(Window(markSums, e, length));
        const double es = std::norm(Window(spaceSums, e, length));
        if (marks[j]) {
            markOn += kLevelWeight * (em - markOn);
            spaceOff += kLevelWeight * (es - spaceOff);
        } else {
            spaceOn += kLevelWeight * (es - spaceOn);
            markOff += kLevelWeight * (em - markOff);
        }
    }
    // White noise is the same in both filters: one figure for both is
    // steadier than two.
    markNoise = spaceNoise = std::max(0.5 * (markOff + spaceOff), 1e-30);
    // A tone that has faded right out still counts as a little above zero.
    markA = std::sqrt(std::max(markOn - markOff, 0.01 * markNoise));
    spaceA = std::sqrt(std::max(spaceOn - spaceOff, 0.01 * spaceNoise));
}

void Demodulator::Impl::FineAfc(std::int64_t t0, const bool* marks) {
    // The turn of phase from the first half of each bit to the second, on
    // the tone sent, is the remaining frequency error.
    Complex turn;
    const std::int64_t half = length / 2;
    for (int j = 0; j < 8; ++j) {
        const auto e = std::llround(static_cast<double>(t0) + j * bit);
        const auto& sums = marks[j] ? markSums : spaceSums;
        turn += Window(sums, e, half) * std::conj(Window(sums, e - half, half));
    }
    if (std::abs(turn) == 0)
        return;
    const double error = std::arg(turn) * rate / (kTwoPi * static_cast<double>(half));
    afc = std::clamp(afc + kAfcGain * error, -kAfcRange, kAfcRange);
}

double Demodulator::Impl::Lobe(const std::vector<float>& spec, double f) const {
    const auto nfft = static_cast<double>(spec.size());
    const double binHz = rate / nfft;
    const double width = std::max(0.5 * s.baud, 1.5 * binHz);
    const auto lo = static_cast<std::int64_t>(std::ceil((f - width) / binHz + nfft / 2.0));
    const auto hi = static_cast<std::int64_t>(std::floor((f + width) / binHz + nfft / 2.0));
    double sum = 0;
    for (auto i = std::max<std::int64_t>(lo, 0);
         i <= std::min<std::int64_t>(hi, static_cast<std::int64_t>(spec.size()) - 1); ++i)
        sum += spec[static_cast<std::size_t>(i)];
    return sum;
}

void Demodulator::Impl::CoarseAfc() {
    if (spgramcf_get_num_transforms(spectrum) == 0)
        return;
    spgramcf_get_psd_mag(spectrum, psd.data());
    spgramcf_clear(spectrum);
    for (std::size_t i = 0; i < psd.size(); ++i)
        average[i] += kCoarseAverage * (psd[i] - average[i]);
    const double binHz = rate / static_cast<double>(average.size());
    auto fit = [&](double offset) {
        return kMarkWeight * Lobe(average, markHz + offset) + Lobe(average, spaceHz + offset);
    };
    double best = 0, bestOffset = afc;
    for (double offset = -kAfcRange; offset <= kAfcRange; offset += binHz / 2.0) {
        const double f = fit(offset);
        if (f > best) {
            best = f;
            bestOffset = offset;
        }
    }
    std::vector<float> sorted(average);
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const double bins = 2.0 * std::max(0.5 * s.baud, 1.5 * binHz) / binHz;
    const double noise = (1.0 + kMarkWeight) * bins * *middle;
    if (best > kCoarseSignal * noise && best > kCoarseBetter * fit(afc))
        afc = bestOffset;
}

Demodulator::Demodulator(const ModemSettings& s) : impl_(std::make_unique<Impl>(s)) {}
Demodulator::~Demodulator() = default;

void Demodulator::Process(const float* samples, std::size_t count,
                          std::vector<std::uint8_t>& codes) {
    for (std::size_t i = 0; i < count; ++i) {
        // A damaged file may hold anything: what is not a number is silence,
        // and nothing is louder than a long sum can carry.
        const float x = samples[i];
        impl_->Input(std::isfinite(x) ? std::clamp(x, -kLoudest, kLoudest) : 0.0f, codes);
    }
}

void Demodulator::Flush(std::vector<std::uint8_t>& codes) {
    const auto count = static_cast<std::size_t>(std::ceil(9.0 * impl_->s.BitSamples()));
    for (std::size_t i = 0; i < count; ++i)
        impl_->Input(0.0f, codes);
}

void Demodulator::SetSquelch(double level) {
    level = std::clamp(level, 0.0, 1.0);
    impl_->squelched = level > 0.0;
    // From the noise's own contrast at 0 through the default at 0.5 to
    // nearly twice it at 1, on a log scale.
    impl_->squelchOpen = kNoiseContrast * std::pow(kSquelchOpen / kNoiseContrast, 2.0 * level);
    impl_->squelchClose = impl_->squelchOpen * (kSquelchClose / kSquelchOpen);
}

double Demodulator::FrequencyOffset() const {
    return impl_->afc;
}
bool Demodulator::SquelchOpen() const {
    return impl_->open;
}

}  // namespace tavirel
