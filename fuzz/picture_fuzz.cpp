// The picture loader on any file: what it shows holds only what the editor
// may show, saving that gives a picture file, and a saved picture loads and
// saves again to the same bytes. The paper is laid out from what it shows.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/pieces.h"
#include "picture/paper.h"
#include "picture/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavirel;
    using tavirel::fuzz::Check;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::string display = DisplayFromFile(file);
    Check(display.size() <= 4 * size);
    std::size_t breaks = 0;
    for (const char c : display) {
        Check(c != 0 &&
              (c == '<' || c == '^' || c == '\r' || c == '\n' || PictureCharFilter(c) == c));
        breaks += c == '\r' || c == '\n';
    }

    const std::u16string text(display.begin(), display.end());
    const std::string saved = FileFromDisplay(text);
    Check(saved.size() == display.size() - breaks + 1);
    Check(saved.find('\0') == saved.size() - 1);
    const std::string again = DisplayFromFile(saved);
    Check(FileFromDisplay(std::u16string(again.begin(), again.end())) == saved);

    const int columns = size > 0 ? 1 + data[0] % 96 : 72;
    const Paper paper = LayOutPaper(text, {columns, size % 2 == 0, {}});
    Check(!paper.rows.empty() && !paper.stop.has_value());
    Check(paper.lineCodes >= saved.size() - 1 && paper.lineCodes <= 2 * (saved.size() - 1));
    for (std::size_t r = 0; r < paper.rows.size(); ++r)
        Check(paper.Top(r).size() == static_cast<std::size_t>(columns) &&
              paper.Layers(r).size() <= Paper::kMaxLayers);
    for (const std::size_t at : paper.loneLineFeeds)
        Check(at < text.size() && text[at] == u'^');
    return 0;
}
