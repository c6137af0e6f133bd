#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tavirel {
namespace {

using namespace std::string_literals;

// Every value from well below 0 to well above 255 against the set the
// machine prints, written out here rather than derived from the code tables.
TEST(PictureFileTest, FilterKeepsExactlyWhatTheMachinePrints) {
    const std::string set = " !\"#$&'(),-./0123456789:;?ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    for (int c = -300; c < 300; ++c) {
        int expected = 0;
        if (c >= 0 && c < 128) {
            const int upper = c >= 'a' && c <= 'z' ? c - 32 : c;
            if (upper == '<')
                expected = 13;
            else if (upper == '^')
                expected = 10;
            else if (set.find(static_cast<char>(upper)) != std::string::npos && upper != 0)
                expected = upper;
        }
        EXPECT_EQ(PictureCharFilter(c), expected) << "value " << c;
    }
}

TEST(PictureFileTest, LoadShowsEveryCarriageReturnAndLineFeed) {
    const struct {
        std::string file;
        std::string display;
    } cases[] = {
        {"AB\r\n", "AB<<^\r\n"},
        {"AB\r\r\n", "AB<<^\r\n"},
        {"AB\rCD\r\r\n", "AB<<\r\nCD<<^\r\n"},
        {"\rAB", "<\r\nAB"},
        {"\n\r", "^\r\n<<\r\n"},
        {"X\r", "X<<\r\n"},
        {"ab%c", "ABC"},
        {"A<B", "A<<\r\nB"},
        // Tabs and other characters outside the set vanish; so do bytes from 128 up.
        {"to\tbe\x80\xff_{}", "TOBE"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DisplayFromFile(c.file), c.display) << "file " << testing::PrintToString(c.file);
}

TEST(PictureFileTest, SaveWritesOneBytePerCharacterAndAFinalZero) {
    const struct {
        std::u16string display;
        std::string file;
    } cases[] = {
        {u"a%b", "A\0B\0"s},
        {u"", "\0"s},
        {u"AB\nCD", "ABCD\0"s},
        {u"AB\r\nCD", "ABCD\0"s},
        {u"AB<^CD", "AB\r\nCD\0"s},
        // Outside the set, however it is encoded: one 0 in its place.
        {u"A\u00e9B\U0001F41FC", "A\0B\0C\0"s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileFromDisplay(c.display), c.file);
}

// A lone CR is doubled by loading; the saved picture then loads and saves
// to the same bytes.
TEST(PictureFileTest, LoadAndSaveDoubleALoneCarriageReturnOnceOnly) {
    auto roundTrip = [](const std::string& file) {
        const std::string display = DisplayFromFile(file);
        return FileFromDisplay(std::u16string(display.begin(), display.end()));
    };
    const std::string once = roundTrip("AB\r\n");
    EXPECT_EQ(once, "AB\r\r\n\0"s);
    EXPECT_EQ(roundTrip(once), once);
}

}  // namespace
}  // namespace tavirel
