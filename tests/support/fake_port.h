// A port with a programmable far end: what is written is kept, what the far
// end sends is queued for reading, and modem lines, line errors, a stalled
// driver, output held in the driver and a hang-up are set by the test.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/port.h"

namespace tavirel::test {

class FakePort : public Port {
    // Reads state the link's threads also write.
    template <typename F>
    auto Locked(F read) const {
        std::lock_guard lock(mutex_);
        return read();
    }

  public:
    FakePort();
    ~FakePort() override;

    // The far end.
    void Send(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> Received() {
        return Locked([&] { return output_; });
    }  // all written
    void InjectErrors(std::uint32_t flags);
    void SetInputLines(bool cts, bool dsr);
    void SetHasModemLines(bool has);
    void StallWrites(bool stalled);  // the driver takes nothing (EAGAIN)
    // The driver takes bytes but holds them (XOFF, a slow adapter): they count
    // in OutputQueued until drained onto the line. Releasing drains them all.
    void HoldOutput(bool held);
    void DrainOutput(std::size_t n);
    void FailWrites(int error);  // every write fails with this errno
    void HangUp();
    bool Dtr() {
        return Locked([&] { return dtr_; });
    }
    bool Rts() {
        return Locked([&] { return rts_; });
    }
    int Purges() {
        return Locked([&] { return purges_; });
    }  // both directions
    int OutputPurges() {
        return Locked([&] { return outputPurges_; });
    }
    std::vector<int> ReadSizes() {
        return Locked([&] { return readSizes_; });
    }  // maxLength of each Read
    int WriteAttempts() {
        return Locked([&] { return writeAttempts_; });
    }
    bool IsClosed() {
        return Locked([&] { return closed_; });
    }
    // How often the writer looked: a waiting writer looks seldom.
    int OutputQueuedCalls() {
        return Locked([&] { return outputQueuedCalls_; });
    }
    int ModemLineReads() {
        return Locked([&] { return modemLineReads_; });
    }

    int Apply(const LinePlan& plan) override;
    LinePlan Applied() const override;
    int BytesWaiting() override;
    int Read(std::uint8_t* buffer, int maxLength) override;
    int Write(const std::uint8_t* bytes, int length) override;
    int OutputQueued() override;
    std::uint32_t TakeErrors() override;
    bool SetDtr(bool raise) override;
    bool SetRts(bool raise) override;
    int ModemLines() override;
    void Purge() override;
    void PurgeOutput() override;
    WaitResult WaitInput(int wakeFd, int timeoutMs) override;
    WaitResult WaitOutput(int wakeFd, int timeoutMs) override;
    WaitResult WaitModemChange(int wakeFd, int timeoutMs) override;
    void Close() override;

    bool refuseSettings = false;
    std::atomic<int> failInputWaits{0};  // so many input waits fail (EINVAL)

  private:
    WaitResult Wait(int ownFd, int wakeFd, int timeoutMs);
    void Update();  // keeps the two readiness descriptors in step

    mutable std::mutex mutex_;
    int inputReady_;    // eventfd, readable while input waits or the line is gone
    int outputReady_;   // eventfd, readable while the driver takes bytes
    int linesChanged_;  // eventfd, signalled when CTS or DSR is set
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
    std::vector<std::uint8_t> held_;  // in the driver, not yet on the line
    std::vector<int> readSizes_;
    LinePlan applied_;
    std::uint32_t errors_ = 0;
    bool cts_ = true, dsr_ = true, dtr_ = false, rts_ = false, hasLines_ = true;
    bool stalled_ = false, holding_ = false, hungUp_ = false, closed_ = false;
    int failWith_ = 0;
    int purges_ = 0;
    int outputPurges_ = 0;
    int writeAttempts_ = 0;
    int outputQueuedCalls_ = 0;
    int modemLineReads_ = 0;
};

}  // namespace tavirel::test
