// The paper a teleprinter prints a picture on, worked out from the editor's
// text: where every strike lands, how many codes go on the line and how long
// that takes. The preview window draws it; nothing here needs a toolkit.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavirel {

struct PrintOptions {
    int columns = 72;  // the platen's width in characters
    // The line carries ITA2 with the letters and figures shifts the sender
    // adds; otherwise one byte per character.
    bool baudot = true;
    std::chrono::nanoseconds characterTime{};  // one character on the line
};

struct PaperRow {
    // The last character struck in each cell, blank where none: what a
    // glance at the paper reads.
    std::string top;
    // Layer k holds the k-th strike of each cell (blank where a cell has
    // fewer), so each layer can be inked in one pass. Past kMaxLayers a cell
    // is solid ink and further strikes add nothing to see.
    std::vector<std::string> layers;
    bool pastPlaten = false;  // characters ran past the margin and piled up in the last column
};

struct Paper {
    static constexpr std::size_t kMaxLayers = 12;

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

    // A row as the simulated machine reports it: last strikes, trailing
    // blanks trimmed.
    std::string RowText(std::size_t row) const;
};

// Prints the editor's text (the form FileFromDisplay saves) on paper.
Paper LayOutPaper(std::u16string_view text, const PrintOptions& options);

}  // namespace tavirel
