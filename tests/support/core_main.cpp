// Test entry for the suites that need no window.
#include <gtest/gtest.h>

#include "code/ita2.h"

int main(int argc, char** argv) {
    tavirel::BuildReceiveTable();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
