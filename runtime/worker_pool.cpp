#include "runtime/worker_pool.h"

#include <algorithm>

namespace pp {

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

// Claims and runs tasks until none is left. Claiming takes the lock: tasks are coarse (a
// chunk of thousands of particles), so one lock per task costs nothing measurable.
void WorkerPool::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (next_ < tasks_) {
        const size_t k = next_++;
        void* const task = task_;
        const Call call = call_;
        lock.unlock();
        call(task, k);
        lock.lock();
        if (++finished_ == tasks_) done_.notify_one();
    }
}

void WorkerPool::WorkerLoop() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        lock.unlock();
        Work();
        lock.lock();
    }
}

void WorkerPool::RunErased(size_t tasks, void* task, Call call) {
    if (tasks == 0) return;
    if (workers_.empty() || tasks == 1) {
        for (size_t k = 0; k < tasks; ++k) call(task, k);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        call_ = call;
        tasks_ = tasks;
        next_ = 0;
        finished_ = 0;
        ++generation_;
    }
    wake_.notify_all();
    Work();
    // Only tasks that a worker claimed are waited for: a worker the system has not yet given a
    // processor finds the job over when it wakes, and this thread never waits for it.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return finished_ == tasks_; });
    tasks_ = 0;
    next_ = 0;
}

void WorkerPool::BeginBeside(void* task, Call call) {
    if (workers_.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        call_ = call;
        tasks_ = workers_.size();  // one call a worker, claimed as for Run
        next_ = 0;
        finished_ = 0;
        ++generation_;
    }
    wake_.notify_all();
}

void WorkerPool::EndBeside() {
    if (workers_.empty()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    tasks_ = next_;  // calls not yet claimed are dropped
    done_.wait(lock, [&] { return finished_ == tasks_; });
    tasks_ = 0;
    next_ = 0;
}

}  // namespace pp
