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

  private:
    std::mutex mutex_;
    std::FILE* transferFile_ = nullptr;
    ProgressDialog* progressDialog_ = nullptr;  // set when a transfer starts, never cleared
    std::atomic<std::int32_t> bytesRead_{0};
    std::atomic<std::int32_t> bytesSaved_{0};
};

// The process-wide transfer.
TransferState& Transfer();

}  // namespace tavirel
