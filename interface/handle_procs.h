// The host's handle procs: memory blocks shared between host and plug-in.
#pragma once

#include "interface/pi_types.h"

typedef Handle(PI_CALL* NewPIHandleProc)(int32_t size);
typedef void(PI_CALL* DisposePIHandleProc)(Handle handle);
typedef int32_t(PI_CALL* GetPIHandleSizeProc)(Handle handle);
typedef OSErr(PI_CALL* SetPIHandleSizeProc)(Handle handle, int32_t newSize);
typedef Ptr(PI_CALL* LockPIHandleProc)(Handle handle, Boolean moveHigh);
typedef void(PI_CALL* UnlockPIHandleProc)(Handle handle);
typedef void(PI_CALL* RecoverSpaceProc)(int32_t size);
typedef void(PI_CALL* DisposeRegularHandleProc)(Handle handle);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandleProc disposeRegularHandleProc;
};

constexpr int16_t kCurrentHandleProcsVersion = 1;
constexpr int16_t kCurrentHandleProcsCount = 8;
