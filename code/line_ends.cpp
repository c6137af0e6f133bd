#include "code/line_ends.h"

namespace tavirel {

std::string LoneLfToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    char previous = '\0';
    for (const char c : text) {
        if (c == '\n' && previous != '\r')
            out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

void LoneLineFeedFinder::Scan(std::string_view piece, std::vector<std::size_t>& found) {
    for (const char c : piece)
        Put(c, position_, found);
}

void LoneLineFeedFinder::Put(char c, std::size_t at, std::vector<std::size_t>& found) {
    position_ = at + 1;
    if (c == '\n') {
        // At the margin a feed only moves the paper up.
        if (away_) {
            if (!judging_)
                judged_ = found.size();
            judging_ = true;
            found.push_back(at);
        }
    } else if (Decides(c)) {
        if (judging_ && c == '\r')
            found.resize(judged_);
        judging_ = false;
        away_ = c != '\r';
    }
}

std::vector<std::size_t> LoneLineFeeds(std::string_view text) {
    std::vector<std::size_t> found;
    LoneLineFeedFinder finder;
    finder.Scan(text, found);
    return found;
}

}  // namespace tavirel
