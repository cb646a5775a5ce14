// A small pool of worker threads for data-parallel steps of a frame: Run(tasks, fn) calls
// fn(k) once for every k in [0, tasks), spread over the workers and the calling thread, and
// returns when all calls have returned. Tasks are claimed one at a time in increasing order,
// without a lock, by whichever thread is free; which thread runs which task is not fixed, so
// a task must write only what belongs to it. A worker that wakes late finds the tasks taken
// and is not waited for. When a shared job takes much longer than the calling thread worked
// on it (the machine's cores are busy with other work), the next jobs run on the calling
// thread alone for a while; the results are the same either way.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace pp {

class WorkerPool {
  public:
    // threads counts the calling thread: 1 starts no worker and runs every task in the caller.
    // 0 means one per hardware thread. At most kMaxThreads.
    explicit WorkerPool(int32_t threads = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    static constexpr int32_t kMaxThreads = 256;

    // Threads that work on a Run, the caller included.
    int32_t Threads() const { return threads_; }

    template <class Task>
    void Run(size_t tasks, Task&& task) {
        RunOrWhole(tasks, task, [&task, tasks] {
            for (size_t k = 0; k < tasks; ++k) task(k);
        });
    }

    // As Run, but a job that would run on the calling thread alone (no workers, one task, or
    // the machine busy as above) calls whole() instead of the tasks: for a job that one thread
    // does faster in one piece than task by task, such as a pass whose chunks are joined after.
    // whole() must leave what the tasks would leave. Returns whether the tasks ran (what
    // they leave to be joined); when not, whole() ran, or nothing did for a job of no tasks.
    template <class Task, class Whole>
    bool RunOrWhole(size_t tasks, Task&& task, Whole&& whole) {
        if (tasks == 0) return false;
        if (RunsAlone(tasks)) {
            whole();
            return false;
        }
        using Callable = std::remove_reference_t<Task>;
        Share(tasks, const_cast<void*>(static_cast<const void*>(&task)),
              [](void* t, size_t k) { (*static_cast<Callable*>(t))(k); });
        return true;
    }

    // Runs worker() once on each worker thread that wakes in time while the calling thread
    // runs caller(); returns when caller() has returned and every worker() that started has
    // returned. A worker that the system has not woken by then does not run it at all, so
    // worker() must leave nothing undone that caller() relies on: the two share their work
    // through the caller's own atomics. With no workers, only caller() runs.
    template <class Worker, class Caller>
    void RunBeside(Worker&& worker, Caller&& caller) {
        using Callable = std::remove_reference_t<Worker>;
        BeginBeside(const_cast<void*>(static_cast<const void*>(&worker)),
                    [](void* t, size_t) { (*static_cast<Callable*>(t))(); });
        caller();
        EndBeside();
    }

    // The number of hardware threads, at least 1.
    static int32_t HardwareThreads();

  private:
    using Call = void (*)(void*, size_t);
    // Whether a job of `tasks` (at least 1) runs on the calling thread alone; counts it if so.
    bool RunsAlone(size_t tasks);
    void Share(size_t tasks, void* task, Call call);
    void BeginBeside(void* task, Call call);
    void EndBeside();
    void WorkerLoop();
    void Work();

    // Claims the next task of the job of generation `generation`; false when none is left or
    // a later job has begun.
    bool Claim(uint64_t generation, size_t& k);
    void Finished();
    void Begin(void* task, Call call, size_t tasks);

    int32_t threads_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    // The job of the current Run. generation_, stop_, task_ and call_ are written under mutex_
    // while no worker runs a task of the job before, and read under it by a worker as it
    // wakes; tasks_ is read without the lock by a worker that may hold an older job.
    uint64_t generation_ = 0;
    bool stop_ = false;
    void* task_ = nullptr;
    Call call_ = nullptr;
    std::atomic<size_t> tasks_{0};
    // The job's generation (high 32 bits) and its next unclaimed task (low 32 bits), so that a
    // worker still holding an older job's numbers can never claim a task of a newer one.
    std::atomic<uint64_t> claim_{0};
    std::atomic<size_t> finished_{0};   // tasks that have returned
    size_t claimed_ = 0;                // tasks to wait for, once no more can be claimed
    std::atomic<bool> waiting_{false};  // the calling thread sleeps on done_
    // Jobs of Run still to run on the calling thread alone, and how many the next slow shared
    // job gives (see Share); only the calling thread reads or writes them.
    static constexpr int32_t kMostAlone = 256;
    static constexpr double kLongJobSeconds = 50e-6;
    int32_t alone_ = 0;
    int32_t lonely_ = 0;
};

}  // namespace pp
