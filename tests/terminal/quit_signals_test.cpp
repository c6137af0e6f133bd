#include "terminal/quit_signals.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <string>
#include <vector>

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

// The program itself, on the offscreen platform, started as a shell starts
// it (SIGPIPE at its default): each quit signal ends it with exit code 0,
// also when its standard error is a pipe whose reader has gone while it
// writes plenty there.
TEST(QuitSignals, EndTheProgramWithZero) {
    test::PtyLine line;  // a port folder of its own
    ASSERT_TRUE(line.ok());
    // Qt's own debug output, all of it on standard error.
    std::string chatty = "QT_LOGGING_RULES=*.debug=true", toStderr = "QT_FORCE_STDERR_LOGGING=1";
    std::vector<char*> environment{chatty.data(), toStderr.data()};
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment.push_back(*variable);
    environment.push_back(nullptr);
    const struct Row {
        int number;
        bool stderrReaderGone;
    } rows[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGTERM, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "signal " << row.number << ", standard error "
                     << (row.stderrReaderGone ? "a pipe without reader" : "ours"));
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int fds[2] = {-1, -1};
        if (row.stderrReaderGone) {
            ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
            close(fds[0]);
        }
        char* const argv[] = {const_cast<char*>(TAVIREL_BIN), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, TAVIREL_BIN, &actions, &attributes, argv,
                              row.stderrReaderGone ? environment.data() : environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (fds[1] >= 0)
            close(fds[1]);
        const unsigned long long bit = 1ull << (row.number - 1);
        EXPECT_TRUE(test::Eventually([&] { return (CaughtSignals(pid) & bit) != 0; }, 10s));
        kill(pid, row.number);
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
