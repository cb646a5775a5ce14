// The runtime: conversions, clocks, the random generator, names, the record containers (list,
// array, pool), the numbered object table and the worker pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/clock_readings.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/name_map.h"
#include "runtime/object_table.h"
#include "runtime/random.h"
#include "runtime/record_array.h"
#include "runtime/record_list.h"
#include "runtime/record_pool.h"
#include "runtime/vector_lanes.h"
#include "runtime/worker_pool.h"

namespace pp {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The real clock reads elapsed ms + 1, never 0 ("no reading yet"), also at its wrap.
TEST(Clock, RealClockNeverReadsZero) {
    const std::pair<uint64_t, uint32_t> rows[] = {
        {0, 1}, {0xFFFFFFFEu, 0xFFFFFFFFu}, {0xFFFFFFFFu, 1}, {1ull << 32, 1}};
    for (const auto& [ms, reading] : rows) EXPECT_EQ(ClockReadingAfter(ms), reading) << ms;
}

#if defined(__x86_64__)
[[gnu::target(PP_AVX2_TARGET)]] void RoundEight(const float (&x)[2][4], int32_t (&out)[8]) {
    Avx2Lanes::RoundToInt(Avx2Lanes::Load(&x[0][0]), out);
}

// The eight values in both halves of sixteen lanes.
[[gnu::target(PP_AVX512_TARGET)]] void RoundSixteen(const float (&x)[2][4], int32_t (&out)[16]) {
    float twice[16];
    std::memcpy(twice, x, sizeof x);
    std::memcpy(twice + 8, x, sizeof x);
    Avx512Lanes::RoundToInt(Avx512Lanes::Load(twice), out);
}
#endif

// The inline float forms, one, four, eight and sixteen at a time, against RoundToInt.
void ExpectInlineFormsAgree(const float (&x)[2][4], int64_t& mismatches) {
    int32_t four[2][4];
    RoundFloatsToInt(x[0], four[0]);
    RoundFloatsToInt(x[1], four[1]);
    int32_t eight[8] = {};
    int32_t sixteen[16] = {};
    bool avx2 = false;
    bool avx512 = false;
#if defined(__x86_64__)
    avx2 = __builtin_cpu_supports("avx2");
    if (avx2) RoundEight(x, eight);
    avx512 = HasCpuPath(CpuPath::Avx512);
    if (avx512) RoundSixteen(x, sixteen);
#endif
    for (int k = 0; k < 8; ++k) {
        const float v = x[k / 4][k % 4];
        const int32_t expected = RoundToInt(static_cast<double>(v));
        if ((RoundFloatToInt(v) != expected || four[k / 4][k % 4] != expected ||
             (avx2 && eight[k] != expected) ||
             (avx512 && (sixteen[k] != expected || sixteen[k + 8] != expected))) &&
            ++mismatches <= 5) {
            ADD_FAILURE() << std::hexfloat << v << " gives " << RoundFloatToInt(v) << " / "
                          << four[k / 4][k % 4] << " / " << eight[k] << " / " << sixteen[k]
                          << ", not " << expected;
        }
    }
}

// Beyond int32 the low half of the 64-bit result; as floats in every lane of the inline forms.
TEST(Convert, TruncatesAndRoundsHalfToEven) {
    struct Row {
        double in;
        int32_t trunc, round;
    };
    const Row near[] = {{2.7, 2, 3},    {-2.7, -2, -3}, {2.5, 2, 2},   {3.5, 3, 4},  {-2.5, -2, -2},
                        {-3.5, -3, -4}, {-0.5, 0, 0},   {1e300, 0, 0}, {kInf, 0, 0}, {-kInf, 0, 0},
                        {kNaN, 0, 0},   {-0.0, 0, 0},   {1e-45, 0, 0}, {1e20, 0, 0}, {-1e20, 0, 0}};
    const Row far[] = {{254.5, 254, 254},
                       {8388607.5, 8388607, 8388608},
                       {0.49999999999999994, 0, 0},
                       {0x1p52 - 0.5, -1, 0},
                       {0x1p31, INT32_MIN, INT32_MIN},
                       {0x1p31 - 0.5, INT32_MAX, INT32_MIN},
                       {-0x1p31 - 1, INT32_MAX, INT32_MAX},
                       {-0x1p63, 0, 0},
                       {-0x1p63 + 4096, 4096, 4096},
                       {0x1p63, 0, 0},
                       {0x1p32 + 1.7, 1, 2}};
    int64_t mismatches = 0;
    for (const std::span<const Row> rows :
         {std::span<const Row>(near), std::span<const Row>(far)}) {
        for (const Row& r : rows) {
            EXPECT_EQ(TruncToInt(r.in), r.trunc) << r.in;
            EXPECT_EQ(RoundToInt(r.in), r.round) << r.in;
            for (int lane = 0; lane < 8; ++lane) {
                float x[2][4] = {{1.5f, -7.25f, 100.5f, 3.0f}, {-0.5f, 2.5f, 1e9f, -3.5f}};
                x[lane / 4][lane % 4] = static_cast<float>(r.in);
                ExpectInlineFormsAgree(x, mismatches);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ClockDiff(INT32_MIN + 4, INT32_MAX - 5), 10);
    EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

// Every float from 2^-2 to 2^24, both signs (every 61st in sanitizer and unoptimised builds).
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
constexpr uint32_t kFloatStride = 61;
#else
constexpr uint32_t kFloatStride = 1;
#endif

class RoundFloatBinades : public ::testing::TestWithParam<int32_t> {};

TEST_P(RoundFloatBinades, InlineFormsMatchRoundToIntForEveryFloat) {
    const auto bits = static_cast<uint32_t>(GetParam() + 127) << 23;
    int64_t mismatches = 0;
    for (const uint32_t sign : {0u, 0x80000000u}) {
        for (uint32_t m = 0; m < (1u << 23); m += 8 * kFloatStride) {
            float x[2][4];
            for (uint32_t k = 0; k < 8; ++k) {
                x[k / 4][k % 4] =
                    std::bit_cast<float>(sign | bits | (m + k * kFloatStride) % (1u << 23));
            }
            ExpectInlineFormsAgree(x, mismatches);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Convert, RoundFloatBinades, ::testing::Range(-2, 25));

// Known outputs pin seeding, step, lag, warm-up and scaling; an unseeded one seeds itself.
TEST(Random, SeedsGiveKnownSequences) {
    RandomGenerator gen;
    SeedRandom(gen, 0);
    for (const uint32_t raw : {0x8B910D61u, 0xC8AFE081u, 0xA90E502Fu}) {
        EXPECT_EQ(static_cast<uint32_t>(RandomInt(gen, -1)), raw);
    }
    SeedRandom(gen, 12345);
    for (const int32_t value : {27, 71, 66, 34, 58}) EXPECT_EQ(RandomInt(gen, 99), value);
    RandomGenerator unseeded;
    EXPECT_NE(RandomInt(unseeded, -1) | RandomInt(unseeded, -1), 0);
}

// Known hashes pin the multiplier and the signed bytes; folding covers A and Z only.
TEST(NameMap, HashesAreKnownAndFoldOnlyAsciiLetters) {
    for (const auto& [name, hash] :
         {std::pair{"abc", 0x3025F862u}, {"Point", 0x9A74AA90u}, {"\xE9\x74\xE9", 0xF520B7DEu}}) {
        EXPECT_EQ(NameHash(name, false), hash) << name;
    }
    EXPECT_EQ(NameHash("\xE9\x74\xE9", true), 0xF520B7DEu);
    EXPECT_EQ(NameHash("AZ", true), NameHash("az", false));
    EXPECT_EQ(NameHash("@[`{", true), NameHash("@[`{", false));
}

// One bucket: every name collides; keys are copied; null is the empty name.
TEST(NameMap, FindsAddsAndKeepsNamesApart) {
    NameMap<int32_t> exact(false, 1), folded(true, 64);
    for (int i = 0; i < 500; ++i) MapFindOrAdd(exact, std::to_string(i).c_str()) = i;
    for (int i = 0; i < 500; ++i) ASSERT_EQ(*MapFind(exact, std::to_string(i).c_str()), i);
    char key[] = "Zone";
    MapFindOrAdd(exact, key) = 4, MapFindOrAdd(folded, key) = 3;
    key[0] = 'X';
    MapFindOrAdd(exact, nullptr) = 7;
    EXPECT_EQ(*MapFind(exact, "Zone") + *MapFind(exact, "") + *MapFind(folded, "zONE"), 4 + 7 + 3);
    EXPECT_TRUE(MapFind(exact, "zone") == nullptr && MapFind(exact, "Xone") == nullptr);
    MapFindOrAdd(folded, "\xC9t\xE9") = 5;
    EXPECT_TRUE(MapFind(folded, "\xE9t\xE9") == nullptr && MapFind(folded, "Zones") == nullptr);
    EXPECT_EQ(exact.Count(), 502);
}

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

// Heaps that refuse blocks above gLimit (the pool's also counts its blocks).
size_t gLimit = SIZE_MAX;
int32_t gBlocks = 0;
const ArrayHeap kLimitedArrayHeap{
    [](void* block, size_t bytes) { return bytes > gLimit ? nullptr : std::realloc(block, bytes); },
    [](void* block) { std::free(block); }};
const BlockHeap kLimitedHeap{
    [](size_t bytes) { return bytes > gLimit ? nullptr : (++gBlocks, std::malloc(bytes)); },
    [](void* block) { --gBlocks, std::free(block); }};

// Grows by half from 16, shrinks to at most 8/5 of its records; refused memory: one record more
// is tried, and a refused insert or shrink leaves the list usable.
TEST(RecordArray, GrowsByHalfShrinksToEightFifthsAndSurvivesRefusedMemory) {
    RecordArray<Item> list(kLimitedArrayHeap);
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
    EXPECT_TRUE(pool.Allocate() == held[9] && pool.Allocate() == held[5]);  // last freed first
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
    first->Handle = 7;
    EXPECT_EQ(ObjectAcquire(table, 0), first);
    EXPECT_TRUE(closed == std::vector<int32_t>{0} && first->Handle == 0);
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

// Asked-for counts and their neighbours at both ends: 0 and below give one thread per hardware
// thread, more than the most give the most.
TEST(WorkerPool, ThreadCountsAreHeldToOneToTheMost) {
    const int32_t hardware =
        std::clamp<int32_t>(static_cast<int32_t>(std::thread::hardware_concurrency()), 1, 256);
    EXPECT_EQ(WorkerPool::HardwareThreads(), hardware);
    const std::pair<int32_t, int32_t> rows[] = {{-7, hardware}, {0, hardware}, {1, 1},    {2, 2},
                                                {255, 255},     {256, 256},    {257, 256}};
    for (const auto& [asked, threads] : rows)
        EXPECT_EQ(WorkerPool(asked).Threads(), threads) << asked;
}

// Each task waits until the one before it has finished. Claimed in increasing order, the lowest
// unfinished task's predecessor is always done, so some thread can go on; claimed in any other
// order, every thread can end up waiting on a task nobody runs, which the test tells (all
// threads waiting on unfinished tasks) rather than hang. Every task runs exactly once.
TEST(WorkerPool, TasksAreClaimedInIncreasingOrderAndRunOnce) {
    constexpr size_t kTasks = 200;
    for (const int32_t threads : {1, 2, 4}) {
        WorkerPool pool(threads);
        std::vector<int32_t> runs(kTasks);
        for (int pass = 1; pass <= 3; ++pass) {
            std::mutex mutex;
            std::condition_variable changed;
            std::vector<bool> finished(kTasks), awaited(kTasks);
            int32_t blocked = 0;
            bool stuck = false;
            pool.Run(kTasks, [&](size_t k) {
                std::unique_lock<std::mutex> lock(mutex);
                if (k > 0 && !finished[k - 1]) {
                    awaited[k - 1] = true;
                    if (++blocked == threads) stuck = true;
                    changed.notify_all();
                    changed.wait(lock, [&] { return finished[k - 1] || stuck; });
                }
                ++runs[k];
                finished[k] = true;
                if (awaited[k]) --blocked;
                changed.notify_all();
            });
            ASSERT_FALSE(stuck) << threads << " threads, pass " << pass;
        }
        EXPECT_EQ(runs, std::vector<int32_t>(kTasks, 3)) << threads;
    }
}

// A job of sleeping tasks takes long for the little time its thread worked, as a job on a busy
// machine does: the next job runs on the calling thread alone, in one piece where it has one,
// and the one after it is shared again. Without workers, or with one task, every job is whole.
TEST(WorkerPool, AJobRunsWholeOnTheCallingThreadAfterASlowOne) {
    const auto sleepy = [](size_t) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    struct Row {
        int32_t threads;
        size_t tasks;
        bool slowFirst;
        bool whole;
    };
    const Row rows[] = {
        {1, 8, false, true}, {2, 1, false, true}, {2, 8, false, false}, {2, 8, true, true}};
    for (const Row& row : rows) {
        WorkerPool pool(row.threads);
        if (row.slowFirst) pool.Run(2, sleepy);
        std::vector<int32_t> runs(row.tasks);
        int32_t wholes = 0;
        const bool ran = pool.RunOrWhole(
            row.tasks, [&](size_t k) { ++runs[k]; }, [&] { ++wholes; });
        EXPECT_EQ(ran, !row.whole);
        EXPECT_EQ(wholes, row.whole ? 1 : 0) << row.threads << " threads, " << row.tasks;
        EXPECT_EQ(runs, std::vector<int32_t>(row.tasks, row.whole ? 0 : 1));
        if (!row.slowFirst) continue;
        pool.RunOrWhole(
            row.tasks, [&](size_t k) { ++runs[k]; }, [&] { ++wholes; });
        EXPECT_EQ(runs, std::vector<int32_t>(row.tasks, 1)) << "shared again";
    }
}

}  // namespace
}  // namespace pp
