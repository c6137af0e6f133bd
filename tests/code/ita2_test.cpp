#include "code/ita2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "code/baudot_sender.h"
#include "code/line_ends.h"
#include "tests/support/files.h"

namespace tavirel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Entry = std::pair<std::int32_t, int>;  // shift, code

Entry Of(Ita2Entry e) {
    return {e.shift, e.code};
}

// The known chart, indexed by code; 127 under the two shift codes. The split
// literal keeps "\0" from swallowing the 3.
constexpr char kLetters[33] = "\0E\nA SIU\rDRJNFCKTZLWHYPQOBG\x7FMXV\x7F";
constexpr char kFigures[33] =
    "\0"
    "3\n- \a87\r$4',!:(5\")2#6019?&\x7F./;\x7F";

TEST(Ita2Tables, MatchTheChart) {
    std::array<Entry, 96> expected;
    expected.fill({0, kNoCode});
    for (int c = 0; c < 32; ++c) {
        const auto l = static_cast<unsigned char>(kLetters[c]);
        const auto f = static_cast<unsigned char>(kFigures[c]);
        if (c == 27 || c == 31) {  // ESC and US send the shift codes themselves
            expected[static_cast<std::size_t>(c)] = {0, c};
        } else if (l == f) {  // NUL, LF, CR and space are in both halves
            expected[l] = {0, c};
        } else {
            expected[l] = {LTRS, c};
            expected[f] = {FIGS, c};
        }
    }
    ASSERT_EQ(std::count(expected.begin(), expected.end(), Entry(0, kNoCode)), 96 - 58);
    for (std::size_t i = 0; i < 96; ++i)
        EXPECT_EQ(Of(Ita2SendTable[i]), expected[i]) << "ASCII " << i;

    for (int v = 97; v <= 127; ++v)
        EXPECT_EQ(Of(SendEntry(v)), Of(Ita2SendTable[static_cast<std::size_t>(v - 32)])) << v;
    // 0xC1 must not alias 'A' through a sign or a mask.
    for (const int v : {96, 128, 0xC1, 255, 256, -1, -63, -128})
        EXPECT_EQ(Of(SendEntry(v)), Entry(0, kNoCode)) << v;

    std::array<std::uint8_t, 256> received;
    received.fill(kNoChar);
    for (std::size_t c = 0; c < 32; ++c) {
        received[c] = static_cast<std::uint8_t>(kLetters[c]);
        received[128 + c] = static_cast<std::uint8_t>(kFigures[c]);
    }
    EXPECT_EQ(Ita2ReceiveTable, received);
}

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

// Line feeds that leave the carriage away from the margin: those with no CR
// before the next character that prints, or none after them. Found alike in
// one piece and in pieces of a byte.
TEST(LoneLineFeeds, AreThoseWithNoCarriageReturnBeforeTheNextCharacter) {
    const std::pair<std::string, std::vector<std::size_t>> cases[] = {
        {"", {}},
        {"\n\nA\n", {3}},           // at the margin a feed is harmless
        {"AB\nCD\n", {2, 5}},       // line ends of LF alone, the last too
        {"AB\r\nCD\n\rE", {}},      // a CR before or after
        {"AB\n\nC\n\n\r", {2, 3}},  // runs, judged whole
        {"AB\n\a\rC", {}},          // a bell prints nothing
        {"AB\n\a C", {2}},
        {"\xC9\n", {1}},
    };
    for (const auto& [text, lone] : cases) {
        EXPECT_EQ(LoneLineFeeds(text), lone) << testing::PrintToString(text);
        LoneLineFeedFinder finder;
        std::vector<std::size_t> found;
        for (const char& c : text)
            finder.Scan(std::string_view(&c, 1), found);
        EXPECT_EQ(found, lone) << testing::PrintToString(text) << " in pieces";
    }
}

std::string Decode(BaudotDecoder& d, Bytes block) {
    const std::int32_t n = d.Decode(block.data(), static_cast<std::int32_t>(block.size()));
    EXPECT_TRUE(n >= 0 && static_cast<std::size_t>(n) <= block.size()) << n;
    return std::string(block.begin(), block.begin() + n);
}

TEST(BaudotDecoder, DecodesBlocks) {
    const std::pair<Bytes, std::string> cases[] = {
        {{27, 1, 4, 1}, "3 E"}, {{27, 1, 2, 1}, "3\nE"},   {{27, 1, 8, 1}, "3\rE"},
        {{27, 1, 0, 1}, "33"},  {{31, 3, 27, 3}, "A-"},    {{27, 5, 6, 30}, "\a8;"},
        {{0x41}, "E"},          {{0xFB, 0xE1, 0xFF}, "3"}, {{0, 27, 31, 0, 31, 27}, ""},
    };
    for (const auto& [in, out] : cases) {
        BaudotDecoder d;
        EXPECT_EQ(Decode(d, in), out) << testing::PrintToString(in);
    }

    BaudotDecoder d;  // the shift outlives the block that set it
    EXPECT_EQ(Decode(d, {1, 27}), "E");
    EXPECT_EQ(Decode(d, {1}), "3");
    EXPECT_EQ(Decode(d, {1, 31}), "3");
    EXPECT_EQ(Decode(d, {1}), "E");
}

// What this terminal sends for the art, another one must print back.
TEST(BaudotDecoder, RoundTripsRealTeleprinterArt) {
    const auto dir = std::filesystem::path(TAVIREL_TESTDATA) / "overstrike";
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no test data in " << dir;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.path().string().ends_with("_ita2.txt"))
            continue;
        SCOPED_TRACE(entry.path());
        ++files;
        const std::string text = test::ReadFile(entry.path());
        ASSERT_FALSE(text.empty());
        BaudotSender sender;
        const Bytes wire = EncodeAll(sender, text);
        BaudotDecoder d;
        std::string decoded;
        for (std::size_t pos = 0; pos < wire.size(); pos += 7)  // shifts straddle blocks
            decoded +=
                Decode(d, Bytes(wire.begin() + pos, wire.begin() + std::min(pos + 7, wire.size())));
        EXPECT_EQ(decoded, text);
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tavirel
