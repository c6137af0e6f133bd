#include "link/port_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

#include "link/diagnostics.h"

namespace tavirel {

namespace {

std::mutex folderMutex;
std::filesystem::path& Folder() {
    static std::filesystem::path folder = "/var/lock";
    return folder;
}

// What a lock file says about its owner.
enum class Owner { None, Running, Gone, Unreadable };

struct LockState {
    Owner owner = Owner::None;
    pid_t pid = 0;
};

bool Running(pid_t pid) {
    // EPERM: it runs, as another user.
    return kill(pid, 0) == 0 || errno == EPERM;
}

// The PID as ten characters and a newline; older programs wrote it as a
// binary int of four bytes. Anything else names no process.
pid_t ParsePid(const char* text, std::size_t size) {
    std::string_view s(text, size);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), pid);
    if (error == std::errc() && end == s.data() + s.size() && !s.empty())
        return pid;
    if (size == sizeof(int)) {
        int binary;
        std::memcpy(&binary, text, sizeof binary);
        return binary;
    }
    return 0;
}

LockState ReadLock(const std::filesystem::path& file) {
    int fd;
    do {
        fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A folder we cannot look into shows no locks either.
        if (errno == ENOENT || errno == ENOTDIR || errno == EACCES)
            return {};
        return {Owner::Unreadable, -1};
    }
    char text[32];
    ssize_t got;
    do {
        got = read(fd, text, sizeof text);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got < 0)
        return {Owner::Unreadable, -1};
    const pid_t pid = ParsePid(text, static_cast<std::size_t>(got));
    // Our own PID is a lock held by another open in this process.
    if (pid > 0 && Running(pid))
        return {Owner::Running, pid};
    return {Owner::Gone, pid};
}

// Writes our lock beside the lock file and links it into place, so that no
// other program ever reads a lock file that is half written.
enum class Created { Yes, Exists, NotPossible };
Created CreateLock(const std::filesystem::path& file) {
    const std::filesystem::path temp =
        file.parent_path() / ("LTMP." + std::to_string(static_cast<long>(getpid())));
    int fd;
    do {
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Created::NotPossible;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
    ssize_t put;
    do {
        put = write(fd, text, static_cast<std::size_t>(length));
    } while (put < 0 && errno == EINTR);
    close(fd);
    if (put != length) {
        unlink(temp.c_str());
        return Created::NotPossible;
    }
    const int linked = link(temp.c_str(), file.c_str());
    const int err = errno;
    unlink(temp.c_str());
    if (linked == 0)
        return Created::Yes;
    return err == EEXIST ? Created::Exists : Created::NotPossible;
}

}  // namespace

void SetLockFolder(std::filesystem::path folder) {
    std::lock_guard lock(folderMutex);
    Folder() = folder.empty() ? std::filesystem::path("/var/lock") : std::move(folder);
}

std::filesystem::path LockFolder() {
    std::lock_guard lock(folderMutex);
    return Folder();
}

std::string LockFileName(const std::filesystem::path& device) {
    const std::string path = device.string();
    constexpr std::string_view dev = "/dev/";
    std::string name = path.compare(0, dev.size(), dev) == 0 ? path.substr(dev.size())
                                                             : device.filename().string();
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return "LCK.." + name;
}

PortLock::PortLock(PortLock&& other) noexcept
    : file_(std::move(other.file_)), written_(other.written_), holder_(other.holder_) {
    other.file_.clear();
    other.written_ = false;
}

bool PortLock::Acquire(const std::filesystem::path& device) {
    Release();
    holder_ = 0;
    file_ = LockFolder() / LockFileName(device);
    // Another program may clear a stale lock and take the port between our
    // looks; a few rounds settle who has it.
    for (int round = 0; round < 3; ++round) {
        const LockState state = ReadLock(file_);
        if (state.owner == Owner::Running || state.owner == Owner::Unreadable) {
            holder_ = state.pid;
            errno = EBUSY;
            return false;
        }
        if (state.owner == Owner::Gone && unlink(file_.c_str()) < 0 && errno != ENOENT) {
            // A stale lock holds nothing; we just cannot put ours there.
            qCDebug(lcLink).noquote()
                << "Stale lock file" << file_.c_str() << "left in place:" << std::strerror(errno);
            return true;
        }
        switch (CreateLock(file_)) {
            case Created::Yes:
                written_ = true;
                return true;
            case Created::Exists:
                continue;
            case Created::NotPossible:
                qCDebug(lcLink).noquote()
                    << "No lock file" << file_.c_str() << "written:" << std::strerror(errno);
                return true;
        }
    }
    holder_ = -1;
    errno = EBUSY;
    return false;
}

void PortLock::Release() {
    if (!written_)
        return;
    written_ = false;
    const int saved = errno;
    if (ReadLock(file_).pid == getpid())
        unlink(file_.c_str());
    errno = saved;
}

pid_t OtherProcessHolding(dev_t rdev) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return 0;
    const pid_t self = getpid();
    pid_t found = 0;
    while (found == 0) {
        const dirent* entry = readdir(proc);
        if (entry == nullptr)
            break;
        pid_t pid = 0;
        const std::string_view name = entry->d_name;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (error != std::errc() || end != name.data() + name.size() || pid == self)
            continue;
        const std::string fdFolder = "/proc/" + std::string(name) + "/fd";
        DIR* fds = opendir(fdFolder.c_str());
        if (fds == nullptr)
            continue;  // another user's process, or gone
        while (const dirent* fdEntry = readdir(fds)) {
            if (fdEntry->d_name[0] == '.')
                continue;
            const std::string link = fdFolder + "/" + fdEntry->d_name;
            // Only descriptors on files; sockets, pipes and the like read
            // "socket:[...]", and a stat through them is wasted.
            char target[2];
            if (readlink(link.c_str(), target, sizeof target) < 1 || target[0] != '/')
                continue;
            struct stat st {};
            if (stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
                found = pid;
                break;
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return found;
}

}  // namespace tavirel
