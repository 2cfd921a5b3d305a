// The library's load-time entry point and the module handle it records.
#pragma once

#include "platform/win32.h"

// The library's module handle, recorded at process attach; dialogs and
// alerts load their resources from it.
extern HINSTANCE ModuleInstance;

extern "C" BOOL WINAPI DLLMain(HINSTANCE module, DWORD reason, LPVOID reserved);
