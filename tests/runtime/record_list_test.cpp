#include "runtime/record_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pp {
namespace {

struct Item {
    int32_t value;
    int32_t padding[3];
};

std::vector<int32_t> Values(RecordList<Item>& list) {
    std::vector<int32_t> values;
    ListRewind(list);
    while (Item* item = ListNext(list)) values.push_back(item->value);
    return values;
}

// Appends records with the given values after a full pass.
void Fill(RecordList<Item>& list, std::initializer_list<int32_t> values) {
    for (int32_t v : values) ListInsert(list)->value = v;
}

TEST(RecordList, NextOnEmptyListReturnsNullAndLeavesNoCursor) {
    RecordList<Item> list;
    EXPECT_EQ(ListNext(list), nullptr);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(ListNext(list), nullptr);
}

TEST(RecordList, NextAfterEndStaysOnLastAndInsertAppends) {
    RecordList<Item> list;
    Fill(list, {1, 2});
    ListRewind(list);
    while (ListNext(list) != nullptr) {
    }
    EXPECT_EQ(ListNext(list), nullptr);
    ASSERT_NE(list.Cursor(), nullptr);
    EXPECT_EQ(list.Cursor()->value, 2);
    ListInsert(list)->value = 3;
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(list.Last()->value, 3);
}

TEST(RecordList, InsertRightAfterRewindGoesInFront) {
    RecordList<Item> list;
    Fill(list, {1, 2});
    ListRewind(list);
    ListInsert(list)->value = 9;
    EXPECT_EQ(list.Cursor()->value, 9);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{9, 1, 2}));
    EXPECT_EQ(list.First()->value, 9);
}

TEST(RecordList, InsertBehindMiddleCursorLinksBothNeighbours) {
    RecordList<Item> list;
    Fill(list, {1, 3});
    ListRewind(list);
    ListNext(list);
    ListInsert(list)->value = 2;
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 2, 3}));
    // Walk backwards through Remove to check the prev links too.
    std::vector<int32_t> reversed;
    while (list.Cursor() != nullptr) {
        reversed.push_back(list.Cursor()->value);
        ListRemove(list);
    }
    // The last pass ended on 3; removal steps back through 2 and 1.
    EXPECT_EQ(reversed, (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(list.Count(), 0);
}

TEST(RecordList, RemovingOnlyRecordLeavesEmptyList) {
    RecordList<Item> list;
    Fill(list, {7});
    ListRemove(list);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    EXPECT_EQ(list.Count(), 0);
    ListRewind(list);
    EXPECT_EQ(ListNext(list), nullptr);
}

TEST(RecordList, RemovingFirstRecordDuringIterationYieldsNewFirst) {
    RecordList<Item> list;
    Fill(list, {1, 2, 3});
    ListRewind(list);
    ListNext(list);
    ListRemove(list);
    EXPECT_EQ(list.Cursor(), nullptr);
    Item* next = ListNext(list);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->value, 2);
    EXPECT_EQ(list.First()->value, 2);
}

TEST(RecordList, RemovingLastRecordDuringIterationLeavesCursorOnNewLast) {
    RecordList<Item> list;
    Fill(list, {1, 2, 3});
    ListRewind(list);
    while (Item* item = ListNext(list)) {
        if (item->value == 3) ListRemove(list);
    }
    ASSERT_NE(list.Cursor(), nullptr);
    EXPECT_EQ(list.Cursor()->value, 2);
    EXPECT_EQ(list.Last()->value, 2);
    ListInsert(list)->value = 4;
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 2, 4}));
}

TEST(RecordList, RemoveWithoutCursorDoesNothing) {
    RecordList<Item> list;
    Fill(list, {1, 2});
    ListRewind(list);
    ListRemove(list);
    EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 2}));
}

