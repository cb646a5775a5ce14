#include "runtime/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/record_array.h"

namespace pp {
namespace {

// RunBeside: the caller's function runs once on the calling thread, a worker's at most once
// each, and every started one has returned before RunBeside does; ordinary jobs run after.
TEST(WorkerPool, RunBesideRunsTheCallerAndWaitsForEveryStartedWorker) {
    for (const int32_t threads : {1, 2, 8}) {
        WorkerPool pool(threads);
        for (int32_t run = 0; run < 50; ++run) {
            std::atomic<int32_t> started{0}, returned{0}, tasks{0};
            int32_t callerCalls = 0;
            const std::thread::id caller = std::this_thread::get_id();
            pool.RunBeside([&] { started++, std::this_thread::yield(), returned++; },
                           [&] { callerCalls += std::this_thread::get_id() == caller ? 1 : 100; });
            ASSERT_EQ(callerCalls, 1);
            ASSERT_EQ(started.load(), returned.load()) << threads << " threads, run " << run;
            ASSERT_LE(started.load(), threads - 1);
            pool.Run(5, [&](size_t) { tasks++; });
            ASSERT_EQ(tasks.load(), 5);
        }
    }
}

struct Record {
    int32_t Value, Changed;
};

// The chunked pass on the pool against the one-pass compaction, byte for byte, for every kind
// of list and removal pattern (a task skipped or run twice would show, more chunks than records).
TEST(WorkerPool, ChunkedRewriteRemovingEqualsTheSinglePass) {
    EXPECT_EQ(WorkerPool(0).Threads(), WorkerPool::HardwareThreads());
    WorkerPool pool(3);
    std::mt19937 random(11);
    auto forEach = [&pool](size_t chunks, auto&& fn) { pool.Run(chunks, fn); };
    // Per row: list length, chunk count, and the share of records that die (in 1/8).
    const std::tuple<int32_t, size_t, uint32_t> rows[] = {
        {0, 4, 1},    {1, 4, 8},      {5, 8, 4},       {100, 3, 0},   {100, 3, 8},
        {1000, 7, 1}, {1000, 256, 4}, {1000, 5000, 2}, {40000, 12, 3}};
    for (const auto& [count, chunks, deadEighths] : rows) {
        SCOPED_TRACE(::testing::Message() << count << " records in " << chunks << " chunks");
        RecordArray<Record> plain, chunked;
        std::vector<uint8_t> dies;
        for (int32_t i = 0; i < count; ++i) {
            ListInsert(plain)->Value = i, ListInsert(chunked)->Value = i;
            dies.push_back(random() % 8 < deadEighths ? 1 : 0);
        }
        auto rewrite = [&dies](const Record& in, Record& out) {
            const int32_t value = in.Value;
            out = Record{value, value * 3 + 1};
            return dies[static_cast<size_t>(value)] != 0;
        };
        EXPECT_EQ(ListRewriteRemoving(plain, rewrite),
                  ListRewriteRemovingInChunks(chunked, chunks, forEach, rewrite));
        ASSERT_EQ(plain.Count(), chunked.Count());
        EXPECT_TRUE(plain.Count() == 0 || std::memcmp(plain.First(), chunked.First(),
                                                      plain.Count() * sizeof(Record)) == 0);
        EXPECT_EQ(plain.Cursor() - plain.First(), chunked.Cursor() - chunked.First());
        EXPECT_EQ(plain.Capacity(), chunked.Capacity());
    }
}

}  // namespace
}  // namespace pp
