// The string table.
#pragma once

namespace tavirel {

inline constexpr int kStringComPrefix = 784;      // "COM"
inline constexpr int kStringFirstBaud = 795;      // "45" ... "128k" (17), then "256k"
inline constexpr int kStringFirstParity = 816;    // "None" ... "Space" (5)
inline constexpr int kStringFirstStopBits = 832;  // "1", "1.5", "2"

// Null for an id the table does not hold.
const char* LoadResourceString(int id);

}  // namespace tavirel
