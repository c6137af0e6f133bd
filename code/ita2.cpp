#include "code/ita2.h"

namespace tavirel {

std::int32_t BaudotDecoder::Decode(std::uint8_t* buffer, std::int32_t length) {
    std::int32_t out = 0;
    for (std::int32_t in = 0; in < length; ++in) {
        const auto code = static_cast<std::uint8_t>(buffer[in] & 0x1F);
        buffer[in] = code;
        switch (code) {
            case 2:
            case 4:
            case 8:
            case 31:
                receiveShift = 0;
                break;
            case 27:
                receiveShift = 128;
                break;
            default:
                break;
        }
        if (code == 0 || code == 27 || code == 31)
            continue;
        buffer[out++] = Ita2ReceiveTable[static_cast<std::size_t>(receiveShift + code)];
    }
    return out;
}

}  // namespace tavirel
