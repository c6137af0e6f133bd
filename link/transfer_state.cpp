#include "link/transfer_state.h"

namespace tavirel {

namespace {

// Counters wrap like the 32-bit values they are, without overflow.
std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
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
    progressDialog_ = dialog;
    transferFile_ = file;
}

std::FILE* TransferState::Finish() {
    std::lock_guard lock(mutex_);
    std::FILE* file = transferFile_;
    transferFile_ = nullptr;
    return file;
}

void TransferState::RecordBlock(const std::uint8_t* chars, std::int32_t count, std::int32_t raw) {
    std::lock_guard lock(mutex_);
    if (transferFile_ == nullptr)
        return;
    bytesSaved_ = Add(bytesSaved_, count);
    bytesRead_ = Add(bytesRead_, raw);
    if (progressDialog_ != nullptr) {
        progressDialog_->PostItemText(IDC_BYTES_READ, std::to_string(bytesRead_.load()));
        progressDialog_->PostItemText(IDC_BYTES_SAVED, std::to_string(bytesSaved_.load()));
    }
    if (count > 0)
        std::fwrite(chars, 1, static_cast<std::size_t>(count), transferFile_);
}

void TransferState::ResetForTests() {
    std::lock_guard lock(mutex_);
    transferFile_ = nullptr;
    progressDialog_ = nullptr;
    bytesRead_ = 0;
    bytesSaved_ = 0;
    sendInProgress = 0;
}

void TransferGuard::Start(std::FILE* file, ProgressDialog* dialog) {
    transfer_.Start(file, dialog);
    running_ = true;
}

void TransferGuard::End() {
    if (!running_)
        return;
    running_ = false;
    if (std::FILE* file = transfer_.Finish())
        std::fclose(file);
}

}  // namespace tavirel
