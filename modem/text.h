// Text on an audio line goes through the same code as on a serial one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code/baudot_sender.h"
#include "code/ita2.h"

namespace tavirel {

// The codes Send File puts on the line for this text: up to its first 0
// byte, the shifts added, characters without a code left out. Returns false
// when a 0 byte ended the text early.
bool TextToCodes(std::string_view text, BaudotSender& sender, std::vector<std::uint8_t>& codes);

// The text the receive decoder makes of these codes, the shift carried on
// from earlier calls.
std::string CodesToText(const std::vector<std::uint8_t>& codes, BaudotDecoder& decoder);

}  // namespace tavirel
