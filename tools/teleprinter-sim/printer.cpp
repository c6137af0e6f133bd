#include "printer.h"

#include <algorithm>

namespace tpsim {

double characterTimeMs(double baud, int dataBits, double stopBits) {
    return 1000.0 * (1.0 + dataBits + stopBits) / baud;
}

Printer::Printer(const PrinterSettings& settings)
    : settings_(settings), decoder_(settings.unshiftOnSpace), paper_(settings.columns) {}

void Printer::receive(const QByteArray& bytes, double arrivalMs) {
    for (char b : bytes) {
        const double at =
            busy_ ? std::max(arrivalMs, lastPrintMs_ + settings_.charTimeMs) : arrivalMs;
        busy_ = true;
        lastPrintMs_ = at;
        raw_.append(b);
        act(static_cast<std::uint8_t>(b), at, settings_.ascii);
    }
}

void Printer::printText(const QByteArray& text) {
    for (char b : text) {
        act(static_cast<std::uint8_t>(b), 0.0, true);
    }
}

void Printer::act(std::uint8_t byte, double printMs, bool ascii) {
    std::optional<char> ch;
    if (ascii) {
        ch = static_cast<char>(byte);
    } else {
        ch = decoder_.decode(byte);
    }
    if (ch && paper_.put(*ch, printMs)) {
        times_.push_back(printMs);
    }
}

}  // namespace tpsim
