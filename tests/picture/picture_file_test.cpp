#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tavirel {
namespace {

using namespace std::string_literals;

// The set written out here rather than derived from the code tables.
TEST(PictureFileTest, FilterKeepsExactlyWhatTheMachinePrints) {
    const std::string set = " !\"#$&'(),-./0123456789:;?ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    for (int c = -300; c < 300; ++c) {
        const int upper = c >= 'a' && c <= 'z' ? c - 32 : c;
        int expected = upper == '<' ? 13 : upper == '^' ? 10 : 0;
        if (c > 0 && c < 128 && set.find(static_cast<char>(upper)) != std::string::npos)
            expected = upper;
        EXPECT_EQ(PictureCharFilter(c), expected) << "value " << c;
    }
}

TEST(PictureFileTest, LoadShowsEveryCarriageReturnAndLineFeed) {
    const std::pair<std::string, std::string> cases[] = {
        {"AB\r\n", "AB<<^\r\n"},
        {"AB\r\r\n\0"s, "AB<<^\r\n"},
        {"AB\rCD\r\r\n", "AB<<\r\nCD<<^\r\n"},
        {"\rAB", "<\r\nAB"},
        {"\n\r", "^\r\n<<\r\n"},
        {"X\r", "X<<\r\n"},
        {"ab%c", "ABC"},
        {"A<B", "A<<\r\nB"},
        {"to\tbe\x80\xff_{}", "TOBE"},
        {"", ""},
    };
    for (const auto& [file, display] : cases)
        EXPECT_EQ(DisplayFromFile(file), display) << "file " << testing::PrintToString(file);
}

TEST(PictureFileTest, SaveWritesOneBytePerCharacterAndAFinalZero) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"a%b", "A\0B\0"s},
        {u"", "\0"s},
        {u"AB\nCD", "ABCD\0"s},
        {u"AB\r\nCD", "ABCD\0"s},
        {u"AB<^CD", "AB\r\nCD\0"s},
        {u"AB<<^\r\n", "AB\r\r\n\0"s},
        {u"A\u00e9B\U0001F41FC", "A\0B\0C\0"s},
    };
    for (const auto& [display, file] : cases)
        EXPECT_EQ(FileFromDisplay(display), file) << testing::PrintToString(display);
}

}  // namespace
}  // namespace tavirel
