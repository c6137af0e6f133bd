#include "picture/picture_file.h"

#include "code/ita2.h"

namespace tavirel {

namespace {

constexpr char kCr = 13;
constexpr char kLf = 10;

// What a teleprinter prints: the printable characters the send table has a
// code for. Lower case is folded before the look-up.
constexpr bool Printable(int c) {
    return c >= ' ' && c <= 95 && Ita2SendTable[static_cast<std::size_t>(c)].code != kNoCode;
}

static_assert(Printable(' ') && Printable('"') && Printable('&') && Printable('?') &&
              Printable('Z') && Printable('9'));
static_assert(!Printable('%') && !Printable('*') && !Printable('+') && !Printable('=') &&
              !Printable('>') && !Printable('@') && !Printable('[') && !Printable('\\') &&
              !Printable(']') && !Printable('_') && !Printable(27) && !Printable(7));

}  // namespace

int PictureCharFilter(int c) {
    if (static_cast<unsigned>(c) >= 128)
        return 0;
    if (c >= 'a' && c <= 'z')
        c -= 'a' - 'A';
    if (c == '<')
        return kCr;
    if (c == '^')
        return kLf;
    return c == kCr || c == kLf || Printable(c) ? c : 0;
}

std::string DisplayFromFile(std::string_view bytes) {
    std::string filtered(bytes.size(), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        filtered[i] = static_cast<char>(PictureCharFilter(static_cast<signed char>(bytes[i])));
    // Past the last byte stands a 0, as after a read into a zeroed buffer.
    auto at = [&filtered](std::size_t i) { return i < filtered.size() ? filtered[i] : '\0'; };

    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4);
    for (std::size_t i = 0; i < filtered.size(); ++i) {
        const char c = filtered[i];
        if (c == 0)
            continue;
        if (c == kLf) {
            text += "^\r\n";
        } else if (c == kCr) {
            const char after = at(i + 1);
            text += '<';
            if (i > 0 && filtered[i - 1] != kCr && after != kCr)
                text += '<';
            if (after != kCr && after != kLf)
                text += "\r\n";
        } else {
            text += c;
        }
    }
    return text;
}

std::string FileFromDisplay(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n')
            continue;
        // A character beyond the first plane is one character, stored once.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        bytes += static_cast<char>(c < 128 ? PictureCharFilter(c) : 0);
    }
    bytes += '\0';
    return bytes;
}

}  // namespace tavirel
