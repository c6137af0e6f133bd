// The one file transfer that may run beside the terminal: a capture (the
// reader appends what it receives) or a send (which only resets the counters
// and owns its file itself, so received bytes reach no file during a send).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

namespace tavirel {

// The dialog that shows the counters. Called from the reader thread, so both
// must hand on without waiting.
class ProgressDialog {
  public:
    virtual ~ProgressDialog() = default;
    // The counters moved. Not called again until TakeCounters, so a flood
    // costs the window one pending call.
    virtual void CountersChanged() = 0;
    // An append failed (errno in error): the capture has stopped taking data.
    virtual void CaptureFailed(int error) = 0;
};

struct TransferCounters {
    std::int32_t bytesRead = 0;
    std::int32_t bytesSaved = 0;
};

class TransferState {
  public:
    // Sets the counters to 0.
    void ResetCounters();
    // Makes file the capture file, after the counters are reset and the
    // dialog is set, so the reader never sees a half-started capture. The
    // reader writes past the stream's buffer, straight to its descriptor.
    void Start(std::FILE* file, ProgressDialog* dialog);
    // Takes the file out; once this returns the reader no longer touches it,
    // and the caller closes it. Null when none was open.
    std::FILE* Finish();

    // Reader thread: counts a block (raw bytes read, characters after
    // decoding) and hands it to the operating system before it returns, while
    // a capture runs. bytesSaved counts what the file took. After a failed
    // write the capture takes nothing more.
    void RecordBlock(const std::uint8_t* chars, std::int32_t count, std::int32_t raw);

    std::int32_t BytesRead() const { return bytesRead_.load(); }
    std::int32_t BytesSaved() const { return bytesSaved_.load(); }
    // The dialog's side of CountersChanged: the latest values, and the next
    // change is announced again.
    TransferCounters TakeCounters();

    std::atomic<std::int32_t> sendInProgress{0};

    // No file, no dialog, the counters and the send flag at 0.
    void ResetForTests();

  private:
    std::mutex mutex_;
    std::FILE* transferFile_ = nullptr;
    ProgressDialog* progressDialog_ = nullptr;  // set when a capture starts
    bool failed_ = false;
    std::atomic<bool> announced_{false};
    std::atomic<std::int32_t> bytesRead_{0};
    std::atomic<std::int32_t> bytesSaved_{0};
};

// The process-wide transfer (owned by ProcessState, link/process_state.h).
TransferState& Transfer();

// Held by the dialog that runs a capture, so that however the dialog goes
// away the capture ends with it: the reader stops touching the file and the
// dialog, and the file is closed. Ends only a capture it started.
class TransferGuard {
  public:
    explicit TransferGuard(TransferState& transfer = Transfer()) : transfer_(transfer) {}
    ~TransferGuard() { End(); }
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;

    // TransferState::Start, with file now held by this guard.
    void Start(std::FILE* file, ProgressDialog* dialog);
    // Takes the file out of the transfer and closes it. False when the close
    // failed; true also when this guard held nothing.
    bool End();
    bool Running() const { return running_; }

  private:
    TransferState& transfer_;
    bool running_ = false;
};

}  // namespace tavirel
