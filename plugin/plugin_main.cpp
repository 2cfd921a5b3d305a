#include "plugin/plugin_main.h"

#include <cstring>

#include "host_services/filter_globals.h"
#include "host_services/handle_services.h"
#include "host_services/host_kind.h"
#include "host_services/instance.h"
#include "host_services/module_instance.h"
#include "host_services/request_rects.h"
#include "plugin/selectors.h"
#include "interface/result_codes.h"
#include "platform/win32.h"
#include "ui/alerts.h"

namespace {

// Fireworks keeps the globals in a handle made through its own handle procs.
FilterGlobals* ObtainHandleGlobals(FilterRecord* record, intptr_t* data, int16_t* result) {
    Handle handle = reinterpret_cast<Handle>(*data);
    if (handle) {
        auto* globals = reinterpret_cast<FilterGlobals*>(LockPIHandle(record, handle, true));
        if (!globals) {
            *result = memFullErr;
            return nullptr;
        }
        globals->result = result;
        globals->filterRecord = record;
        return globals;
    }
    handle = NewPIHandle(record, sizeof(FilterGlobals));
    if (!handle) {
        *result = memFullErr;
        return nullptr;
    }
    auto* globals = reinterpret_cast<FilterGlobals*>(LockPIHandle(record, handle, true));
    if (!globals) {
        DisposePIHandle(record, handle);
        *result = memFullErr;
        return nullptr;
    }
    // A host's new handle holds whatever was there before: start from zero.
    std::memset(globals, 0, sizeof *globals);
    globals->result = result;
    globals->filterRecord = record;
    InitInstance(globals);
    *data = reinterpret_cast<intptr_t>(handle);
    return globals;
}

// Every other host: a block of global memory whose address sits in the slot.
FilterGlobals* ObtainMemoryGlobals(FilterRecord* record, intptr_t* data, int16_t* result) {
    if (!*data) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(FilterGlobals));
        void* address = memory ? GlobalLock(memory) : nullptr;
        if (!address) {
            if (memory) GlobalFree(memory);
            *result = memFullErr;
            return nullptr;
        }
        *data = reinterpret_cast<intptr_t>(address);
        auto* globals = static_cast<FilterGlobals*>(address);
        globals->result = result;
        globals->filterRecord = record;
        InitInstance(globals);
    } else {
        auto* globals = reinterpret_cast<FilterGlobals*>(*data);
        globals->result = result;
        globals->filterRecord = record;
    }
    auto* globals = static_cast<FilterGlobals*>(GlobalLock(reinterpret_cast<HGLOBAL>(*data)));
    if (!globals) *result = memFullErr;
    return globals;
}

void ReleaseGlobals(FilterRecord* record, intptr_t* data) {
    if (HostKind == HostKindFireworks)
        UnlockPIHandle(record, reinterpret_cast<Handle>(*data));
    else
        GlobalUnlock(reinterpret_cast<HGLOBAL>(*data));
}

bool IsFilterSelector(int16_t selector) {
    return selector >= filterSelectorParameters && selector <= filterSelectorFinish;
}

}  // namespace

extern "C" void PI_CALL PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    if (!result) return;
    if (selector == filterSelectorAbout) {
        try {
            DoAbout(static_cast<const AboutRecord*>(record));
        } catch (...) {
            *result = memFullErr;
        }
        return;
    }
    // An unknown selector, or a call without its record or data slot, changes nothing.
    if (!IsFilterSelector(selector) || !record || !data) {
        *result = filterBadParameters;
        return;
    }
    auto* filterRecord = static_cast<FilterRecord*>(record);
    FilterGlobals* globals = HostKind == HostKindFireworks ? ObtainHandleGlobals(filterRecord, data, result)
                                                           : ObtainMemoryGlobals(filterRecord, data, result);
    if (!globals) {
        ReportFailureToSilentHost(filterRecord, ModuleInstance, *result);
        return;
    }

    *result = noErr;
    if (HostKind == HostKindPremiere) filterRecord->wholeSize = filterRecord->imageSize;

    try {
        switch (selector) {
            case filterSelectorParameters: DoParameters(globals); break;
            case filterSelectorPrepare: DoPrepare(globals); break;
            case filterSelectorStart: DoStart(globals); break;
            case filterSelectorContinue: DoContinue(globals); break;
            case filterSelectorFinish: DoFinish(globals); break;
        }
    } catch (...) {
        // Nothing may cross into the host: the standard library's allocations
        // that failed somewhere below end the call as out of memory.
        *result = memFullErr;
        ClearRequestRects(filterRecord);
    }
    ReleaseGlobals(filterRecord, data);
    ReportFailureToSilentHost(filterRecord, ModuleInstance, *result);
}
