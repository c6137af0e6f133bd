// Five-bit teleprinter code, US-TTY assignment, with letters/figures shifts.
// The tables are written here on purpose and not shared with the terminal, so
// that a wrong entry on one side shows up as a disagreement in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tpsim {

namespace code {
inline constexpr std::uint8_t kBlank = 0;
inline constexpr std::uint8_t kLineFeed = 2;
inline constexpr std::uint8_t kSpace = 4;
inline constexpr std::uint8_t kCarriageReturn = 8;
inline constexpr std::uint8_t kFigures = 27;
inline constexpr std::uint8_t kLetters = 31;
}  // namespace code

inline constexpr char kBel = '\a';

enum class Shift { Letters, Figures };

// What one code means in a shift: a printing character, a function, or nothing.
std::optional<char> lettersChar(std::uint8_t code);
std::optional<char> figuresChar(std::uint8_t code);

// Receiving side: turns codes into characters, tracking the shift.
class Decoder {
  public:
    explicit Decoder(bool unshiftOnSpace = true) : unshiftOnSpace_(unshiftOnSpace) {}

    // The character the code stands for (including ' ', '\r', '\n', '\a'),
    // or nothing for blank and the shift codes. Only the low five bits count.
    std::optional<char> decode(std::uint8_t byte);
    Shift shift() const { return shift_; }

  private:
    bool unshiftOnSpace_;
    Shift shift_ = Shift::Letters;
};

// Sending side: characters into codes, adding shift codes only when the
// receiver's shift has to change. The receiver's shift is unknown at first, so
// the first character that needs a shift gets one.
class Encoder {
  public:
    explicit Encoder(bool unshiftOnSpace = true) : unshiftOnSpace_(unshiftOnSpace) {}

    // Codes for the text, or nothing if a character has no code (then the
    // encoder state is unchanged). Lower-case letters are sent as capitals.
    std::optional<std::vector<std::uint8_t>> encode(const std::string& text);
    // Forget what the receiver is in, e.g. after the line was dropped.
    void reset() { known_ = false; }
    // First character of text that has no code, if any.
    static std::optional<char> firstUnencodable(const std::string& text);

  private:
    bool unshiftOnSpace_;
    bool known_ = false;
    Shift shift_ = Shift::Letters;
};

}  // namespace tpsim
