#include "ita2.h"

#include <array>
#include <cctype>

namespace tpsim {

namespace {

// Index = code. '\0' marks codes that print nothing in that shift; the
// functions common to both shifts (blank, LF, space, CR, FIGS, LTRS) are
// handled before the tables are consulted.
constexpr std::array<char, 32> kLettersTable = {
    '\0', 'E', '\0', 'A', '\0', 'S', 'I', 'U', '\0', 'D', 'R', 'J',  'N', 'F', 'C', 'K',
    'T',  'Z', 'L',  'W', 'H',  'Y', 'P', 'Q', 'O',  'B', 'G', '\0', 'M', 'X', 'V', '\0'};

constexpr std::array<char, 32> kFiguresTable = {
    '\0', '3', '\0', '-', '\0', kBel, '8', '7', '\0', '$', '4', '\'', ',', '!', ':', '(',
    '5',  '"', ')',  '2', '#',  '6',  '0', '1', '9',  '?', '&', '\0', '.', '/', ';', '\0'};

std::optional<char> common(std::uint8_t c) {
    switch (c) {
        case code::kLineFeed:
            return '\n';
        case code::kSpace:
            return ' ';
        case code::kCarriageReturn:
            return '\r';
        default:
            return std::nullopt;
    }
}

std::optional<char> fromTable(const std::array<char, 32>& table, std::uint8_t c) {
    if (auto f = common(c)) {
        return f;
    }
    const char ch = table[c & 0x1f];
    if (ch == '\0') {
        return std::nullopt;
    }
    return ch;
}

// Code and shift for a character; shift is empty when it prints in both.
struct Coded {
    std::uint8_t code;
    std::optional<Shift> shift;
};

std::optional<Coded> lookup(char ch) {
    switch (ch) {
        case ' ':
            return Coded{code::kSpace, std::nullopt};
        case '\r':
            return Coded{code::kCarriageReturn, std::nullopt};
        case '\n':
            return Coded{code::kLineFeed, std::nullopt};
        default:
            break;
    }
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (std::uint8_t c = 0; c < 32; ++c) {
        if (kLettersTable[c] != '\0' && kLettersTable[c] == upper) {
            return Coded{c, Shift::Letters};
        }
        if (kFiguresTable[c] != '\0' && kFiguresTable[c] == ch) {
            return Coded{c, Shift::Figures};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<char> lettersChar(std::uint8_t c) {
    return fromTable(kLettersTable, c);
}
std::optional<char> figuresChar(std::uint8_t c) {
    return fromTable(kFiguresTable, c);
}

std::optional<char> Decoder::decode(std::uint8_t byte) {
    const auto c = static_cast<std::uint8_t>(byte & 0x1f);
    if (c == code::kLetters) {
        shift_ = Shift::Letters;
        return std::nullopt;
    }
    if (c == code::kFigures) {
        shift_ = Shift::Figures;
        return std::nullopt;
    }
    if (c == code::kSpace && unshiftOnSpace_) {
        shift_ = Shift::Letters;
    }
    return shift_ == Shift::Letters ? lettersChar(c) : figuresChar(c);
}

std::optional<char> Encoder::firstUnencodable(const std::string& text) {
    for (char ch : text) {
        if (!lookup(ch)) {
            return ch;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> Encoder::encode(const std::string& text) {
    if (firstUnencodable(text)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    for (char ch : text) {
        const Coded coded = *lookup(ch);
        if (coded.shift && (!known_ || shift_ != *coded.shift)) {
            out.push_back(*coded.shift == Shift::Letters ? code::kLetters : code::kFigures);
            shift_ = *coded.shift;
            known_ = true;
        }
        out.push_back(coded.code);
        // The receiver drops back to letters on a space, so the next figure
        // needs its shift again.
        if (coded.code == code::kSpace && unshiftOnSpace_) {
            shift_ = Shift::Letters;
            known_ = true;
        }
    }
    return out;
}

}  // namespace tpsim
