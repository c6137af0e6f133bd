#include "code/ita2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tavirel {
namespace {

using Bytes = std::vector<std::uint8_t>;

#ifdef TAVIREL_TESTDATA
constexpr const char* kTestData = TAVIREL_TESTDATA;
#else
constexpr const char* kTestData = "";
#endif

struct SendRow {
    int ascii;
    std::int32_t shift;
    int code;
};

// Every character that has a code; all other entries must be "no code".
std::vector<SendRow> CodedCharacters() {
    std::vector<SendRow> rows = {
        {0, 0, 0},       {7, FIGS, 5},    {10, 0, 2},       {13, 0, 8},      {27, 0, 27},
        {31, 0, 31},     {' ', 0, 4},     {'!', FIGS, 13},  {'"', FIGS, 17}, {'#', FIGS, 20},
        {'$', FIGS, 9},  {'&', FIGS, 26}, {'\'', FIGS, 11}, {'(', FIGS, 15}, {')', FIGS, 18},
        {',', FIGS, 12}, {'-', FIGS, 3},  {'.', FIGS, 28},  {'/', FIGS, 29}, {':', FIGS, 14},
        {';', FIGS, 30}, {'?', FIGS, 25},
    };
    const int digits[10] = {22, 23, 19, 1, 10, 16, 21, 7, 6, 24};
    for (int i = 0; i < 10; ++i)
        rows.push_back({'0' + i, FIGS, digits[i]});
    const int letters[26] = {3,  25, 14, 9,  1,  13, 26, 20, 6,  11, 15, 18, 28,
                             12, 24, 22, 23, 10, 5,  16, 7,  30, 19, 29, 21, 17};
    for (int i = 0; i < 26; ++i)
        rows.push_back({'A' + i, LTRS, letters[i]});
    return rows;
}

TEST(Ita2SendTable, EveryEntryMatchesTheAssignment) {
    std::vector<SendRow> expected(96);
    for (int i = 0; i < 96; ++i)
        expected[static_cast<std::size_t>(i)] = {i, 0, kNoCode};
    const auto coded = CodedCharacters();
    ASSERT_EQ(coded.size(), 58u);
    for (const SendRow& r : coded)
        expected[static_cast<std::size_t>(r.ascii)] = r;

    for (const SendRow& r : expected) {
        SCOPED_TRACE(r.ascii);
        const Ita2Entry e = Ita2SendTable[static_cast<std::size_t>(r.ascii)];
        EXPECT_EQ(e.shift, r.shift);
        EXPECT_EQ(e.code, r.code);
    }
}

TEST(Ita2SendTable, SendEntryFoldsLowerCaseAndRejectsTheRest) {
    for (int v = 97; v <= 127; ++v) {
        const Ita2Entry folded = SendEntry(v);
        const Ita2Entry base = Ita2SendTable[static_cast<std::size_t>(v - 32)];
        EXPECT_EQ(folded.shift, base.shift) << v;
        EXPECT_EQ(folded.code, base.code) << v;
    }
    EXPECT_EQ(SendEntry('a').shift, LTRS);
    EXPECT_EQ(SendEntry('a').code, 3);
    EXPECT_EQ(SendEntry('{').code, kNoCode);
    EXPECT_EQ(SendEntry(127).code, kNoCode);  // folds onto '_'

    // 0xC1 and 0xE1 must not alias 'A'/'a' through a sign or a mask.
    std::vector<int> none = {96, -1, -128, static_cast<signed char>(0xC1),
                             static_cast<signed char>(0xE1)};
    for (int v = 128; v <= 255; ++v)
        none.push_back(v);
    for (const int v : none) {
        EXPECT_EQ(SendEntry(v).shift, 0) << v;
        EXPECT_EQ(SendEntry(v).code, kNoCode) << v;
    }
}

TEST(Ita2ReceiveTable, MatchesBothHalvesExactly) {
    // Indexed by code; 127 under the two shift codes. The split literal keeps
    // "\0" from swallowing the 3.
    const char letters[33] = "\0E\nA SIU\rDRJNFCKTZLWHYPQOBG\x7FMXV\x7F";
    const char figures[33] =
        "\0"
        "3\n- \a87\r$4',!:(5\")2#6019?&\x7F./;\x7F";
    std::array<std::uint8_t, 256> expected{};
    expected.fill(kNoChar);
    for (std::size_t c = 0; c < 32; ++c) {
        expected[c] = static_cast<std::uint8_t>(letters[c]);
        expected[128 + c] = static_cast<std::uint8_t>(figures[c]);
    }

    BuildReceiveTable();  // idempotent; the test main has already called it
    for (std::size_t i = 0; i < 256; ++i)
        EXPECT_EQ(Ita2ReceiveTable[i], expected[i]) << "index " << i;
    EXPECT_EQ(DeriveReceiveTable(Ita2SendTable), expected);
}

std::string Decode(BaudotDecoder& d, Bytes block) {
    const std::int32_t n = d.Decode(block.data(), static_cast<std::int32_t>(block.size()));
    EXPECT_GE(n, 0);
    EXPECT_LE(static_cast<std::size_t>(n), block.size());
    return std::string(block.begin(), block.begin() + n);
}

TEST(BaudotDecoder, DecodesKnownBlocks) {
    struct Case {
        Bytes in;
        std::string out;
    };
    // clang-format off
    const Case cases[] = {
        {{27, 1, 4, 1}, "3 E"},  // space unshifts
        {{27, 1, 2, 1}, "3\nE"},  // so do LF
        {{27, 1, 8, 1}, "3\rE"},  // and CR
        {{27, 1, 31, 1}, "3E"},
        {{27, 1, 0, 1}, "33"},  // NUL keeps the shift
        {{31, 3, 27, 3}, "A-"},
        {{27, 5, 6, 30}, "\a8;"},
        {{0x41}, "E"},
        {{0xFB, 0xE1}, "3"},
        {{0, 27, 31, 0, 31, 27}, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        BaudotDecoder d;
        EXPECT_EQ(Decode(d, c.in), c.out) << testing::PrintToString(c.in);
    }
}

TEST(BaudotDecoder, MasksInPlaceAndHandlesEmptyBlocks) {
    BaudotDecoder d;
    Bytes block = {0xE1, 0xFF, 0xE0};
    ASSERT_EQ(d.Decode(block.data(), 3), 1);
    EXPECT_EQ(block, (Bytes{'E', 31, 0}));  // unused tail holds the masked codes

    Bytes untouched = {0xFB};
    EXPECT_EQ(d.Decode(untouched.data(), 0), 0);
    EXPECT_EQ(untouched[0], 0xFB);
}

TEST(BaudotDecoder, CarriesShiftAcrossBlocks) {
    BaudotDecoder d;
    EXPECT_EQ(Decode(d, {1, 27}), "E");
    EXPECT_EQ(Decode(d, {1}), "3");
    EXPECT_EQ(Decode(d, {}), "");
    EXPECT_EQ(Decode(d, {1, 31}), "3");
    EXPECT_EQ(Decode(d, {1}), "E");

    // The process-wide decoder: each block states its shift so earlier users
    // of it don't matter; it is left in letters.
    Bytes shared = {27, 1, 31, 1};
    EXPECT_EQ(DecodeBaudotBlock(shared.data(), 4), 2);
    EXPECT_EQ(shared[0], '3');
    EXPECT_EQ(shared[1], 'E');
}

// Sends as a transmitter that tracks the receiver: a shift only when the
// receiver is not in it, and space, CR and LF leave the receiver in letters.
Bytes Encode(const std::string& text) {
    Bytes out;
    std::int32_t receiver = LTRS;  // a fresh decoder starts in letters
    for (const char ch : text) {
        const Ita2Entry e = SendEntry(static_cast<unsigned char>(ch));
        EXPECT_NE(e.code, kNoCode) << "no code for " << int(ch);
        if (e.shift != 0 && e.shift != receiver) {
            out.push_back(static_cast<std::uint8_t>(e.shift));
            receiver = e.shift;
        }
        out.push_back(static_cast<std::uint8_t>(e.code));
        if (e.code == 2 || e.code == 4 || e.code == 8)
            receiver = LTRS;
    }
    return out;
}

TEST(BaudotDecoder, RoundTripsRealTeleprinterArt) {
    const std::filesystem::path dir = std::filesystem::path(kTestData) / "overstrike";
    if (*kTestData == '\0' || !std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no test data (TAVIREL_TESTDATA)";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 9 || name.substr(name.size() - 9) != "_ita2.txt")
            continue;
        SCOPED_TRACE(name);
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(text.empty());

        const Bytes wire = Encode(text);
        // Uneven block sizes so shifts straddle block boundaries.
        BaudotDecoder d;
        std::string decoded;
        for (std::size_t pos = 0, size = 1; pos < wire.size(); pos += size, size = size % 13 + 1) {
            const std::size_t end = std::min(wire.size(), pos + size);
            decoded += Decode(d, Bytes(wire.begin() + static_cast<std::ptrdiff_t>(pos),
                                       wire.begin() + static_cast<std::ptrdiff_t>(end)));
        }
        EXPECT_EQ(decoded, text);
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tavirel
