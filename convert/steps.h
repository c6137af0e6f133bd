// The per-byte steps of the four converters, their tables and the shift
// states they carry from one conversion to the next.
//
// Each step reads one input byte and writes zero, one or two bytes through
// WriteConverterByte into an output block that the frame (convert/converter.h)
// has sized for it; the steps never fail, writing the block out is the
// frame's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "code/ita2.h"

namespace tavirel {

// Lives for the whole run: nothing resets it when a conversion starts or ends.
struct ConverterState {
    std::uint8_t fileEncodeShift = 99;  // shift of the last character encoded; 99 matches none
    std::uint8_t fileDecodeShift = 0;   // 0 letters, 32 figures
    std::uint8_t tapeDataSeen = 0;      // the cleaner has written a byte
};

// Where a step's bytes go. Room for two bytes per input byte is the caller's.
struct OutputBlock {
    std::uint8_t* end;
    constexpr void WriteConverterByte(int value) { *end++ = static_cast<std::uint8_t>(value); }
};

namespace detail {

constexpr std::array<std::uint8_t, 96> MakeSubsetTable() {
    std::array<std::uint8_t, 96> t{};
    auto set = [&t](int from, int to) {
        t[static_cast<std::size_t>(from - 32)] = static_cast<std::uint8_t>(to);
    };
    for (int c = 32; c < 128; ++c)
        set(c, c);
    for (int c = 'a'; c <= 'z'; ++c)
        set(c, c - 'a' + 'A');
    set('!', '1');
    set('$', 'S');
    set('%', '8');
    set('\'', ',');
    set('*', 'Y');
    set('+', 'X');
    for (const int c : {'<', '[', '{'})
        set(c, '(');
    for (const int c : {'>', ']', '}'})
        set(c, ')');
    for (const int c : {int{'='}, int{'^'}, int{'_'}, int{'~'}, 127})
        set(c, '-');
    set('@', 'W');
    set('\\', '/');
    set('|', '/');
    set('`', ',');
    return t;
}

constexpr int Reverse5(int code) {
    return ((code & 1) << 4) | ((code & 2) << 2) | (code & 4) | ((code & 8) >> 2) |
           ((code & 16) >> 4);
}

// The tape reader delivers each code end to end reversed, so the receive
// chart is read at the reversed code; LF and CR keep their places.
constexpr std::array<std::uint8_t, 64> MakeReversedTable() {
    std::array<std::uint8_t, 64> t{};
    for (int c = 0; c < 32; ++c) {
        const int at = (c == 2 || c == 8) ? c : Reverse5(c);
        t[static_cast<std::size_t>(c)] = Ita2ReceiveTable[static_cast<std::size_t>(at)];
        t[static_cast<std::size_t>(32 + c)] = Ita2ReceiveTable[static_cast<std::size_t>(128 + at)];
    }
    return t;
}

}  // namespace detail

// Indexed by character - 32, for 32..127: the character of similar look that
// has an ITA2 code.
inline constexpr std::array<std::uint8_t, 96> ItaSubsetTable = detail::MakeSubsetTable();

// Indexed by code + fileDecodeShift: letters 0..31, figures 32..63; 127 writes nothing.
inline constexpr std::array<std::uint8_t, 64> ReversedIta2Table = detail::MakeReversedTable();

static_assert(ItaSubsetTable['a' - 32] == 'A' && ItaSubsetTable['%' - 32] == '8' &&
              ItaSubsetTable[127 - 32] == '-' && ItaSubsetTable['#' - 32] == '#');
static_assert(ReversedIta2Table[16] == 'E' && ReversedIta2Table[1] == 'T' &&
              ReversedIta2Table[32 + 1] == '5' && ReversedIta2Table[2] == '\n' &&
              ReversedIta2Table[32 + 8] == '\r' && ReversedIta2Table[32 + 20] == 7 &&
              ReversedIta2Table[27] == kNoChar && ReversedIta2Table[32 + 31] == kNoChar);

// ASCII to ITA2. Lower case folds onto capitals (SendEntry). The grave accent
// and the bytes 128..255 have no entry: like characters without a code they
// are dropped and leave the shift alone.
constexpr void WriteIta2ForChar(ConverterState& s, std::uint8_t v, OutputBlock& out) {
    const Ita2Entry e = SendEntry(v);
    if (e.code == kNoCode)
        return;
    if (e.shift != 0 && e.shift != s.fileEncodeShift)
        out.WriteConverterByte(e.shift);
    // Characters that need no shift (space, CR, LF, NUL, the shift codes
    // themselves) set the state to 0, so the next letter or figure carries
    // its shift again.
    s.fileEncodeShift = static_cast<std::uint8_t>(e.shift);
    out.WriteConverterByte(e.code);
}

// ASCII to the ITA subset: one byte out for every byte in. Controls pass;
// the bytes 128..255 have no agreed look (the code page is unknown) and
// become blanks, which keeps a picture's columns where they were.
constexpr void WriteSubsetForChar(std::uint8_t v, OutputBlock& out) {
    if (v < 32)
        out.WriteConverterByte(v);
    else if (v < 128)
        out.WriteConverterByte(ItaSubsetTable[v - 32u]);
    else
        out.WriteConverterByte(' ');
}

// ITA2 (in the tape reader's bit order) to ASCII. Bytes above 31 are not
// 5-bit codes: they write nothing and leave the shift alone, as a code
// without a character does.
constexpr void WriteAsciiForCode(ConverterState& s, std::uint8_t v, OutputBlock& out) {
    if (v > 31)
        return;
    if (v == FIGS) {
        s.fileDecodeShift = 32;
        return;
    }
    if (v == LTRS || v == 4 || v == 8) {
        s.fileDecodeShift = 0;
        if (v == LTRS)
            return;
    }
    const std::uint8_t c = ReversedIta2Table[v + s.fileDecodeShift];
    if (c != kNoChar)
        out.WriteConverterByte(c);
}

// Tape cleaning: keep the five data bits, drop the blank leader.
constexpr void WriteCleanedByte(ConverterState& s, std::uint8_t v, OutputBlock& out) {
    const int m = v & 31;
    if (m == 0 && s.tapeDataSeen == 0)
        return;
    s.tapeDataSeen = 1;
    out.WriteConverterByte(m);
}

enum class Converter { AsciiToIta2, AsciiToItaSubset, Ita2ToAscii, CleanTape };

// The most bytes a conversion writes for n input bytes.
constexpr std::size_t MaxOutputSize(std::size_t n) {
    return 2 * n;
}

// Runs one converter's step over a block; out has room for
// MaxOutputSize(in.size()) bytes. Returns the number of bytes written.
std::size_t ConvertBlock(Converter which, ConverterState& state, std::span<const std::uint8_t> in,
                         std::uint8_t* out);

}  // namespace tavirel
