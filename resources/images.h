// The program's pictures, embedded as Qt resources (the tavirel_resources
// library registers them when it is linked in).
#pragma once

#include "resources/ids.h"

namespace tavirel {

inline constexpr char kMainIconPath[] = ":/icon400.xpm";          // 32 x 32, transparent
inline constexpr char kTerminalBitmapPath[] = ":/bitmap500.xpm";  // 64 x 64, 16 colours

// The resource path of icon or bitmap id; null for one the program lacks.
constexpr const char* ResourceImagePath(int id) {
    switch (id) {
        case kMainIcon:
            return kMainIconPath;
        case kTerminalBitmap:
            return kTerminalBitmapPath;
        default:
            return nullptr;
    }
}

}  // namespace tavirel
