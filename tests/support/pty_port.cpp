#include "tests/support/pty_port.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace tavirel::test {

PtyLine::PtyLine() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
        savedConfigHome_ = config;

    std::error_code ec;
    int slave = -1;
    // The port under test sets the slave; setting the master would change it too.
    if (root_.path.empty() || !std::filesystem::create_directories(portFolder(), ec) ||
        !std::filesystem::create_directory(lockFolder(), ec) ||
        openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
        return;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (const char* name = ttyname(slave))
        slavePath_ = name;
    close(slave);
    std::filesystem::create_symlink(slavePath_, portFolder() / "COM3", ec);
    if (ec)
        return;
    setenv("XDG_CONFIG_HOME", root_.path.c_str(), 1);
    SetLockFolder(lockFolder());
    ok_ = true;
}

PtyLine::~PtyLine() {
    CloseFarEnd();
    if (ok_) {
        if (savedConfigHome_)
            setenv("XDG_CONFIG_HOME", savedConfigHome_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        SetLockFolder({});
    }
}

std::vector<std::uint8_t> PtyLine::ReadFromFarEnd(std::size_t n, std::chrono::milliseconds limit) {
    std::vector<std::uint8_t> got(n);
    std::size_t done = 0;
    Eventually(
        [&] {
            const ssize_t r = read(master_, got.data() + done, n - done);
            done += static_cast<std::size_t>(std::max<ssize_t>(r, 0));
            // EIO: the slave is not open
            return done == n || r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR);
        },
        limit);
    got.resize(done);
    return got;
}

bool PtyLine::WriteFromFarEnd(const std::vector<std::uint8_t>& bytes) {
    // Once nobody reads the slave the master may report room and take nothing.
    std::size_t done = 0;
    Eventually([&] {
        const ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
        done += static_cast<std::size_t>(std::max<ssize_t>(w, 0));
        return done == bytes.size() || (w < 0 && errno != EAGAIN && errno != EINTR);
    });
    return done == bytes.size();
}

void PtyLine::CloseFarEnd() {
    if (master_ >= 0)
        close(std::exchange(master_, -1));
}

}  // namespace tavirel::test
