// Who else has a serial device, as far as the system shows it.
//
// UUCP lock files are the convention serial programs on Linux share: a file
// LCK..NAME in /var/lock holding the owner's PID as ten characters and a
// newline. Other programs write the PID in other text forms (followed by
// their name and user, say) or as a binary int; every one of these is read.
// A lock whose process no longer runs is stale and is cleared, so a lock dies
// with its owner however the owner dies. Programs that take no lock
// at all are found by looking through /proc for a process holding the device.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace tavirel {

// A lock file's PID, with the blanks before it, is looked for in this many
// bytes at its start; one that runs on past them cannot be read, and the port
// is refused.
inline constexpr std::size_t kLockPidField = 128;

// The folder lock files are kept in; an empty path restores /var/lock.
void SetLockFolder(std::filesystem::path folder);
std::filesystem::path LockFolder();

// LCK..NAME for a device path whose links are resolved: NAME is the path below
// /dev with '/' made '_' (/dev/pts/3 gives LCK..pts_3), else the file name.
std::string LockFileName(const std::filesystem::path& device);

class PortLock {
  public:
    PortLock() = default;
    ~PortLock() { Release(); }
    PortLock(PortLock&& other) noexcept;
    PortLock& operator=(PortLock&&) = delete;
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock of a device (links resolved), clearing a stale one
    // first. False with errno EBUSY when a running process holds it (holder()
    // says which; -1 when its lock file cannot be read). A folder this user
    // cannot write is no refusal: the port is then used without a lock file,
    // which is logged as a warning.
    bool Acquire(const std::filesystem::path& device);
    // Removes the lock file if it is still ours. Leaves errno alone.
    void Release();

    pid_t holder() const { return holder_; }
    // The lock file looked at (ours once Acquire succeeded with one written).
    const std::filesystem::path& file() const { return file_; }
    bool written() const { return written_; }

  private:
    std::filesystem::path file_;
    bool written_ = false;
    pid_t holder_ = 0;
};

// Another process that has the character device rdev open, 0 when none is
// seen. Without privileges only this user's processes can be looked into.
pid_t OtherProcessHolding(dev_t rdev);

}  // namespace tavirel
