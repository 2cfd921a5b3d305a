// Work shared out over threads: every item once, check points on the
// calling thread only, a stop honoured; and whatever a work item or the check
// point throws, every worker is joined and the exception reaches the caller
// (a thrown exception left on a thread would end the process).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <vector>
#include <new>
#include <stdexcept>
#include <thread>

#include "core/parallel_work.h"

TEST(ParallelWork, EveryItemRunsOnceAndTheCheckPointCanStopTheRest) {
    for (int workers : {1, 2, 5}) {
        std::vector<std::atomic<int>> runs(500);
        ParallelJob job;
        job.items = 500;
        job.workers = workers;
        job.work = [&](int64_t item, int worker, const std::atomic<bool>&) {
            EXPECT_LT(worker, workers);
            ++runs[size_t(item)];
        };
        std::set<std::thread::id> checkThreads;
        double last = -1;
        job.checkPoint = [&](double done) {
            checkThreads.insert(std::this_thread::get_id());
            EXPECT_GE(done, last);
            last = done;
            return true;
        };
        EXPECT_TRUE(RunParallel(job));
        for (const auto& count : runs) EXPECT_EQ(count.load(), 1);
        EXPECT_EQ(last, 1.0);
        EXPECT_EQ(checkThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
    // A check point that says stop: the workers see it and leave the rest.
    std::atomic<int64_t> done{0};
    ParallelJob slow;
    slow.items = 1000000;
    slow.workers = 2;
    slow.work = [&](int64_t, int, const std::atomic<bool>& stop) {
        while (!stop.load()) std::this_thread::yield();
        ++done;
    };
    slow.checkPoint = [](double) { return false; };
    EXPECT_FALSE(RunParallel(slow));
    EXPECT_LT(done.load(), 10);
}

TEST(ParallelWork, AWorkItemThatThrowsStopsTheRestAndReachesTheCaller) {
    for (int workers : {1, 2, 4}) {
        SCOPED_TRACE(workers);
        std::atomic<int64_t> done{0};
        ParallelJob job;
        job.items = 100000;
        job.workers = workers;
        // Items are handed out in order: the ones after the failing item wait
        // for the stop it causes (at most a few seconds), so that how fast the
        // threads happen to run cannot finish them all first.
        job.work = [&](int64_t item, int, const std::atomic<bool>& stop) {
            if (item == 50) throw std::bad_alloc();
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (item > 50 && !stop.load() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
            done.fetch_add(1);
        };
        EXPECT_THROW(RunParallel(job), std::bad_alloc);
        EXPECT_LE(done.load(), 50 + workers - 1) << "the items after the failure were left undone";
        // The runner is whole again: the next job runs to its end.
        job.work = [&](int64_t, int, const std::atomic<bool>&) { done.fetch_add(1); };
        done = 0;
        EXPECT_TRUE(RunParallel(job));
        EXPECT_EQ(done.load(), job.items);
    }
}

TEST(ParallelWork, ACheckPointThatThrowsJoinsTheWorkersFirst) {
    std::atomic<bool> sawStop{false};
    std::atomic<int> inside{0};
    ParallelJob job;
    job.items = 8;
    job.workers = 4;
    job.work = [&](int64_t, int, const std::atomic<bool>& stop) {
        inside.fetch_add(1);
        // Long items: they run until the stop, as a band of a large render would.
        while (!stop.load()) std::this_thread::yield();
        sawStop = true;
        inside.fetch_sub(1);
    };
    job.checkPoint = [](double) -> bool { throw std::runtime_error("the host went away"); };
    EXPECT_THROW(RunParallel(job), std::runtime_error);
    EXPECT_TRUE(sawStop.load());
    EXPECT_EQ(inside.load(), 0) << "no worker was still running when the exception came back";
}
