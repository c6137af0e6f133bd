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

}  // namespace tavirel
