#include "runtime/worker_pool.h"

#include <algorithm>
#include <chrono>

#include "runtime/clock_readings.h"

namespace pp {
namespace {

constexpr uint64_t kIndexMask = 0xFFFFFFFFu;

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int32_t WorkerPool::HardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int32_t>(std::min<unsigned>(n, kMaxThreads));
}

WorkerPool::WorkerPool(int32_t threads)
    : threads_(std::clamp(threads <= 0 ? HardwareThreads() : threads, 1, kMaxThreads)) {
    workers_.reserve(static_cast<size_t>(threads_ - 1));
    for (int32_t i = 1; i < threads_; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
}

bool WorkerPool::Claim(uint64_t generation, size_t& k) {
    uint64_t now = claim_.load(std::memory_order_acquire);
    for (;;) {
        if ((now >> 32) != (generation & kIndexMask) ||
            (now & kIndexMask) >= tasks_.load(std::memory_order_relaxed)) {
            return false;
        }
        if (claim_.compare_exchange_weak(now, now + 1, std::memory_order_acquire,
                                         std::memory_order_relaxed)) {
            k = static_cast<size_t>(now & kIndexMask);
            return true;
        }
    }
}

// The calling thread is told only when it may be asleep: it announces that in waiting_ before
// it looks at finished_ for the last time, and a thread that finishes a task looks at waiting_
// after counting it (both sequentially consistent, so one of the two sees the other).
void WorkerPool::Finished() {
    finished_.fetch_add(1, std::memory_order_seq_cst);
    if (waiting_.load(std::memory_order_seq_cst)) {
        std::lock_guard<std::mutex> lock(mutex_);
        done_.notify_one();
    }
}

void WorkerPool::WorkerLoop() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        void* const task = task_;
        const Call call = call_;
        lock.unlock();
        size_t k;
        while (Claim(seen, k)) {
            call(task, k);
            Finished();
        }
        lock.lock();
    }
}

bool WorkerPool::RunsAlone(size_t tasks) {
    if (!workers_.empty() && tasks > 1 && alone_ == 0) return false;
    if (alone_ > 0) --alone_;
    return true;
}

void WorkerPool::Share(size_t tasks, void* task, Call call) {
    // More tasks than the claim's index holds run on this thread after the others.
    const size_t shared = std::min<size_t>(tasks, kIndexMask);
    const double wallStart = WallSeconds();
    const double cpuStart = ThreadCpuSeconds();
    Begin(task, call, shared);
    size_t k;
    while (Claim(generation_, k)) {
        call(task, k);
        finished_.fetch_add(1, std::memory_order_relaxed);
    }
    EndBeside();
    // On a machine whose cores are all busy with other work, sharing the job costs more than
    // it gains: the system takes this thread off its core to run the woken workers, and a
    // worker taken off while it holds a task keeps this thread waiting. Either way the job
    // took much longer than this thread worked on it. The next jobs then run on this thread
    // alone: 1, 2, 4 ... up to kMostAlone jobs after each such job, the first job with the
    // workers again telling whether the machine is still busy. A quick shared job halves the
    // next stretch rather than forgetting it: on a busy machine about every other shared job
    // is slow, and starting each stretch again from one job shared a third of all jobs.
    const double wall = WallSeconds() - wallStart;
    const double worked = ThreadCpuSeconds() - cpuStart;
    if (wall > kLongJobSeconds && wall > 1.5 * worked) {
        lonely_ = std::min(kMostAlone, lonely_ == 0 ? 1 : lonely_ * 2);
        alone_ = lonely_;
    } else {
        lonely_ /= 2;
    }
    for (size_t rest = shared; rest < tasks; ++rest) call(task, rest);
}

void WorkerPool::Begin(void* task, Call call, size_t tasks) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        call_ = call;
        tasks_.store(tasks, std::memory_order_relaxed);
        finished_.store(0, std::memory_order_relaxed);
        ++generation_;
        claim_.store((generation_ & kIndexMask) << 32, std::memory_order_release);
    }
    wake_.notify_all();
}

void WorkerPool::BeginBeside(void* task, Call call) {
    if (workers_.empty()) return;
    Begin(task, call, workers_.size());  // one call a worker, claimed as for Run
}

void WorkerPool::EndBeside() {
    if (workers_.empty()) return;
    // No call is claimed from here on (those not yet claimed are dropped); only the claimed
    // ones are waited for.
    const uint64_t closed = claim_.exchange(~uint64_t{0}, std::memory_order_acq_rel);
    claimed_ = std::min<size_t>(static_cast<size_t>(closed & kIndexMask),
                                tasks_.load(std::memory_order_relaxed));
    if (finished_.load(std::memory_order_acquire) != claimed_) {
        std::unique_lock<std::mutex> lock(mutex_);
        waiting_.store(true, std::memory_order_seq_cst);
        done_.wait(lock, [&] { return finished_.load(std::memory_order_seq_cst) == claimed_; });
        waiting_.store(false, std::memory_order_relaxed);
    }
}

}  // namespace pp
