// The text of the status bar under the screen: the line, how it is set up,
// and a transfer in progress. Pure, so it is tested without a window.
#pragma once

#include <cstdint>
#include <string>

#include "link/line_settings.h"

namespace tavirel {

enum class TransferKind { None, Send, Capture };

struct StatusFacts {
    bool connected = false;
    std::string port;    // "COM3"
    std::string device;  // where the port name leads
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 0;
    std::uint8_t parity = 0;    // as LineSettings has it
    std::uint8_t stopBits = 0;  // as LineSettings has it
    CodeModeValue mode = ModeBaudot;
    std::int32_t shift = 0;  // the sender's last shift code: 31 letters, 27 figures, 0 not known
    TransferKind transfer = TransferKind::None;
    std::int64_t count = 0;  // the transfer's counter, as its dialog shows it
};

// "Connected | COM3 → /dev/ttyUSB0 | 45 baud 5N1.5 | BAUDOT, letters | ...", in UTF-8.
std::string StatusText(const StatusFacts& facts);

}  // namespace tavirel
