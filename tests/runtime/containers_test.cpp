// The record containers: list, array, pool and the numbered object table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include "runtime/object_table.h"
#include "runtime/record_array.h"
#include "runtime/record_list.h"
#include "runtime/record_pool.h"

namespace pp {
namespace {

struct Item {
    int32_t value;
    int32_t padding[3];
};

template <class List>
std::vector<int32_t> Values(List& list) {
    std::vector<int32_t> values;
    ListRewind(list);
    while (Item* item = ListNext(list)) values.push_back(item->value);
    return values;
}

std::optional<int32_t> ValueOf(const Item* item) {
    return item != nullptr ? std::optional<int32_t>(item->value) : std::nullopt;
}

// Random call sequences on a RecordList and a RecordArray agree after every call.
TEST(RecordArray, BehavesLikeRecordListForRandomCallSequences) {
    auto state = [](auto& list) {
        return std::tuple(list.Count(), ValueOf(list.Cursor()), ValueOf(list.Peek()),
                          ValueOf(list.First()), ValueOf(list.Last()));
    };
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        RecordList<Item> linked;
        RecordArray<Item> array;
        int32_t nextValue = 1;
        for (int step = 0; step < 2000; ++step) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " step " << step);
            const uint32_t call = random() % 100, modulus = 2 + random() % 5;
            auto dies = [&](Item& item) {
                item.value += 1000;
                return static_cast<uint32_t>(item.value) % modulus == 0;
            };
            if (call < 40) {
                ListInsert(linked)->value = nextValue, ListInsert(array)->value = nextValue++;
            } else if (call < 55) {
                ListNext(linked), ListNext(array);
            } else if (call < 65) {
                ListRemove(linked), ListRemove(array);
            } else if (call < 72) {
                ListRewind(linked), ListRewind(array);
            } else if (call < 85) {
                ASSERT_EQ(ListVisitRemoving(linked, dies), ListVisitRemoving(array, dies));
            } else if (call < 90) {
                ListVisit(linked, [](Item& item) { ++item.value; });
                ListVisit(array, [](Item& item) { ++item.value; });
            } else if (call < 91) {
                ListRemoveAll(linked), ListRemoveAll(array);
            } else {
                ASSERT_EQ(Values(linked), Values(array));
            }
            ASSERT_EQ(state(linked), state(array));
        }
    }
}

// Every removal and the list's end destroy their records (an emitter's particles go with it).
int32_t liveChildren = 0;
struct Child {
    Child() { ++liveChildren; }
    ~Child() { --liveChildren; }
};

TEST(RecordList, RemovalsDestroyTheirRecords) {
    {
        RecordList<Child> list;
        for (int c = 0; c < 20; ++c) ListInsert(list);
        int32_t k = 0;
        ListVisitRemoving(list, [&k](Child&) { return ++k % 4 == 0; });
        ListRewind(list), ListNext(list), ListRemove(list);
        EXPECT_EQ(liveChildren, 14);
        ListRemoveAll(list);
        EXPECT_EQ(liveChildren + list.Pool().Total(), 0);
        ListInsert(list);
    }
    EXPECT_EQ(liveChildren, 0);
}

// Grows by half from 16, shrinks to at most 8/5 of its records, by passes and single removals.
TEST(RecordArray, GrowsByHalfAndShrinksToEightFifthsOfItsRecords) {
    RecordArray<Item> list;
    for (int i = 0; i < 17; ++i) ListInsert(list);
    EXPECT_EQ(list.Capacity(), 24);
    for (int i = 17; i < 100000; ++i) ListInsert(list);
    for (int32_t keepEvery : {2, 3, 5, 10}) {
        int32_t k = 0;
        ListVisitRemoving(list, [&](Item&) { return ++k % keepEvery != 0; });
        EXPECT_TRUE(list.Capacity() >= list.Count() && list.Capacity() * 5 <= list.Count() * 8);
    }
    while (list.Count() > 1) {
        ListRewind(list), ListNext(list), ListRemove(list);
        ASSERT_LE(list.Capacity() * 5, std::max(list.Count(), 10) * 8);
    }
    EXPECT_TRUE(ListVisitRemoving(list, [](Item&) { return true; }));
    EXPECT_TRUE(list.BytesHeld() == 0u && list.Cursor() == nullptr);
}

// Heaps that refuse blocks above gLimit (the pool's also counts its blocks).
size_t gLimit = SIZE_MAX;
int32_t gBlocks = 0;
const ArrayHeap kLimitedArrayHeap{
    [](void* block, size_t bytes) { return bytes > gLimit ? nullptr : std::realloc(block, bytes); },
    [](void* block) { std::free(block); }};
const BlockHeap kLimitedHeap{
    [](size_t bytes) { return bytes > gLimit ? nullptr : (++gBlocks, std::malloc(bytes)); },
    [](void* block) { --gBlocks, std::free(block); }};

