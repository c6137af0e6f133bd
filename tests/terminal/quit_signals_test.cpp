#include "terminal/quit_signals.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/eventually.h"
#include "tests/support/files.h"
#include "tests/support/pty_port.h"

namespace tavirel {
namespace {

using namespace std::chrono_literals;

// Started as a shell starts it (SIGPIPE at its default), its debug output all
// going to a pipe whose reader has gone.
TEST(QuitSignals, EndTheProgramWithZero) {
    test::PtyLine line;  // a port folder of its own
    ASSERT_TRUE(line.ok());
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(testing::Message() << "signal " << number);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        close(fds[0]);
        const pid_t pid = fork();
        if (pid == 0) {  // nothing but calls safe between fork and exec
            signal(SIGPIPE, SIG_DFL);
            dup2(fds[1], STDERR_FILENO);
            execl("/usr/bin/env", "env", "QT_LOGGING_RULES=*.debug=true",
                  "QT_FORCE_STDERR_LOGGING=1", TAVIREL_BIN, nullptr);
            _exit(127);
        }
        close(fds[1]);
        // The program (not yet the test's fork of itself) catches the signal.
        const auto catches = [&] {
            const std::string status = test::ReadFile("/proc/" + std::to_string(pid) + "/status");
            const std::size_t caught = status.find("SigCgt:");
            return status.starts_with("Name:\ttavirel\n") && caught != std::string::npos &&
                   ((std::stoull(status.substr(caught + 7), nullptr, 16) >> (number - 1)) & 1);
        };
        EXPECT_TRUE(test::Eventually(catches, 10s));
        kill(pid, number);
        int status = -1;
        if (!test::Eventually([&] { return waitpid(pid, &status, WNOHANG) != 0; }, 10s)) {
            kill(pid, SIGKILL);  // reaped, and the test fails below
            waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
}  // namespace tavirel
