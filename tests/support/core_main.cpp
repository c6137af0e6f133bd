// Test entry for the suites that need no window.
#include <gtest/gtest.h>

#include "tests/support/fresh_process_state.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tavirel::test::ResetProcessStateBeforeEachTest();
    return RUN_ALL_TESTS();
}
