#include "link/write_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>

#include "link/diagnostics.h"
#include "link/port.h"
#include "link/port_io.h"
#include "link/sender.h"
#include "link/terminal_window.h"
#include "link/tty_state.h"

namespace tavirel {

namespace {

// How much line time may sit in the driver ahead of the line clock: enough
// that the line never idles between writes, little enough that a purge stops
// it within one character.
constexpr std::chrono::milliseconds kLead(2);
// The shortest sleep while the driver holds output: the clock's own grain.
constexpr std::chrono::milliseconds kMinHeldWait(1);
// The longest, while the driver holds its output without sending any (XOFF):
// how late the line may start again after the far end lets it.
constexpr std::chrono::milliseconds kMaxHeldLook(20);

// Ids run on across connections, so a late end from a closed one is never
// taken for a new write's.
std::atomic<std::uint64_t> lastId{0};

int MakeWakeFd() {
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "write queue wake-up");
    return fd;
}

int MinTimeout(int a, int b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

}  // namespace

WriteQueue::WriteQueue(TerminalWindow* window, TtyState* state, Port* port, int wakeFd,
                       std::uint32_t msPerByte, std::chrono::nanoseconds characterTime,
                       Clock& clock)
    : window_(window),
      state_(state),
      port_(port),
      wakeFd_(wakeFd),
      msPerByte_(msPerByte),
      clock_(clock),
      charTime_(characterTime),
      lineFree_(clock.Now()) {
    // Without a wake-up the writer would sleep for good and Stop never end.
    if (wakeFd_ < 0)
        wakeFd_ = ownWakeFd_ = MakeWakeFd();
    state_->deviceGoneShown = false;
    clock_.AddSleeper(wakeFd_);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (...) {
        clock_.RemoveSleeper(wakeFd_);
        if (ownWakeFd_ >= 0)
            ::close(ownWakeFd_);
        throw;
    }
}

WriteQueue::~WriteQueue() {
    Stop();
    clock_.RemoveSleeper(wakeFd_);
    if (ownWakeFd_ >= 0)
        ::close(ownWakeFd_);
}

std::uint64_t WriteQueue::Enqueue(const std::uint8_t* bytes, int length) {
    std::uint64_t id;
    {
        std::lock_guard lock(mutex_);
        if (stop_ || failed_)
            return 0;
        id = ++lastId;
        // An empty write still gets its end, in its turn.
        writes_.push_back(Write{id, length > 0 ? std::vector<std::uint8_t>(bytes, bytes + length)
                                               : std::vector<std::uint8_t>()});
    }
    Wake();
    return id;
}

void WriteQueue::SetCharacterTime(std::chrono::nanoseconds characterTime) {
    std::lock_guard lock(mutex_);
    charTime_ = characterTime;
}

void WriteQueue::Purge() {
    int cut = 0;
    {
        std::lock_guard lock(mutex_);
        bool dropped = port_->OutputQueued() > 0;
        const std::vector<std::size_t> sent = SentEach();
        for (std::size_t i = 0; i < writes_.size(); ++i) {
            const Write& w = writes_[i];
            dropped = dropped || w.fed < w.bytes.size();
            Post(w, sent[i], WriteEnd::CutShort);
            if (!w.started)
                continue;
            // One that timed out was reported already; its mark says it was
            // cut short all the same.
            if (!w.reported)
                ReportEnd(w, sent[i]);
            ++cut;
        }
        writes_.clear();
        // Received bytes stay: the reader may still be draining them.
        port_->PurgeOutput();
        lineFree_ = clock_.Now();
        // A shift code may have been among them: the machine's shift is not
        // known any more.
        if (dropped)
            ForgetShiftSent();
    }
    idle_.notify_all();
    // Cut short while it was waited for: the aborted-operation mark, always;
    // then the line errors, when the operator wants them.
    for (int i = 0; i < cut; ++i)
        window_->PostErrorMark(ErrorMarkText(kErrorOperationAborted));
    if (cut > 0) {
        const std::uint32_t flags = port_->TakeErrors();
        if (flags != 0 && state_->displayErrors.load())
            window_->PostErrorMark(ErrorMarkText(flags));
    }
    Wake();
}

void WriteQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
    }
    Purge();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    Wake();
    if (thread_.joinable())
        thread_.join();
    idle_.notify_all();
}

bool WriteQueue::Idle() {
    std::lock_guard lock(mutex_);
    return writes_.empty();
}

bool WriteQueue::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, limit, [this] { return writes_.empty() || stop_ || failed_; });
}

