// ITA2 (US-TTY assignment) tables and the receive decoder.
//
// A code is the value of the five data bits as the port sends them with a byte
// size of 5, first data bit least significant: E is 1, LF 2, A 3, space 4.
#pragma once

#include <array>
#include <cstdint>

namespace tavirel {

inline constexpr std::int32_t LTRS = 31;  // following codes are letters
inline constexpr std::int32_t FIGS = 27;  // following codes are figures

// In both tables: no code, or no character. Never sent, never output.
inline constexpr std::int8_t kNoCode = 127;
inline constexpr std::uint8_t kNoChar = 127;

struct Ita2Entry {
    std::int32_t shift;  // 0 either set, FIGS or LTRS
    std::int8_t code;    // 5-bit code, or kNoCode
};

namespace detail {

constexpr std::array<Ita2Entry, 96> MakeSendTable() {
    std::array<Ita2Entry, 96> t{};
    for (auto& e : t)
        e = {0, kNoCode};
    auto set = [&t](int ascii, std::int32_t shift, int code) {
        t[static_cast<std::size_t>(ascii)] = {shift, static_cast<std::int8_t>(code)};
    };
    set(0, 0, 0);
    set(7, FIGS, 5);  // BEL
    set(10, 0, 2);    // LF
    set(13, 0, 8);    // CR
    set(27, 0, 27);   // ESC sends the FIGS code itself
    set(31, 0, 31);   // US sends the LTRS code itself
    set(' ', 0, 4);
    set('!', FIGS, 13);
    set('"', FIGS, 17);
    set('#', FIGS, 20);
    set('$', FIGS, 9);
    set('&', FIGS, 26);
    set('\'', FIGS, 11);
    set('(', FIGS, 15);
    set(')', FIGS, 18);
    set(',', FIGS, 12);
    set('-', FIGS, 3);
    set('.', FIGS, 28);
    set('/', FIGS, 29);
    constexpr int digits[10] = {22, 23, 19, 1, 10, 16, 21, 7, 6, 24};
    for (int i = 0; i < 10; ++i)
        set('0' + i, FIGS, digits[i]);
    set(':', FIGS, 14);
    set(';', FIGS, 30);
    set('?', FIGS, 25);
    constexpr int letters[26] = {3,  25, 14, 9,  1,  13, 26, 20, 6,  11, 15, 18, 28,
                                 12, 24, 22, 23, 10, 5,  16, 7,  30, 19, 29, 21, 17};
    for (int i = 0; i < 26; ++i)
        set('A' + i, LTRS, letters[i]);
    return t;
}

}  // namespace detail

// Indexed by ASCII 0 to 95; use SendEntry() for the folded look-up.
inline constexpr std::array<Ita2Entry, 96> Ita2SendTable = detail::MakeSendTable();

static_assert(Ita2SendTable.size() == 96);
static_assert(Ita2SendTable['A'].shift == LTRS && Ita2SendTable['A'].code == 3);
static_assert(Ita2SendTable['Z'].code == 17 && Ita2SendTable['0'].code == 22);
static_assert(Ita2SendTable['9'].shift == FIGS && Ita2SendTable['9'].code == 24);
static_assert(Ita2SendTable['%'].code == kNoCode && Ita2SendTable['_'].code == kNoCode);
static_assert(Ita2SendTable[27].shift == 0 && Ita2SendTable[27].code == FIGS);

// The entry a character value is sent with. 97 to 127 fold onto 65 to 95, so
// lower case goes out as capitals; 96, values above 127 and negative values
// (bytes held as signed chars) have no code.
constexpr Ita2Entry SendEntry(int value) {
    if (value >= 97 && value <= 127)
        value -= 32;
    if (value < 0 || value > 95)
        return {0, kNoCode};
    return Ita2SendTable[static_cast<std::size_t>(value)];
}

static_assert(SendEntry('a').code == 3 && SendEntry('{').code == kNoCode);
static_assert(SendEntry('`').code == kNoCode && SendEntry(-23).code == kNoCode);

// Letters half at 0..127, figures half at 128..255; code c is looked up at
// c or 128 + c. Derived from the send table: the shift codes and characters
// without a code are never decoded, later values win.
constexpr std::array<std::uint8_t, 256> DeriveReceiveTable(const std::array<Ita2Entry, 96>& send) {
    std::array<std::uint8_t, 256> t{};
    for (auto& b : t)
        b = kNoChar;
    for (std::size_t i = 0; i < send.size(); ++i) {
        const Ita2Entry e = send[i];
        if (e.code == 27 || e.code == 31 || e.code == kNoCode)
            continue;
        const auto c = static_cast<std::size_t>(e.code);
        const auto ch = static_cast<std::uint8_t>(i);
        if (e.shift == 0 || e.shift == LTRS)
            t[c] = ch;
        if (e.shift == 0 || e.shift == FIGS)
            t[128 + c] = ch;
    }
    return t;
}

// Indexed by shift + code (see DeriveReceiveTable); fixed at compile time, so
// no start-up call is needed before a port opens.
inline constexpr std::array<std::uint8_t, 256> Ita2ReceiveTable = DeriveReceiveTable(Ita2SendTable);

static_assert(Ita2ReceiveTable.size() == 256);
static_assert(Ita2ReceiveTable[1] == 'E' && Ita2ReceiveTable[3] == 'A' &&
              Ita2ReceiveTable[17] == 'Z');
static_assert(Ita2ReceiveTable[128 + 1] == '3' && Ita2ReceiveTable[128 + 22] == '0');
static_assert(Ita2ReceiveTable[128 + 5] == 7 && Ita2ReceiveTable[4] == ' ' &&
              Ita2ReceiveTable[128 + 4] == ' ');
static_assert(Ita2ReceiveTable[2] == '\n' && Ita2ReceiveTable[128 + 8] == '\r');
// The shift codes have no character; past each shift's 32 codes nothing is
// ever looked up.
static_assert(Ita2ReceiveTable[27] == kNoChar && Ita2ReceiveTable[31] == kNoChar &&
              Ita2ReceiveTable[128 + 27] == kNoChar && Ita2ReceiveTable[128 + 31] == kNoChar);
static_assert(Ita2ReceiveTable[32] == kNoChar && Ita2ReceiveTable[255] == kNoChar);

// Decodes received codes in place with the shift carried from block to block.
// Unshifts on space, CR and LF.
class BaudotDecoder {
  public:
    // Returns the number of ASCII bytes now at the start of buffer (<= length).
    std::int32_t Decode(std::uint8_t* buffer, std::int32_t length);
    std::int32_t receiveShift = 0;  // 0 letters, 128 figures
};

}  // namespace tavirel
