#include "link/receive_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/eventually.h"

namespace tavirel {
namespace {

// One wake-up per batch, in order, marks among the characters; a full
// queue holds the putter until the taker makes room.
TEST(ReceiveQueue, OneWakeUpPerBatchAndAFullQueueHoldsThePutter) {
    ReceiveQueue queue(12);
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_TRUE(queue.Put(abc, 3));
    EXPECT_FALSE(queue.PutNow("<CE-5>", 6));
    EXPECT_FALSE(queue.Put(abc, 1));
    std::string taken = "stale";
    queue.TakeAll(taken);
    EXPECT_EQ(taken, "abc<CE-5>a");
    EXPECT_TRUE(queue.Put(abc, 2));

    EXPECT_FALSE(queue.PutNow("1234567890", 10));  // marks never wait
    std::atomic<bool> put{false};
    std::thread reader([&] {
        queue.Put(abc + 2, 1);
        put = true;
    });
    EXPECT_FALSE(test::Eventually([&] { return put.load(); }, std::chrono::milliseconds(30)));
    queue.TakeAll(taken);
    reader.join();
    EXPECT_EQ(taken, "ab1234567890");
    queue.TakeAll(taken);
    EXPECT_EQ(taken, "c");

    // Released, puts go through whatever the size.
    queue.PutNow("1234567890ab", 12);
    queue.Release();
    EXPECT_FALSE(queue.Put(abc, 3));
    EXPECT_EQ(queue.Size(), 15u);
}

}  // namespace
}  // namespace tavirel
