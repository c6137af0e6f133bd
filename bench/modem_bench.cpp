// The modem's figures: character error rate against noise, off tune, in
// selective fading and with a sender off speed; what noise alone prints;
// decoding speed and memory. Beside ours, on the very same signals: an ideal
// detector that is given the true bit timing and compares the energy at mark
// with the energy at space in each bit, and minimodem, an independent modem,
// when it is installed.
//
// SNR is signal power against the noise in a 3 kHz band. The random text
// and the noise come from a fixed seed, so every run gives the same figures.
//
//   tavirel_modem_bench [--chars N] [--seed S] [--curve FILE.csv]
//                       [--spectrum FILE.csv] [--quick]
// --curve writes the CER curve, --spectrum the clean signal's spectrum, for
// bench/plot_modem.py.
#include <sndfile.h>
#include <stdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "modem/audio_file.h"
#include "modem/demodulator.h"
#include "modem/modulator.h"
#include "modem/text.h"
#include "tests/support/modem_channel.h"

namespace {

using namespace tavirel;
using test::AddNoise;
using test::Power;
using test::Random;
using test::RandomText;

double Cer(const std::string& sent, const std::string& got) {
    return test::CharacterErrorRate(sent, got);
}

// A transmission and where each character's start bit began.
struct Signal {
    std::vector<float> samples;
    std::vector<double> starts;
    std::vector<std::uint8_t> codes;
    ModemSettings settings;  // as sent
};

Signal Transmit(const std::string& text, ModemSettings s) {
    Signal out;
    out.settings = s;
    BaudotSender sender;
    TextToCodes(text, sender, out.codes);
    Modulator m(s);
    m.Begin(out.samples);
    for (const std::uint8_t c : out.codes) {
        out.starts.push_back(m.Position());
        m.Send(c, out.samples);
    }
    m.End(out.samples);
    return out;
}

// Selective fading: a linear-phase filter 10 dB down at one tone and flat
// at the other, the gain moving in dB from one tone to the other.
std::vector<float> Fade(const std::vector<float>& x, double rate, double down, double up) {
    const int taps = 511;
    auto gainDb = [&](double f) {
        const double t = std::clamp((f - down) / (up - down), 0.0, 1.0);
        return -10.0 * (1.0 - t);
    };
    std::vector<double> h(taps);
    const int mid = taps / 2;
    const int bins = 4096;
    for (int k = 0; k <= bins / 2; ++k) {
        const double f = rate * k / bins;
        const double g = std::pow(10.0, gainDb(f) / 20.0);
        for (int i = 0; i < taps; ++i)
            h[static_cast<std::size_t>(i)] +=
                (k == 0 || k == bins / 2 ? 1.0 : 2.0) * g *
                std::cos(2.0 * std::numbers::pi * k * (i - mid) / bins) / bins;
    }
    for (int i = 0; i < taps; ++i)
        h[static_cast<std::size_t>(i)] *=
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 1) / (taps + 1));
    std::vector<float> y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        double sum = 0;
        for (int i = 0; i < taps; ++i) {
            const auto j = static_cast<std::ptrdiff_t>(n) + mid - i;
            if (j >= 0 && j < static_cast<std::ptrdiff_t>(x.size()))
                sum += h[static_cast<std::size_t>(i)] * x[static_cast<std::size_t>(j)];
        }
        y[n] = static_cast<float>(sum);
    }
    return y;
}

std::string Ours(const std::vector<float>& x, const ModemSettings& s) {
    Demodulator d(s);
    std::vector<std::uint8_t> codes;
    for (std::size_t i = 0; i < x.size(); i += 4096)
        d.Process(x.data() + i, std::min<std::size_t>(4096, x.size() - i), codes);
    d.Flush(codes);
    BaudotDecoder decoder;
    return CodesToText(codes, decoder);
}

