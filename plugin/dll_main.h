// The library's load-time entry point: it records the module handle and which
// host loaded the library.
#pragma once

#include "platform/win32.h"

extern "C" BOOL WINAPI DLLMain(HINSTANCE module, DWORD reason, LPVOID reserved);
