#include "link/port_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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

// What a lock file's first bytes say: its leading decimal PID after blanks,
// whatever text follows ("%10d\n", "PID\nname\n", "  PID name user"), or a
// binary int of four bytes as older programs wrote it. Anything else names no
// process; a PID not ended within kLockPidField bytes cannot be read. text
// is the file's start, one byte longer than the field when the file is.
LockState OwnerOf(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end > kLockPidField)
        return {Owner::Unreadable, -1};
    const bool ended = end == text.size() || std::isspace(static_cast<unsigned char>(text[end]));
    pid_t pid = 0;
    if (end > at && ended) {
        if (std::from_chars(text.data() + at, text.data() + end, pid).ec != std::errc())
            pid = 0;  // too large for any process
    } else if (text.size() == sizeof(int)) {
        int binary;
        std::memcpy(&binary, text.data(), sizeof binary);
        pid = binary;
    }
    // Our own PID is a lock held by another open in this process.
    if (pid > 0 && Running(pid))
        return {Owner::Running, pid};
    return {Owner::Gone, pid};
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
    // One byte beyond the field tells a PID that ends with it from a longer one.
    char text[kLockPidField + 1];
    std::size_t size = 0;
    while (size < sizeof text) {
        const ssize_t got = read(fd, text + size, sizeof text - size);
        if (got > 0)
            size += static_cast<std::size_t>(got);
        else if (got == 0)
            break;
        else if (errno != EINTR) {
            close(fd);
            return {Owner::Unreadable, -1};
        }
    }
    close(fd);
    return OwnerOf(std::string_view(text, size));
}

// Writes our lock beside the lock file and links it into place, so that no
// other program ever reads a lock file that is half written. The file beside
// it is new and has a name nobody can guess, so nothing planted in the shared
// folder (a link to another file) is written through or taken for our lock.
// 0 when linked, else why not.
int CreateLock(const std::filesystem::path& file) {
    std::string temp = (file.parent_path() / "LTMP.XXXXXX").string();
    // mkostemp opens with O_CREAT | O_EXCL.
    const int fd = mkostemp(temp.data(), O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
    ssize_t put;
    do {
        put = write(fd, text, static_cast<std::size_t>(length));
    } while (put < 0 && errno == EINTR);
    int err = 0;
    if (put != length)
        err = put < 0 ? errno : EIO;
    else if (fchmod(fd, 0644) < 0)  // every program looking for the owner reads it
        err = errno;
    close(fd);
    if (err == 0 && link(temp.c_str(), file.c_str()) < 0)
        err = errno;
    unlink(temp.c_str());
    return err;
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
            LinkWarning("Stale lock file " + file_.string() +
                        " left in place, none of ours written: " + std::strerror(errno));
            return true;
        }
        const int err = CreateLock(file_);
        if (err == EEXIST)
            continue;
        if (err != 0) {
            LinkWarning("No lock file " + file_.string() + " written: " + std::strerror(err));
            return true;
        }
        written_ = true;
        return true;
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
