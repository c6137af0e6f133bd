#include "picture/paper.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "code/line_ends.h"
#include "picture/picture_file.h"
#include "tests/support/files.h"

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
    const std::vector<std::string> layers = paper.Layers(0);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].substr(0, 3), "AB ");
    EXPECT_EQ(layers[1].substr(0, 3), "C- ");
    EXPECT_EQ(paper.Layers(1).size(), 1u);
    EXPECT_TRUE(paper.loneLineFeeds.empty());
    EXPECT_EQ(paper.rowsPastPlaten, 0u);
}

// The carriage stops at the margin: what follows piles up in the last column
// and marks the row; blanks past the margin print nothing and mark nothing.
TEST(PaperTest, CharactersPastTheMarginPileUpInTheLastColumn) {
    const Paper paper = LayOutPaper(u"ABCDEF<^ABCD      <^XY", {4, true, 0ns});
    EXPECT_EQ(Rows(paper), (std::vector<std::string>{"ABCF", "ABCD", "XY"}));
    EXPECT_EQ(paper.Layers(0).size(), 3u);
    EXPECT_EQ(paper.Layers(0)[2], "   F");
    EXPECT_TRUE(paper.rows[0].pastPlaten);
    EXPECT_FALSE(paper.rows[1].pastPlaten);
    EXPECT_EQ(paper.rowsPastPlaten, 1u);

    // A cell struck again and again stays one cell of solid ink.
    const Paper pile = LayOutPaper(std::u16string(100, u'M'), {8, true, 0ns});
    EXPECT_EQ(pile.Layers(0).size(), Paper::kMaxLayers);
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

class Text : public TextReader {
  public:
    std::u16string text;
    std::size_t Size() const override { return text.size(); }
    // Short pieces, so the layout's reading crosses their ends.
    std::u16string_view From(std::size_t from) override {
        return std::u16string_view(text).substr(from, 5);
    }
};

void ExpectLaidOutWhole(const PaperLayout& layout, const std::u16string& text,
                        const PrintOptions& options, const std::string& what) {
    const Paper whole = LayOutPaper(text, options);
    const Paper& got = layout.paper();
    EXPECT_EQ(Rows(got), Rows(whole)) << what;
    EXPECT_EQ(got.loneLineFeeds, whole.loneLineFeeds) << what;
    // Send File asks about as many in the saved picture, sent up to its first 0.
    const std::string file = FileFromDisplay(text);
    EXPECT_EQ(got.loneLineFeeds.size(), LoneLineFeeds(file.substr(0, file.find('\0'))).size())
        << what;
    EXPECT_EQ(got.stop, whole.stop) << what;
    EXPECT_EQ(got.lineCodes, whole.lineCodes) << what;
    EXPECT_EQ(got.rowsPastPlaten, whole.rowsPastPlaten) << what;
    // Every strike, and where each row begins and in which state.
    EXPECT_TRUE(got == whole) << what;
}

// An edit: `removed` characters at `at` give way to `inserted`.
struct EditCase {
    const char* name;
    std::u16string text;
    std::size_t at;
    std::size_t removed;
    std::u16string inserted;
};

// Each edit, and its undo, laid out again from the rows it reaches gives
// what the whole text gives, on a platen of 8 columns, with and without the
// shifts.
TEST(PaperLayoutTest, AnEditLaidOutAgainMatchesTheWholeLayout) {
    const EditCase cases[] = {
        {"insert at the start", u"AB<^CD<^EF", 0, 0, u"X"},
        {"delete at the start", u"AB<^CD<^EF", 0, 1, u""},
        {"insert in the middle", u"AB<^CD<^EF<^GH", 5, 0, u"Q"},
        {"delete at the end", u"AB<^CD<^EF", 9, 1, u""},
        {"insert at the end", u"AB<^CD<^EF", 10, 0, u"GH<^"},
        {"delete across a CR LF", u"AB<^CD<^EF", 2, 2, u""},
        {"a line feed splits a row", u"ABCD<^EF", 2, 0, u"^"},
        {"past the margin", u"ABCDEFG<^HI<^", 7, 0, u"XYZ"},
        {"over a struck row", u"AB<<\r\nCD<^EF", 1, 0, u"XX"},
        {"a lone line feed's run loses its CR", u"AB^^^<CD^E", 5, 1, u""},
        {"at the start of a row of line feeds", u"AB^\r\n^\r\nCD", 7, 0, u"<"},
        {"a character the machine cannot print", u"AB<^CD<^EF", 5, 0, u"%"},
        {"a character beyond the first plane", u"AB<^CD", 4, 0, u"\U0001F41F"},
        {"half of a pair", u"AB\U0001F41F<^CD", 3, 1, u""},
        {"a display line break only", u"AB<^CD", 4, 0, u"\r\n"},
        {"figures carried into the next row", u"A1^\r\n2B<^C", 2, 0, u"X"},
        {"a staircase moved along", u"AB^CD^EF^GH", 0, 0, u"X"},
        {"a new line at the very start", u"AB<^CD", 0, 0, u"<^"},
        {"a character replaced before a line feed and CR", u"AB^^<CD^E", 0, 1, u"X"},
        // The bell is not in the set: sending stops before the CR.
        {"a bell between a line feed and its CR", u"AB^^<CD", 4, 0, u"\a"},
    };
    for (const bool baudot : {true, false}) {
        const PrintOptions options{8, baudot, std::chrono::nanoseconds(10)};
        for (const EditCase& c : cases) {
            const std::string what = std::string(c.name) + (baudot ? " (BAUDOT)" : " (ASCII)");
            Text text;
            text.text = c.text;
            PaperLayout layout;
            layout.LayOut(text, options);
            const Paper before = layout.paper();
            const std::u16string removed = text.text.substr(c.at, c.removed);
            text.text.replace(c.at, c.removed, c.inserted);
            const PaperLayout::Changed changed =
                layout.Edit(text, options, c.at, text.text.size() - c.at - c.inserted.size());
            ExpectLaidOutWhole(layout, text.text, options, what);
            // The preview repaints only the rows said to have changed.
            const std::vector<PaperRow>& rows = layout.paper().rows;
            const std::size_t end = changed.end.value_or(rows.size());
            EXPECT_TRUE(!changed.end || rows.size() == before.rows.size()) << what;
            for (std::size_t r = 0; r < rows.size() && r < before.rows.size(); ++r) {
                EXPECT_TRUE((r >= changed.first && r < end) ||
                            rows[r].strikes == before.rows[r].strikes)
                    << what << ", row " << r;
            }
            text.text.replace(c.at, c.inserted.size(), removed);
            layout.Edit(text, options, c.at, text.text.size() - c.at - removed.size());
            ExpectLaidOutWhole(layout, text.text, options, what + ", undone");
        }
    }
}

// Real pictures, overstruck and with bare line feeds, under a run of edits
// of every kind, each reported as the editor reports it.
TEST(PaperLayoutTest, RandomEditsToRealPicturesMatchTheWholeLayout) {
    std::string file;
    for (const char* name : {"overstrike/emoji_fish_ita2.txt", "plain/art-01-003.txt"})
        file += test::ReadFile(std::string(TAVIREL_TESTDATA "/") + name);
    const std::string display = DisplayFromFile(file);
    Text text;
    text.text.assign(display.begin(), display.end());
    ASSERT_GT(text.text.size(), 2000u);

    const std::u16string pieces[] = {u"X", u"<", u"^",     u"<^", u"\r\n", u"  ",
                                     u"1", u"%", u"AB CD", u"^^", u"<<",   u"\U0001F41F"};
    std::mt19937 random(7);
    const PrintOptions options{40, true, {}};
    PaperLayout layout;
    layout.LayOut(text, options);
    for (int edit = 0; edit < 400 && !HasFailure(); ++edit) {
        std::u16string& t = text.text;
        const std::size_t size = t.size();
        if (edit % 10 == 9 && t.find(u'%') != std::u16string::npos) {
            // Several edits before one layout: every "%" taken out.
            const std::size_t first = t.find(u'%');
            const std::size_t last = t.rfind(u'%');
            std::erase(t, u'%');
            layout.Edit(text, options, first, size - last - 1);
        } else {
            const std::size_t at = random() % (size + 1);
            const std::size_t removed = std::min<std::size_t>(random() % 4, size - at);
            const std::u16string inserted =
                random() % 3 == 0 ? u"" : pieces[random() % std::size(pieces)];
            t.replace(at, removed, inserted);
            layout.Edit(text, options, at, t.size() - at - inserted.size());
        }
        ExpectLaidOutWhole(layout, t, options, "edit " + std::to_string(edit));
    }
}

}  // namespace
}  // namespace tavirel
