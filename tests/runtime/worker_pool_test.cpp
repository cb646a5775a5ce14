#include "runtime/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "runtime/record_array.h"

namespace pp {
namespace {

// Every task runs exactly once, whatever the number of threads and tasks, run after run.
TEST(WorkerPool, RunsEveryTaskOnceForAnyThreadAndTaskCount) {
    struct Row {
        int32_t threads;
        size_t tasks;
    };
    for (const Row row : {Row{1, 5}, Row{2, 0}, Row{2, 1}, Row{2, 7}, Row{3, 64}, Row{8, 3},
                          Row{8, 1000}, Row{0, 33}}) {
        WorkerPool pool(row.threads);
        EXPECT_EQ(pool.Threads(), row.threads == 0 ? WorkerPool::HardwareThreads() : row.threads);
        for (int32_t run = 0; run < 3; ++run) {
            std::vector<std::atomic<int32_t>> calls(row.tasks);
            pool.Run(row.tasks, [&](size_t k) { calls[k].fetch_add(1); });
            for (size_t k = 0; k < row.tasks; ++k) {
                ASSERT_EQ(calls[k].load(), 1)
                    << row.threads << " threads, " << row.tasks << " tasks, task " << k;
            }
        }
    }
}

// RunBeside: the caller's function always runs on the calling thread, a worker's at most once
// each, every started one has returned before RunBeside does (no call outlives its frame), and
// the pool runs ordinary jobs afterwards.
TEST(WorkerPool, RunBesideRunsTheCallerAndWaitsForEveryStartedWorker) {
    for (const int32_t threads : {1, 2, 8}) {
        WorkerPool pool(threads);
        for (int32_t run = 0; run < 50; ++run) {
            std::atomic<int32_t> started{0}, returned{0};
            int32_t callerCalls = 0;
            const std::thread::id caller = std::this_thread::get_id();
            pool.RunBeside(
                [&] {
                    started.fetch_add(1);
                    std::this_thread::yield();
                    returned.fetch_add(1);
                },
                [&] { callerCalls += std::this_thread::get_id() == caller ? 1 : 100; });
            ASSERT_EQ(callerCalls, 1);
            ASSERT_EQ(started.load(), returned.load()) << threads << " threads, run " << run;
            ASSERT_LE(started.load(), threads - 1);
            std::atomic<int32_t> tasks{0};
            pool.Run(5, [&](size_t) { tasks.fetch_add(1); });
            ASSERT_EQ(tasks.load(), 5);
        }
    }
}

struct Record {
    int32_t Value;
    int32_t Changed;
};

// The chunked pass against the one-pass compaction: the same survivors in the same order, the
// same count, cursor and result, for lists and removal patterns of every kind, with the
// chunks on the pool's threads at the same time.
TEST(WorkerPool, ChunkedRewriteRemovingEqualsTheSinglePass) {
    WorkerPool pool(3);
    std::mt19937 random(11);
    auto forEach = [&pool](size_t chunks, auto&& fn) { pool.Run(chunks, fn); };
    // Per row: list length, chunk count, and the share of records that die (in 1/8).
    struct Row {
        int32_t count;
        size_t chunks;
        uint32_t deadEighths;
    };
    for (const Row row :
         {Row{0, 4, 1}, Row{1, 4, 0}, Row{1, 4, 8}, Row{5, 8, 4}, Row{100, 3, 0}, Row{100, 3, 8},
          Row{1000, 7, 1}, Row{1000, 256, 4}, Row{1000, 5000, 2}, Row{40000, 12, 3}}) {
        RecordArray<Record> plain;
        RecordArray<Record> chunked;
        std::vector<uint8_t> dies;
        for (int32_t i = 0; i < row.count; ++i) {
            ListInsert(plain)->Value = i;
            ListInsert(chunked)->Value = i;
            dies.push_back(random() % 8 < row.deadEighths ? 1 : 0);
        }
        auto rewrite = [&dies](const Record& in, Record& out) {
            const int32_t value = in.Value;
            out = Record{value, value * 3 + 1};
            return dies[static_cast<size_t>(value)] != 0;
        };
        const bool plainMet = ListRewriteRemoving(plain, rewrite);
        const bool chunkedMet = ListRewriteRemovingInChunks(chunked, row.chunks, forEach, rewrite);
        EXPECT_EQ(plainMet, chunkedMet) << row.count;
        ASSERT_EQ(plain.Count(), chunked.Count()) << row.count << " / " << row.chunks;
        for (int32_t i = 0; i < plain.Count(); ++i) {
            ASSERT_EQ(plain.First()[i].Value, chunked.First()[i].Value) << row.count << " at " << i;
            ASSERT_EQ(plain.First()[i].Changed, chunked.First()[i].Changed);
        }
        EXPECT_EQ(plain.Cursor() != nullptr, chunked.Cursor() != nullptr);
        if (plain.Cursor() != nullptr) {
            EXPECT_EQ(plain.Cursor()->Value, chunked.Cursor()->Value);
        }
        EXPECT_EQ(plain.Capacity(), chunked.Capacity()) << row.count;
    }
}

}  // namespace
}  // namespace pp
