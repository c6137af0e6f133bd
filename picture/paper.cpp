#include "picture/paper.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "code/baudot_sender.h"
#include "code/line_ends.h"
#include "picture/picture_file.h"

namespace tavirel {

namespace {

constexpr char kCr = 13;
constexpr char kLf = 10;
constexpr int kBreak = -1;  // the editor's own line break: no byte in the file

// The text read forward, one piece of it at hand.
class Cursor {
  public:
    explicit Cursor(TextReader& text) : text_(text), size_(text.Size()) {}

    std::size_t Size() const { return size_; }

    char16_t At(std::size_t i) {
        if (i < start_ || i - start_ >= piece_.size()) {
            piece_ = text_.From(i);
            start_ = i;
            if (piece_.empty())  // a reader that breaks its word: the text ends here
                return u'\n';
        }
        return piece_[i - start_];
    }

    // The byte the picture file holds for the character at i (kBreak for
    // the editor's own line breaks, as FileFromDisplay has it); `next` is
    // where the following character begins.
    int Byte(std::size_t i, std::size_t& next) {
        const char16_t c = At(i);
        next = i + 1;
        if (c == u'\r' || c == u'\n')
            return kBreak;
        if (c >= 0xD800 && c <= 0xDBFF && next < size_) {
            const char16_t low = At(next);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++next;
                return 0;
            }
        }
        return c < 128 ? PictureCharFilter(c) : 0;
    }

  private:
    TextReader& text_;
    std::size_t size_;
    std::u16string_view piece_;
    std::size_t start_ = 0;
};

class ViewReader : public TextReader {
  public:
    explicit ViewReader(std::u16string_view text) : text_(text) {}
    std::size_t Size() const override { return text_.size(); }
    std::u16string_view From(std::size_t from) override { return text_.substr(from); }

  private:
    std::u16string_view text_;
};

// v[from, to) becomes `with`.
template <typename T>
void Replace(std::vector<T>& v, std::size_t from, std::size_t to, std::vector<T>&& with) {
    if (from == 0 && to == v.size()) {
        v = std::move(with);
        return;
    }
    const std::size_t common = std::min(to - from, with.size());
    std::move(with.begin(), with.begin() + static_cast<std::ptrdiff_t>(common),
              v.begin() + static_cast<std::ptrdiff_t>(from));
    const auto at = v.begin() + static_cast<std::ptrdiff_t>(from + common);
    if (with.size() > common)
        v.insert(at, std::make_move_iterator(with.begin() + static_cast<std::ptrdiff_t>(common)),
                 std::make_move_iterator(with.end()));
    else
        v.erase(at, v.begin() + static_cast<std::ptrdiff_t>(to));
}

// The row to lay out again from after an edit at `prefix`: the row the edit
// is in. A run of line feeds is told lone or not by the first character
// after it that decides, so start before any run that reaches the edit with
// nothing deciding between.
std::size_t FirstRow(const std::vector<PaperRow>& rows, Cursor& text, std::size_t prefix) {
    auto first = static_cast<std::size_t>(
        std::upper_bound(rows.begin(), rows.end(), prefix,
                         [](std::size_t at, const PaperRow& row) { return at < row.begin; }) -
        rows.begin() - 1);
    auto decided = [&text](std::size_t from, std::size_t to) {
        for (std::size_t i = from, next = 0; i < to; i = next) {
            const int byte = text.Byte(i, next);
            if (byte != kBreak && LoneLineFeedFinder::Decides(static_cast<char>(byte)))
                return true;
        }
        return false;
    };
    for (std::size_t limit = prefix; first > 0 && !decided(rows[first].begin, limit); --first)
        limit = rows[first].begin - 1;
    return first;
}

int Platen(int columns) {
    return std::clamp(columns, 1, Paper::kMaxColumns);
}

}  // namespace

std::string Paper::Top(std::size_t row) const {
    std::string top(static_cast<std::size_t>(columns), ' ');
    if (row < rows.size()) {
        for (const Strike& s : rows[row].strikes)
            top[s.column] = s.character;
    }
    return top;
}

std::vector<std::string> Paper::Layers(std::size_t row) const {
    std::vector<std::string> layers;
    if (row >= rows.size())
        return layers;
    std::array<std::size_t, kMaxColumns> struck{};
    for (const Strike& s : rows[row].strikes) {
        std::size_t& k = struck[s.column];
        if (k == kMaxLayers)
            continue;
        if (k == layers.size())
            layers.emplace_back(static_cast<std::size_t>(columns), ' ');
        layers[k++][s.column] = s.character;
    }
    return layers;
}

std::string Paper::RowText(std::size_t row) const {
    const std::string top = Top(row);
    return top.substr(0, top.find_last_not_of(' ') + 1);
}

PaperLayout::Changed PaperLayout::LayOut(TextReader& text, const PrintOptions& options) {
    options_ = options;
    paper_ = Paper{};
    paper_.columns = Platen(options.columns);
    paper_.rows.emplace_back();
    length_ = 0;
    laidOut_ = true;
    const Changed changed = Run(text, 0, 0);
    paper_.rows.shrink_to_fit();
    return changed;
}

PaperLayout::Changed PaperLayout::Edit(TextReader& text, const PrintOptions& options,
                                       std::size_t prefix, std::size_t suffix) {
    if (!laidOut_ || Platen(options.columns) != paper_.columns || options.baudot != options_.baudot)
        return LayOut(text, options);
    options_ = options;
    return Run(text, prefix, suffix);
}

Paper PaperLayout::TakePaper() {
    laidOut_ = false;
    return std::move(paper_);
}