// The true bit timing, mark energy against space energy over each bit.
std::vector<std::uint8_t> IdealCodes(const std::vector<float>& x, const Signal& sent) {
    const ModemSettings& s = sent.settings;
    const double bit = s.BitSamples();
    // A bit's steady tone starts when the glide into it is half done.
    const double lag = Modulator::kGlide * bit / 2.0;
    const double wm = 2.0 * std::numbers::pi * s.MarkHz() / s.sampleRate;
    const double ws = 2.0 * std::numbers::pi * s.SpaceHz() / s.sampleRate;
    std::vector<std::uint8_t> codes;
    for (const double start : sent.starts) {
        std::uint8_t code = 0;
        for (int j = 1; j <= 5; ++j) {
            const auto from = static_cast<std::size_t>(std::lround(start + lag + j * bit));
            const auto to = static_cast<std::size_t>(std::lround(start + lag + (j + 1) * bit));
            std::complex<double> m, sp;
            for (std::size_t i = from; i < to && i < x.size(); ++i) {
                m += static_cast<double>(x[i]) * std::polar(1.0, -wm * static_cast<double>(i));
                sp += static_cast<double>(x[i]) * std::polar(1.0, -ws * static_cast<double>(i));
            }
            if (std::norm(m) > std::norm(sp))
                code = static_cast<std::uint8_t>(code | 1 << (j - 1));
        }
        codes.push_back(code);
    }
    return codes;
}

std::string Ideal(const std::vector<float>& x, const Signal& sent) {
    BaudotDecoder decoder;
    return CodesToText(IdealCodes(x, sent), decoder);
}

bool HaveMinimodem() {
    return std::system("minimodem --version >/dev/null 2>&1") == 0;
}

void WriteFloatWav(const std::string& path, const std::vector<float>& x, double rate) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    sf_writef_float(f, x.data(), static_cast<sf_count_t>(x.size()));
    sf_close(f);
}

std::string ReadAll(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::string out;
    if (f == nullptr)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    std::fclose(f);
    return out;
}

std::string Minimodem(const std::string& wav, const ModemSettings& s) {
    const std::string out = wav + ".txt";
    char command[1024];
    std::snprintf(command, sizeof command,
                  "minimodem --rx rtty -q -M %g -S %g -f '%s' >'%s' 2>/dev/null", s.MarkHz(),
                  s.SpaceHz(), wav.c_str(), out.c_str());
    if (std::system(command) != 0)
        return {};
    std::string text = ReadAll(out);
    std::filesystem::remove(out);
    return text;
}

// Ours on a file, as the command-line tool reads it.
std::string OursFromFile(const std::string& wav, const ModemSettings& s) {
    AudioReader reader;
    if (!reader.Open(wav))
        return {};
    std::vector<float> all, block(4096);
    std::size_t n;
    while ((n = reader.Read(block.data(), block.size())) > 0)
        all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    return Ours(all, s);
}

// The power spectrum of the signal from lo to hi Hz: Hann-windowed
// periodograms of 2048 samples, averaged, in dB against the peak.
void WriteSpectrum(const std::string& path, const std::vector<float>& x, double rate, double lo,
                   double hi) {
    const std::size_t size = 2048;
    std::vector<double> power;
    for (double f = lo; f <= hi; f += 2.0)
        power.push_back(0);
    for (std::size_t at = 0; at + size <= x.size() && static_cast<double>(at) < 60 * rate;
         at += size) {
        std::size_t k = 0;
        for (double f = lo; f <= hi; f += 2.0, ++k) {
            std::complex<double> sum;
            const double w = 2.0 * std::numbers::pi * f / rate;
            for (std::size_t i = 0; i < size; ++i) {
                const double hann =
                    0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                         static_cast<double>(size));
                sum += hann * x[at + i] * std::polar(1.0, -w * static_cast<double>(i));
            }
            power[k] += std::norm(sum);
        }
    }
    const double peak = *std::max_element(power.begin(), power.end());
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fprintf(f, "hz,db\n");
    std::size_t k = 0;
    for (double hz = lo; hz <= hi; hz += 2.0, ++k)
        std::fprintf(f, "%.0f,%.2f\n", hz, 10.0 * std::log10(power[k] / peak + 1e-30));
    std::fclose(f);
}

long MaxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t chars = 10000;
    std::uint64_t seed = 1;
    std::string curvePath, spectrumPath;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--chars" && i + 1 < argc)
            chars = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--curve" && i + 1 < argc)
            curvePath = argv[++i];
        else if (arg == "--spectrum" && i + 1 < argc)
            spectrumPath = argv[++i];
        else if (arg == "--quick")
            quick = true;
        else {
            std::fprintf(stderr,
                         "usage: tavirel_modem_bench [--chars N] [--seed S] [--curve FILE.csv] "
                         "[--spectrum FILE.csv] [--quick]\n");
            return 64;
        }
    }
    const ModemSettings base;  // 8000 Hz, 2125/2295 Hz, 45.45 baud, 1.5 stop bits
    Random random(seed);
    const std::string text = RandomText(chars, random);
    const Signal clean = Transmit(text, base);
    const double power = Power(clean.samples);
    std::printf("%zu characters, %.0f s of audio at %.0f Hz, seed %llu\n\n", chars,
                static_cast<double>(clean.samples.size()) / base.sampleRate, base.sampleRate,
                static_cast<unsigned long long>(seed));

    if (!spectrumPath.empty())
        WriteSpectrum(spectrumPath, clean.samples, base.sampleRate, 1500.0, 2900.0);
    std::printf("| figure | goal | ours |\n|---|---|---|\n");
    auto row = [](const char* figure, const char* goal, double value, const char* unit) {
        std::printf("| %s | %s | %.2f%s |\n", figure, goal, value, unit);
        std::fflush(stdout);
    };
    {
        const auto x = AddNoise(clean.samples, power, base.sampleRate, -7.0, random);
        row("CER at -7 dB, tuned exactly", "<= 1 %", Cer(text, Ours(x, base)), " %");
        row("the ideal detector on the same signal", "", Cer(text, Ideal(x, clean)), " %");
        ModemSettings noAfc = base;
        noAfc.afc = false;
        row("CER at -7 dB, tuned exactly, AFC off", "", Cer(text, Ours(x, noAfc)), " %");
    }
    for (const double off : {100.0, -100.0}) {
        ModemSettings sent = base;
        sent.mark += off;
        const Signal sig = Transmit(text, sent);
        const auto x = AddNoise(sig.samples, Power(sig.samples), base.sampleRate, -5.0, random);
        char figure[80];
        std::snprintf(figure, sizeof figure, "CER at -5 dB, %+.0f Hz off tune, AFC on", off);
        row(figure, "<= 1 %", Cer(text, Ours(x, base)), " %");
    }
    for (const bool markDown : {true, false}) {
        const auto faded =
            markDown ? Fade(clean.samples, base.sampleRate, base.MarkHz(), base.SpaceHz())
                     : Fade(clean.samples, base.sampleRate, base.SpaceHz(), base.MarkHz());
        // The noise is set against the signal before it faded.
        const auto x = AddNoise(faded, power, base.sampleRate, -3.0, random);
        row(markDown ? "CER at -3 dB, mark 10 dB down" : "CER at -3 dB, space 10 dB down", "<= 1 %",
            Cer(text, Ours(x, base)), " %");
    }
    for (const double speed : {1.02, 0.98}) {
        ModemSettings sent = base;
        sent.baud *= speed;
        const Signal sig = Transmit(text, sent);
        const auto x = AddNoise(sig.samples, Power(sig.samples), base.sampleRate, -5.0, random);
        row(speed > 1 ? "CER at -5 dB, sender 2 % fast" : "CER at -5 dB, sender 2 % slow", "<= 1 %",
            Cer(text, Ours(x, base)), " %");
    }
    {
        // Noise alone at the level of a -7 dB signal, ten minutes of it.
        const std::vector<float> silence(static_cast<std::size_t>(600 * base.sampleRate));
        const auto x = AddNoise(silence, power, base.sampleRate, -7.0, random);
        BaudotDecoder decoder;
        Demodulator d(base);
        std::vector<std::uint8_t> codes;
        d.Process(x.data(), x.size(), codes);
        const std::string printed = CodesToText(codes, decoder);
        row("characters printed from 10 minutes of noise", "<= 5",
            static_cast<double>(printed.size()), "");
    }
    {
        // Speed: the -7 dB signal again, best of three.
        const auto x = AddNoise(clean.samples, power, base.sampleRate, -7.0, random);
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            Demodulator d(base);
            std::vector<std::uint8_t> codes;
            d.Process(x.data(), x.size(), codes);
            best = std::min(
                best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        row("decoding speed at 8000 Hz, one core", ">= 300 x real time",
            static_cast<double>(x.size()) / base.sampleRate / best, " x real time");
    }
    if (!quick) {
        // Memory: an hour of signal and noise made and decoded a block at a
        // time; the peak resident size before and after.
        Demodulator d(base);
        Modulator m(base);
        std::vector<float> block;
        std::vector<std::uint8_t> codes;
        m.Begin(block);
        const long before = MaxRssKb();
        std::size_t samples = 0;
        std::size_t next = 0;
        long afterTenMinutes = 0;
        while (samples < static_cast<std::size_t>(3600 * base.sampleRate)) {
            m.Send(clean.codes[next++ % clean.codes.size()], block);
            block = AddNoise(block, power, base.sampleRate, -7.0, random);
            d.Process(block.data(), block.size(), codes);
            samples += block.size();
            block.clear();
            codes.clear();
            if (afterTenMinutes == 0 && samples > static_cast<std::size_t>(600 * base.sampleRate))
                afterTenMinutes = MaxRssKb();
        }
        std::printf(
            "| peak memory: before, after 10 min, after 60 min of decoding | flat | %ld, %ld, "
            "%ld KiB |\n",
            before, afterTenMinutes, MaxRssKb());
    }

    // The curve: the same noisy signal for all three decoders.
    const bool minimodem = HaveMinimodem();
    if (!minimodem)
        std::printf("\nminimodem is not installed: its column is left out.\n");
    std::printf(
        "\n| SNR (dB) | ideal CER %% | minimodem CER %% | ours CER %% |\n|---|---|---|---|\n");
    std::FILE* csv = curvePath.empty() ? nullptr : std::fopen(curvePath.c_str(), "w");
    if (csv != nullptr)
        std::fprintf(csv, "snr,ideal,minimodem,ours\n");
    const std::string wav = (std::filesystem::temp_directory_path() /
                             ("modem-bench-" + std::to_string(getpid()) + ".wav"))
                                .string();
    for (int tenths = -100; tenths <= -30; tenths += quick ? 10 : 5) {
        const double snr = tenths / 10.0;
        const auto x = AddNoise(clean.samples, power, base.sampleRate, snr, random);
        const double ideal = Cer(text, Ideal(x, clean));
        WriteFloatWav(wav, x, base.sampleRate);
        const double ours = Cer(text, OursFromFile(wav, base));
        const double mm = minimodem ? Cer(text, Minimodem(wav, base)) : NAN;
        std::printf("| %.1f | %.2f | %.2f | %.2f |\n", snr, ideal, mm, ours);
        std::fflush(stdout);
        if (csv != nullptr)
            std::fprintf(csv, "%.1f,%.3f,%.3f,%.3f\n", snr, ideal, mm, ours);
    }
    std::filesystem::remove(wav);
    if (csv != nullptr)
        std::fclose(csv);
    return 0;
}
