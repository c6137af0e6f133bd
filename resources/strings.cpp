#include "resources/strings.h"

#include <array>

#include "resources/ids.h"

namespace tavirel {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr std::array kStrings{
    StringEntry{kStringComPrefix, "COM"},
    // The baud list takes 17 texts; "256k" follows them but is never loaded.
    StringEntry{kStringFirstBaud, "45"},
    StringEntry{kStringFirstBaud + 1, "50"},
    StringEntry{kStringFirstBaud + 2, "57"},
    StringEntry{kStringFirstBaud + 3, "74"},
    StringEntry{kStringFirstBaud + 4, "100"},
    StringEntry{kStringFirstBaud + 5, "110"},
    StringEntry{kStringFirstBaud + 6, "300"},
    StringEntry{kStringFirstBaud + 7, "600"},
    StringEntry{kStringFirstBaud + 8, "1200"},
    StringEntry{kStringFirstBaud + 9, "2400"},
    StringEntry{kStringFirstBaud + 10, "4800"},
    StringEntry{kStringFirstBaud + 11, "9600"},
    StringEntry{kStringFirstBaud + 12, "14.4k"},
    StringEntry{kStringFirstBaud + 13, "19.2k"},
    StringEntry{kStringFirstBaud + 14, "38.4k"},
    StringEntry{kStringFirstBaud + 15, "56k"},
    StringEntry{kStringFirstBaud + 16, "128k"},
    StringEntry{kStringFirstBaud + 17, "256k"},
    StringEntry{kStringFirstParity, "None"},
    StringEntry{kStringFirstParity + 1, "Even"},
    StringEntry{kStringFirstParity + 2, "Odd"},
    StringEntry{kStringFirstParity + 3, "Mark"},
    StringEntry{kStringFirstParity + 4, "Space"},
    StringEntry{kStringFirstStopBits, "1"},
    StringEntry{kStringFirstStopBits + 1, "1.5"},
    StringEntry{kStringFirstStopBits + 2, "2"},
};
static_assert(kStrings.size() == 1 + 18 + 5 + 3);

}  // namespace

const char* LoadResourceString(int id) {
    for (const StringEntry& s : kStrings) {
        if (s.id == id)
            return s.text;
    }
    return nullptr;
}

}  // namespace tavirel
