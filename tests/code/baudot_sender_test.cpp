#include "code/baudot_sender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "code/ita2.h"

namespace tavirel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The line as a machine would see it: every Encode's bytes in order.
Bytes EncodeAll(BaudotSender& sender, const std::vector<int>& chars) {
    Bytes line;
    for (const int ch : chars) {
        const BaudotCodes codes = sender.Encode(ch);
        line.insert(line.end(), codes.bytes.begin(), codes.bytes.begin() + codes.count);
    }
    return line;
}

struct SequenceCase {
    const char* name;
    std::vector<int> prefix;  // sets the shift; its bytes are not checked
    std::vector<int> chars;
    Bytes expected;
};

// Named in test output, rather than dumped as raw bytes.
void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class BaudotSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(BaudotSequence, SendsShiftOnlyWhenItChanges) {
    const SequenceCase& c = GetParam();
    BaudotSender sender;
    EncodeAll(sender, c.prefix);
    EXPECT_EQ(EncodeAll(sender, c.chars), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shifts, BaudotSequence,
    ::testing::Values(
        SequenceCase{"MixedLine", {}, {'A', '1', ' ', 'B'}, {31, 3, 27, 23, 31, 4, 25}},
        SequenceCase{"LettersStayLetters", {}, {'A', 'B'}, {31, 3, 25}},
        SequenceCase{"CarriageReturnUnshifts", {'1'}, {'\r', '\n'}, {31, 8, 2}},
        SequenceCase{"SpaceUnshifts", {'1'}, {' '}, {31, 4}},
        SequenceCase{"LowerCaseAsCapitals", {}, {'q'}, {31, 23}},
        // ESC and US are the shift codes themselves: the first one is both.
        SequenceCase{"EscapeFromLetters", {'A'}, {27, 27}, {27, 27, 27}},
        SequenceCase{"UnitSeparatorFromFigures", {'1'}, {31, 31}, {31, 31, 31}},
        SequenceCase{"LineFeedKeepsFigures", {'1'}, {'\n', '2'}, {2, 19}},
        SequenceCase{"NulKeepsFigures", {'1'}, {0, '3'}, {0, 1}},
        SequenceCase{"NulKeepsLetters", {'A'}, {0, 'E'}, {0, 1}},
        SequenceCase{"BellFromLetters", {'A'}, {7}, {27, 5}},
        SequenceCase{"UncodedLeavesShift", {'A'}, {'%', 'B'}, {25}}),
    [](const ::testing::TestParamInfo<SequenceCase>& row) { return std::string(row.param.name); });

TEST(BaudotSender, FirstShiftIsAlwaysSent) {
    // Nothing is known about the machine before the first shift.
    BaudotSender letters;
    EXPECT_EQ(EncodeAll(letters, {'E'}), (Bytes{31, 1}));
    BaudotSender figures;
    EXPECT_EQ(EncodeAll(figures, {'3'}), (Bytes{27, 1}));
    BaudotSender space;
    EXPECT_EQ(EncodeAll(space, {' '}), (Bytes{31, 4}));
}

TEST(BaudotSender, UnshiftedCodesLeaveNoShiftRecorded) {
    BaudotSender sender;
    EXPECT_EQ(EncodeAll(sender, {'\n', 0}), (Bytes{2, 0}));
    EXPECT_EQ(sender.lastShiftSent, 0);
}

TEST(BaudotSender, CharactersWithoutCodeSendNothing) {
    for (const int ch :
         std::initializer_list<int>{'%', '_', '`', '{', 127, 128, 200, 255, -23, -1}) {
        BaudotSender sender;
        const BaudotCodes codes = sender.Encode(ch);
        EXPECT_EQ(codes.count, 0) << ch;
        EXPECT_FALSE(codes.carriageReturn) << ch;
        EXPECT_EQ(sender.lastShiftSent, 0) << ch;
    }
}

TEST(BaudotSender, OnlyCarriageReturnIsFlagged) {
    BaudotSender sender;
    EXPECT_TRUE(sender.Encode('\r').carriageReturn);
    EXPECT_TRUE(sender.Encode('\r').carriageReturn);  // also without a shift
    for (const int ch : std::initializer_list<int>{'\n', ' ', 'A', '1', 31, 0})
        EXPECT_FALSE(sender.Encode(ch).carriageReturn) << ch;
}

}  // namespace
}  // namespace tavirel
