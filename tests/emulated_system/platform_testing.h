// Controls of the native platform layer that tests and the runner use to play
// the part of Windows: which executable the process is, which windows exist,
// and when memory runs out.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

#if !defined(_WIN32)
// Sets the path that GetModuleFileNameA reports for the executable (a null module).
void PlatformSetExecutablePath(const std::string& path);

// Creates a window whose messages go to the given procedure; destroy it when done.
HWND PlatformCreateWindow(WNDPROC procedure);
void PlatformDestroyWindow(HWND window);

// Number of messages waiting in the calling thread's queue.
size_t PlatformQueuedMessageCount();
// Drops every message of the calling thread's queue.
void PlatformClearMessageQueue();

// Global memory accounting: blocks allocated and not yet freed.
size_t PlatformLiveGlobalBlocks();
// Frees every block, as the end of a process would (for a fuzzer's next input).
void PlatformFreeAllGlobalBlocks();
// Makes GlobalAlloc fail once this many more allocations have succeeded; -1 never fails.
void PlatformFailGlobalAllocAfter(int allocations);

#endif

// Marks the calling thread as running code that is not the plug-in's: the
// platform's own calls and a host's callbacks. Tests that make the plug-in's
// allocations fail leave such code alone, as a real system's would not throw.
class ForeignCodeScope {
public:
    ForeignCodeScope();
    ~ForeignCodeScope();
    ForeignCodeScope(const ForeignCodeScope&) = delete;
    ForeignCodeScope& operator=(const ForeignCodeScope&) = delete;
};
bool InForeignCode();

// The tests link their own heap blocks in place of core/allocation.cpp's:
// when a check is set, it is asked before every allocation and a true answer
// makes that allocation fail.
using AllocationFailureCheck = bool (*)();
void SetAllocationFailureCheck(AllocationFailureCheck check);
