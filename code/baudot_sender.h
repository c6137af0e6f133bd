// Turns characters into ITA2 codes for the line, with the letters/figures
// shift codes the receiving machine needs.
#pragma once

#include <array>
#include <atomic>
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
    // them whether or not it unshifts by itself; LF and NUL never shift. One
    // thread encodes.
    BaudotCodes Encode(int ch);
    // Any thread: codes were dropped before they reached the line, so the
    // machine's shift is unknown and the next character carries its own.
    void ForgetShift() { lastShiftSent = 0; }

    std::atomic<std::int32_t> lastShiftSent{0};  // 27, 31, or 0: not known
};

}  // namespace tavirel
