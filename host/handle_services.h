// Handles: blocks shared with the host. A handle points to a master pointer,
// which points to the data. The host's handle procs are used when they are
// usable; otherwise the plug-in makes its own handles from global memory,
// tagged 'FOTO' so that hosts can recognise them.
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

// Handle services through the host's procs when usable, else the own handles.
Handle NewPIHandle(const FilterRecord* record, int32_t size);
void DisposePIHandle(const FilterRecord* record, Handle handle);
Ptr LockPIHandle(const FilterRecord* record, Handle handle, bool moveHigh);
void UnlockPIHandle(const FilterRecord* record, Handle handle);

// Disposes of a handle that the host made. Without usable host procs there is
// no safe way to free it, so it is left to its owner; returns whether it was disposed.
bool DisposeHostHandle(const FilterRecord* record, Handle handle);
