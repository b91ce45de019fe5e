// Per-frame pools and the depth queue: what the frame's memory and the far-to-near order do.
#include "render/BytePool.h"
#include "render/DepthQueue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

TEST(BytePool, HandsOutMemoryFrontToBackUntilFull) {
    CBytePool pool(64);
    ASSERT_EQ(pool.Capacity(), 64);
    uint8_t* first = static_cast<uint8_t*>(pool.Alloc(32));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pool.Top(), first + 32);
    uint8_t* second = static_cast<uint8_t*>(pool.Alloc(32));
    EXPECT_EQ(second, first + 32);
    EXPECT_EQ(pool.Alloc(1), nullptr);
    EXPECT_EQ(pool.Used(), 64);
}

TEST(BytePool, RefusedRequestChangesNothing) {
    CBytePool pool(40);
    ASSERT_NE(pool.Alloc(32), nullptr);
    uint8_t* top = pool.Top();
    EXPECT_EQ(pool.Alloc(16), nullptr);
    EXPECT_EQ(pool.Top(), top);
    EXPECT_NE(pool.Alloc(8), nullptr);
}

TEST(BytePool, RecordsStayAlignedAfterOddSizedRequests) {
    CBytePool pool(256);
    pool.Alloc(20);  // a texture state block
    auto address = reinterpret_cast<uintptr_t>(pool.Alloc(8));
    EXPECT_EQ(address % CBytePool::kAlign, 0u);
}

TEST(BytePool, ResetEmptiesButKeepsTheBuffer) {
    CBytePool pool(64);
    uint8_t* first = static_cast<uint8_t*>(pool.Alloc(64));
    pool.Reset();
    EXPECT_EQ(pool.Used(), 0);
    EXPECT_EQ(pool.Alloc(64), first);
}

TEST(BytePool, BadSizesAreRefusedNotAllocated) {
    CBytePool zero(0);
    EXPECT_EQ(zero.Capacity(), 0);
    EXPECT_EQ(zero.Alloc(0), nullptr);
    EXPECT_EQ(zero.Alloc(8), nullptr);
    CBytePool negative(-5);
    EXPECT_EQ(negative.Capacity(), 0);
    EXPECT_EQ(negative.Alloc(1), nullptr);

    CBytePool pool(64);
    EXPECT_EQ(pool.Alloc(-8), nullptr);
    ASSERT_NE(pool.Alloc(8), nullptr);
    // A request near the top of the int range must not wrap around the capacity check.
    EXPECT_EQ(pool.Alloc(std::numeric_limits<int32_t>::max()), nullptr);
    EXPECT_EQ(pool.Used(), 8);
}

QueuedPrimitive Record(int32_t tag) {
    QueuedPrimitive p{};
    p.primitiveType = 6;
    p.vertexCount = tag;
    return p;
}

std::vector<int32_t> Drain(CDepthQueue& queue) {
    std::vector<int32_t> tags;
    queue.Rewind();
    for (QueuedPrimitive* p = queue.Next(); p != nullptr; p = queue.Next()) tags.push_back(p->vertexCount);
    return tags;
}

TEST(DepthQueue, DepthsOutsideTheVolumeLandInTheEndBuckets) {
    CBytePool pool(1 << 16);
    CDepthQueue queue;
    ASSERT_TRUE(queue.Setup(&pool, 4096));
    QueuedPrimitive inFront = Record(1);
    QueuedPrimitive beyond = Record(2);
    QueuedPrimitive exactNear = Record(3);
    ASSERT_TRUE(queue.InsertAtDepth(&pool, -0.25f, &inFront));
    ASSERT_TRUE(queue.InsertAtDepth(&pool, 1.5f, &beyond));
    ASSERT_TRUE(queue.InsertAtDepth(&pool, 0.0f, &exactNear));
    ASSERT_NE(queue.m_buckets[4095], nullptr);
    ASSERT_NE(queue.m_buckets[0], nullptr);
    EXPECT_EQ(queue.m_buckets[0]->primitive, &beyond);
    // Both near ones share the last bucket; the later one heads it.
    EXPECT_EQ(queue.m_buckets[4095]->primitive, &exactNear);
    EXPECT_EQ(queue.m_buckets[4095]->next->primitive, &inFront);
    EXPECT_EQ(Drain(queue), (std::vector<int32_t>{2, 3, 1}));
}

