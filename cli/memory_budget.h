// How much memory the command may use, and what an image will need: checked
// before a file is decoded, so that a file that declares an enormous size is
// refused with a message instead of exhausting the machine.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

// Bytes the command can have: the memory the system reports available, within
// the process's address-space limit.
int64_t AvailableMemory();

// Bytes a filter run of an image needs at its peak: the file's samples
// (filtered in place at their own precision), the working planes (one at a
// time with the plain threshold, `allPlanes` for the average ones), and the
// libraries. Within a tenth of the measured peak for photographs; a
// scene so dense in highlights that the transform renders it takes up to
// about twice this (the transform's memory is bounded on its own).
int64_t FilterMemoryNeed(int64_t width, int64_t height, int channels, int depth, bool allPlanes);

// The memory shared by files worked on at once: a file reserves what it needs
// before it is decoded and waits while others hold too much of it.
class MemoryBudget {
public:
    explicit MemoryBudget(int64_t total) : total_(total) {}
    // False, with a message, when the file could never fit; otherwise waits
    // until it fits beside the files under way and reserves its share.
    bool Reserve(int64_t bytes, std::string* error);
    void Release(int64_t bytes);

private:
    std::mutex mutex_;
    std::condition_variable released_;
    int64_t total_;
    int64_t reserved_ = 0;
};
