#include "convert/steps.h"

namespace tavirel {

namespace {

// The loops below give exactly the bytes of the steps in steps.h, which are
// the definition (the fuzz targets hold them to it); they only trade the
// steps' branches, which text full of shift changes keeps mispredicting, for
// look-ups derived from the same tables and writes that are always made and
// then kept or not.

struct EncodeEntry {
    std::uint8_t shift;  // 0, FIGS or LTRS
    std::uint8_t code;   // or kNoCode
};

constexpr std::array<EncodeEntry, 256> MakeEncodeLookup() {
    std::array<EncodeEntry, 256> t{};
    for (int v = 0; v < 256; ++v) {
        const Ita2Entry e = SendEntry(v);
        t[static_cast<std::size_t>(v)] = {static_cast<std::uint8_t>(e.shift),
                                          static_cast<std::uint8_t>(e.code)};
    }
    return t;
}
constexpr std::array<EncodeEntry, 256> kEncodeLookup = MakeEncodeLookup();

std::size_t EncodeBlock(ConverterState& state, std::span<const std::uint8_t> in,
                        std::uint8_t* out) {
    std::uint8_t* o = out;
    std::uint8_t shift = state.fileEncodeShift;
    for (const std::uint8_t v : in) {
        const EncodeEntry e = kEncodeLookup[v];
        const bool coded = e.code != static_cast<std::uint8_t>(kNoCode);
        o[0] = e.shift;
        o += coded & (e.shift != 0) & (e.shift != shift);
        o[0] = e.code;
        o += coded;
        shift = coded ? e.shift : shift;
    }
    state.fileEncodeShift = shift;
    return static_cast<std::size_t>(o - out);
}

constexpr std::array<std::uint8_t, 256> MakeSubsetLookup() {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        std::uint8_t c = 0;
        OutputBlock block{&c};
        WriteSubsetForChar(static_cast<std::uint8_t>(v), block);
        t[static_cast<std::size_t>(v)] = c;
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kSubsetLookup = MakeSubsetLookup();

// For each byte: the bits of the shift it keeps and the shift it sets, before
// its character is looked up in that shift.
struct DecodeEntry {
    std::uint8_t keep;
    std::uint8_t set;
    std::array<std::uint8_t, 2> character;  // in letters, in figures; kNoChar writes nothing
};

constexpr std::array<DecodeEntry, 256> MakeDecodeLookup() {
    std::array<DecodeEntry, 256> t{};
    for (int v = 0; v < 256; ++v) {
        DecodeEntry& e = t[static_cast<std::size_t>(v)];
        e = {0xFF, 0, {kNoChar, kNoChar}};
        if (v > 31)
            continue;
        if (v == FIGS)
            e = {0, 32, {kNoChar, kNoChar}};
        else if (v == LTRS)
            e = {0, 0, {kNoChar, kNoChar}};
        else if (v == 4 || v == 8)
            e = {0, 0, {ReversedIta2Table[static_cast<std::size_t>(v)], kNoChar}};
        else
            e.character = {ReversedIta2Table[static_cast<std::size_t>(v)],
                           ReversedIta2Table[static_cast<std::size_t>(v + 32)]};
    }
    return t;
}
constexpr std::array<DecodeEntry, 256> kDecodeLookup = MakeDecodeLookup();

std::size_t DecodeBlock(ConverterState& state, std::span<const std::uint8_t> in,
                        std::uint8_t* out) {
    std::uint8_t* o = out;
    std::uint8_t shift = state.fileDecodeShift;
    for (const std::uint8_t v : in) {
        const DecodeEntry& e = kDecodeLookup[v];
        shift = static_cast<std::uint8_t>((shift & e.keep) | e.set);
        const std::uint8_t c = e.character[shift >> 5];
        o[0] = c;
        o += c != kNoChar;
    }
    state.fileDecodeShift = shift;
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::size_t ConvertBlock(Converter which, ConverterState& state, std::span<const std::uint8_t> in,
                         std::uint8_t* out) {
    switch (which) {
        case Converter::AsciiToIta2:
            return EncodeBlock(state, in, out);
        case Converter::AsciiToItaSubset:
            for (std::size_t i = 0; i < in.size(); ++i)
                out[i] = kSubsetLookup[in[i]];
            return in.size();
        case Converter::Ita2ToAscii:
            return DecodeBlock(state, in, out);
        case Converter::CleanTape: {
            OutputBlock block{out};
            std::size_t i = 0;
            // The leader byte by byte; after it every byte is kept.
            for (; i < in.size() && state.tapeDataSeen == 0; ++i)
                WriteCleanedByte(state, in[i], block);
            for (; i < in.size(); ++i)
                block.WriteConverterByte(in[i] & 31);
            return static_cast<std::size_t>(block.end - out);
        }
    }
    return 0;
}

}  // namespace tavirel
