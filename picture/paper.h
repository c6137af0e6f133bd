// The paper a teleprinter prints a picture on, worked out from the editor's
// text: where every strike lands, how many codes go on the line and how long
// that takes. The preview window draws it; nothing here needs a toolkit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavirel {

struct PrintOptions {
    int columns = 72;  // the platen's width in characters, 1 to Paper::kMaxColumns
    // The line carries ITA2 with the letters and figures shifts the sender
    // adds; otherwise one byte per character.
    bool baudot = true;
    std::chrono::nanoseconds characterTime{};  // one character on the line
};

// A character struck on the paper and the cell it landed in.
struct Strike {
    std::uint8_t column = 0;
    char character = ' ';
    bool operator==(const Strike&) const = default;
};

struct PaperRow {
    // Every character struck on the row, in the order struck (blanks strike
    // nothing): a few bytes a character, however wide the platen.
    std::vector<Strike> strikes;
    bool pastPlaten = false;  // characters ran past the margin and piled up in the last column

    // Where the row's characters begin in the text, the carriage and the
    // sender's shift there, and the codes the row puts on the line (its line
    // feed included): an edit is laid out again from the start of a row.
    std::size_t begin = 0;
    int reach = 0;  // how far the carriage is from the margin, at most the platen's width
    std::int32_t shift = 0;
    std::size_t lineCodes = 0;
    std::size_t shifts = 0;

    bool operator==(const PaperRow&) const = default;
};

struct Paper {
    // Past this many strikes a cell is solid ink and further strikes add
    // nothing to see.
    static constexpr std::size_t kMaxLayers = 12;
    static constexpr int kMaxColumns = 255;

    int columns = 72;
    std::vector<PaperRow> rows;  // every row the carriage reached, from the first
    std::size_t lineCodes = 0;   // codes (or bytes) on the line, shifts included
    std::size_t shifts = 0;      // of which letters and figures shifts
    std::chrono::nanoseconds printTime{};
    std::size_t rowsPastPlaten = 0;
    // Positions in the editor's text of each "^" that feeds the paper while
    // the carriage is away from the margin, with no CR before the next
    // character: the rest of the picture creeps right as a staircase.
    std::vector<std::size_t> loneLineFeeds;
    // Position of the first character the picture file holds as 0 (one the
    // machine cannot print): sending stops there, and the paper shows only
    // what comes before it.
    std::optional<std::size_t> stop;

    // The last character struck in each cell of a row, blank where none:
    // what a glance at the paper reads. `columns` wide.
    std::string Top(std::size_t row) const;
    // Layer k holds the k-th strike of each cell of a row (blank where a
    // cell has fewer), at most kMaxLayers of them, so each layer can be
    // inked in one pass.
    std::vector<std::string> Layers(std::size_t row) const;
    // A row as the simulated machine reports it: last strikes, trailing
    // blanks trimmed.
    std::string RowText(std::size_t row) const;

    bool operator==(const Paper&) const = default;
};

// The editor's text read forward a piece at a time, so that a large picture
// is not copied whole for every key.
class TextReader {
  public:
    virtual ~TextReader() = default;
    virtual std::size_t Size() const = 0;
    // The text from position `from` on: at least one character when from is
    // inside the text. Valid until the next call.
    virtual std::u16string_view From(std::size_t from) = 0;
};

// The paper kept up to date with an editor's text: after an edit only the
// rows it can change are laid out again, and the rest is moved along. The
// result is always what a layout of the whole text gives.
class PaperLayout {
  public:
    // The rows a layout changed, from `first`; to `end` when the rows after
    // them stayed where they were, to the last row when they moved.
    struct Changed {
        std::size_t first = 0;
        std::optional<std::size_t> end;
    };

    // Lays out the whole text.
    Changed LayOut(TextReader& text, const PrintOptions& options);
    // After edits that left the text's first `prefix` and last `suffix`
    // characters as they were at the last layout. New columns or a new code
    // mode lay out the whole text.
    Changed Edit(TextReader& text, const PrintOptions& options, std::size_t prefix,
                 std::size_t suffix);

    const Paper& paper() const { return paper_; }
    // The paper, moved out; the next layout is a whole one.
    Paper TakePaper();

  private:
    Changed Run(TextReader& text, std::size_t prefix, std::size_t suffix);
    void Sum();

    Paper paper_;
    PrintOptions options_;
    std::size_t length_ = 0;  // of the text last laid out
    bool laidOut_ = false;
};

// Prints the editor's text (the form FileFromDisplay saves) on paper.
Paper LayOutPaper(std::u16string_view text, const PrintOptions& options);

}  // namespace tavirel
