// Turns characters into ITA2 codes for the line, with the letters/figures
// shift codes the receiving machine needs.
#pragma once

#include <array>
#include <cstdint>

namespace tavirel {

struct BaudotCodes {
    std::array<std::uint8_t, 2> bytes{};  // the shift code when one is needed, then the code
    int count = 0;                        // 0: the character has no code, nothing is sent
    bool carriageReturn = false;
};

class BaudotSender {
  public:
    // Space, CR and LTRS go out in letters, so the machine is in letters after
    // them whether or not it unshifts by itself; LF and NUL never shift.
    BaudotCodes Encode(int ch);

    std::int32_t lastShiftSent = 0;  // 27, 31, or 0 before any shift was sent
};

}  // namespace tavirel
