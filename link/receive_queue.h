// Received characters on their way from the reader thread to the screen.
//
// One bounded buffer with at most one wake-up pending: the reader appends and
// wakes the user-interface thread only when no wake-up is outstanding; that
// thread takes everything waiting in one go. A flood therefore costs one
// wake-up per batch, not one posted event per block, and when the window
// falls behind the reader waits instead of queueing without bound. Nothing
// is dropped.
//
// Each wake-up is a trip through the scheduler, which on a busy machine can
// cost more than the work it hands over. So a reader draining the port block
// by block gathers: it wakes the taker when a batch's worth waits or when the
// port has nothing more for now, not for the first block after each take.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace tavirel {

class ReceiveQueue {
  public:
    static constexpr std::size_t kDefaultCapacity = 64 * 1024;

    explicit ReceiveQueue(std::size_t capacity = kDefaultCapacity)
        : capacity_(capacity), batch_(std::max<std::size_t>(capacity / 8, 1)) {}

    // The gathered bytes that wake the taker: never more than the capacity,
    // so a reader waiting for room has always woken it.
    std::size_t batch() const { return batch_; }

    // Reader thread: appends, first waiting while the buffer is full (unless
    // released). True when the taker must be woken. Gathering, the taker is
    // not woken before batch() bytes wait; the reader then calls Flush() once
    // the port has no more for now.
    bool Put(const std::uint8_t* bytes, std::size_t count, bool gather = false);
    // Reader thread: true when gathered bytes wait with no wake-up pending
    // (one is then pending).
    bool Flush();
    // Never waits: for error marks, which the writer thread also posts and
    // which must not hold it up. True when the taker must be woken.
    bool PutNow(const char* text, std::size_t count);

    // User-interface thread: everything waiting, oldest first, in place of
    // what `into` held (the two buffers trade places, so neither is
    // reallocated in a flood). The next put wakes again.
    void TakeAll(std::string& into);

    // Puts stop waiting for room until Hold() (the close must never wait for
    // the window that is closing).
    void Release();
    void Hold();

    std::size_t Size();

  private:
    bool Append(const char* bytes, std::size_t count);
    bool WakeUp();

    const std::size_t capacity_;
    const std::size_t batch_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::string data_;
    bool wakePending_ = false;
    bool released_ = false;
};

}  // namespace tavirel
