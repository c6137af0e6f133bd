// Test entry for the widget suites: one QApplication, on the offscreen
// platform unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/fresh_process_state.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    tavirel::test::ResetProcessStateBeforeEachTest();
    return RUN_ALL_TESTS();
}
