#include "code/ita2.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "code/baudot_sender.h"
#include "code/line_ends.h"

namespace tavirel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Entry = std::pair<std::int32_t, std::size_t>;  // shift, code

constexpr unsigned char kLetters[33] = "\0E\nA SIU\rDRJNFCKTZLWHYPQOBG\x7FMXV\x7F";
constexpr unsigned char kFigures[33] = "\0003\n- \a87\r$4',!:(5\")2#6019?&\x7F./;\x7F";

TEST(Ita2Tables, MatchTheChart) {
    std::array<Entry, 96> sent;
    sent.fill({0, kNoCode});
    std::array<std::uint8_t, 256> received;
    received.fill(kNoChar);
    for (std::size_t c = 0; c < 32; ++c) {
        const unsigned char l = kLetters[c], f = kFigures[c];
        received[c] = l;
        received[128 + c] = f;
        if (c == 27 || c == 31)
            sent[c] = {0, c};
        else if (l == f)
            sent[l] = {0, c};
        else
            sent[l] = {LTRS, c}, sent[f] = {FIGS, c};
    }
    EXPECT_EQ(Ita2ReceiveTable, received);
    // 0xC1 must not alias 'A' through a sign or a mask.
    for (int v = -300; v < 300; ++v) {
        const int i = v >= 97 && v <= 127 ? v - 32 : v;
        EXPECT_EQ(Entry(SendEntry(v).shift, SendEntry(v).code),
                  i >= 0 && i < 96 ? sent[static_cast<std::size_t>(i)] : Entry(0, kNoCode))
            << "value " << v;
    }
}

TEST(BaudotSender, SendsAShiftOnlyWhenItChanges) {
    const std::pair<std::string, Bytes> cases[] = {
        {"A1 B", {31, 3, 27, 23, 31, 4, 25}},
        {"Aq", {31, 3, 23}},
        {" ", {31, 4}},
        {"1\r\n", {27, 23, 31, 8, 2}},
        {"A\x1b\x1b", {31, 3, 27, 27, 27}},  // ESC is FIGS itself
        {"1\x1f\x1f", {27, 23, 31, 31, 31}},
        {"1\n2", {27, 23, 2, 19}},
        {std::string("A\0E", 3), {31, 3, 0, 1}},
        {"A\a", {31, 3, 27, 5}},
        {"A\x7F\x80\xFF%_`{B", {31, 3, 25}},
    };
    for (const auto& [chars, expected] : cases) {
        BaudotSender sender;
        Bytes line;
        for (const char ch : chars) {
            const BaudotCodes codes = sender.Encode(static_cast<unsigned char>(ch));
            line.insert(line.end(), codes.bytes.begin(), codes.bytes.begin() + codes.count);
        }
        EXPECT_EQ(line, expected) << testing::PrintToString(chars);
    }
}

// A lone line feed leaves the carriage away from the margin.
TEST(LoneLineFeeds, AreThoseWithNoCarriageReturnBeforeTheNextCharacter) {
    const std::tuple<std::string, std::string, std::vector<std::size_t>> cases[] = {
        {"", "", {}},
        {"\n\nA\n", "\r\n\r\nA\r\n", {3}},
        {"AB\nCD\n", "AB\r\nCD\r\n", {2, 5}},
        {"AB\r\nCD\n\rE", "AB\r\nCD\r\n\rE", {}},
        {"AB\n\nC\n\n\r", "AB\r\n\r\nC\r\n\r\n\r", {2, 3}},
        {"\r\r\n\n\r", "\r\r\n\r\n\r", {}},
        {"AB\n\a\rC", "AB\r\n\a\rC", {}},  // a bell prints nothing
        {"AB\n\a C", "AB\r\n\a C", {2}},
        {"\xC9\n", "\xC9\r\n", {1}},
    };
    for (const auto& [text, crLf, lone] : cases) {
        EXPECT_EQ(LoneLfToCrLf(text), crLf) << testing::PrintToString(text);
        EXPECT_EQ(LoneLineFeeds(text), lone) << testing::PrintToString(text);
        LoneLineFeedFinder finder;
        std::vector<std::size_t> found;
        for (const char& c : text)
            finder.Scan(std::string_view(&c, 1), found);
        EXPECT_EQ(found, lone) << testing::PrintToString(text) << " in pieces";
    }
}

std::string Decode(const Bytes& wire, std::size_t block) {
    BaudotDecoder d;
    std::string out;
    for (std::size_t pos = 0; pos < wire.size(); pos += block) {
        Bytes b(wire.begin() + pos, wire.begin() + std::min(pos + block, wire.size()));
        const std::int32_t n = d.Decode(b.data(), static_cast<std::int32_t>(b.size()));
        out.append(b.begin(), b.begin() + n);
    }
    return out;
}

TEST(BaudotDecoder, DecodesWholeAndCodeByCode) {
    const std::pair<Bytes, std::string> cases[] = {
        {{27, 1, 4, 1}, "3 E"}, {{27, 1, 2, 1}, "3\nE"},          {{27, 1, 8, 1}, "3\rE"},
        {{27, 1, 0, 1}, "33"},  {{31, 3, 27, 3}, "A-"},           {{27, 5, 6, 30}, "\a8;"},
        {{0x41}, "E"},          {{0xFB, 0xE1, 0xFF, 0xE1}, "3E"}, {{0, 27, 31, 0, 31, 27}, ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(Decode(in, in.size()), out) << testing::PrintToString(in);
        EXPECT_EQ(Decode(in, 1), out) << testing::PrintToString(in) << " code by code";
    }
}

}  // namespace
}  // namespace tavirel
