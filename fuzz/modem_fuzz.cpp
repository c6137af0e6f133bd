// The modem's receive side on any input: audio files of any content through
// libsndfile, and the demodulator fed a real signal from a sender of other
// settings, cut into by arbitrary samples. Codes are five bits, no more
// characters come out than fit in the time, and a clean signal from a sender
// of the same settings decodes exactly.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/pieces.h"
#include "modem/audio_file.h"
#include "modem/demodulator.h"
#include "modem/modulator.h"

namespace tavirel::fuzz {
namespace {

ModemSettings PickSettings(FuzzedDataProvider& p) {
    ModemSettings s;
    s.sampleRate = p.PickValueInArray({8000.0, 11025.0, 22050.0, 48000.0});
    s.baud = p.PickValueInArray({45.45, 50.0, 56.88, 74.2, 75.0, 100.0});
    s.shift = p.PickValueInArray({170.0, 200.0, 425.0, 850.0});
    s.stopBits = p.PickValueInArray({1.0, 1.5, 2.0});
    s.reverse = p.ConsumeBool();
    s.afc = p.ConsumeBool();
    s.leadIn = 0.5;
    return s;
}

std::vector<std::uint8_t> Demodulate(const ModemSettings& s, const std::vector<float>& x,
                                     FuzzedDataProvider& p) {
    Demodulator d(s);
    std::vector<std::uint8_t> codes;
    for (std::size_t at = 0; at < x.size();) {
        const std::size_t piece =
            std::min(x.size() - at, p.ConsumeIntegralInRange<std::size_t>(1, 5000));
        d.Process(x.data() + at, piece, codes);
        at += piece;
    }
    d.Flush(codes);
    Check(std::all_of(codes.begin(), codes.end(), [](std::uint8_t c) { return c < 32; }));
    // A character takes at least 6.9 bits even from a sender 2 % fast and
    // with one stop bit; the flush adds nine bits.
    const double bits = static_cast<double>(x.size()) / s.BitSamples() + 9.0;
    Check(static_cast<double>(codes.size()) <= bits / 6.9 + 1.0);
    return codes;
}

void FromFile(FuzzedDataProvider& p) {
    const std::vector<std::uint8_t> bytes = p.ConsumeBytes<std::uint8_t>(p.remaining_bytes() / 2);
    const int fd = memfd_create("audio", MFD_CLOEXEC);
    if (fd < 0)
        return;
    if (write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) {
        AudioReader reader;
        if (reader.Open("/proc/self/fd/" + std::to_string(fd))) {
            std::vector<float> x, block(4096);
            std::size_t n;
            while (x.size() < 1000000 && (n = reader.Read(block.data(), block.size())) > 0)
                x.insert(x.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
            ModemSettings s = PickSettings(p);
            s.sampleRate = reader.Rate();
            if (CheckSettings(s).empty())
                Demodulate(s, x, p);
        }
    }
    close(fd);
}

void FromSignal(FuzzedDataProvider& p) {
    const ModemSettings received = PickSettings(p);
    ModemSettings sent = received;
    const bool same = p.ConsumeBool();
    if (!same) {
        sent.mark += p.ConsumeFloatingPointInRange(-200.0, 200.0);
        sent.baud *= p.ConsumeFloatingPointInRange(0.9, 1.1);
        sent.stopBits = p.PickValueInArray({1.0, 1.5, 2.0});
        sent.reverse = p.ConsumeBool();
    }
    if (!CheckSettings(sent).empty() || !CheckSettings(received).empty())
        return;
    const std::vector<std::uint8_t> codes = p.ConsumeBytes<std::uint8_t>(40);
    std::vector<std::uint8_t> fives;
    for (const std::uint8_t c : codes)
        fives.push_back(c & 31);
    std::vector<float> x = Modulate(sent, fives);
    if (same) {
        Check(Demodulate(received, x, p) == fives);
        return;
    }
    // Arbitrary samples (any float, NaN and infinities too) over a stretch.
    const std::vector<std::uint8_t> noise = p.ConsumeRemainingBytes<std::uint8_t>();
    const std::size_t at = x.empty() ? 0 : noise.size() % x.size();
    for (std::size_t i = 0; i + 4 <= noise.size() && at + i / 4 < x.size(); i += 4) {
        float v;
        std::memcpy(&v, noise.data() + i, sizeof v);
        x[at + i / 4] = v;
    }
    Demodulate(received, x, p);
}

}  // namespace
}  // namespace tavirel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider p(data, size);
    if (p.ConsumeBool())
        tavirel::fuzz::FromFile(p);
    else
        tavirel::fuzz::FromSignal(p);
    return 0;
}
