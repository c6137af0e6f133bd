// The one file transfer that may run beside the terminal: a capture (the
// reader appends what it receives) or a send (the file being sent).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "resources/ids.h"

namespace tavirel {

// The dialog that shows the counters; called from the reader thread, so it
// must hand the texts on without waiting.
class ProgressDialog {
  public:
    virtual ~ProgressDialog() = default;
    virtual void PostItemText(int controlId, const std::string& text) = 0;
};

class TransferState {
  public:
    // Sets the counters to 0.
    void ResetCounters();
    // Makes file the transfer file, after the counters are reset and the
    // dialog is set, so the reader never sees a half-started capture.
    void Start(std::FILE* file, ProgressDialog* dialog);
    // Takes the file out; once this returns the reader no longer touches it,
    // and the caller closes it. Null when none was open.
    std::FILE* Finish();

    // Reader thread: counts a block (raw bytes read, characters after
    // decoding), shows the counters and appends the characters, while a
    // transfer file is open.
    void RecordBlock(const std::uint8_t* chars, std::int32_t count, std::int32_t raw);

    std::int32_t BytesRead() const { return bytesRead_.load(); }
    std::int32_t BytesSaved() const { return bytesSaved_.load(); }

    std::atomic<std::int32_t> sendInProgress{0};

    // No file, no dialog, the counters and the send flag at 0.
    void ResetForTests();

  private:
    std::mutex mutex_;
    std::FILE* transferFile_ = nullptr;
    ProgressDialog* progressDialog_ = nullptr;  // set when a transfer starts, never cleared
    std::atomic<std::int32_t> bytesRead_{0};
    std::atomic<std::int32_t> bytesSaved_{0};
};

// The process-wide transfer (owned by ProcessState, link/process_state.h).
TransferState& Transfer();

// Held by the dialog that runs a transfer, so that however the dialog goes
// away the transfer ends with it: the reader stops touching the file and the
// dialog, and the file is closed. Ends only a transfer it started.
class TransferGuard {
  public:
    explicit TransferGuard(TransferState& transfer = Transfer()) : transfer_(transfer) {}
    ~TransferGuard() { End(); }
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;

    // TransferState::Start, with file now held by this guard.
    void Start(std::FILE* file, ProgressDialog* dialog);
    // Takes the file out of the transfer and closes it; nothing when this
    // guard holds no transfer. The result of the close is not looked at.
    void End();
    bool Running() const { return running_; }

  private:
    TransferState& transfer_;
    bool running_ = false;
};

}  // namespace tavirel
