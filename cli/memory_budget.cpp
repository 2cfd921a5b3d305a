#include "cli/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

int64_t AvailableMemory() {
    int64_t available = 0;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit)
        if (key == "MemAvailable:") available = kilobytes * 1024;
    if (available <= 0) available = int64_t(sysconf(_SC_AVPHYS_PAGES)) * int64_t(sysconf(_SC_PAGESIZE));
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = std::min<int64_t>(available, int64_t(limit.rlim_cur) * 3 / 4);
    return available;
}

int64_t FilterMemoryNeed(int64_t width, int64_t height, int channels, int depth, bool allPlanes) {
    const int64_t pixels = width * height;
    const int64_t sample = depth == 16 ? 2 : 1;
    const int64_t file = pixels * channels * sample;   // the decoded image, filtered in place
    // One float plane at a time with the plain threshold (each colour plane
    // goes back as soon as it is finished); every plane at once otherwise.
    const int64_t planes = allPlanes ? pixels * channels * 4 : pixels * 4;
    const int64_t fixed = int64_t(48) << 20;             // libraries, band accumulators, encoders' buffers
    return file + planes + fixed;
}

bool MemoryBudget::Reserve(int64_t bytes, std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (bytes > total_) {
        *error = "needs about " + std::to_string(bytes >> 20) + " MB of memory, " + std::to_string(total_ >> 20) +
                 " MB are available";
        return false;
    }
    released_.wait(lock, [&] { return reserved_ + bytes <= total_ || reserved_ == 0; });
    reserved_ += bytes;
    return true;
}

void MemoryBudget::Release(int64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    reserved_ -= bytes;
    released_.notify_all();
}
