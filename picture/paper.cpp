#include "picture/paper.h"

#include <algorithm>

#include "code/baudot_sender.h"
#include "code/line_ends.h"
#include "picture/picture_file.h"

namespace tavirel {

namespace {

constexpr char kCr = 13;
constexpr char kLf = 10;

// The carriage and the rows it has printed on.
class Carriage {
  public:
    explicit Carriage(Paper& paper) : paper_(paper) { Row(); }

    void Put(char c) {
        switch (c) {
            case kCr:
                column_ = 0;
                reach_ = 0;
                return;
            case kLf:
                ++row_;
                Row();
                return;
            case ' ':
                Advance();
                return;
            default:
                break;
        }
        PaperRow& row = Row();
        const auto cell = static_cast<std::size_t>(column_);
        row.top[cell] = c;
        if (reach_ >= paper_.columns)
            row.pastPlaten = true;
        auto layer = std::find_if(row.layers.begin(), row.layers.end(),
                                  [cell](const std::string& l) { return l[cell] == ' '; });
        if (layer != row.layers.end()) {
            (*layer)[cell] = c;
        } else if (row.layers.size() < Paper::kMaxLayers) {
            row.layers.emplace_back(row.top.size(), ' ');
            row.layers.back()[cell] = c;
        }
        Advance();
    }

  private:
    // The carriage stops at the right margin, so what follows lands there.
    void Advance() {
        column_ = std::min(column_ + 1, paper_.columns - 1);
        ++reach_;
    }

    PaperRow& Row() {
        auto& rows = paper_.rows;
        while (rows.size() <= row_)
            rows.push_back(
                PaperRow{std::string(static_cast<std::size_t>(paper_.columns), ' '), {}, false});
        return rows[row_];
    }

    Paper& paper_;
    std::size_t row_ = 0;
    int column_ = 0;
    int reach_ = 0;  // where the carriage would be without a margin
};

}  // namespace

std::string Paper::RowText(std::size_t row) const {
    if (row >= rows.size())
        return {};
    const std::string& top = rows[row].top;
    return top.substr(0, top.find_last_not_of(' ') + 1);
}

Paper LayOutPaper(std::u16string_view text, const PrintOptions& options) {
    Paper paper;
    paper.columns = std::max(1, options.columns);

    // The file's bytes, each with the position of the character it came
    // from; the editor's own line breaks are not part of the picture.
    const std::string bytes = FileFromDisplay(text);
    std::vector<std::size_t> from;
    from.reserve(bytes.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n')
            continue;
        from.push_back(i);
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
    }

    Carriage carriage(paper);
    BaudotSender sender;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == 0) {
            paper.stop = from[i];
            break;
        }
        if (options.baudot) {
            const BaudotCodes codes = sender.Encode(c);
            paper.lineCodes += static_cast<std::size_t>(codes.count);
            paper.shifts += codes.count > 1 ? 1 : 0;
        } else {
            ++paper.lineCodes;
        }
        carriage.Put(c);
    }
    // What goes on the line: up to the first 0.
    for (const std::size_t at : LoneLineFeeds(std::string_view(bytes).substr(0, bytes.find('\0'))))
        paper.loneLineFeeds.push_back(from[at]);
    paper.printTime = options.characterTime * static_cast<std::int64_t>(paper.lineCodes);
    paper.rowsPastPlaten = static_cast<std::size_t>(std::count_if(
        paper.rows.begin(), paper.rows.end(), [](const PaperRow& r) { return r.pastPlaten; }));
    return paper;
}

}  // namespace tavirel