TEST(DepthQueue, NonFiniteDepthsAreFiledWithoutOverflow) {
    CBytePool pool(1 << 16);
    CDepthQueue queue;
    ASSERT_TRUE(queue.Setup(&pool, 16));
    QueuedPrimitive a = Record(1);
    QueuedPrimitive b = Record(2);
    QueuedPrimitive c = Record(3);
    EXPECT_TRUE(queue.InsertAtDepth(&pool, std::numeric_limits<float>::quiet_NaN(), &a));
    EXPECT_TRUE(queue.InsertAtDepth(&pool, std::numeric_limits<float>::infinity(), &b));
    EXPECT_TRUE(queue.InsertAtDepth(&pool, -std::numeric_limits<float>::infinity(), &c));
    EXPECT_EQ(queue.m_buckets[0]->primitive, &b);
    EXPECT_EQ(queue.m_buckets[15]->primitive, &c);
    EXPECT_EQ(Drain(queue).size(), 3u);
}

TEST(DepthQueue, OutOfRangeBucketsAreClamped) {
    CBytePool pool(1 << 12);
    CDepthQueue queue;
    ASSERT_TRUE(queue.Setup(&pool, 8));
    QueuedPrimitive a = Record(1);
    QueuedPrimitive b = Record(2);
    EXPECT_TRUE(queue.Insert(&pool, -3, &a));
    EXPECT_TRUE(queue.Insert(&pool, 99, &b));
    EXPECT_EQ(queue.m_buckets[0]->primitive, &a);
    EXPECT_EQ(queue.m_buckets[7]->primitive, &b);
}

TEST(DepthQueue, QueueWithoutBucketsLinksNothing) {
    CBytePool tiny(16);
    CDepthQueue queue;
    EXPECT_FALSE(queue.Setup(&tiny, 4096));
    EXPECT_EQ(queue.m_bucketCount, 0);
    EXPECT_EQ(queue.m_buckets, nullptr);
    QueuedPrimitive a = Record(1);
    EXPECT_FALSE(queue.InsertAtDepth(&tiny, 0.5f, &a));
    EXPECT_FALSE(queue.Insert(&tiny, 0, &a));
    EXPECT_EQ(tiny.Used(), 0);
    EXPECT_TRUE(Drain(queue).empty());
}

TEST(DepthQueue, BadBucketCountsAreRefused) {
    CBytePool pool(1 << 12);
    CDepthQueue queue;
    EXPECT_FALSE(queue.Setup(&pool, 0));
    EXPECT_FALSE(queue.Setup(&pool, -1));
    EXPECT_FALSE(queue.Setup(&pool, std::numeric_limits<int32_t>::max()));
    EXPECT_FALSE(queue.Setup(nullptr, 8));
    EXPECT_EQ(pool.Used(), 0);
}

TEST(DepthQueue, FullPoolDropsThePrimitive) {
    CBytePool pool(static_cast<int32_t>(4 * sizeof(QueueNode*) + sizeof(QueueNode)));
    CDepthQueue queue;
    ASSERT_TRUE(queue.Setup(&pool, 4));
    QueuedPrimitive a = Record(1);
    QueuedPrimitive b = Record(2);
    EXPECT_TRUE(queue.Insert(&pool, 1, &a));
    EXPECT_FALSE(queue.Insert(&pool, 1, &b));
    EXPECT_EQ(Drain(queue), (std::vector<int32_t>{1}));
}

TEST(DepthQueue, SetupEmptiesTheQueueOfTheLastFrame) {
    CBytePool pool(1 << 12);
    CDepthQueue queue;
    ASSERT_TRUE(queue.Setup(&pool, 8));
    QueuedPrimitive a = Record(1);
    queue.Insert(&pool, 3, &a);
    pool.Reset();
    ASSERT_TRUE(queue.Setup(&pool, 8));
    EXPECT_TRUE(Drain(queue).empty());
}

}  // namespace