// A refused growth tries one record more; a refused insert or shrink leaves the list usable.
TEST(RecordArray, RefusedMemoryLeavesTheListUsable) {
    RecordArray<Item> list(kLimitedArrayHeap);
    gLimit = 0;
    EXPECT_EQ(ListInsert(list), nullptr);
    gLimit = 16 * sizeof(Item);
    for (int32_t v = 1; v <= 16; ++v) ListInsert(list)->value = v;
    ListRewind(list), ListNext(list);
    EXPECT_EQ(ListInsert(list), nullptr);  // would need 24 records, or 17
    EXPECT_EQ(list.Cursor(), list.First());
    gLimit = 17 * sizeof(Item);
    ListInsert(list)->value = 17;
    gLimit = 0;
    ListVisitRemoving(list, [](Item& item) { return item.value >= 3 && item.value != 17; });
    EXPECT_EQ(list.Capacity(), 17);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 17, 2}));
    gLimit = SIZE_MAX;
}

int32_t GrowByOneBlock(RecordPool& pool, std::vector<void*>& held) {
    const int32_t before = pool.Total();
    while (pool.Total() == before) held.push_back(pool.Allocate());
    return pool.Total() - before;
}

// Blocks of 16, from 256 a sixteenth of the total, at most 65536; freed; refused: one slot.
TEST(RecordPool, BlocksGrowWithTheTotalAndReturnWhenEmpty) {
    RecordPool pool(8, 8, kLimitedHeap);
    std::vector<void*> held;
    for (int b = 0; b < 18; ++b) ASSERT_EQ(GrowByOneBlock(pool, held), 16) << "block " << b;
    pool.Release(held[5]), pool.Release(held[9]);
    EXPECT_EQ(pool.Allocate(), held[9]);  // from a full block, before the newest one's room
    EXPECT_EQ(pool.Allocate(), held[5]);
    while (pool.Total() < 512) GrowByOneBlock(pool, held);
    EXPECT_EQ(GrowByOneBlock(pool, held), 32);
    while (pool.Total() < (1 << 20)) GrowByOneBlock(pool, held);
    EXPECT_EQ(GrowByOneBlock(pool, held), 65536);
    const int32_t blocks = pool.BlockCount();
    pool.Release(held.back());  // the last block's only used slot
    EXPECT_EQ(gBlocks, blocks - 1);
    pool.ReleaseAll();
    EXPECT_EQ(gBlocks + pool.Total(), 0);
    gLimit = 200;  // a header and one slot, not sixteen
    EXPECT_EQ(GrowByOneBlock(pool, held), 1);
    gLimit = 0;
    RecordList<int32_t> list(kLimitedHeap);
    EXPECT_TRUE(ListInsert(list) == nullptr && list.Count() == 0);
    gLimit = SIZE_MAX;
}

struct Thing {
    int32_t Handle = 0;
    std::shared_ptr<int> Resource;
    bool Exists() const { return Handle != 0; }
};

std::vector<int32_t> closed;
ObjectTable<Thing> table{16, [](int32_t number) {
                             closed.push_back(number);
                             ObjectRelease(table, number);
                         }};

// Numbers in use are closed first; the table grows by its step; ForEach skips released ones.
TEST(ObjectTable, AcquireClosesNumbersInUseAndForEachToleratesReleases) {
    Thing* first = ObjectAcquire(table, 0);
    first->Handle = 7, first->Resource = std::make_shared<int>(1);
    const std::weak_ptr<int> resource = first->Resource;
    EXPECT_EQ(ObjectAcquire(table, 0), first);
    EXPECT_TRUE(closed == std::vector<int32_t>{0} && first->Handle == 0 && resource.expired());
    for (const int32_t n : {3, 1, 2, 20}) ObjectAcquire(table, n)->Handle = n;
    EXPECT_EQ(table.Records.size(), 36u);
    ObjectAcquire(table, -1)->Handle = 100;
    Thing* newer = ObjectAcquire(table, -1);
    newer->Handle = 200;
    std::vector<int32_t> seen;
    ObjectForEach(
        table,
        [&](int32_t n, Thing& t) {
            seen.push_back(n * 1000 + t.Handle), ObjectRelease(table, n + 1);
        },
        [&](Thing& t) {
            seen.push_back(t.Handle);
            ObjectRelease(table, static_cast<const Thing*>(newer));
            ObjectRelease(table, static_cast<const Thing*>(&t));
        });
    EXPECT_EQ(seen, (std::vector<int32_t>{1001, 3003, 20020, 100}));
    EXPECT_TRUE(table.Unnumbered.empty());
    for (int32_t bad : {-2, kObjectNumberLimit}) EXPECT_EQ(ObjectAcquire(table, bad), nullptr);
    EXPECT_NE(ObjectAcquire(table, kObjectNumberLimit - 1), nullptr);
    EXPECT_EQ(ObjectTableCapacityFor(kObjectNumberLimit - 1, INT32_MAX), INT32_MAX);
}

}  // namespace
}  // namespace pp
