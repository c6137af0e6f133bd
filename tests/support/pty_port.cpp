#include "tests/support/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "link/connection.h"
#include "link/port_lock.h"

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
    if (slavePath_.empty())
        return;

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

std::filesystem::path PtyLine::lockFile() const {
    return lockFolder() / LockFileName(slavePath_);
}

std::vector<std::uint8_t> PtyLine::ReadFromFarEnd(std::size_t n, std::chrono::milliseconds limit) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (pollfd p{master_, POLLIN, 0}; got.size() < n && master_ >= 0;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t chunk[256];
        const ssize_t r = read(master_, chunk, std::min(sizeof chunk, n - got.size()));
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            break;  // EIO: the slave is not open
        got.insert(got.end(), chunk, chunk + std::max<ssize_t>(r, 0));
    }
    return got;
}

bool PtyLine::WriteFromFarEnd(const std::vector<std::uint8_t>& bytes) {
    // Once nobody reads the slave the master may report room and take nothing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::size_t done = 0;
    for (pollfd p{master_, POLLOUT, 0}; done < bytes.size() && master_ >= 0;) {
        if (std::chrono::steady_clock::now() > deadline || poll(&p, 1, 1000) <= 0 ||
            (p.revents & POLLOUT) == 0)
            return false;
        const ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        done += static_cast<std::size_t>(std::max<ssize_t>(w, 0));
    }
    return done == bytes.size();
}

void PtyLine::CloseFarEnd() {
    if (master_ >= 0)
        close(std::exchange(master_, -1));
}

void PtyLinkTest::SetUp() {
    ASSERT_TRUE(line.ok());
    ASSERT_TRUE(CreateLinkEvents(state));
}

void PtyLinkTest::TearDown() {
    CloseConnection(&window);
    SetPortOpener(nullptr);
    CodeMode = savedMode;
}

void PtyLinkTest::Open(CodeModeValue mode, std::uint32_t baud, std::uint8_t bits) {
    CodeMode = mode;
    state.baudRate = baud;
    state.byteSize = bits;
    state.stopBits = bits == 5 ? 1 : 0;
    ASSERT_NE(OpenConnection(&window), 0);
}

}  // namespace tavirel::test
