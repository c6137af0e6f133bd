// Line ends for the line. The desktop's clipboard ends lines with LF alone; a
// teleprinter needs CR LF, or a pasted paragraph prints as a staircase.
#pragma once

#include <string>
#include <string_view>

namespace tavirel {

// Puts a CR before every LF that does not already follow one.
std::string LoneLfToCrLf(std::string_view text);

}  // namespace tavirel
