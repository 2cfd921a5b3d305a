#include "host/dll_main.h"

#include "host/host_kind.h"

HINSTANCE ModuleInstance = nullptr;

extern "C" BOOL WINAPI DLLMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ModuleInstance = module;
    DetectHostKind();
    return TRUE;
}

#if defined(_WIN32)
// The C runtime's start-up code calls DllMain; the exported name is DLLMain.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return DLLMain(module, reason, reserved);
}
#endif
