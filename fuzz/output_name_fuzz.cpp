// The output name for any path: the folder part is kept whole, the file name
// is cut at its first full stop after its leading ones, and the extension
// follows.
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/converter.h"
#include "fuzz/pieces.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tavirel::fuzz::Check;
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    for (const std::string_view extension : {".ita", ".asc", ".bdo"}) {
        const std::string out = tavirel::MakeOutputName(path, extension);
        Check(out.size() >= extension.size() && out.ends_with(extension));
        const std::string_view kept =
            std::string_view(out).substr(0, out.size() - extension.size());
        Check(path.starts_with(kept));
        const std::size_t slash = path.rfind('/');
        const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
        Check(kept.size() >= name);
        const std::size_t stem = std::min(kept.size(), path.find_first_not_of('.', name));
        Check(kept.find('.', stem) == std::string_view::npos);
        Check(kept.size() == path.size() || path[kept.size()] == '.');
        // Applied to its own result, it gives that result again, unless the
        // name was nothing but full stops.
        if (stem < kept.size())
            Check(tavirel::MakeOutputName(out, extension) == out);
    }
    return 0;
}
