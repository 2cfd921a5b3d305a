#include "plugin/dll_main.h"

#include "host_services/host_kind.h"
#include "host_services/module_instance.h"

// Process attach is the only write of the two process-wide values: the host
// executable cannot change while the library is loaded, and the render's
// worker threads (whose creation calls this entry with thread attach) must
// find both values settled.
extern "C" BOOL WINAPI DLLMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = module;
        DetectHostKind();
    }
    return TRUE;
}

#if defined(_WIN32)
// The C runtime's start-up code calls DllMain; the exported name is DLLMain.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return DLLMain(module, reason, reserved);
}
#endif
