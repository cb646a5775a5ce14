#include "runtime/record_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <vector>

#include "runtime/record_list.h"

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

void Fill(RecordArray<Item>& list, std::initializer_list<int32_t> values) {
    for (int32_t v : values) ListInsert(list)->value = v;
}

std::optional<int32_t> ValueOf(const Item* item) {
    return item != nullptr ? std::optional<int32_t>(item->value) : std::nullopt;
}

TEST(RecordArray, NextOnEmptyListReturnsNullAndLeavesNoCursor) {
    RecordArray<Item> list;
    EXPECT_EQ(ListNext(list), nullptr);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    ListRemove(list);  // no cursor: nothing happens
    EXPECT_EQ(list.Count(), 0);
}

TEST(RecordArray, InsertFollowsTheCursorInFrontInTheMiddleAndAtTheEnd) {
    RecordArray<Item> list;
    Fill(list, {2, 4});
    ListRewind(list);
    ListInsert(list)->value = 1;  // no cursor: in front
    EXPECT_EQ(list.Cursor()->value, 1);
    ListNext(list);
    ListInsert(list)->value = 3;  // behind 2
    EXPECT_EQ(ValueOf(list.Peek()), 4);
    EXPECT_EQ(ListNext(list)->value, 4);
    EXPECT_EQ(ListNext(list), nullptr);  // at the end the cursor stays on the last
    ListInsert(list)->value = 5;
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.First()->value, 1);
    EXPECT_EQ(list.Last()->value, 5);
}

TEST(RecordArray, InsertedRecordsAreZeroEvenWhereARemovedOneLay) {
    RecordArray<Item> list;
    for (int i = 0; i < 3; ++i) *ListInsert(list) = Item{7, {7, 7, 7}};
    ListRemove(list);
    const Item* item = ListInsert(list);
    EXPECT_EQ(item->value, 0);
    EXPECT_EQ(item->padding[0] | item->padding[1] | item->padding[2], 0);
}

TEST(RecordArray, RemoveStepsTheCursorBackSoTheNextIsTheFollower) {
    RecordArray<Item> list;
    Fill(list, {1, 2, 3, 4});
    ListRewind(list);
    ListNext(list);
    ListRemove(list);  // the first: no cursor now
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(ListNext(list)->value, 2);
    ListNext(list);
    ListRemove(list);  // 3: back on 2
    EXPECT_EQ(list.Cursor()->value, 2);
    EXPECT_EQ(ListNext(list)->value, 4);
    ListRemove(list);  // the last: back on 2, which is the last now
    EXPECT_EQ(list.Last()->value, 2);
    EXPECT_EQ(ListNext(list), nullptr);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{2}));
}

TEST(RecordArray, VisitRemovingKeepsSurvivorsInOrderWithTheirChanges) {
    RecordArray<Item> list;
    Fill(list, {1, 2, 3, 4, 5, 6, 7, 8});
    ListRewind(list);
    std::vector<int32_t> seen;
    EXPECT_TRUE(ListVisitRemoving(list, [&](Item& item) {
        seen.push_back(item.value);
        item.value *= 10;
        return item.value == 10 || item.value == 40 || item.value == 50 || item.value == 80;
    }));
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Cursor(), list.Last());
    EXPECT_EQ(list.Cursor()->value, 70);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{20, 30, 60, 70}));
}

TEST(RecordArray, VisitRemovingEverythingOrNothingLeavesNoCursor) {
    RecordArray<Item> list;
    EXPECT_FALSE(ListVisitRemoving(list, [](Item&) { return true; }));
    EXPECT_EQ(list.Cursor(), nullptr);
    Fill(list, {1, 2, 3});
    EXPECT_TRUE(ListVisitRemoving(list, [](Item&) { return true; }));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.BytesHeld(), 0u) << "an emptied list gives its array back";
    Fill(list, {4});  // and stays usable
    EXPECT_EQ(Values(list), (std::vector<int32_t>{4}));
}

TEST(RecordArray, VisitWalksInOrderAndEndsOnTheLast) {
    RecordArray<Item> list;
    ListVisit(list, [](Item&) { ADD_FAILURE() << "an empty list has nothing to visit"; });
    EXPECT_EQ(list.Cursor(), nullptr);
    Fill(list, {1, 2, 3});
    ListRewind(list);
    std::vector<int32_t> seen;
    ListVisit(list, [&](Item& item) { seen.push_back(item.value); });
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(list.Cursor()->value, 3);
}