// Every subset of six records removed in one pass: each record is visited exactly once and the
// survivors keep their order.
TEST(RecordList, RemovingAnySubsetDuringIterationVisitsEveryRecordOnce) {
    for (int mask = 0; mask < 64; ++mask) {
        RecordList<Item> list;
        Fill(list, {0, 1, 2, 3, 4, 5});
        std::vector<int32_t> visited;
        std::vector<int32_t> kept;
        ListRewind(list);
        while (Item* item = ListNext(list)) {
            visited.push_back(item->value);
            if (mask & (1 << item->value)) {
                ListRemove(list);
            } else {
                kept.push_back(item->value);
            }
        }
        EXPECT_EQ(visited, (std::vector<int32_t>{0, 1, 2, 3, 4, 5})) << "mask " << mask;
        EXPECT_EQ(Values(list), kept) << "mask " << mask;
        EXPECT_EQ(list.Count(), static_cast<int32_t>(kept.size()));
        // A full pass leaves the cursor on the last survivor, so the next insert appends.
        ListRewind(list);
        while (ListNext(list) != nullptr) {
        }
        ListInsert(list)->value = 99;
        EXPECT_EQ(list.Last()->value, 99) << "mask " << mask;
    }
}

// The one-loop pass must leave the list exactly as ListNext with ListRemove of the same
// records would: same visits, survivors, count, cursor, and the same place for the next insert.
TEST(RecordList, VisitRemovingMatchesNextAndRemoveForEverySubset) {
    for (int mask = 0; mask < 64; ++mask) {
        for (const bool insertAfter : {false, true}) {
            RecordList<Item> reference;
            RecordList<Item> fast;
            Fill(reference, {0, 1, 2, 3, 4, 5});
            Fill(fast, {0, 1, 2, 3, 4, 5});
            std::vector<int32_t> referenceVisits;
            ListRewind(reference);
            while (Item* item = ListNext(reference)) {
                referenceVisits.push_back(item->value);
                if (mask & (1 << item->value)) ListRemove(reference);
            }
            std::vector<int32_t> fastVisits;
            EXPECT_TRUE(ListVisitRemoving(fast, [&](Item& item) {
                fastVisits.push_back(item.value);
                return (mask & (1 << item.value)) != 0;
            }));
            EXPECT_EQ(fastVisits, referenceVisits) << "mask " << mask;
            EXPECT_EQ(fast.Count(), reference.Count()) << "mask " << mask;
            const int32_t referenceCursor = reference.Cursor() ? reference.Cursor()->value : -1;
            const int32_t fastCursor = fast.Cursor() ? fast.Cursor()->value : -1;
            EXPECT_EQ(fastCursor, referenceCursor) << "mask " << mask;
            if (insertAfter) {
                ListInsert(reference)->value = 99;
                ListInsert(fast)->value = 99;
            }
            EXPECT_EQ(Values(fast), Values(reference)) << "mask " << mask;
            EXPECT_EQ(fast.First() ? fast.First()->value : -1,
                      reference.First() ? reference.First()->value : -1);
            EXPECT_EQ(fast.Last() ? fast.Last()->value : -1,
                      reference.Last() ? reference.Last()->value : -1);
        }
    }
}

TEST(RecordList, VisitSeesEveryRecordInOrderAndEndsOnTheLast) {
    RecordList<Item> list;
    std::vector<int32_t> seen;
    ListVisit(list, [&](Item& item) { seen.push_back(item.value); });
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(list.Cursor(), nullptr);
    Fill(list, {4, 5, 6});
    ListRewind(list);
    ListVisit(list, [&](Item& item) { seen.push_back(item.value); });
    EXPECT_EQ(seen, (std::vector<int32_t>{4, 5, 6}));
    // As after a full ListNext pass: the next insert appends.
    ListInsert(list)->value = 7;
    EXPECT_EQ(Values(list), (std::vector<int32_t>{4, 5, 6, 7}));
}

// A list whose records were freed and reused out of order lies scattered over its pool: the
// one-loop passes still visit and remove in list order, not slot order.
TEST(RecordList, PassesOverReusedSlotsFollowListOrder) {
    RecordList<Item> list;
    for (int32_t i = 0; i < 300; ++i) ListInsert(list)->value = i;
    ListVisitRemoving(list, [](Item& item) { return item.value % 3 == 0; });
    for (int32_t i = 300; i < 400; ++i) ListInsert(list)->value = i;  // reuses freed slots
    const std::vector<int32_t> expected = Values(list);
    std::vector<int32_t> visited;
    ListVisit(list, [&](Item& item) { visited.push_back(item.value); });
    EXPECT_EQ(visited, expected);
    std::vector<int32_t> kept;
    for (const int32_t v : expected) {
        if (v % 2 != 0) kept.push_back(v);
    }
    ListVisitRemoving(list, [](Item& item) { return item.value % 2 == 0; });
    EXPECT_EQ(Values(list), kept);
}

