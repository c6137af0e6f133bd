// Test entry for the widget suites: one QApplication, on the offscreen
// platform unless the caller chose another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "code/ita2.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    tavirel::BuildReceiveTable();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
