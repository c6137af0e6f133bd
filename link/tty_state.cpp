#include "link/tty_state.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "link/port.h"
#include "link/write_queue.h"

namespace tavirel {

RunningLink::RunningLink() = default;
RunningLink::~RunningLink() {
    for (int fd : {readEvent, writeEvent}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool CreateLinkEvents(RunningLink& link) {
    const int read = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (read < 0)
        return false;
    const int write = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (write < 0) {
        ::close(read);
        return false;
    }
    link.readEvent = read;
    link.writeEvent = write;
    return true;
}

void SignalEvent(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void DrainEvent(int fd) {
    std::uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

}  // namespace tavirel
