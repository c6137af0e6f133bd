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

// Members that the link's threads also write are read and changed under their lock.
template <typename T>
T Locked(std::mutex& mutex, const T& member) {
    std::lock_guard lock(mutex);
    return member;
}
template <typename F>
void Under(std::mutex& mutex, F change) {
    std::lock_guard lock(mutex);
    change();
}

class FakePort : public Port {
  public:
    FakePort();
    ~FakePort() override;

    // The far end.
    void Send(const std::vector<std::uint8_t>& bytes) {
        Change([&] { input_.insert(input_.end(), bytes.begin(), bytes.end()); });
    }
    std::vector<std::uint8_t> Received() { return Locked(mutex_, output_); }  // all written
    void InjectErrors(std::uint32_t flags) { errors_ |= flags; }
    void SetInputLines(bool cts, bool dsr);
    void SetHasModemLines(bool has) { hasLines_ = has; }
    void StallWrites(bool stalled) {  // the driver takes nothing (EAGAIN)
        Change([&] { stalled_ = stalled; });
    }
    // The driver takes bytes but holds them (XOFF, a slow adapter): they count
    // in OutputQueued until drained onto the line. Releasing drains them all.
    void HoldOutput(bool held);
    void DrainOutput(std::size_t n);
    void FailWrites(int error) { failWith_ = error; }  // every write fails with this errno
    void HangUp() {
        Change([&] { hungUp_ = true; });
    }

    // What the link did.
    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }
    bool IsClosed() const { return closed_; }
    int Purges() const { return purges_; }  // both directions
    int OutputPurges() const { return outputPurges_; }
    int WriteAttempts() const { return writeAttempts_; }
    std::vector<int> ReadSizes() { return Locked(mutex_, readSizes_); }  // maxLength of each Read
    // How often the writer looked: a waiting writer looks seldom.
    int OutputQueuedCalls() const { return outputQueuedCalls_; }
    int ModemLineReads() const { return modemLineReads_; }

    int Apply(const LinePlan& plan) override;
    LinePlan Applied() const override { return Locked(mutex_, applied_); }
    int BytesWaiting() override { return static_cast<int>(Locked(mutex_, input_).size()); }
    int Read(std::uint8_t* buffer, int maxLength) override;
    int Write(const std::uint8_t* bytes, int length) override;
    int OutputQueued() override {
        ++outputQueuedCalls_;
        return static_cast<int>(Locked(mutex_, held_).size());
    }
    std::uint32_t TakeErrors() override { return errors_.exchange(0); }
    bool SetDtr(bool raise) override {
        dtr_ = raise;
        return true;
    }
    bool SetRts(bool raise) override {
        rts_ = raise;
        return true;
    }
    int ModemLines() override;
    void Purge() override {
        ++purges_;
        Change([&] { input_.clear(), held_.clear(); });
    }
    void PurgeOutput() override {
        ++outputPurges_;
        Under(mutex_, [&] { held_.clear(); });
    }
    WaitResult WaitInput(int wakeFd, int timeoutMs) override;
    WaitResult WaitOutput(int wakeFd, int timeoutMs) override {
        return Wait(outputReady_, wakeFd, timeoutMs);
    }
    WaitResult WaitModemChange(int wakeFd, int timeoutMs) override;
    void Close() override { closed_ = true; }

    std::atomic<bool> refuseSettings{false};
    std::atomic<int> failInputWaits{0};  // so many input waits fail (EINVAL)

  private:
    WaitResult Wait(int ownFd, int wakeFd, int timeoutMs);
    void Update();  // keeps the two readiness descriptors in step
    template <typename F>
    void Change(F change) {
        std::lock_guard lock(mutex_);
        change();
        Update();
    }

    mutable std::mutex mutex_;  // guards the byte queues and the plan
    int inputReady_;            // eventfd, readable while input waits or the line is gone
    int outputReady_;           // eventfd, readable while the driver takes bytes
    int linesChanged_;          // eventfd, signalled when CTS or DSR is set
    std::vector<std::uint8_t> input_, output_;
    std::vector<std::uint8_t> held_;  // in the driver, not yet on the line
    std::vector<int> readSizes_;
    LinePlan applied_;
    bool stalled_ = false, holding_ = false, hungUp_ = false;
    std::atomic<std::uint32_t> errors_{0};
    std::atomic<bool> cts_{true}, dsr_{true}, dtr_{false}, rts_{false}, hasLines_{true};
    std::atomic<bool> closed_{false};
    std::atomic<int> failWith_{0}, purges_{0}, outputPurges_{0}, writeAttempts_{0};
    std::atomic<int> outputQueuedCalls_{0}, modemLineReads_{0};
};

}  // namespace tavirel::test
