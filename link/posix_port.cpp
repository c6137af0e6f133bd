// The serial port over plain POSIX calls. Every call that can be interrupted
// by a signal is retried on EINTR, so a caller sees EINTR never.
//
// Line errors come two ways. With INPCK + PARMRK the kernel marks them in the
// input (FF 00 c, FF 00 00 for a break, FF FF for a data byte 255); Read takes
// the marks out with a parser that keeps its place between reads. A UART also
// counts them (TIOCGICOUNT), including overruns the marks never show; when the
// device has counters they are the truth and the marks are only stripped, so
// nothing is counted twice. Pseudo-terminals have no counters.
//
// A read that finds nothing returns 0 in raw mode, as a hung-up line does;
// Read asks poll which it was and answers EAGAIN or EIO.
//
// The port is ours alone as far as the system shows it: the open is refused
// when a running process holds the device's lock file, holds it under flock,
// or has it open at all (/proc). Our lock file and flock die with us. The
// kernel's exclusive mode (TIOCEXCL) is not used: on a pseudo-terminal it
// outlives a killed holder and then turns everyone but root away.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <system_error>

#include "link/diagnostics.h"
#include "link/line_marks.h"
#include "link/line_settings.h"
#include "link/modem_watch.h"
#include "link/port.h"
#include "link/port_lock.h"
#include "resources/strings.h"

namespace tavirel {

namespace {

LineErrorCounts Counts(const serial_icounter_struct& c) {
    const auto n = [](int v) { return static_cast<std::uint32_t>(v); };
    return {n(c.buf_overrun), n(c.overrun), n(c.parity), n(c.frame), n(c.brk)};
}

// close() that leaves errno as the caller set it.
void CloseKeepingErrno(int fd) {
    const int saved = errno;
    close(fd);
    errno = saved;
}

class PosixPort final : public Port {
  public:
    // The counters' baseline is taken now: errors from before the open are
    // not ours.
    PosixPort(int fd, PortLock lock) : fd_(fd), lock_(std::move(lock)) {
        hasCounters_ = RetryIoctl(fd, TIOCGICOUNT, &counters_) == 0;
    }
    ~PosixPort() override { Close(); }
    PosixPort(const PosixPort&) = delete;
    PosixPort& operator=(const PosixPort&) = delete;

    int Apply(const LinePlan& plan) override {
        if (ApplyLinePlan(fd_.load(), plan) != 1)
            return 0;
        // What the device accepted is the truth; say where it differs. The line
        // clock keeps the asked-for framing: a pseudo-terminal reports 8 data
        // bits whatever it was given.
        const LinePlan accepted = ReadLineState(fd_.load());
        if (accepted.valid && (accepted.ospeed != plan.ospeed || accepted.cflag != plan.cflag)) {
            LinkDiagnostic("\nThe port runs at %ld baud", static_cast<long>(accepted.ospeed));
            LinkDiagnostic("\nwith control flags %lo", static_cast<long>(accepted.cflag));
        }
        std::lock_guard lock(planMutex_);
        applied_ = plan;
        accepted_ = accepted;
        return 1;
    }

    LinePlan Applied() const override {
        std::lock_guard lock(planMutex_);
        return applied_;
    }

    LinePlan Accepted() const override {
        std::lock_guard lock(planMutex_);
        return accepted_;
    }

    int BytesWaiting() override {
        int n = 0;
        return RetryIoctl(fd_.load(), FIONREAD, &n) == 0 ? n : 0;
    }

