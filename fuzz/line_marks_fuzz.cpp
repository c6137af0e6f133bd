// The line-error mark parser on any input, whole and in reads cut anywhere.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/pieces.h"
#include "link/line_marks.h"
#include "link/port.h"

namespace tavirel::fuzz {
namespace {

struct Parsed {
    std::vector<std::uint8_t> data;
    std::uint32_t flags = 0;
};

// Each piece lands after the room the parser asks for, as a read does.
Parsed ParseInPieces(const Pieces& input) {
    LineMarkParser parser;
    Parsed out;
    std::size_t arrived = 0;
    ForEachPiece(input, [&](const std::vector<std::uint8_t>& piece) {
        const int lead = parser.Lead();
        // Sized exactly, so a write past the read is caught.
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(lead) + piece.size());
        std::copy(piece.begin(), piece.end(), buffer.begin() + lead);
        const int n = parser.Parse(buffer.data(), lead, static_cast<int>(buffer.size()));
        Check(n >= 0 && static_cast<std::size_t>(n) <= buffer.size());
        out.data.insert(out.data.end(), buffer.begin(), buffer.begin() + n);
        out.flags |= parser.TakeFlags();
        arrived += piece.size();
        Check(out.data.size() <= arrived);  // a lead byte was counted when it came
    });
    return out;
}

}  // namespace
}  // namespace tavirel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavirel;
    using namespace tavirel::fuzz;
    const Pieces pieces = SplitInput(data, size);
    const Parsed whole = ParseInPieces({pieces.stream, {pieces.stream.size()}});
    const Parsed split = ParseInPieces(pieces);
    Check((whole.flags & ~(CE_BREAK | CE_FRAME)) == 0);
    Check(split.data == whole.data && split.flags == whole.flags);
    return 0;
}
