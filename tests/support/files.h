// Files for tests: whole files as bytes, a folder of the test's own, and a
// limit on waiting for a pipe.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

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

// A fresh folder in the system's temporary directory, removed with the object
// whatever the test left in it.
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
    std::filesystem::path path;
};

// Runs call, which opens the pipe at fifo while nobody is at its other end,
// and tells whether it came back within the limit. Should it wait in open()
// all the same, a watchdog comes to the other end after the limit and leaves
// again, so that the test fails instead of hanging.
inline bool ReturnsAtOnce(const std::string& fifo, const std::function<void()>& call,
                          std::chrono::seconds limit = std::chrono::seconds(5)) {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    bool late = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (returned.wait_for(lock, limit, [&] { return done; }))
            return;
        late = true;
        std::signal(SIGPIPE, SIG_IGN);  // the writer let go writes into nothing
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    call();
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    returned.notify_one();
    watchdog.join();
    return !late;
}

}  // namespace tavirel::test
