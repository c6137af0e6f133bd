// Every test starts from the process state of a fresh run; the widget suites
// get one QApplication, offscreen unless the caller chose another platform.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/line_settings.h"
#include "link/process_state.h"
#ifdef TAVIREL_TEST_WIDGETS
#include <QApplication>

#include "dialogs/settings_dialog.h"
#elif defined(TAVIREL_TEST_QT_CORE)
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
#ifdef TAVIREL_TEST_WIDGETS
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
#elif defined(TAVIREL_TEST_QT_CORE)
    QCoreApplication app(argc, argv);
#endif
    testing::InitGoogleTest(&argc, argv);
    struct Reset : testing::EmptyTestEventListener {
        void OnTestStart(const testing::TestInfo&) override {
            tavirel::ResetProcessStateForTests();
            tavirel::CodeMode = mode;
#ifdef TAVIREL_TEST_WIDGETS
            tavirel::ConnectRetryCount() = 0;
#endif
        }
        const tavirel::CodeModeValue mode = tavirel::CodeMode.load();
    };
    testing::UnitTest::GetInstance()->listeners().Append(new Reset);
    return RUN_ALL_TESTS();
}
