#include "runtime/object_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pp {
namespace {

struct Thing {
    int32_t Handle = 0;
    std::shared_ptr<int> Resource;  // shows that releasing frees what a record owns
    bool Exists() const { return Handle != 0; }
};

// The close operation records what it closed and frees the record, as a kind's close does.
std::vector<int32_t> closed;
ObjectTable<Thing>* current = nullptr;
void CloseThing(int32_t number) {
    closed.push_back(number);
    ObjectRelease(*current, number);
}

class ObjectTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        closed.clear();
        current = &table;
    }
    ObjectTable<Thing> table{16, &CloseThing};
};

TEST_F(ObjectTableTest, StartsWithGrowthStepFreeRecords) {
    EXPECT_EQ(table.Records.size(), 16u);
    for (int32_t n = 0; n < 16; ++n) EXPECT_EQ(ObjectLookup(table, n), nullptr);
}

TEST_F(ObjectTableTest, AcquiringANumberInUseClosesItFirstAndHandsOutAFreeRecord) {
    Thing* first = ObjectAcquire(table, 0);
    ASSERT_NE(first, nullptr);
    first->Handle = 7;
    Thing* again = ObjectAcquire(table, 0);
    EXPECT_EQ(closed, std::vector<int32_t>{0});
    ASSERT_EQ(again, first);
    EXPECT_EQ(again->Handle, 0);
}

TEST_F(ObjectTableTest, AcquiringAFreeNumberClosesNothing) {
    ASSERT_NE(ObjectAcquire(table, 3), nullptr);
    EXPECT_TRUE(closed.empty());
}

TEST_F(ObjectTableTest, NumberBeyondCapacityGrowsToNumberPlusStep) {
    Thing* t = ObjectAcquire(table, 20);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(table.Records.size(), 36u);
    t->Handle = 1;
    EXPECT_EQ(ObjectLookup(table, 20), t);
    EXPECT_EQ(ObjectLookup(table, 35), nullptr);
}

TEST_F(ObjectTableTest, NegativeAndHugeNumbersGetNoRecord) {
    EXPECT_EQ(ObjectAcquire(table, -2), nullptr);
    EXPECT_EQ(ObjectAcquire(table, INT32_MIN), nullptr);
    EXPECT_EQ(ObjectAcquire(table, kObjectNumberLimit), nullptr);
    EXPECT_EQ(ObjectAcquire(table, INT32_MAX), nullptr);
    EXPECT_EQ(table.Records.size(), 16u);
    EXPECT_NE(ObjectAcquire(table, kObjectNumberLimit - 1), nullptr);
}

TEST(ObjectTableCapacity, IsNumberPlusStepWithoutOverflow) {
    EXPECT_EQ(ObjectTableCapacityFor(20, 16), 36);
    EXPECT_EQ(ObjectTableCapacityFor(0, 64), 64);
    EXPECT_EQ(ObjectTableCapacityFor(5, 0), 6);
    EXPECT_EQ(ObjectTableCapacityFor(-1, 16), 0);
    EXPECT_EQ(ObjectTableCapacityFor(kObjectNumberLimit, 16), 0);
    EXPECT_EQ(ObjectTableCapacityFor(kObjectNumberLimit - 1, INT32_MAX), INT32_MAX);
}

TEST_F(ObjectTableTest, LookupFindsNothingForNeverAcquiredReleasedOrUnfilledNumbers) {
    EXPECT_EQ(ObjectLookup(table, 5), nullptr);
    EXPECT_EQ(ObjectLookup(table, -1), nullptr);
    EXPECT_EQ(ObjectLookup(table, 1000), nullptr);
    ASSERT_NE(ObjectAcquire(table, 4), nullptr);
    EXPECT_EQ(ObjectLookup(table, 4), nullptr) << "acquired but not filled yet";
    ObjectAcquire(table, 4)->Handle = 9;
    ASSERT_NE(ObjectLookup(table, 4), nullptr);
    ObjectRelease(table, 4);
    EXPECT_EQ(ObjectLookup(table, 4), nullptr);
}

TEST_F(ObjectTableTest, ReleaseFreesWhatTheRecordOwns) {
    auto resource = std::make_shared<int>(1);
    Thing* t = ObjectAcquire(table, 2);
    t->Handle = 1;
    t->Resource = resource;
    EXPECT_EQ(resource.use_count(), 2);
    ObjectRelease(table, 2);
    EXPECT_EQ(resource.use_count(), 1);
    ObjectRelease(table, 2);   // already free
    ObjectRelease(table, 99);  // never there
    ObjectRelease(table, -5);
}

TEST_F(ObjectTableTest, UnnumberedObjectsAreFoundAndReleasedByReference) {
    Thing* a = ObjectAcquire(table, -1);
    ASSERT_NE(a, nullptr);
    a->Handle = 1;
    Thing* b = ObjectAcquire(table, -1);
    b->Handle = 2;
    EXPECT_EQ(ObjectLookup(table, static_cast<const Thing*>(a)), a);
    ObjectRelease(table, static_cast<const Thing*>(a));
    EXPECT_EQ(ObjectLookup(table, static_cast<const Thing*>(a)), nullptr);
    EXPECT_EQ(ObjectLookup(table, static_cast<const Thing*>(b)), b);
    Thing stranger;
    ObjectRelease(table, static_cast<const Thing*>(&stranger));  // not in the table: nothing
    EXPECT_EQ(table.Unnumbered.size(), 1u);
}

TEST_F(ObjectTableTest, ForEachVisitsNumbersAscendingThenUnnumberedOldestFirst) {
    ObjectAcquire(table, 3)->Handle = 30;
    ObjectAcquire(table, 1)->Handle = 10;
    ObjectAcquire(table, -1)->Handle = 100;  // older
    ObjectAcquire(table, -1)->Handle = 200;  // newer
    std::vector<int32_t> seen;
    ObjectForEach(
        table, [&](int32_t n, Thing& t) { seen.push_back(n * 1000 + t.Handle); },
        [&](Thing& t) { seen.push_back(t.Handle); });
    EXPECT_EQ(seen, (std::vector<int32_t>{1010, 3030, 100, 200}));
}

TEST_F(ObjectTableTest, ForEachToleratesActionsThatReleaseObjects) {
    for (int32_t n : {0, 1, 2}) ObjectAcquire(table, n)->Handle = 1;
    Thing* older = ObjectAcquire(table, -1);
    older->Handle = 1;
    Thing* newer = ObjectAcquire(table, -1);
    newer->Handle = 2;
    int visitedUnnumbered = 0;
    ObjectForEach(
        table,
        [&](int32_t n, Thing&) {
            ObjectRelease(table, n);
            ObjectRelease(table, n + 1);  // the next one goes too and must not be visited
        },
        [&](Thing& t) {
            ++visitedUnnumbered;
            // Releasing the newer object while visiting the older one skips it safely.
            ObjectRelease(table, static_cast<const Thing*>(newer));
            ObjectRelease(table, static_cast<const Thing*>(&t));
        });
    EXPECT_EQ(visitedUnnumbered, 1);
    EXPECT_TRUE(table.Unnumbered.empty());
    for (int32_t n : {0, 1, 2}) EXPECT_EQ(ObjectLookup(table, n), nullptr);
}

}  // namespace
}  // namespace pp
