// Global memory for non-Windows builds, with the lock semantics of Win32.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "tests/emulated_system/platform_testing.h"

namespace {

struct Block {
    size_t size;
    int lockCount;
    void* data;
};

std::mutex gMutex;
// Never destroyed: blocks that outlive main (the plug-in's globals, which a
// host never frees) stay reachable, as they do in a real process.
std::unordered_map<const void*, Block*>& Handles() {
    static auto* handles = new std::unordered_map<const void*, Block*>;
    return *handles;
}
std::unordered_map<const void*, Block*>& Addresses() {
    static auto* addresses = new std::unordered_map<const void*, Block*>;
    return *addresses;
}
int gAllocationsBeforeFailure = -1;

Block* FindLocked(const void* handleOrAddress) {
    auto& handles = Handles();
    auto h = handles.find(handleOrAddress);
    if (h != handles.end()) return h->second;
    auto& addresses = Addresses();
    auto a = addresses.find(handleOrAddress);
    return a != addresses.end() ? a->second : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    if (gAllocationsBeforeFailure == 0) {
        gAllocationsBeforeFailure = -1;
        return nullptr;
    }
    if (gAllocationsBeforeFailure > 0) --gAllocationsBeforeFailure;
    Block* block = new (std::nothrow) Block{bytes, 0, nullptr};
    if (!block) return nullptr;
    block->data = std::malloc(bytes ? bytes : 1);
    if (!block->data) {
        delete block;
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT) std::memset(block->data, 0, bytes);
    Handles()[block] = block;
    Addresses()[block->data] = block;
    return reinterpret_cast<HGLOBAL>(block);
}

LPVOID GlobalLock(HGLOBAL memory) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    Block* block = FindLocked(memory);
    if (!block) return nullptr;
    if (memory == reinterpret_cast<HGLOBAL>(block)) ++block->lockCount;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    Block* block = FindLocked(memory);
    if (!block || memory != reinterpret_cast<HGLOBAL>(block)) return TRUE;  // fixed addresses stay locked
    if (block->lockCount > 0) --block->lockCount;
    return block->lockCount > 0;
}

HGLOBAL GlobalHandle(const void* address) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    Block* block = FindLocked(address);
    return reinterpret_cast<HGLOBAL>(block);
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    Block* block = FindLocked(memory);
    if (!block) return memory;  // as Win32: the argument back means failure
    Handles().erase(block);
    Addresses().erase(block->data);
    std::free(block->data);
    delete block;
    return nullptr;
}

size_t GlobalSize(HGLOBAL memory) {
    ForeignCodeScope system;
    std::lock_guard<std::mutex> lock(gMutex);
    Block* block = FindLocked(memory);
    return block ? block->size : 0;
}

void PlatformFreeAllGlobalBlocks() {
    std::lock_guard<std::mutex> lock(gMutex);
    for (auto& entry : Handles()) {
        std::free(entry.second->data);
        delete entry.second;
    }
    Handles().clear();
    Addresses().clear();
}

size_t PlatformLiveGlobalBlocks() {
    std::lock_guard<std::mutex> lock(gMutex);
    return Handles().size();
}

void PlatformFailGlobalAllocAfter(int allocations) {
    std::lock_guard<std::mutex> lock(gMutex);
    gAllocationsBeforeFailure = allocations;
}
