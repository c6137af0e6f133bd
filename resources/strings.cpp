#include "resources/strings.h"

#include <array>

namespace tavirel {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr std::array kStrings{
    StringEntry{784, "COM"},
    // The baud list takes 17 texts; "256k" follows them but is never loaded.
    StringEntry{795, "45"},
    StringEntry{796, "50"},
    StringEntry{797, "57"},
    StringEntry{798, "74"},
    StringEntry{799, "100"},
    StringEntry{800, "110"},
    StringEntry{801, "300"},
    StringEntry{802, "600"},
    StringEntry{803, "1200"},
    StringEntry{804, "2400"},
    StringEntry{805, "4800"},
    StringEntry{806, "9600"},
    StringEntry{807, "14.4k"},
    StringEntry{808, "19.2k"},
    StringEntry{809, "38.4k"},
    StringEntry{810, "56k"},
    StringEntry{811, "128k"},
    StringEntry{812, "256k"},
    StringEntry{816, "None"},
    StringEntry{817, "Even"},
    StringEntry{818, "Odd"},
    StringEntry{819, "Mark"},
    StringEntry{820, "Space"},
    StringEntry{832, "1"},
    StringEntry{833, "1.5"},
    StringEntry{834, "2"},
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
