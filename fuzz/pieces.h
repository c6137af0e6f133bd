// What the fuzz targets share: an input read as a byte stream that arrives in
// pieces, as the line delivers it in reads of any size, and the check that
// stops the run on a broken invariant.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tavirel::fuzz {

inline void Check(bool holds) {
    if (!holds)
        std::abort();
}

struct Pieces {
    std::vector<std::uint8_t> stream;
    std::vector<std::size_t> lengths;  // each piece's; they add up to stream.size()
};

// The input's last bytes choose up to 32 piece lengths, so the front of a seed
// file is the stream.
inline Pieces SplitInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    std::vector<std::size_t> cuts(provider.ConsumeIntegralInRange<std::size_t>(0, 32));
    for (std::size_t& cut : cuts)
        cut = provider.ConsumeIntegral<std::uint8_t>();
    Pieces p{provider.ConsumeRemainingBytes<std::uint8_t>(), {}};
    std::size_t left = p.stream.size();
    for (const std::size_t cut : cuts) {
        p.lengths.push_back(std::min(cut, left));
        left -= p.lengths.back();
    }
    p.lengths.push_back(left);
    return p;
}

// Hands each piece in turn to f as a block of its own, sized exactly, so a
// read or write past it is caught.
template <typename F>
void ForEachPiece(const Pieces& input, F f) {
    std::size_t from = 0;
    for (const std::size_t length : input.lengths) {
        std::vector<std::uint8_t> block(
            input.stream.begin() + static_cast<std::ptrdiff_t>(from),
            input.stream.begin() + static_cast<std::ptrdiff_t>(from + length));
        f(block);
        from += length;
    }
}

}  // namespace tavirel::fuzz