PaperLayout::Changed PaperLayout::Run(TextReader& reader, std::size_t prefix, std::size_t suffix) {
    Cursor text(reader);
    std::vector<PaperRow>& rows = paper_.rows;
    const std::size_t size = text.Size();
    const std::size_t oldSize = length_;
    prefix = std::min(prefix, std::min(size, oldSize));
    suffix = std::min(suffix, std::min(size, oldSize) - prefix);
    length_ = size;
    // A position in the unchanged end, from the old text to the new.
    auto moved = [size, oldSize](std::size_t at) { return at + size - oldSize; };

    // Nothing changed, or nothing on the paper: nothing after the first
    // character the machine cannot print is on it.
    if ((size == oldSize && prefix + suffix == size) || (paper_.stop && *paper_.stop < prefix)) {
        Sum();
        return {rows.size(), rows.size()};
    }

    const std::size_t first = FirstRow(rows, text, prefix);
    const int columns = paper_.columns;
    BaudotSender sender;
    sender.lastShiftSent = rows[first].shift;
    int reach = rows[first].reach;
    std::vector<PaperRow> laid;
    laid.push_back({{}, false, rows[first].begin, reach, rows[first].shift, 0, 0});
    LoneLineFeedFinder finder(reach != 0);
    std::vector<std::size_t> lone;
    std::optional<std::size_t> stop;
    // Past the edit, a row that begins where an old one did, with the
    // carriage and the shift as they were, goes on as the old one did.
    std::size_t oldEnd = rows.size();
    bool joined = false;
    const std::size_t unchanged = size - suffix;

    std::size_t next = rows[first].begin;
    for (std::size_t i = next; i < size && !joined; i = next) {
        const int byte = text.Byte(i, next);
        if (byte == kBreak)
            continue;
        if (byte == 0) {
            stop = i;
            break;
        }
        const char c = static_cast<char>(byte);
        PaperRow& row = laid.back();
        if (options_.baudot) {
            const BaudotCodes codes = sender.Encode(c);
            row.lineCodes += static_cast<std::size_t>(codes.count);
            row.shifts += codes.count > 1 ? 1 : 0;
        } else {
            ++row.lineCodes;
        }
        finder.Put(c, i, lone);
        switch (c) {
            case kCr:
                reach = 0;
                break;
            case kLf: {
                const std::int32_t shift = sender.lastShiftSent.load();
                if (next >= unchanged) {
                    const std::size_t old = next + oldSize - size;
                    const auto same = std::lower_bound(
                        rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end(), old,
                        [](const PaperRow& r, std::size_t at) { return r.begin < at; });
                    joined = same != rows.end() && same->begin == old && same->reach == reach &&
                             same->shift == shift;
                    if (joined) {
                        oldEnd = static_cast<std::size_t>(same - rows.begin());
                        break;
                    }
                }
                laid.push_back({{}, false, next, reach, shift, 0, 0});
                break;
            }
            case ' ':
                reach = std::min(reach + 1, columns);
                break;
            default:
                // The carriage stops at the right margin, so what follows
                // lands there.
                row.strikes.push_back({static_cast<std::uint8_t>(std::min(reach, columns - 1)), c});
                row.pastPlaten = row.pastPlaten || reach >= columns;
                reach = std::min(reach + 1, columns);
                break;
        }
    }
    // The run of line feeds the layout joined the old one in is told by
    // what follows it, as before the edit; its feeds past the join are the
    // old layout's already.
    for (std::size_t j = next, after = 0; joined && finder.Waiting() && j < size; j = after) {
        const int byte = text.Byte(j, after);
        if (byte == 0)
            break;
        if (byte != kBreak && byte != kLf)
            finder.Put(static_cast<char>(byte), j, lone);
    }

    auto& feeds = paper_.loneLineFeeds;
    const auto keep = std::lower_bound(feeds.begin(), feeds.end(), rows[first].begin);
    const auto tail =
        joined ? std::lower_bound(keep, feeds.end(), rows[oldEnd].begin) : feeds.end();
    for (auto it = tail; it != feeds.end(); ++it)
        *it = moved(*it);
    Replace(feeds, static_cast<std::size_t>(keep - feeds.begin()),
            static_cast<std::size_t>(tail - feeds.begin()), std::move(lone));

    if (joined) {
        for (auto it = rows.begin() + static_cast<std::ptrdiff_t>(oldEnd); it != rows.end(); ++it)
            it->begin = moved(it->begin);
        if (paper_.stop)
            paper_.stop = moved(*paper_.stop);
    } else {
        paper_.stop = stop;
    }
    Changed changed{first, std::nullopt};
    if (joined && laid.size() == oldEnd - first)
        changed.end = first + laid.size();
    Replace(rows, first, oldEnd, std::move(laid));
    Sum();
    return changed;
}

void PaperLayout::Sum() {
    paper_.lineCodes = 0;
    paper_.shifts = 0;
    paper_.rowsPastPlaten = 0;
    for (const PaperRow& row : paper_.rows) {
        paper_.lineCodes += row.lineCodes;
        paper_.shifts += row.shifts;
        paper_.rowsPastPlaten += row.pastPlaten ? 1 : 0;
    }
    paper_.printTime = options_.characterTime * static_cast<std::int64_t>(paper_.lineCodes);
}

Paper LayOutPaper(std::u16string_view text, const PrintOptions& options) {
    ViewReader reader(text);
    PaperLayout layout;
    layout.LayOut(reader, options);
    return layout.TakePaper();
}

}  // namespace tavirel
