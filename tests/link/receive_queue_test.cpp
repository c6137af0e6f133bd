#include "link/receive_queue.h"

#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/eventually.h"

namespace tavirel {
namespace {

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

    EXPECT_FALSE(queue.PutNow("1234567890", 10));
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

    queue.PutNow("1234567890ab", 12);
    queue.Release();
    EXPECT_FALSE(queue.Put(abc, 3));
    EXPECT_EQ(queue.Size(), 15u);
}

TEST(ReceiveQueue, GatheredBlocksWakeAtABatchOrAFlush) {
    ReceiveQueue queue(64);
    const std::size_t batch = queue.batch();
    ASSERT_LT(batch, 64u);
    const std::string block(batch, 'g');
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.data());
    for (const bool wokenByPut : {false, true}) {
        SCOPED_TRACE(wokenByPut ? "a batch" : "one short of a batch");
        const std::size_t gathered = wokenByPut ? batch : batch - 1;
        std::string taken;
        queue.TakeAll(taken);
        EXPECT_FALSE(queue.Put(bytes, 1, true));
        EXPECT_EQ(queue.Put(bytes, gathered - 1, true), wokenByPut);
        EXPECT_EQ(queue.Flush(), !wokenByPut);
        EXPECT_FALSE(queue.Flush());
        EXPECT_FALSE(queue.Put(bytes, batch, true));
        queue.TakeAll(taken);
        EXPECT_EQ(taken.size(), gathered + batch);
        EXPECT_FALSE(queue.Flush());
    }
}

}  // namespace
}  // namespace tavirel
