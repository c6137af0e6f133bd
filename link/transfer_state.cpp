#include "link/transfer_state.h"

#include <unistd.h>

#include <cerrno>

namespace tavirel {

namespace {

// Counters wrap like the 32-bit values they are, without overflow.
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Writes all it can; returns the bytes written and sets error on a failure.
std::size_t WriteAll(int fd, const std::uint8_t* bytes, std::size_t length, int& error) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
    }
    return done;
}

}  // namespace

void TransferState::ResetCounters() {
    std::lock_guard lock(mutex_);
    bytesRead_ = 0;
    bytesSaved_ = 0;
}

void TransferState::Start(std::FILE* file, ProgressDialog* dialog) {
    std::lock_guard lock(mutex_);
    bytesRead_ = 0;
    bytesSaved_ = 0;
    failed_ = false;
    announced_ = false;
    progressDialog_ = dialog;
    transferFile_ = file;
}

std::FILE* TransferState::Finish() {
    std::lock_guard lock(mutex_);
    std::FILE* file = transferFile_;
    transferFile_ = nullptr;
    progressDialog_ = nullptr;
    return file;
}

TransferCounters TransferState::TakeCounters() {
    announced_ = false;
    return {bytesRead_.load(), bytesSaved_.load()};
}

void TransferState::RecordBlock(const std::uint8_t* chars, std::int32_t count, std::int32_t raw) {
    std::lock_guard lock(mutex_);
    if (transferFile_ == nullptr || failed_)
        return;
    int error = 0;
    std::size_t written = 0;
    if (count > 0) {
        written = WriteAll(::fileno(transferFile_), chars, static_cast<std::size_t>(count), error);
    }
    bytesRead_ = Add(bytesRead_, raw);
    bytesSaved_ = Add(bytesSaved_, static_cast<std::int32_t>(written));
    if (progressDialog_ == nullptr)
        return;
    if (error != 0) {
        failed_ = true;
        progressDialog_->CaptureFailed(error);
    }
    if (!announced_.exchange(true))
        progressDialog_->CountersChanged();
}

void TransferState::ResetForTests() {
    std::lock_guard lock(mutex_);
    transferFile_ = nullptr;
    progressDialog_ = nullptr;
    failed_ = false;
    announced_ = false;
    bytesRead_ = 0;
    bytesSaved_ = 0;
    sendInProgress = 0;
}

void TransferGuard::Start(std::FILE* file, ProgressDialog* dialog) {
    transfer_.Start(file, dialog);
    running_ = true;
}

bool TransferGuard::End() {
    if (!running_)
        return true;
    running_ = false;
    if (std::FILE* file = transfer_.Finish())
        return std::fclose(file) == 0;
    return true;
}

}  // namespace tavirel
