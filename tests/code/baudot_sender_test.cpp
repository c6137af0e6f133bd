#include "code/baudot_sender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "code/line_ends.h"

namespace tavirel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The line as the machine sees it: every Encode's bytes in order.
Bytes EncodeAll(BaudotSender& sender, const std::string& chars) {
    Bytes line;
    for (const char ch : chars) {
        const BaudotCodes codes = sender.Encode(static_cast<unsigned char>(ch));
        line.insert(line.end(), codes.bytes.begin(), codes.bytes.begin() + codes.count);
    }
    return line;
}

TEST(BaudotSender, SendsAShiftOnlyWhenItChanges) {
    struct Case {
        std::string prefix;  // sets the shift; its bytes are not checked
        std::string chars;
        Bytes expected;
    };
    const Case cases[] = {
        {"", "A1 B", {31, 3, 27, 23, 31, 4, 25}},
        {"", "AB", {31, 3, 25}},
        {"", "3", {27, 1}},  // the first shift is always sent
        {"", " ", {31, 4}},
        {"", "q", {31, 23}},
        {"1", "\r\n", {31, 8, 2}},
        {"A", "\x1b\x1b", {27, 27, 27}},  // ESC is FIGS itself: the first is both
        {"1", "\x1f\x1f", {31, 31, 31}},
        {"1", "\n2", {2, 19}},  // LF and NUL never shift
        {"A", std::string("\0E", 2), {0, 1}},
        {"A", "\a", {27, 5}},
        {"A",
         "%_`{\x7F\x80\xFF"
         "B",
         {25}},  // no code: nothing sent, the shift kept
    };
    for (const Case& c : cases) {
        BaudotSender sender;
        EncodeAll(sender, c.prefix);
        EXPECT_EQ(EncodeAll(sender, c.chars), c.expected) << testing::PrintToString(c.chars);
    }
}

// Text on its way to the line: the desktop's LF line ends become CR LF.
TEST(LoneLfToCrLf, AddsACarriageReturnOnlyWhereNoneIs) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a\nb\n", "a\r\nb\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb", "a\r\nb"},
        {"\r\r\n\n\r", "\r\r\n\r\n\r"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LoneLfToCrLf(text), expected) << testing::PrintToString(text);
}

}  // namespace
}  // namespace tavirel
