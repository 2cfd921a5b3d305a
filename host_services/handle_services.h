// Handles: blocks shared with the host. A handle points to a master pointer,
// which points to the data. Every handle has an origin, and each kind is
// served only by its maker:
// - the host's handles (made by its newProc, or handed in as a descriptor or a
//   parameters handle) go to the host's handle procs, when they are usable;
// - the plug-in's own handles (a record of one pointer and the tag 'FOTO',
//   made from global memory) are sized, locked and freed by the plug-in
//   itself, and never reach a host proc: a host's procs are defined only for
//   the handles it made (one sizes a foreign handle by GlobalSize and frees it
//   with GlobalFree).
#pragma once

#include "interface/filter_record.h"

constexpr OSType kOwnHandleTag = FourCC("FOTO");

// True when the host offers handle procs of version 1 with every proc the
// plug-in calls (new, dispose, get size, set size, lock, unlock).
bool HostHandleProcsUsable(const FilterRecord* record);

// The plug-in's own handles: a record of one pointer and the tag (pointer size
// + 4 bytes, the size hosts recognise) and a zero-filled data block.
Handle NewOwnHandle(int32_t size);
void DisposeOwnHandle(Handle handle);

// True when the plug-in made this handle, in this load of the library or in an
// earlier one whose record the host kept: known by the record's format. The
// format is read only after the system has confirmed that the address starts
// a global memory block of exactly the record's size, so a host's handle is
// never read past its end.
bool IsOwnHandle(Handle handle);

// Handle services by origin: the plug-in's own handles by the plug-in, the
// host's through its procs when usable. Without usable procs new makes an own
// handle, a host handle's master pointer serves as its address, its size is
// unknown (0) and it cannot be freed (it is left to its owner).
Handle NewPIHandle(const FilterRecord* record, int32_t size);
Ptr LockPIHandle(const FilterRecord* record, Handle handle, bool moveHigh);
void UnlockPIHandle(const FilterRecord* record, Handle handle);
// The data block's size in bytes, or 0 when it cannot be known.
int32_t PIHandleSize(const FilterRecord* record, Handle handle);
// Returns whether the handle was freed.
bool DisposePIHandle(const FilterRecord* record, Handle handle);
