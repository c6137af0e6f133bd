#include "terminal/status_line.h"

#include <array>

namespace tavirel {

namespace {

constexpr std::array<const char*, 5> kParityLetters{"N", "O", "E", "M", "S"};
constexpr std::array<const char*, 3> kStopBits{"1", "1.5", "2"};

template <std::size_t N>
const char* Pick(const std::array<const char*, N>& names, std::uint8_t value) {
    return value < N ? names[value] : "?";
}

std::string Mode(const StatusFacts& f) {
    switch (f.mode) {
        case ModeAscii:
            return "ASCII";
        case ModeTerminal:
            return "Terminal";
        case ModeBaudot:
            break;
    }
    switch (f.shift) {
        case 31:
            return "BAUDOT, letters";
        case 27:
            return "BAUDOT, figures";
        default:
            return "BAUDOT, shift not known";
    }
}

}  // namespace

std::string StatusText(const StatusFacts& f) {
    constexpr char kBetween[] = " | ";
    std::string text = f.connected ? "Connected" : "Not connected";
    text += kBetween + f.port + " \u2192 " + (f.device.empty() ? "?" : f.device);
    text += kBetween + std::to_string(f.baudRate) + " baud " + std::to_string(f.byteSize) +
            Pick(kParityLetters, f.parity) + Pick(kStopBits, f.stopBits);
    text += kBetween + Mode(f);
    switch (f.transfer) {
        case TransferKind::Send:
            text += kBetween + std::string("Sending: ") + std::to_string(f.count) + " bytes sent";
            break;
        case TransferKind::Capture:
            text +=
                kBetween + std::string("Capturing: ") + std::to_string(f.count) + " bytes saved";
            break;
        case TransferKind::None:
            break;
    }
    return text;
}

}  // namespace tavirel
