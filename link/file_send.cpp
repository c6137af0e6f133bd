#include "link/file_send.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "code/line_ends.h"
#include "link/line_settings.h"
#include "link/port_io.h"
#include "link/process_state.h"
#include "link/transfer_state.h"

namespace tavirel {

namespace {

// Line time queued ahead: enough to cover a busy window between two write
// ends; a purge drops it all, so it costs nothing when the operator stops.
constexpr auto kAheadTime = std::chrono::milliseconds(100);

}  // namespace

FileSend::FileSend(TerminalWindow* window, std::FILE* file, Events events,
                   std::vector<std::size_t> crBefore, std::size_t blockSize)
    : window_(window),
      file_(file),
      events_(std::move(events)),
      blockSize_(blockSize),
      crBefore_(std::move(crBefore)) {}

FileSend::~FileSend() {
    if (file_ != nullptr)
        std::fclose(file_);
}

std::size_t FileSend::Ahead() const {
    const TtyState* state = window_->State();
    const auto charTime = state ? CharacterTime(*state) : kAheadTime;
    const auto n = charTime.count() > 0 ? kAheadTime / charTime : 0;
    return std::max<std::size_t>(2, static_cast<std::size_t>(n));
}

void FileSend::Start() {
    Transfer().ResetCounters();
    Transfer().sendInProgress = 1;
    running_ = true;
    Fill();
}

bool FileSend::NextByte(std::uint8_t& ch, std::int64_t& index) {
    if (atEnd_)
        return false;
    if (blockPos_ == block_.size()) {
        block_.resize(blockSize_);
        const std::size_t n = std::fread(block_.data(), 1, blockSize_, file_);
        block_.resize(n);
        blockPos_ = 0;
        if (n == 0) {
            if (std::ferror(file_))
                readError_ = errno != 0 ? errno : EIO;
            atEnd_ = true;
            return false;
        }
    }
    ch = block_[blockPos_];
    // The file is text up to its first 0 byte: picture files end with one.
    if (ch == 0) {
        atEnd_ = true;
        return false;
    }
    while (nextCr_ < crBefore_.size() && std::cmp_less(crBefore_[nextCr_], nextIndex_))
        ++nextCr_;
    if (nextCr_ < crBefore_.size() && std::cmp_equal(crBefore_[nextCr_], nextIndex_)) {
        ++nextCr_;
        ch = '\r';
        index = -1;
        return true;
    }
    ++blockPos_;
    index = nextIndex_++;
    return true;
}

void FileSend::Fill() {
    const std::size_t ahead = Ahead();
    while (running_ && Transfer().sendInProgress.load() != 0 && pending_.size() < ahead) {
        std::uint8_t ch = 0;
        std::int64_t index = 0;
        if (!NextByte(ch, index))
            break;
        Pending p{0, index, ch, true, false};
        int started = 0;
        if (CodeMode.load() == ModeBaudot) {
            const BaudotCodes codes = Process().sender.Encode(ch);
            p.hasCode = codes.count > 0;
            // A character without a code still takes its turn, so the screen
            // keeps the file's order.
            started = WriteCommBlock(window_, codes.bytes.data(), codes.count, &p.id);
            if (started == 0)
                Process().sender.ForgetShift();
        } else {
            started = WriteCommBlock(window_, &ch, 1, &p.id);
        }
        if (started == 0 || p.id == 0) {
            Finish(End::LineLost, 0);
            return;
        }
        pending_.push_back(p);
    }
    if (pending_.empty() && running_) {
        if (readError_ != 0)
            Finish(End::ReadError, readError_);
        else
            Finish(Transfer().sendInProgress.load() != 0 ? End::Done : End::Stopped, 0);
    }
}

void FileSend::Sent(const Pending& p) {
    const TtyState* state = window_->State();
    const char c = static_cast<char>(p.ch);
    if (state != nullptr && CodeMode.load() == ModeBaudot && state->localEcho) {
        // As a typed character is echoed.
        if (p.ch == '\r' && state->newLine)
            window_->WriteToScreen("\n", 1);
        window_->WriteToScreen(p.hasCode ? &c : "~", 1);
    } else {
        window_->WriteToScreen(&c, 1);
    }
    if (events_.sent && p.index >= 0)
        events_.sent(p.index);
}

void FileSend::OnWriteDone(const WriteDone& done) {
    // Write ends come in the order of the writes.
    if (!running_ || pending_.empty() || pending_.front().id != done.id)
        return;
    // The queue is up to date before anything is shown, so a call made
    // meanwhile finds it as it is.
    const Pending p = pending_.front();
    const bool timedOut = done.how == WriteEnd::TimedOut;
    if (timedOut)
        pending_.front().counted = true;
    else
        pending_.pop_front();
    if ((timedOut || done.how == WriteEnd::Complete) && !p.counted)
        Sent(p);
    if (!timedOut)
        Fill();
}

void FileSend::Stop() {
    if (!running_)
        return;
    Transfer().sendInProgress = 0;
    pending_.clear();
    PurgeWrites(window_);
    Finish(End::Stopped, 0);
}

void FileSend::Finish(End end, int error) {
    if (!running_)
        return;
    running_ = false;
    Transfer().sendInProgress = 0;
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (events_.ended)
        events_.ended(end, error);
}

std::vector<std::size_t> LoneLineFeedsInFile(std::FILE* file) {
    std::vector<std::size_t> found;
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode))
        return found;
    LoneLineFeedFinder finder;
    std::vector<char> block(65536);
    std::size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), file)) > 0) {
        const std::string_view piece(block.data(), n);
        const std::size_t nul = piece.find('\0');
        finder.Scan(piece.substr(0, nul), found);
        if (nul != std::string_view::npos)
            break;
    }
    // A read error shows again when the send reads.
    std::rewind(file);
    return found;
}

}  // namespace tavirel
