// The string table.
#pragma once

#include "resources/ids.h"

namespace tavirel {

// Null for an id the table does not hold.
const char* LoadResourceString(int id);

}  // namespace tavirel
