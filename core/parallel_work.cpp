#include "core/parallel_work.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// What the workers and the calling thread share during one job.
struct JobState {
    std::atomic<int64_t> next{0};
    std::atomic<int64_t> finished{0};
    std::atomic<bool> stop{false};
    std::atomic<int> running{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::exception_ptr failure;  // the first exception a work item threw
};

// An exception may not leave a thread (that ends the process): the first one
// stops the job and is thrown again on the calling thread once all have joined.
void Work(const ParallelJob& job, int worker, JobState& state) {
    for (;;) {
        if (state.stop.load(std::memory_order_relaxed)) break;
        const int64_t item = state.next.fetch_add(1);
        if (item >= job.items) break;
        try {
            job.work(item, worker, state.stop);
        } catch (...) {
            std::lock_guard<std::mutex> lock(state.mutex);
            if (!state.failure) state.failure = std::current_exception();
            state.stop.store(true);
            break;
        }
        state.finished.fetch_add(1);
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    state.running.fetch_sub(1);
    state.changed.notify_all();
}

bool CheckPoint(const ParallelJob& job, int64_t done) {
    return !job.checkPoint || job.checkPoint(job.items > 0 ? double(done) / double(job.items) : 1.0);
}

}  // namespace

int WorkerCount(int requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? int(cores) : 1;
}

bool RunParallel(const ParallelJob& job) {
    JobState state;
    std::vector<std::thread> threads;
    const int wanted = job.workers < 1 ? 1 : job.workers;
    try {
        threads.reserve(size_t(wanted));
        for (int i = 0; i < wanted && int64_t(i) < job.items; ++i) {
            state.running.fetch_add(1);
            try {
                threads.emplace_back(Work, std::cref(job), i, std::ref(state));
            } catch (...) {
                state.running.fetch_sub(1);
                throw;
            }
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones that started do the work.
    } catch (const std::bad_alloc&) {
    }

    if (threads.empty()) {
        // No thread at all: the items run here, one check point after each.
        for (int64_t item = 0; item < job.items; ++item) {
            job.work(item, 0, state.stop);
            if (!CheckPoint(job, item + 1)) return false;
        }
        return CheckPoint(job, job.items);
    }

    bool stopped = false;
    try {
        std::unique_lock<std::mutex> lock(state.mutex);
        while (state.running.load() > 0) {
            state.changed.wait_for(lock, std::chrono::milliseconds(kCheckPointMilliseconds));
            if (state.running.load() == 0) break;
            lock.unlock();
            if (!stopped && !CheckPoint(job, state.finished.load())) {
                stopped = true;
                state.stop.store(true);
            }
            lock.lock();
        }
    } catch (...) {
        // A check point that throws: the workers stop and are joined first.
        state.stop.store(true);
        for (std::thread& thread : threads) thread.join();
        throw;
    }
    for (std::thread& thread : threads) thread.join();
    if (state.failure) std::rethrow_exception(state.failure);
    if (stopped) return false;
    return CheckPoint(job, state.finished.load());
}

bool RunOverRows(int32_t height, int32_t rowsPerItem, int workers, const std::function<bool(double done)>& checkPoint,
                 const std::function<void(int32_t first, int32_t last)>& rows) {
    ParallelJob job;
    job.items = (int64_t(height) + rowsPerItem - 1) / rowsPerItem;
    job.workers = workers;
    job.checkPoint = checkPoint;
    job.work = [&](int64_t item, int, const std::atomic<bool>&) {
        const int32_t first = int32_t(item * rowsPerItem);
        rows(first, int32_t(std::min<int64_t>(height, int64_t(first) + rowsPerItem)));
    };
    return RunParallel(job);
}
