#include "terminal/quit_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <string>

#include "link/port.h"
#include "resources/menu.h"
#include "terminal/main_window.h"
#include "tests/support/eventually.h"
#include "tests/support/message_log.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;

// A connected window told to quit by a signal closes its connection without
// asking (the port and its lock file are free at once) and leaves the event
// loop with 0.
TEST(QuitSignals, CloseTheConnectionWithoutAskingAndExitWithZero) {
    test::PtyLine line;
    ASSERT_TRUE(line.ok());
    const test::MessageLog asked;
    auto window = MainWindow::Create();
    ASSERT_TRUE(window);
    window->Command(CMD_CONNECT);
    ASSERT_EQ(window->State()->connected.load(), 1);
    ASSERT_TRUE(std::filesystem::exists(line.lockFile()));

    ASSERT_TRUE(CatchQuitSignals());
    QuitSignals quit;
    CloseOnQuitSignals(quit, window.get());
    QTimer::singleShot(0, [] { raise(SIGTERM); });
    QTimer giveUp;  // stopped with the test, so no later test sees it fire
    giveUp.callOnTimeout([] { QCoreApplication::exit(1); });
    giveUp.start(10s);
    EXPECT_EQ(QApplication::exec(), 0);

    EXPECT_EQ(window->State()->connected.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(line.lockFile()));
    EXPECT_NE(OpenSerialPort(line.slavePath()), nullptr);
    EXPECT_TRUE(asked.shown.isEmpty()) << asked.Joined();
}

// The signals this process catches, from /proc.
unsigned long long CaughtSignals(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16);
    }
    return 0;
}

// The program itself, on the offscreen platform: each quit signal ends it
// with exit code 0.
TEST(QuitSignals, EndTheProgramWithZero) {
    test::PtyLine line;  // a port folder of its own
    ASSERT_TRUE(line.ok());
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        char* const argv[] = {const_cast<char*>(TAVIREL_BIN), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, TAVIREL_BIN, nullptr, nullptr, argv, environ), 0);
        const unsigned long long bit = 1ull << (number - 1);
        EXPECT_TRUE(test::Eventually([&] { return (CaughtSignals(pid) & bit) != 0; }, 10s));
        kill(pid, number);
        int status = -1;
        bool ended = false;
        if (!test::Eventually(
                [&] { return ended = ended || waitpid(pid, &status, WNOHANG) == pid; }, 10s)) {
            kill(pid, SIGKILL);  // reaped, and the test fails below
            waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
}  // namespace tavirel
