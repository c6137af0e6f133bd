#include "picture/paper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavirel {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Rows(const Paper& paper) {
    std::vector<std::string> rows;
    for (std::size_t r = 0; r < paper.rows.size(); ++r)
        rows.push_back(paper.RowText(r));
    return rows;
}

TEST(PaperTest, OverstrikesLandOnTheSameCellsInLayers) {
    const Paper paper = LayOutPaper(u"AB<<\r\nC-<<^\r\n E", {});
    EXPECT_EQ(Rows(paper), (std::vector<std::string>{"C-", " E"}));
    ASSERT_EQ(paper.rows[0].layers.size(), 2u);
    EXPECT_EQ(paper.rows[0].layers[0].substr(0, 3), "AB ");
    EXPECT_EQ(paper.rows[0].layers[1].substr(0, 3), "C- ");
    EXPECT_EQ(paper.rows[1].layers.size(), 1u);
    EXPECT_TRUE(paper.loneLineFeeds.empty());
    EXPECT_EQ(paper.rowsPastPlaten, 0u);
}

// The carriage stops at the margin: what follows piles up in the last column
// and marks the row; blanks past the margin print nothing and mark nothing.
TEST(PaperTest, CharactersPastTheMarginPileUpInTheLastColumn) {
    const Paper paper = LayOutPaper(u"ABCDEF<^ABCD      <^XY", {4, true, 0ns});
    EXPECT_EQ(Rows(paper), (std::vector<std::string>{"ABCF", "ABCD", "XY"}));
    EXPECT_EQ(paper.rows[0].layers.size(), 3u);
    EXPECT_EQ(paper.rows[0].layers[2], "   F");
    EXPECT_TRUE(paper.rows[0].pastPlaten);
    EXPECT_FALSE(paper.rows[1].pastPlaten);
    EXPECT_EQ(paper.rowsPastPlaten, 1u);

    // A cell struck again and again stays one cell of solid ink.
    const Paper pile = LayOutPaper(std::u16string(100, u'M'), {8, true, 0ns});
    EXPECT_EQ(pile.rows[0].layers.size(), Paper::kMaxLayers);
    EXPECT_EQ(pile.RowText(0), "MMMMMMMM");
}

// Line feeds without a carriage return make a staircase; those followed by a
// CR (in either order) or fed at the margin do not.
TEST(PaperTest, LineFeedsWithoutCarriageReturnAreFoundWhereTheyAre) {
    const std::u16string text = u"AB^\r\nCD^\r\nEF<^^GH^<IJ^";
    const Paper paper = LayOutPaper(text, {});
    EXPECT_EQ(Rows(paper), (std::vector<std::string>{"AB", "  CD", "    EF", "", "GH", "IJ", ""}));
    EXPECT_EQ(paper.loneLineFeeds, (std::vector<std::size_t>{2, 7, 21}));
    for (std::size_t at : paper.loneLineFeeds)
        EXPECT_EQ(text[at], u'^');
}

// A, 1, space, B: the sender adds LTRS, FIGS and LTRS; one byte each without
// the code.
TEST(PaperTest, CountsTheCodesOnTheLineAndTheirTime) {
    const auto charTime = 7500000000ns / 45;
    const Paper baudot = LayOutPaper(u"A1 B", {72, true, charTime});
    EXPECT_EQ(baudot.lineCodes, 7u);
    EXPECT_EQ(baudot.shifts, 3u);
    EXPECT_EQ(baudot.printTime, 7 * charTime);
    const Paper ascii = LayOutPaper(u"A1 B\r\n", {72, false, charTime});
    EXPECT_EQ(ascii.lineCodes, 4u);
    EXPECT_EQ(ascii.shifts, 0u);
}

// The file holds 0 for a character the machine cannot print, and sending
// stops at the first 0: nothing after it reaches the paper or the line.
TEST(PaperTest, SendingStopsAtTheFirstCharacterOutsideTheSet) {
    const Paper paper = LayOutPaper(u"AB\r\n<^C%D\U0001F41F^E", {});
    ASSERT_TRUE(paper.stop.has_value());
    EXPECT_EQ(*paper.stop, 7u);
    EXPECT_EQ(Rows(paper), (std::vector<std::string>{"AB", "C"}));
    EXPECT_EQ(paper.lineCodes, 6u);  // LTRS A B CR LF C
    EXPECT_FALSE(LayOutPaper(u"AB", {}).stop.has_value());
}

}  // namespace
}  // namespace tavirel
