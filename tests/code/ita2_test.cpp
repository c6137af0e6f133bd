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
        Bytes wire;
        BaudotSender sender;
        for (const char ch : text) {
            const BaudotCodes codes = sender.Encode(static_cast<unsigned char>(ch));
            ASSERT_NE(codes.count, 0) << "no code for " << int(ch);
            wire.insert(wire.end(), codes.bytes.begin(), codes.bytes.begin() + codes.count);
        }
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
