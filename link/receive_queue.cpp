#include "link/receive_queue.h"

namespace tavirel {

bool ReceiveQueue::Put(const std::uint8_t* bytes, std::size_t count, bool gather) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return released_ || data_.size() < capacity_; });
    if (gather) {
        data_.append(reinterpret_cast<const char*>(bytes), count);
        return data_.size() >= batch_ && WakeUp();
    }
    return Append(reinterpret_cast<const char*>(bytes), count);
}

bool ReceiveQueue::Flush() {
    std::lock_guard lock(mutex_);
    return !data_.empty() && WakeUp();
}

bool ReceiveQueue::PutNow(const char* text, std::size_t count) {
    std::lock_guard lock(mutex_);
    return Append(text, count);
}

bool ReceiveQueue::Append(const char* bytes, std::size_t count) {
    if (count == 0)
        return false;
    data_.append(bytes, count);
    return WakeUp();
}

bool ReceiveQueue::WakeUp() {
    if (wakePending_)
        return false;
    wakePending_ = true;
    return true;
}

void ReceiveQueue::TakeAll(std::string& into) {
    into.clear();
    {
        std::lock_guard lock(mutex_);
        into.swap(data_);
        wakePending_ = false;
    }
    room_.notify_all();
}

void ReceiveQueue::Release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    room_.notify_all();
}

void ReceiveQueue::Hold() {
    std::lock_guard lock(mutex_);
    released_ = false;
}

std::size_t ReceiveQueue::Size() {
    std::lock_guard lock(mutex_);
    return data_.size();
}

}  // namespace tavirel
