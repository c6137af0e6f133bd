#include "modem/text.h"

namespace tavirel {

bool TextToCodes(std::string_view text, BaudotSender& sender, std::vector<std::uint8_t>& codes) {
    for (const char c : text) {
        if (c == '\0')
            return false;
        const BaudotCodes out = sender.Encode(static_cast<std::uint8_t>(c));
        codes.insert(codes.end(), out.bytes.begin(), out.bytes.begin() + out.count);
    }
    return true;
}

std::string CodesToText(const std::vector<std::uint8_t>& codes, BaudotDecoder& decoder) {
    std::vector<std::uint8_t> buffer(codes);
    const auto length = decoder.Decode(buffer.data(), static_cast<std::int32_t>(buffer.size()));
    return {buffer.begin(), buffer.begin() + length};
}

}  // namespace tavirel