// Random call sequences on a RecordList and a RecordArray of the same records: every cursor,
// neighbour and count must agree after every call, and so must the whole order now and then.
TEST(RecordArray, BehavesLikeRecordListForRandomCallSequences) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        RecordList<Item> linked;
        RecordArray<Item> array;
        int32_t nextValue = 1;
        for (int step = 0; step < 2000; ++step) {
            const uint32_t call = random() % 100;
            if (call < 40) {
                const int32_t v = nextValue++;
                ListInsert(linked)->value = v;
                ListInsert(array)->value = v;
            } else if (call < 55) {
                ListNext(linked);
                ListNext(array);
            } else if (call < 65) {
                ListRemove(linked);
                ListRemove(array);
            } else if (call < 72) {
                ListRewind(linked);
                ListRewind(array);
            } else if (call < 85) {
                const uint32_t modulus = 2 + random() % 5;
                auto dies = [&](Item& item) {
                    item.value += 1000;
                    return static_cast<uint32_t>(item.value) % modulus == 0;
                };
                ASSERT_EQ(ListVisitRemoving(linked, dies), ListVisitRemoving(array, dies));
            } else if (call < 90) {
                ListVisit(linked, [](Item& item) { ++item.value; });
                ListVisit(array, [](Item& item) { ++item.value; });
            } else if (call < 91) {
                ListRemoveAll(linked);
                ListRemoveAll(array);
            } else {
                ASSERT_EQ(Values(linked), Values(array)) << "round " << round << " step " << step;
            }
            ASSERT_EQ(linked.Count(), array.Count()) << "round " << round << " step " << step;
            ASSERT_EQ(ValueOf(linked.Cursor()), ValueOf(array.Cursor())) << "step " << step;
            ASSERT_EQ(ValueOf(linked.Peek()), ValueOf(array.Peek())) << "step " << step;
            ASSERT_EQ(ValueOf(linked.First()), ValueOf(array.First())) << "step " << step;
            ASSERT_EQ(ValueOf(linked.Last()), ValueOf(array.Last())) << "step " << step;
        }
    }
}

TEST(RecordArray, GrowsByHalfAndHoldsAtMostEightFifthsAfterARemovalPass) {
    RecordArray<Item> list;
    EXPECT_EQ(list.Capacity(), 0);
    ListInsert(list);
    EXPECT_EQ(list.Capacity(), 16);
    for (int i = 1; i < 17; ++i) ListInsert(list);
    EXPECT_EQ(list.Capacity(), 24);
    EXPECT_EQ(list.BytesHeld(), 24 * sizeof(Item));
    for (int i = 17; i < 100000; ++i) ListInsert(list)->value = i;
    // Removal passes that leave ever fewer records: the array follows them down.
    for (int32_t keepEvery : {2, 3, 5, 10}) {
        int32_t k = 0;
        ListVisitRemoving(list, [&](Item&) { return ++k % keepEvery != 0; });
        const int64_t count = list.Count();
        const int64_t capacity = list.Capacity();
        EXPECT_GE(capacity, count);
        EXPECT_LE(capacity * 5, count * 8) << "keeping every " << keepEvery;
    }
    // Single removals shrink too, down to the smallest array.
    while (list.Count() > 20) {
        ListRewind(list);
        ListNext(list);
        ListRemove(list);
    }
    EXPECT_LE(list.Capacity() * 5, list.Count() * 8);
    while (list.Count() > 1) {
        ListRewind(list);
        ListNext(list);
        ListRemove(list);
    }
    EXPECT_EQ(list.Capacity(), 16);
    ListRemoveAll(list);
    EXPECT_EQ(list.BytesHeld(), 0u);
    EXPECT_EQ(list.Cursor(), nullptr);
}

// A heap that refuses blocks above a limit.
size_t gLimit = SIZE_MAX;
const ArrayHeap kLimitedHeap{[](void* block, size_t bytes) -> void* {
                                 return bytes > gLimit ? nullptr : std::realloc(block, bytes);
                             },
                             [](void* block) { std::free(block); }};

class RecordArrayOutOfMemory : public ::testing::Test {
  protected:
    void TearDown() override { gLimit = SIZE_MAX; }
};

TEST_F(RecordArrayOutOfMemory, RefusedInsertReturnsNullAndLeavesTheListAsItWas) {
    RecordArray<Item> list(kLimitedHeap);
    gLimit = 0;
    EXPECT_EQ(ListInsert(list), nullptr);
    EXPECT_EQ(list.Count(), 0);
    gLimit = 16 * sizeof(Item);
    for (int32_t v = 1; v <= 16; ++v) ASSERT_NE(ListInsert(list), nullptr);
    ListRewind(list);
    ListNext(list);
    EXPECT_EQ(ListInsert(list), nullptr);  // would need 24 records, or 17
    EXPECT_EQ(list.Count(), 16);
    EXPECT_EQ(list.Cursor(), list.First());
    EXPECT_EQ(list.Capacity(), 16);
}

TEST_F(RecordArrayOutOfMemory, WhereHalfMoreIsRefusedOneMoreIsTaken) {
    RecordArray<Item> list(kLimitedHeap);
    for (int32_t v = 1; v <= 16; ++v) ListInsert(list)->value = v;
    gLimit = 17 * sizeof(Item);
    ListInsert(list)->value = 17;
    EXPECT_EQ(list.Capacity(), 17);
    std::vector<int32_t> expected;
    for (int32_t v = 1; v <= 17; ++v) expected.push_back(v);
    EXPECT_EQ(Values(list), expected);
}

TEST_F(RecordArrayOutOfMemory, RefusedShrinkKeepsTheRecords) {
    RecordArray<Item> list(kLimitedHeap);
    for (int32_t v = 0; v < 1000; ++v) ListInsert(list)->value = v;
    const int32_t capacity = list.Capacity();
    gLimit = 0;  // even a smaller block is refused
    ListVisitRemoving(list, [](Item& item) { return item.value >= 10; });
    EXPECT_EQ(list.Capacity(), capacity);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

}  // namespace
}  // namespace pp