    int Read(std::uint8_t* buffer, int maxLength) override {
        if (maxLength <= 0)
            return 0;
        std::lock_guard lock(readMutex_);
        // Room for a lone FF from the last read that turns out to be data.
        const int lead = maxLength > 1 ? parser_.Lead() : 0;
        ssize_t got;
        do {
            got = read(fd_.load(), buffer + lead, static_cast<std::size_t>(maxLength - lead));
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return -1;
        if (got == 0) {
            // With VMIN = VTIME = 0 an empty queue reads as 0 even without
            // O_NONBLOCK, and so does a line that was hung up; poll tells
            // them apart.
            errno = HungUp() ? EIO : EAGAIN;
            return -1;
        }
        const int data = parser_.Parse(buffer, lead, lead + static_cast<int>(got));
        markFlags_.fetch_or(parser_.TakeFlags());
        return data;
    }

    int Write(const std::uint8_t* bytes, int length) override {
        if (length <= 0)
            return 0;
        ssize_t put;
        do {
            put = write(fd_.load(), bytes, static_cast<std::size_t>(length));
        } while (put < 0 && errno == EINTR);
        // The output queue was full: reported with the line errors.
        if (put < 0 && errno == EAGAIN)
            markFlags_.fetch_or(CE_TXFULL);
        return static_cast<int>(put);
    }

    int OutputQueued() override {
        int n = 0;
        return RetryIoctl(fd_.load(), TIOCOUTQ, &n) == 0 ? n : 0;
    }

    std::uint32_t TakeErrors() override {
        std::lock_guard lock(errorMutex_);
        const std::uint32_t marks = markFlags_.exchange(0);
        serial_icounter_struct now{};
        if (!hasCounters_ || RetryIoctl(fd_.load(), TIOCGICOUNT, &now) < 0)
            return ErrorFlags(marks, nullptr, nullptr);
        const LineErrorCounts before = Counts(counters_);
        const LineErrorCounts after = Counts(now);
        counters_ = now;
        return ErrorFlags(marks, &before, &after);
    }

    bool SetDtr(bool raise) override { return SetLine(TIOCM_DTR, raise); }
    bool SetRts(bool raise) override { return SetLine(TIOCM_RTS, raise); }

    int ModemLines() override {
        int bits = 0;
        if (RetryIoctl(fd_.load(), TIOCMGET, &bits) < 0)
            return -1;
        int lines = 0;
        if (bits & TIOCM_DTR)
            lines |= kLineDtr;
        if (bits & TIOCM_RTS)
            lines |= kLineRts;
        if (bits & TIOCM_CTS)
            lines |= kLineCts;
        if (bits & TIOCM_DSR)
            lines |= kLineDsr;
        return lines;
    }

    void Purge() override {
        std::lock_guard lock(readMutex_);
        tcflush(fd_.load(), TCIOFLUSH);
        // A mark half read belongs to input that is gone now.
        parser_.Reset();
    }

    void PurgeOutput() override { tcflush(fd_.load(), TCOFLUSH); }

    WaitResult WaitInput(int wakeFd, int timeoutMs) override {
        return Wait(POLLIN, wakeFd, timeoutMs);
    }
    WaitResult WaitOutput(int wakeFd, int timeoutMs) override {
        return Wait(POLLOUT, wakeFd, timeoutMs);
    }
    WaitResult WaitModemChange(int wakeFd, int timeoutMs) override {
        return lineWatch_.Wait(wakeFd, timeoutMs);
    }

    void Close() override {
        lineWatch_.Stop();  // it waits in the driver on our descriptor
        const int fd = fd_.exchange(-1);
        if (fd < 0)
            return;
        flock(fd, LOCK_UN);
        close(fd);
        lock_.Release();
    }

  private:
    bool HungUp() {
        pollfd p{fd_.load(), POLLIN, 0};
        int r;
        do {
            r = poll(&p, 1, 0);
        } while (r < 0 && errno == EINTR);
        return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    bool SetLine(int bit, bool raise) {
        return RetryIoctl(fd_.load(), raise ? TIOCMBIS : TIOCMBIC, &bit) == 0;
    }

    WaitResult Wait(short events, int wakeFd, int timeoutMs) {
        const int fd = fd_.load();
        if (fd < 0) {
            errno = EBADF;
            return WaitResult::Failed;
        }
        pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        const int r = RetryPoll(fds, count, timeoutMs);
        if (r <= 0)
            return r < 0 ? WaitResult::Failed : WaitResult::Timeout;
        if (count == 2 && fds[1].revents != 0) {
            if (fds[1].revents & POLLIN)
                return WaitResult::Woken;
            errno = EBADF;
            return WaitResult::Failed;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return WaitResult::Hangup;
        return WaitResult::Ready;
    }

    std::atomic<int> fd_;
    ModemLineWatch lineWatch_{[this] {
        return ioctl(fd_.load(), TIOCMIWAIT, static_cast<unsigned long>(TIOCM_CTS | TIOCM_DSR));
    }};
    PortLock lock_;  // released by whoever closes fd_

    mutable std::mutex planMutex_;
    LinePlan applied_;
    LinePlan accepted_;

    // Read and Purge share the parser; they run on different threads.
    std::mutex readMutex_;
    LineMarkParser parser_;
    std::atomic<std::uint32_t> markFlags_{0};

    // TakeErrors is called by the reader and by the writer.
    std::mutex errorMutex_;
    bool hasCounters_ = false;
    serial_icounter_struct counters_{};
};

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

std::unique_ptr<Port> OpenByDevice(const std::string& name) {
    const std::filesystem::path device = DeviceForPort(name);
    if (device.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    return OpenSerialPort(device);
}

std::mutex openerMutex;
PortOpener& Opener() {
    static PortOpener opener = OpenByDevice;
    return opener;
}

}  // namespace

std::string PortName(int number) {
    if (number == kSoundCardPort)
        return kSoundCardName;
    char name[24];
    std::snprintf(name, sizeof name, "%s%d", LoadResourceString(kStringComPrefix), number);
    return name;
}

std::filesystem::path PortFolder() {
    std::filesystem::path base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0')
        base = config;
    else
        base = HomeFolder() / ".config";
    return base / "tavirel" / "ports";
}

std::filesystem::path DeviceForPort(const std::string& name) {
    const std::string_view comPrefix = LoadResourceString(kStringComPrefix);
    const std::size_t prefix = comPrefix.size();
    if (name.size() <= prefix || name.compare(0, prefix, comPrefix) != 0)
        return {};
    int number = 0;
    const char* first = name.data() + prefix;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, number);
    // Only the name PortName makes: no sign, no leading zero, nothing after.
    if (error != std::errc() || end != last || number < 1 || PortName(number) != name)
        return {};

    const std::filesystem::path link = PortFolder() / name;
    std::error_code ec;
    // A dangling link still names the port; opening it then fails.
    if (std::filesystem::exists(std::filesystem::symlink_status(link, ec)))
        return link;
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::uint32_t ErrorFlags(std::uint32_t markFlags, const LineErrorCounts* before,
                         const LineErrorCounts* now) {
    if (before == nullptr || now == nullptr)
        return markFlags;
    std::uint32_t flags = markFlags & CE_TXFULL;
    if (now->bufOverrun != before->bufOverrun)
        flags |= CE_RXOVER;
    if (now->overrun != before->overrun)
        flags |= CE_OVERRUN;
    if (now->parity != before->parity)
        flags |= CE_RXPARITY;
    if (now->frame != before->frame)
        flags |= CE_FRAME;
    if (now->brk != before->brk)
        flags |= CE_BREAK;
    return flags;
}

std::unique_ptr<Port> OpenSerialPort(const std::filesystem::path& device) {
    // Every refusal is logged with its reason; errno tells the caller.
    const auto refuse = [&](const std::string& step, int err,
                            const std::string& detail = {}) -> std::unique_ptr<Port> {
        LinkWarning("Cannot use " + device.string() + ": " + step + ": " + std::strerror(err) +
                    detail);
        errno = err;
        return nullptr;
    };
    const auto process = [](pid_t pid) -> std::string {
        if (pid == getpid())
            return " (this program has it open already)";
        return pid > 0 ? " (process " + std::to_string(static_cast<long>(pid)) + ")" : "";
    };

    // The lock file is named after the device itself, whatever link led to it.
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(device, ec);
    if (ec)
        return refuse("open", ec.value());
    PortLock lock;
    if (!lock.Acquire(resolved))
        return refuse("lock file " + lock.file().string(), EBUSY, process(lock.holder()));

    int fd;
    do {
        fd = open(resolved.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return refuse("open", errno);
    // From here on every way out closes fd, which also drops a flock taken on
    // it; the lock file goes with `lock`.
    if (!isatty(fd)) {
        CloseKeepingErrno(fd);
        return refuse("isatty", ENOTTY);
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked < 0 && errno == EINTR);
    if (locked < 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        CloseKeepingErrno(fd);
        return refuse("flock", err);
    }
    struct stat st {};
    if (fstat(fd, &st) < 0) {
        CloseKeepingErrno(fd);
        return refuse("fstat", errno);
    }
    // Looked for after our open, so a program that opened it meanwhile is seen.
    if (const pid_t other = OtherProcessHolding(st.st_rdev); other != 0) {
        CloseKeepingErrno(fd);
        return refuse("held open", EBUSY, process(other));
    }
    return std::make_unique<PosixPort>(fd, std::move(lock));
}

void SetPortOpener(PortOpener opener) {
    std::lock_guard lock(openerMutex);
    Opener() = opener ? std::move(opener) : PortOpener(OpenByDevice);
}

std::unique_ptr<Port> OpenPortNamed(const std::string& name) {
    PortOpener opener;
    {
        std::lock_guard lock(openerMutex);
        opener = Opener();
    }
    return opener(name);
}

}  // namespace tavirel
