// The converters' four steps on any input: the block loops give the bytes of
// the steps taken one at a time, in blocks cut anywhere, and every output is
// what its format allows.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "convert/steps.h"
#include "fuzz/pieces.h"
#include "tests/support/step_reference.h"

namespace tavirel::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes InBlocks(Converter which, ConverterState& s, const Pieces& input) {
    Bytes out;
    ForEachPiece(input, [&](const Bytes& block) {
        // Sized exactly, so a write past the output is caught.
        Bytes written(MaxOutputSize(block.size()));
        written.resize(ConvertBlock(which, s, block, written.data()));
        out.insert(out.end(), written.begin(), written.end());
    });
    return out;
}

bool SameState(const ConverterState& a, const ConverterState& b) {
    return a.fileEncodeShift == b.fileEncodeShift && a.fileDecodeShift == b.fileDecodeShift &&
           a.tapeDataSeen == b.tapeDataSeen;
}

}  // namespace
}  // namespace tavirel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavirel;
    using namespace tavirel::fuzz;
    const Pieces pieces = SplitInput(data, size);
    const Bytes& in = pieces.stream;
    for (const Converter which : {Converter::AsciiToIta2, Converter::AsciiToItaSubset,
                                  Converter::Ita2ToAscii, Converter::CleanTape}) {
        // The first byte picks a state that earlier conversions could have left.
        ConverterState start;
        if (size > 0) {
            start.fileEncodeShift = std::array<std::uint8_t, 4>{99, 0, FIGS, LTRS}[data[0] & 3];
            start.fileDecodeShift = (data[0] & 4) != 0 ? 32 : 0;
            start.tapeDataSeen = (data[0] >> 3) & 1;
        }
        ConverterState one = start, blocks = start;
        const Bytes out = test::ByteByByte(which, one, in);
        Check(InBlocks(which, blocks, pieces) == out && SameState(one, blocks));
        Check(out.size() <= MaxOutputSize(in.size()));
        switch (which) {
            case Converter::AsciiToIta2:
                Check(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b < 32; }));
                break;
            case Converter::AsciiToItaSubset:
                // Same length, and nothing a teleprinter cannot print.
                Check(out.size() == in.size());
                Check(std::all_of(out.begin(), out.end(), [](std::uint8_t b) {
                    return b < 32 || (b < 96 && SendEntry(b).code != kNoCode);
                }));
                break;
            case Converter::Ita2ToAscii:
                Check(out.size() <= in.size());
                Check(std::find(out.begin(), out.end(), kNoChar) == out.end());
                break;
            case Converter::CleanTape: {
                // Only the leader is dropped.
                std::size_t leader = 0;
                while (start.tapeDataSeen == 0 && leader < in.size() && (in[leader] & 31) == 0)
                    ++leader;
                Check(out.size() == in.size() - leader);
                for (std::size_t i = 0; i < out.size(); ++i)
                    Check(out[i] == (in[leader + i] & 31));
                break;
            }
        }
    }
    return 0;
}