void WriteQueue::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void WriteQueue::DrainWake() {
    std::uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
}

// How much of each queued write has left the line: what the driver still
// holds is the last of what was fed.
std::vector<std::size_t> WriteQueue::SentEach() {
    auto queued = static_cast<std::size_t>(std::max(0, port_->OutputQueued()));
    std::vector<std::size_t> sent(writes_.size());
    for (std::size_t i = writes_.size(); i-- > 0;) {
        const std::size_t held = std::min(queued, writes_[i].fed);
        sent[i] = writes_[i].fed - held;
        queued -= held;
    }
    return sent;
}

// Under the lock, so ends reach the window in the order of the writes.
void WriteQueue::Post(const Write& w, std::size_t sent, WriteEnd how) {
    window_->PostWriteDone(WriteDone{w.id, sent, how});
}

void WriteQueue::ReportEnd(const Write& w, std::size_t sent) {
    if (sent == w.bytes.size()) {
        LinkDiagnostic("\n%ld bytes written", static_cast<long>(sent));
    } else {
        LinkDiagnostic("\nProbable Write Timeout: Total of %ld bytes sent",
                       static_cast<long>(sent));
    }
}

// The writer waits while a line it was told to follow is low, on devices that
// have the lines.
bool WriteQueue::FlowHeld() {
    const LinePlan plan = port_->Applied();
    if (!plan.waitForCts && !plan.waitForDsr)
        return false;
    const int lines = port_->ModemLines();
    if (lines < 0)
        return false;
    return (plan.waitForCts && !(lines & kLineCts)) || (plan.waitForDsr && !(lines & kLineDsr));
}

// The device failed under a write: the error's mark, always; the line errors
// when wanted. Nothing more can go out, so every queued write ends here.
void WriteQueue::FailAll(int error) {
    const std::vector<std::size_t> sent = SentEach();
    for (std::size_t i = 0; i < writes_.size(); ++i) {
        const Write& w = writes_[i];
        if (w.started && !w.reported)
            ReportEnd(w, sent[i]);
        Post(w, sent[i], WriteEnd::Failed);
    }
    writes_.clear();
    failed_ = true;
    ForgetShiftSent();
    // The reader may have seen the device go too: one mark between them.
    if (error == EIO)
        PostDeviceGone(window_, *state_);
    else
        window_->PostErrorMark(ErrorMarkText(static_cast<std::uint32_t>(error)));
    const std::uint32_t flags = port_->TakeErrors();
    if (flags != 0 && state_->displayErrors.load())
        window_->PostErrorMark(ErrorMarkText(flags));
    idle_.notify_all();
}

// How long the driver needs for what it holds; never less than the clock's
// grain, so a driver that holds its output (XOFF) is looked at seldom.
std::chrono::nanoseconds WriteQueue::HeldTime(int queued) const {
    return std::max<std::chrono::nanoseconds>(charTime_ * std::max(queued, 1), kMinHeldWait);
}

