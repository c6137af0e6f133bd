#include "convert/steps.h"

namespace tavirel {

namespace {

// One loop per converter, so the step is inlined and nothing is decided per
// byte but what the step itself decides.
template <typename Step>
std::size_t Loop(std::span<const std::uint8_t> in, std::uint8_t* out, Step step) {
    OutputBlock block{out};
    for (const std::uint8_t v : in)
        step(v, block);
    return static_cast<std::size_t>(block.end - out);
}

}  // namespace

std::size_t ConvertBlock(Converter which, ConverterState& state, std::span<const std::uint8_t> in,
                         std::uint8_t* out) {
    switch (which) {
        case Converter::AsciiToIta2: {
            // The shift is kept in a local for the block, so the compiler need
            // not assume that every byte written may change it.
            ConverterState s = state;
            const std::size_t n =
                Loop(in, out, [&s](std::uint8_t v, OutputBlock& o) { WriteIta2ForChar(s, v, o); });
            state = s;
            return n;
        }
        case Converter::AsciiToItaSubset:
            return Loop(in, out, [](std::uint8_t v, OutputBlock& o) { WriteSubsetForChar(v, o); });
        case Converter::Ita2ToAscii: {
            ConverterState s = state;
            const std::size_t n =
                Loop(in, out, [&s](std::uint8_t v, OutputBlock& o) { WriteAsciiForCode(s, v, o); });
            state = s;
            return n;
        }
        case Converter::CleanTape: {
            ConverterState s = state;
            std::size_t i = 0;
            OutputBlock block{out};
            // The leader is dropped byte by byte; after it every byte is kept.
            for (; i < in.size() && s.tapeDataSeen == 0; ++i)
                WriteCleanedByte(s, in[i], block);
            for (; i < in.size(); ++i)
                block.WriteConverterByte(in[i] & 31);
            state = s;
            return static_cast<std::size_t>(block.end - out);
        }
    }
    return 0;
}

}  // namespace tavirel
