#include "picture/paper.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "code/line_ends.h"
#include "picture/picture_file.h"
#include "tests/support/files.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;

// A paper in brief: its rows by their last strikes ("!" past the margin),
// the lone line feeds, where sending stops, the codes on the line and the
// shifts among them, and how many rows ran past the margin.
std::string Brief(const Paper& paper) {
    std::ostringstream out;
    for (std::size_t r = 0; r < paper.rows.size(); ++r)
        out << (r ? "|" : "") << paper.RowText(r) << (paper.rows[r].pastPlaten ? "!" : "");
    out << "; lone";
    for (const std::size_t at : paper.loneLineFeeds)
        out << " " << at;
    if (paper.stop)
        out << "; stop " << *paper.stop;
    out << "; " << paper.lineCodes << " codes, " << paper.shifts << " shifts";
    if (paper.rowsPastPlaten > 0)
        out << "; " << paper.rowsPastPlaten << " past";
    return out.str();
}

// Overstrikes land on the same cells. The carriage stops at the margin: what
// follows piles up in the last column and marks the row, but blanks past it
// print nothing and mark nothing. Line feeds without a CR make a staircase;
// those followed by a CR (in either order) or fed at the margin do not. The
// sender adds the shifts; ASCII sends one byte a character. Sending stops at
// the first character the file holds as 0.
TEST(PaperTest, LaysOutTheRowsAndTheCodesOnTheLine) {
    const struct {
        std::u16string text;
        int columns;
        bool baudot;
        std::string brief;
    } cases[] = {
        {u"AB<<\r\nC-<<^\r\n E", 72, true, "C-| E; lone; 14 codes, 3 shifts"},
        {u"ABCDEF<^ABCD      <^XY", 4, true, "ABCF!|ABCD|XY; lone; 23 codes, 1 shifts; 1 past"},
        {std::u16string(100, u'M'), 8, true, "MMMMMMMM!; lone; 101 codes, 1 shifts; 1 past"},
        {u"AB^\r\nCD^\r\nEF<^^GH^<IJ^", 72, true,
         "AB|  CD|    EF||GH|IJ|; lone 2 7 21; 19 codes, 1 shifts"},
        {u"A1 B", 72, true, "A1 B; lone; 7 codes, 3 shifts"},
        {u"A1 B\r\n", 72, false, "A1 B; lone; 4 codes, 0 shifts"},
        {u"AB\r\n<^C%D\U0001F41F^E", 72, true, "AB|C; lone; stop 7; 6 codes, 1 shifts"},
    };
    for (const auto& c : cases) {
        const Paper paper = LayOutPaper(c.text, {c.columns, c.baudot, 10ns});
        EXPECT_EQ(Brief(paper), c.brief) << testing::PrintToString(c.text);
        EXPECT_EQ(paper.printTime, paper.lineCodes * 10ns) << testing::PrintToString(c.text);
    }
}

// Layer k holds the k-th strike of each cell; a cell struck again and again
// stays one cell of solid ink.
TEST(PaperTest, StrikesOnOneCellStackInLayers) {
    const struct {
        std::u16string text;
        std::size_t row, layers;
        std::string last;
    } cases[] = {
        {u"AB<<\r\nC-<<^\r\n E", 0, 2, "C-  "},
        {u"AB<<\r\nC-<<^\r\n E", 1, 1, " E  "},
        {u"ABCDEF<^ABCD      <^XY", 0, 3, "   F"},
        {std::u16string(100, u'M'), 0, Paper::kMaxLayers, "   M"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> layers = LayOutPaper(c.text, {4, true, {}}).Layers(c.row);
        ASSERT_EQ(layers.size(), c.layers) << testing::PrintToString(c.text) << " row " << c.row;
        EXPECT_EQ(layers.back(), c.last) << testing::PrintToString(c.text) << " row " << c.row;
    }
}

struct Text : TextReader {
    std::u16string text;
    std::size_t Size() const override { return text.size(); }
    // Short pieces, so the layout's reading crosses their ends.
    std::u16string_view From(std::size_t from) override {
        return std::u16string_view(text).substr(from, 5);
    }
};

// Lays out an edit that kept the text's first `prefix` and last `suffix`
// characters: the paper is what a whole layout gives, with as many lone line
// feeds as Send File asks about in the saved picture (sent up to its first
// 0), and the preview repaints only the rows said to have changed.
void ExpectEdit(PaperLayout& layout, Text& text, const PrintOptions& options, std::size_t prefix,
                std::size_t suffix, const std::string& what) {
    const std::vector<PaperRow> before = layout.paper().rows;
    const PaperLayout::Changed changed = layout.Edit(text, options, prefix, suffix);
    const Paper whole = LayOutPaper(text.text, options);
    EXPECT_EQ(Brief(layout.paper()), Brief(whole)) << what;
    EXPECT_TRUE(layout.paper() == whole) << what;  // every strike, and where each row begins
    const std::string file = FileFromDisplay(text.text);
    EXPECT_EQ(whole.loneLineFeeds.size(), LoneLineFeeds(file.substr(0, file.find('\0'))).size())
        << what;
    const std::vector<PaperRow>& rows = layout.paper().rows;
    EXPECT_TRUE(!changed.end || rows.size() == before.size()) << what;
    for (std::size_t r = 0; r < std::min(rows.size(), before.size()); ++r) {
        EXPECT_TRUE((r >= changed.first && r < changed.end.value_or(rows.size())) ||
                    rows[r].strikes == before[r].strikes)
            << what << ", row " << r;
    }
}

// Each edit (`removed` characters at `at` give way to `inserted`) and its
// undo, laid out again from the rows it reaches, gives what the whole text
// gives, on a platen of 8 columns, with and without the shifts.
TEST(PaperLayoutTest, AnEditLaidOutAgainMatchesTheWholeLayout) {
    const struct {
        const char* name;
        std::u16string text;
        std::size_t at, removed;
        std::u16string inserted;
    } cases[] = {
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
        for (const auto& c : cases) {
            const PrintOptions options{8, baudot, 10ns};
            const std::string what = std::string(c.name) + (baudot ? " (BAUDOT)" : " (ASCII)");
            Text text;
            text.text = c.text;
            PaperLayout layout;
            layout.LayOut(text, options);
            text.text.replace(c.at, c.removed, c.inserted);
            ExpectEdit(layout, text, options, c.at, c.text.size() - c.at - c.removed, what);
            text.text = c.text;
            ExpectEdit(layout, text, options, c.at, c.text.size() - c.at - c.removed,
                       what + ", undone");
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
        const std::size_t size = t.size(), percent = t.find(u'%');
        std::size_t at = random() % (size + 1), kept = 0;
        if (edit % 10 == 9 && percent != std::u16string::npos) {
            // Several edits before one layout: every "%" taken out.
            at = percent;
            kept = size - t.rfind(u'%') - 1;
            std::erase(t, u'%');
        } else {
            const std::size_t removed = std::min<std::size_t>(random() % 4, size - at);
            kept = size - at - removed;
            t.replace(at, removed, random() % 3 == 0 ? u"" : pieces[random() % std::size(pieces)]);
        }
        ExpectEdit(layout, text, options, at, kept, "edit " + std::to_string(edit));
    }
}

}  // namespace
}  // namespace tavirel