TEST(RecordList, VisitRemovingOnEmptyListReportsNoRecordAndLeavesNoCursor) {
    RecordList<Item> list;
    Fill(list, {1});
    ListRewind(list);
    ListNext(list);
    ListRemove(list);
    EXPECT_FALSE(ListVisitRemoving(list, [](Item&) { return true; }));
    EXPECT_EQ(list.Cursor(), nullptr);
    Fill(list, {7});
    EXPECT_EQ(Values(list), (std::vector<int32_t>{7}));
}

TEST(RecordList, RecordsAreZeroedOnInsertEvenInReusedSlots) {
    RecordList<Item> list;
    ListInsert(list);  // keeps the block alive while the next slot is freed and reused
    Item* a = ListInsert(list);
    a->value = 42;
    a->padding[2] = -1;
    ListRemove(list);
    Item* b = ListInsert(list);
    EXPECT_EQ(b, a);  // the most recently freed slot comes back first
    EXPECT_EQ(b->value, 0);
    EXPECT_EQ(b->padding[2], 0);
}

TEST(RecordList, RemoveAllEmptiesListAndReturnsEveryBlock) {
    RecordList<Item> list;
    for (int i = 0; i < 100; ++i) ListInsert(list)->value = i;
    EXPECT_GT(list.Pool().Total(), 0);
    ListRemoveAll(list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Cursor(), nullptr);
    EXPECT_EQ(list.Pool().Total(), 0);
    EXPECT_EQ(list.Pool().BlockCount(), 0);
    Fill(list, {5});
    EXPECT_EQ(Values(list), (std::vector<int32_t>{5}));
}

// A record type that owns a list, as an emitter owns its particles.
int32_t liveChildren = 0;

struct Child {
    Child() { ++liveChildren; }
    ~Child() { --liveChildren; }
    int32_t value;
};

struct Parent {
    int32_t id;
    RecordList<Child> children;
};

TEST(RecordList, OwnedListsAreCreatedOnInsertAndDestroyedWithTheirRecord) {
    liveChildren = 0;
    {
        RecordList<Parent> parents;
        for (int p = 0; p < 3; ++p) {
            Parent* parent = ListInsert(parents);
            ASSERT_NE(parent, nullptr);
            parent->id = p;
            EXPECT_EQ(parent->children.Count(), 0);
            EXPECT_EQ(parent->children.Cursor(), nullptr);
            for (int c = 0; c < 20; ++c) ListInsert(parent->children);
        }
        EXPECT_EQ(liveChildren, 60);

        // Remove the middle parent: its 20 children go with it.
        ListRewind(parents);
        ListNext(parents);
        ListNext(parents);
        ListRemove(parents);
        EXPECT_EQ(liveChildren, 40);

        ListRemoveAll(parents);
        EXPECT_EQ(liveChildren, 0);

        ListInsert(ListInsert(parents)->children);
        EXPECT_EQ(liveChildren, 1);
    }
    // Destroying the list destroys what is still in it.
    EXPECT_EQ(liveChildren, 0);
}

// Removed records with owned members have them destroyed, as ListRemove does.
TEST(RecordList, VisitRemovingDestroysOwnedMembersOfRemovedRecords) {
    liveChildren = 0;
    {
        RecordList<Child> list;
        for (int32_t i = 0; i < 10; ++i) ListInsert(list)->value = i;
        EXPECT_EQ(liveChildren, 10);
        ListVisitRemoving(list, [](Child& c) { return c.value % 3 == 0; });
        EXPECT_EQ(liveChildren, 6);
        EXPECT_EQ(list.Count(), 6);
    }
    EXPECT_EQ(liveChildren, 0);
}

}  // namespace
}  // namespace pp
