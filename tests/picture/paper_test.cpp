#include "picture/paper.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "code/line_ends.h"
#include "picture/picture_file.h"
#include "tests/support/files.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;

// Rows by their last strikes, "!" past the margin, [layers] where strikes stack up.
std::string Brief(const Paper& paper) {
    std::ostringstream out;
    for (std::size_t r = 0; r < paper.rows.size(); ++r) {
        out << (r ? "|" : "") << paper.RowText(r) << (paper.rows[r].pastPlaten ? "!" : "");
        std::vector<std::string> layers = paper.Layers(r);
        for (std::size_t k = 0; k < layers.size() && layers.size() > 1; ++k)
            out << (k ? "/" : "[") << layers[k].erase(layers[k].find_last_not_of(' ') + 1);
        out << (layers.size() > 1 ? "]" : "");
    }
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

TEST(PaperTest, LaysOutTheRowsAndTheCodesOnTheLine) {
    const std::tuple<std::u16string, int, bool, std::string> cases[] = {
        {u"AB<<\r\nC-<<^\r\n E", 72, true, "C-[AB/C-]| E; lone; 14 codes, 3 shifts"},
        {u"ABCDEF<^ABCD      <^XY", 4, true,
         "ABCF![ABCD/   E/   F]|ABCD|XY; lone; 23 codes, 1 shifts; 1 past"},
        {std::u16string(100, u'M'), 2, true,
         "MM![MM/ M/ M/ M/ M/ M/ M/ M/ M/ M/ M/ M]; lone; 101 codes, 1 shifts; 1 past"},
        {u"AB^\r\nCD^\r\nEF<^^GH^<IJ^", 72, true,
         "AB|  CD|    EF||GH|IJ|; lone 2 7 21; 19 codes, 1 shifts"},
        {u"A1 B", 72, true, "A1 B; lone; 7 codes, 3 shifts"},
        {u"A1 B\r\n", 72, false, "A1 B; lone; 4 codes, 0 shifts"},
        {u"AB\r\n<^C%D\U0001F41F^E", 72, true, "AB|C; lone; stop 7; 6 codes, 1 shifts"},
    };
    for (const auto& [text, columns, baudot, brief] : cases) {
        const Paper paper = LayOutPaper(text, {columns, baudot, 10ns});
        EXPECT_EQ(Brief(paper), brief) << testing::PrintToString(text);
        EXPECT_EQ(paper.printTime, paper.lineCodes * 10ns) << testing::PrintToString(text);
    }
}

struct Text : TextReader {
    explicit Text(std::u16string_view t) : text(t) {}
    std::u16string text;
    std::size_t Size() const override { return text.size(); }
    // Short pieces, so the layout's reading crosses their ends.
    std::u16string_view From(std::size_t from) override {
        return std::u16string_view(text).substr(from, 5);
    }
};

// An edit that kept the first `prefix` and last `suffix` characters lays out
// as the whole does, with the lone line feeds Send File finds, and only the
// rows said to have changed differ.
void ExpectEdit(PaperLayout& layout, Text& text, const PrintOptions& options, std::size_t prefix,
                std::size_t suffix, const std::string& what) {
    const std::vector<PaperRow> before = layout.paper().rows;
    const PaperLayout::Changed changed = layout.Edit(text, options, prefix, suffix);
    const Paper whole = LayOutPaper(text.text, options);
    EXPECT_TRUE(layout.paper() == whole) << what;
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

// Text, at, removed, inserted; each edit and its undo.
TEST(PaperLayoutTest, AnEditLaidOutAgainMatchesTheWholeLayout) {
    const std::tuple<std::u16string, std::size_t, std::size_t, std::u16string> cases[] = {
        {u"AB<^CD<^EF", 0, 0, u"X"},      {u"AB<^CD<^EF", 0, 1, u""},
        {u"AB<^CD<^EF<^GH", 5, 0, u"Q"},  {u"AB<^CD<^EF", 9, 1, u""},
        {u"AB<^CD<^EF", 10, 0, u"GH<^"},  {u"AB<^CD<^EF", 2, 2, u""},
        {u"ABCD<^EF", 2, 0, u"^"},        {u"ABCDEFG<^HI<^", 7, 0, u"XYZ"},
        {u"AB<<\r\nCD<^EF", 1, 0, u"XX"}, {u"AB^^^<CD^E", 5, 1, u""},
        {u"AB^\r\n^\r\nCD", 7, 0, u"<"},  {u"AB<^CD<^EF", 5, 0, u"%"},
        {u"AB<^CD", 4, 0, u"\U0001F41F"}, {u"AB\U0001F41F<^CD", 3, 1, u""},
        {u"AB<^CD", 4, 0, u"\r\n"},       {u"A1^\r\n2B<^C", 2, 0, u"X"},
        {u"AB^CD^EF^GH", 0, 0, u"X"},     {u"AB<^CD", 0, 0, u"<^"},
        {u"AB^^<CD^E", 0, 1, u"X"},       {u"AB^^<CD", 4, 0, u"\a"},
    };
    for (const bool baudot : {true, false}) {
        for (const auto& [before, at, removed, inserted] : cases) {
            const PrintOptions options{8, baudot, 10ns};
            const std::string what = testing::PrintToString(before) + " at " + std::to_string(at) +
                                     (baudot ? " (BAUDOT)" : " (ASCII)");
            Text text(before);
            PaperLayout layout;
            layout.LayOut(text, options);
            text.text.replace(at, removed, inserted);
            ExpectEdit(layout, text, options, at, before.size() - at - removed, what);
            text.text = before;
            ExpectEdit(layout, text, options, at, before.size() - at - removed, what + ", undone");
        }
    }
}

TEST(PaperLayoutTest, RandomEditsToRealPicturesMatchTheWholeLayout) {
    std::string file;
    for (const char* name : {"overstrike/emoji_fish_ita2.txt", "plain/art-01-003.txt"})
        file += test::ReadFile(std::string(TAVIREL_TESTDATA "/") + name);
    const std::string display = DisplayFromFile(file);
    Text text(std::u16string(display.begin(), display.end()));
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
