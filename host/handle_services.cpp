#include "host/handle_services.h"

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr size_t kOwnRecordSize = sizeof(void*) + sizeof(OSType);

// Allocates a moveable, zero-filled block and returns its locked address.
void* AllocLockedGlobal(size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory) return nullptr;
    void* address = GlobalLock(memory);
    if (!address) GlobalFree(memory);
    return address;
}

void FreeLockedGlobal(void* address) {
    if (!address) return;
    HGLOBAL memory = GlobalHandle(address);
    if (!memory) return;
    GlobalUnlock(memory);
    GlobalFree(memory);
}

}  // namespace

bool HostHandleProcsUsable(const FilterRecord* record) {
    const HandleProcs* procs = record ? record->handleProcs : nullptr;
    return procs && procs->handleProcsVersion == kCurrentHandleProcsVersion && procs->numHandleProcs >= 7 &&
           procs->newProc && procs->disposeProc && procs->getSizeProc && procs->setSizeProc && procs->lockProc &&
           procs->unlockProc;
}

Handle NewOwnHandle(int32_t size) {
    if (size < 0) return nullptr;
    void* record = AllocLockedGlobal(kOwnRecordSize);
    if (!record) return nullptr;
    void* data = AllocLockedGlobal(size_t(size));
    if (!data) {
        FreeLockedGlobal(record);
        return nullptr;
    }
    const OSType tag = kOwnHandleTag;
    std::memcpy(record, &data, sizeof data);
    std::memcpy(static_cast<char*>(record) + sizeof(void*), &tag, sizeof tag);
    return static_cast<Handle>(record);
}

void DisposeOwnHandle(Handle handle) {
    if (!handle) return;
    FreeLockedGlobal(*handle);
    FreeLockedGlobal(handle);
}

Handle NewPIHandle(const FilterRecord* record, int32_t size) {
    if (HostHandleProcsUsable(record)) return size < 0 ? nullptr : record->handleProcs->newProc(size);
    return NewOwnHandle(size);
}

void DisposePIHandle(const FilterRecord* record, Handle handle) {
    if (!handle) return;
    if (HostHandleProcsUsable(record))
        record->handleProcs->disposeProc(handle);
    else
        DisposeOwnHandle(handle);
}

Ptr LockPIHandle(const FilterRecord* record, Handle handle, bool moveHigh) {
    if (!handle) return nullptr;
    if (HostHandleProcsUsable(record)) return record->handleProcs->lockProc(handle, moveHigh ? 1 : 0);
    return *handle;
}

void UnlockPIHandle(const FilterRecord* record, Handle handle) {
    if (handle && HostHandleProcsUsable(record)) record->handleProcs->unlockProc(handle);
}

bool DisposeHostHandle(const FilterRecord* record, Handle handle) {
    if (!handle || !HostHandleProcsUsable(record)) return false;
    record->handleProcs->disposeProc(handle);
    return true;
}
