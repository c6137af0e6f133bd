#include "link/tty_state.h"

namespace tavirel {

std::atomic<CodeModeValue> CodeMode{ModeBaudot};

}  // namespace tavirel
