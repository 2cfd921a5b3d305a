// Work shared out over worker threads while the calling thread keeps the
// check points: the workers take numbered items one after the other, and the
// calling thread, which alone talks to the host and pumps messages, wakes at
// least every few tens of milliseconds to run the check point. The workers
// exist only inside one call and are joined before it returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

// The number of workers a render uses: the requested count when above 0,
// otherwise the machine's cores.
int WorkerCount(int requested);

struct ParallelJob {
    int64_t items = 0;
    int workers = 1;
    // Does item i on worker `worker` (0 .. workers - 1; one item at a time per
    // worker, so per-worker scratch needs no lock). Long items look at `stop`
    // now and then and return early when it is set; their work is abandoned.
    std::function<void(int64_t item, int worker, const std::atomic<bool>& stop)> work;
    // Runs on the calling thread, between waits and after the last item, with
    // the share of the items finished (0 to 1); false stops the job. May be empty.
    std::function<bool(double done)> checkPoint;
};

// Runs the job. Returns false when the check point stopped it, true when
// every item was done. When no worker thread can be started the calling
// thread does the items itself, with a check point after each. An exception
// thrown by a work item stops the others and, once every worker has been
// joined, is thrown again here; so is one thrown by the check point. No
// thread is ever left running, and no exception ends the process.
bool RunParallel(const ParallelJob& job);

// Runs rows(first, last) over the rows 0 .. height - 1 in blocks of
// rowsPerItem, one block per item of a job on `workers` workers, with the
// check point as RunParallel runs it. Returns what RunParallel returns.
bool RunOverRows(int32_t height, int32_t rowsPerItem, int workers, const std::function<bool(double done)>& checkPoint,
                 const std::function<void(int32_t first, int32_t last)>& rows);

// The longest the calling thread waits between two check points.
constexpr int kCheckPointMilliseconds = 20;