void WriteQueue::Run() {
    std::unique_lock lock(mutex_);
    // A driver whose count has not moved since the last look is holding its
    // output: each such look waits twice as long, up to kMaxHeldLook.
    int lastHeld = -1;  // the count at the last look; -1 after a feed
    std::chrono::nanoseconds stuck{0};
    // A port with its own clock says itself when it wants bytes and when
    // they have left; the writer then waits on the port alone.
    const bool paced = port_->PacesOutput();
    while (!stop_) {
        const Clock::Time now = clock_.Now();
        int timeout = -1;
        int held = 0;
        std::chrono::nanoseconds heldWait = std::chrono::nanoseconds::max();
        bool onPort = false;

        // Writes at the front whose bytes have all left the line are done.
        while (!writes_.empty() && writes_.front().fed == writes_.front().bytes.size()) {
            Write& w = writes_.front();
            if (paced) {
                if (!w.bytes.empty() && SentEach().front() < w.bytes.size()) {
                    onPort = true;
                    break;
                }
            } else if (now < w.lineEnd) {
                timeout = MinTimeout(timeout, clock_.WaitMs(w.lineEnd));
                break;
            }
            // The driver still holds some: the line is slower than its clock.
            if (const int queued = paced ? 0 : port_->OutputQueued(); queued > 0) {
                held = queued;
                heldWait = HeldTime(queued);
                break;
            }
            if (!w.reported)
                ReportEnd(w, w.bytes.size());
            Post(w, w.bytes.size(), WriteEnd::Complete);
            writes_.pop_front();
        }
        if (writes_.empty())
            idle_.notify_all();

        // A write past its deadline is reported and counts as finished; its
        // rest still goes out when the line moves again.
        if (msPerByte_ != 0) {
            for (std::size_t i = 0; i < writes_.size(); ++i) {
                Write& w = writes_[i];
                // An empty write is never started, nor late.
                if (w.bytes.empty())
                    continue;
                if (!w.started)
                    break;
                if (w.reported)
                    continue;
                if (now >= w.deadline) {
                    const std::size_t sent = SentEach()[i];
                    ReportEnd(w, sent);
                    Post(w, sent, WriteEnd::TimedOut);
                    w.reported = true;
                } else {
                    timeout = MinTimeout(timeout, clock_.WaitMs(w.deadline));
                }
            }
        }

        // Feed the next bytes when the line clock is about to run out.
        enum class Sleep { OnWake, OnDriver, OnModemLines } sleep = Sleep::OnWake;
        const auto next = std::find_if(writes_.begin(), writes_.end(),
                                       [](const Write& w) { return w.fed < w.bytes.size(); });
        if (next != writes_.end()) {
            if (paced) {
                next->started = true;
                const int r = port_->Write(next->bytes.data() + next->fed,
                                           static_cast<int>(next->bytes.size() - next->fed));
                if (r > 0) {
                    next->fed += static_cast<std::size_t>(r);
                    continue;
                }
                if (r < 0 && errno != EAGAIN) {
                    FailAll(errno);
                    continue;
                }
                onPort = true;
            } else if (FlowHeld()) {
                sleep = Sleep::OnModemLines;
            } else {
                if (!next->started) {
                    next->started = true;
                    next->deadline = now + std::chrono::milliseconds(
                                               std::int64_t{msPerByte_} *
                                               static_cast<std::int64_t>(next->bytes.size()));
                    if (msPerByte_ != 0)
                        timeout = MinTimeout(timeout, clock_.WaitMs(next->deadline));
                }
                const Clock::Time lineFree = std::max(lineFree_, now);
                const int queued = std::max(0, port_->OutputQueued());
                if (lineFree - now <= kLead && charTime_ * queued <= kLead) {
                    const auto room = charTime_.count() > 0 ? kLead / charTime_ : 1;
                    const auto count = static_cast<int>(std::clamp<std::int64_t>(
                        room, 1, static_cast<std::int64_t>(next->bytes.size() - next->fed)));
                    const int r = port_->Write(next->bytes.data() + next->fed, count);
                    if (r > 0) {
                        next->fed += static_cast<std::size_t>(r);
                        lineFree_ = lineFree + charTime_ * r;
                        next->lineEnd = lineFree_;
                        lastHeld = -1;
                        continue;
                    }
                    if (r < 0 && errno != EAGAIN) {
                        FailAll(errno);
                        continue;
                    }
                    sleep = Sleep::OnDriver;
                } else if (charTime_ * queued > kLead) {
                    // The driver holds more than the lead: wait until only
                    // the lead is left, not for the clock, which has run out.
                    held = queued;
                    heldWait = std::min(heldWait, std::max<std::chrono::nanoseconds>(
                                                      HeldTime(queued) - kLead, HeldTime(1)));
                } else {
                    timeout = MinTimeout(timeout, clock_.WaitMs(lineFree - kLead));
                }
            }
        }

        if (held > 0) {
            stuck = held == lastHeld ? std::min<std::chrono::nanoseconds>(
                                           std::max(stuck * 2, heldWait), kMaxHeldLook)
                                     : std::chrono::nanoseconds(0);
            lastHeld = held;
            timeout = MinTimeout(timeout, clock_.WaitMs(now + std::max(heldWait, stuck)));
        }

        if (onPort)
            sleep = Sleep::OnDriver;
        lock.unlock();
        WaitResult result;
        switch (sleep) {
            case Sleep::OnDriver:
                result = port_->WaitOutput(wakeFd_, timeout);
                break;
            case Sleep::OnModemLines:
                result = port_->WaitModemChange(wakeFd_, timeout);
                break;
            case Sleep::OnWake:
            default: {
                pollfd fd{wakeFd_, POLLIN, 0};
                const int n = ::poll(&fd, 1, timeout);
                result = n > 0 ? WaitResult::Woken : WaitResult::Timeout;
                break;
            }
        }
        if (result == WaitResult::Woken)
            DrainWake();
        lock.lock();
        if (result == WaitResult::Hangup && !writes_.empty())
            FailAll(EIO);
    }
}

}  // namespace tavirel
