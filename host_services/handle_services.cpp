#include "host_services/handle_services.h"

#include <cstring>

#include "platform/win32.h"

namespace {

constexpr size_t kOwnRecordSize = sizeof(void*) + sizeof(OSType);

// A record of the own format: GlobalHandle and GlobalSize validate the address
// themselves (they answer 0 for memory that is not a global block), so the tag
// and the master pointer are read only inside a block known to hold them.
// The format alone decides, not a list of what this load made: the host owns
// the parameters handle and frees it by its own means, so such a list would go
// stale and take a later host block at the same address for one of ours.
bool HasOwnRecordFormat(Handle handle) {
    HGLOBAL record = GlobalHandle(handle);
    if (!record || GlobalSize(record) != kOwnRecordSize) return false;
    OSType tag = 0;
    std::memcpy(&tag, reinterpret_cast<const char*>(handle) + sizeof(void*), sizeof tag);
    return tag == kOwnHandleTag && *handle && GlobalHandle(*handle);
}

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

bool IsOwnHandle(Handle handle) { return handle && HasOwnRecordFormat(handle); }

Handle NewPIHandle(const FilterRecord* record, int32_t size) {
    if (HostHandleProcsUsable(record)) return size < 0 ? nullptr : record->handleProcs->newProc(size);
    return NewOwnHandle(size);
}

Ptr LockPIHandle(const FilterRecord* record, Handle handle, bool moveHigh) {
    if (!handle) return nullptr;
    if (!IsOwnHandle(handle) && HostHandleProcsUsable(record))
        return record->handleProcs->lockProc(handle, moveHigh ? 1 : 0);
    return *handle;
}

void UnlockPIHandle(const FilterRecord* record, Handle handle) {
    if (handle && !IsOwnHandle(handle) && HostHandleProcsUsable(record)) record->handleProcs->unlockProc(handle);
}

int32_t PIHandleSize(const FilterRecord* record, Handle handle) {
    if (!handle) return 0;
    if (IsOwnHandle(handle)) {
        const size_t size = GlobalSize(GlobalHandle(*handle));
        return size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
    }
    return HostHandleProcsUsable(record) ? record->handleProcs->getSizeProc(handle) : 0;
}

bool DisposePIHandle(const FilterRecord* record, Handle handle) {
    if (!handle) return false;
    if (IsOwnHandle(handle)) {
        DisposeOwnHandle(handle);
        return true;
    }
    if (!HostHandleProcsUsable(record)) return false;
    record->handleProcs->disposeProc(handle);
    return true;
}
