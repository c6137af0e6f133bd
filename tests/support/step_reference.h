// The converters' steps taken one byte at a time: what the block loops must
// give, shared by the converter tests and the fuzz target.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/steps.h"

namespace tavirel::test {

inline std::vector<std::uint8_t> ByteByByte(Converter which, ConverterState& s,
                                            const std::vector<std::uint8_t>& in) {
    std::vector<std::uint8_t> out(MaxOutputSize(in.size()));
    OutputBlock block{out.data()};
    for (const std::uint8_t v : in) {
        if (which == Converter::AsciiToIta2)
            WriteIta2ForChar(s, v, block);
        else if (which == Converter::AsciiToItaSubset)
            WriteSubsetForChar(v, block);
        else if (which == Converter::Ita2ToAscii)
            WriteAsciiForCode(s, v, block);
        else
            WriteCleanedByte(s, v, block);
    }
    out.resize(static_cast<std::size_t>(block.end - out.data()));
    return out;
}

}  // namespace tavirel::test
