// Line ends for the line. The desktop's clipboard ends lines with LF alone; a
// teleprinter needs CR LF, or a pasted paragraph prints as a staircase.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavirel {

// Puts a CR before every LF that does not already follow one.
std::string LoneLfToCrLf(std::string_view text);

// Finds the lone line feeds: those that feed the paper while the carriage is
// away from the margin, with no CR before the next character that prints (or
// none at all). The lines after each creep right as a staircase. Bytes below
// 32 other than CR and LF print nothing and move nothing. Takes the text in
// pieces, in order, with the same list each time; positions count from the
// start of the whole. After the last piece the list is complete.
class LoneLineFeedFinder {
  public:
    LoneLineFeedFinder() = default;
    // Starts with the carriage away from the margin or not, and no line feed
    // before waiting on what follows: a layout that starts again part way
    // through, at a row whose feeds are settled.
    explicit LoneLineFeedFinder(bool away) : away_(away) {}

    void Scan(std::string_view piece, std::vector<std::size_t>& found);
    // One byte, for a text whose positions are not one a byte.
    void Put(char c, std::size_t at, std::vector<std::size_t>& found);

    // Whether the line feeds last found wait on the next character.
    bool Waiting() const { return judging_; }
    // Whether a byte settles the line feeds that wait on it: a CR or a
    // character that prints.
    static bool Decides(char c) { return c == '\r' || static_cast<unsigned char>(c) >= 32; }

  private:
    std::size_t position_ = 0;
    bool away_ = false;
    // The line feeds in found from judged_ on wait for the next character:
    // a CR takes them out again.
    bool judging_ = false;
    std::size_t judged_ = 0;
};

// The positions of the lone line feeds of a whole text.
std::vector<std::size_t> LoneLineFeeds(std::string_view text);

}  // namespace tavirel
