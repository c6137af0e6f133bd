#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>

#include "tests/support/eventually.h"

namespace tavirel::test {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// A fresh temporary folder, removed with whatever the test left in it.
struct TempDir {
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavirel-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    // A shell command run in the folder; its exit status.
    int Sh(const std::string& command) const {
        const int status = std::system(("cd '" + path.string() + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::path path;
};

// Whether call, which opens the pipe at fifo while nobody is at its other end,
// returns within 5 s. Should it block in open(), the watchdog comes to the
// other end, so that the test fails instead of hanging.
inline bool ReturnsAtOnce(const std::string& fifo, const std::function<void()>& call) {
    std::atomic<bool> done{false}, late{false};
    std::thread watchdog([&] {
        if (Eventually([&] { return done.load(); }, std::chrono::seconds(5)))
            return;
        late = true;
        std::signal(SIGPIPE, SIG_IGN);  // the writer let go writes into nothing
        if (const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK); fd >= 0)
            ::close(fd);
    });
    call();
    done = true;
    watchdog.join();
    return !late;
}

}  // namespace tavirel::test
