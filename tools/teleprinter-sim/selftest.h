#pragma once

namespace tpsim {
// Checks of the code tables, shifts, paper and pacing; 0 when all pass.
int runSelfTest();
}  // namespace tpsim
