// The ITA2 receive decoder on any input, whole and in blocks cut anywhere.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "code/ita2.h"
#include "fuzz/pieces.h"

namespace tavirel::fuzz {
namespace {

template <typename Decode>
std::vector<std::uint8_t> DecodeInPieces(const Pieces& input, Decode decode) {
    std::vector<std::uint8_t> out;
    ForEachPiece(input, [&](std::vector<std::uint8_t>& block) {
        const std::int32_t n = decode(block.data(), static_cast<std::int32_t>(block.size()));
        Check(n >= 0 && static_cast<std::size_t>(n) <= block.size());
        out.insert(out.end(), block.begin(), block.begin() + n);
    });
    return out;
}

}  // namespace
}  // namespace tavirel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavirel;
    using namespace tavirel::fuzz;
    const Pieces pieces = SplitInput(data, size);
    BaudotDecoder wholeDecoder;
    const auto whole =
        DecodeInPieces({pieces.stream, {pieces.stream.size()}},
                       [&](std::uint8_t* b, std::int32_t n) { return wholeDecoder.Decode(b, n); });
    Check(whole.size() <= pieces.stream.size());
    // Every code but the shifts and the blank stands for a character.
    Check(std::find(whole.begin(), whole.end(), kNoChar) == whole.end());
    BaudotDecoder splitDecoder;
    Check(DecodeInPieces(pieces, [&](std::uint8_t* b, std::int32_t n) {
              return splitDecoder.Decode(b, n);
          }) == whole);
    // A decoder that lives as long as the process, as the reader's does,
    // keeps its shift between inputs: a letters shift puts it where a fresh
    // one starts.
    static BaudotDecoder carried;
    std::uint8_t letters = LTRS;
    Check(carried.Decode(&letters, 1) == 0);
    Check(DecodeInPieces(pieces, [](std::uint8_t* b, std::int32_t n) {
              return carried.Decode(b, n);
          }) == whole);
    return 0;
}
