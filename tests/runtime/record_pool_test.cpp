#include "runtime/record_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "runtime/record_list.h"

namespace pp {
namespace {

// A heap that refuses blocks above a byte limit, to reach the one-slot fallback.
size_t heapLimit = SIZE_MAX;
int32_t heapBlocks = 0;

void* LimitedAllocate(size_t bytes) {
    if (bytes > heapLimit) return nullptr;
    ++heapBlocks;
    return std::malloc(bytes);
}

void LimitedFree(void* block) {
    --heapBlocks;
    std::free(block);
}

const BlockHeap kLimitedHeap{LimitedAllocate, LimitedFree};

class RecordPoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        heapLimit = SIZE_MAX;
        heapBlocks = 0;
    }
};

// Allocates until a new block appears and returns its capacity.
int32_t GrowByOneBlock(RecordPool& pool, std::vector<void*>& held) {
    int32_t before = pool.Total();
    while (pool.Total() == before) held.push_back(pool.Allocate());
    return pool.Total() - before;
}

TEST_F(RecordPoolTest, BlocksGrowWithTheTotalInStepsOf16UpTo65536) {
    RecordPool pool(8, 8);
    std::vector<void*> held;
    // 16 blocks of 16 until the total reaches 256, then total/16 rounded down to 16s.
    for (int b = 0; b < 16; ++b) ASSERT_EQ(GrowByOneBlock(pool, held), 16) << "block " << b;
    EXPECT_EQ(pool.Total(), 256);
    EXPECT_EQ(GrowByOneBlock(pool, held), 16);  // 256 / 16
    EXPECT_EQ(GrowByOneBlock(pool, held), 16);  // 272 / 16 = 17 -> 16
    while (pool.Total() < 512) GrowByOneBlock(pool, held);
    EXPECT_EQ(pool.Total(), 512);
    EXPECT_EQ(GrowByOneBlock(pool, held), 32);  // 512 / 16
    while (pool.Total() < (1 << 20)) GrowByOneBlock(pool, held);
    EXPECT_EQ(GrowByOneBlock(pool, held), 65536);
    EXPECT_EQ(GrowByOneBlock(pool, held), 65536);  // capped, though total/16 is larger
    for (void* p : held) pool.Release(p);
    EXPECT_EQ(pool.Total(), 0);
    EXPECT_EQ(pool.BlockCount(), 0);
}

TEST_F(RecordPoolTest, FreedSlotsAreReusedLastFreedFirst) {
    RecordPool pool(16, 8);
    void* keep = pool.Allocate();
    void* a = pool.Allocate();
    void* b = pool.Allocate();
    pool.Release(a);
    pool.Release(b);
    EXPECT_EQ(pool.Allocate(), b);
    EXPECT_EQ(pool.Allocate(), a);
    (void)keep;
}

TEST_F(RecordPoolTest, BlockGoesBackToTheHeapWhenAllItsSlotsAreFree) {
    RecordPool pool(16, 8, kLimitedHeap);
    std::vector<void*> first;
    for (int i = 0; i < 16; ++i) first.push_back(pool.Allocate());
    void* second = pool.Allocate();
    EXPECT_EQ(pool.BlockCount(), 2);
    EXPECT_EQ(heapBlocks, 2);
    pool.Release(second);
    EXPECT_EQ(pool.BlockCount(), 1);
    EXPECT_EQ(pool.Total(), 16);
    for (void* p : first) pool.Release(p);
    EXPECT_EQ(pool.BlockCount(), 0);
    EXPECT_EQ(pool.Total(), 0);
    EXPECT_EQ(heapBlocks, 0);
}

TEST_F(RecordPoolTest, FullBlockWithAFreedSlotIsUsedBeforeANewBlock) {
    RecordPool pool(16, 8);
    std::vector<void*> first;
    for (int i = 0; i < 16; ++i) first.push_back(pool.Allocate());
    void* second = pool.Allocate();  // new block, at the head of the chain with room
    pool.Release(first[5]);          // the full block moves to the head of that chain
    EXPECT_EQ(pool.Allocate(), first[5]);
    EXPECT_EQ(pool.Total(), 32);
    (void)second;
}

TEST_F(RecordPoolTest, RefusedBlockFallsBackToOneSlot) {
    RecordPool pool(16, 8, kLimitedHeap);
    heapLimit = 200;  // enough for a header and one slot, not for sixteen
    void* a = pool.Allocate();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pool.Total(), 1);
    void* b = pool.Allocate();  // the one-slot block is full: another one
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(pool.Total(), 2);
    EXPECT_EQ(pool.BlockCount(), 2);
    pool.Release(a);
    EXPECT_EQ(pool.Total(), 1);
    EXPECT_EQ(heapBlocks, 1);
}

TEST_F(RecordPoolTest, ExhaustedHeapGivesNullAndListStaysUnchanged) {
    RecordList<int32_t> list(kLimitedHeap);
    *ListInsert(list) = 1;
    heapLimit = 0;
    // The first block still has room.
    for (int i = 1; i < 16; ++i) ASSERT_NE(ListInsert(list), nullptr);
    EXPECT_EQ(ListInsert(list), nullptr);
    EXPECT_EQ(list.Count(), 16);
    EXPECT_EQ(*list.First(), 1);
}

TEST_F(RecordPoolTest, ReleaseAllReturnsEveryBlockAndPoolStaysUsable) {
    RecordPool pool(16, 8, kLimitedHeap);
    for (int i = 0; i < 1000; ++i) pool.Allocate();
    EXPECT_GT(heapBlocks, 1);
    pool.ReleaseAll();
    EXPECT_EQ(heapBlocks, 0);
    EXPECT_EQ(pool.Total(), 0);
    EXPECT_NE(pool.Allocate(), nullptr);
    EXPECT_EQ(pool.Total(), 16);
}

// A record of a whole number of cache lines never straddles two: particle slots (block
// reference, two links, 40 bytes) start on a 64-byte boundary in every block, also when the
// heap hands out blocks that are only 16-byte aligned.
TEST_F(RecordPoolTest, CacheLineSlotsStartOnALine) {
    RecordPool pool(56, 8, kLimitedHeap);
    std::vector<void*> held;
    for (int i = 0; i < 3000; ++i) {
        void* payload = pool.Allocate();
        ASSERT_NE(payload, nullptr);
        EXPECT_EQ((reinterpret_cast<uintptr_t>(payload) - sizeof(void*)) % 64, 0u) << i;
        held.push_back(payload);
    }
    for (void* payload : held) pool.Release(payload);
    EXPECT_EQ(heapBlocks, 0);
    EXPECT_EQ(pool.BytesHeld(), 0u);
}

TEST_F(RecordPoolTest, BytesHeldCountsEveryBlockWithItsFreeSlots) {
    RecordPool pool(56, 8, kLimitedHeap);
    void* first = pool.Allocate();
    const size_t oneBlock = pool.BytesHeld();
    EXPECT_GE(oneBlock, 16u * 64u);
    EXPECT_LT(oneBlock, 16u * 64u + 256u);
    pool.Release(first);
    EXPECT_EQ(pool.BytesHeld(), 0u);
}

}  // namespace
}  // namespace pp
