#include "code/baudot_sender.h"

#include "code/ita2.h"

namespace tavirel {

BaudotCodes BaudotSender::Encode(int ch) {
    BaudotCodes out;
    const Ita2Entry entry = SendEntry(ch);
    if (entry.code == kNoCode)
        return out;
    std::int32_t shift = entry.shift;
    switch (entry.code) {
        case 4:
        case 31:
            shift = LTRS;
            break;
        case 8:
            shift = LTRS;
            out.carriageReturn = true;
            break;
        case 27:
            shift = FIGS;
            break;
        default:
            break;
    }
    if (shift != 0 && shift != lastShiftSent.load()) {
        out.bytes[static_cast<std::size_t>(out.count++)] = static_cast<std::uint8_t>(shift);
        lastShiftSent.store(shift);
    }
    out.bytes[static_cast<std::size_t>(out.count++)] = static_cast<std::uint8_t>(entry.code);
    return out;
}

}  // namespace tavirel
