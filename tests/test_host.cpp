#include "tests/test_host.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "interface/result_codes.h"
#include "platform/win32.h"
#include "tests/emulated_host/script_descriptors.h"

namespace {

std::function<void(const char*)>& ForeignHandleObserver() {
    static std::function<void(const char*)> observer;
    return observer;
}

}  // namespace

TestHost::TestHost(HostImage image, HostSettings settings)
    : FilterHost(std::move(image), std::make_unique<HostSettings>(std::move(settings))) {
    Reset();  // the record as this host fills it
}

void TestHost::SetForeignHandleObserver(std::function<void(const char*)> observer) {
    ForeignHandleObserver() = std::move(observer);
}

void TestHost::AfterReset(FilterRecord& r) {
    const HostSettings& s = Settings();
    if (s.reportPlanes != -1) r.planes = s.reportPlanes;
    r.hostSig = s.hostSignature;
    platform_.hwnd = s.ownerWindow;
    handleProcs_.handleProcsVersion = s.zeroHandleSuiteVersion ? 0 : kCurrentHandleProcsVersion;
    handleProcs_.numHandleProcs = s.zeroHandleSuiteVersion ? 0 : kCurrentHandleProcsCount;
    descriptors_->parameters.readDescriptorProcs = s.nullDescriptorProcTables ? nullptr : &descriptors_->readProcs;
    descriptors_->parameters.writeDescriptorProcs = s.nullDescriptorProcTables ? nullptr : &descriptors_->writeProcs;
}

// What a host does with the parameters handle between two runs.
void TestHost::BetweenRuns() {
    Handle parameters = record_->parameters;
    if (!parameters) return;
    if (Settings().nullParametersEachRun) {
        // The host forgets the block (and leaks it; freed here at the end).
        droppedParameters_.push_back(parameters);
        record_->parameters = nullptr;
        return;
    }
    if (!Settings().rebuildParametersBetweenRuns) return;
    const bool own = !IsHostHandle(parameters) && IsPluginOwnHandle(parameters);
    const int32_t size = own ? int32_t(GlobalSize(GlobalHandle(*parameters))) : HandleBytes(parameters);
    Handle fresh = NewHandle(size);
    std::memcpy(*fresh, *parameters, size_t(size));
    if (own)
        FreePluginOwnHandle(parameters);
    else
        DisposeHandle(parameters);
    record_->parameters = fresh;
}

void TestHost::CallOnHostThread(const std::function<void()>& call) {
    if (Settings().selectorsOnWorkerThread)
        std::thread(call).join();
    else
        call();
}

void TestHost::BeforeParameters(FilterRecord& r) {
    if (!Settings().zeroSizesAtParameters) return;
    r.imageSize = Point{0, 0};
    r.filterRect = Rect{0, 0, 0, 0};
    r.planes = r.imageMode = 0;
}

Rect TestHost::Delivered(const Rect& asked) const {
    Rect rect = asked;
    if (Settings().deliverRowsShort > 0)
        rect.bottom = int16_t(std::max<int32_t>(rect.top, rect.bottom - Settings().deliverRowsShort));
    return rect;
}

int32_t TestHost::ForeignHandle(const char* proc, Handle handle) {
    foreignHandleCalls_.push_back(std::string(proc) + (handle ? "" : " (null)"));
    if (ForeignHandleObserver()) ForeignHandleObserver()(proc);
    if (!handle) return 0;
    if (std::strcmp(proc, "disposeProc") == 0 && Settings().disposeFreesForeignHandles)
        GlobalFree(reinterpret_cast<HGLOBAL>(handle));
    if (std::strcmp(proc, "getSizeProc") == 0 && Settings().globalSizeForForeignHandles)
        return int32_t(GlobalSize(reinterpret_cast<HGLOBAL>(handle)));
    return 0;
}

OSErr TestHost::AdvanceState() {
    ++advanceStateCalls_;
    return FilterHost::AdvanceState();
}

Boolean TestHost::TestAbort() {
    ++abortCalls_;
    return FilterHost::TestAbort();
}

void TestHost::Progress(int32_t done, int32_t total) {
    progress_.push_back(ProgressCall{done, total});
    FilterHost::Progress(done, total);
}

OSErr TestHost::DisplayPixels(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column,
                              void* context) {
    const OSErr result = FilterHost::DisplayPixels(source, rect, row, column, context);
    if (result != noErr) return result;
    DisplayPixelsCall call;
    call.map = *source;
    call.sourceRect = *rect;
    call.dstRow = row;
    call.dstCol = column;
    const int32_t height = source->bounds.bottom - source->bounds.top;
    if (source->baseAddr && height > 0 && source->rowBytes > 0) {
        const auto* base = static_cast<const uint8_t*>(source->baseAddr);
        call.pixels.assign(base, base + size_t(height) * size_t(source->rowBytes));
    }
    if (source->version >= 1 && source->masks && source->masks->maskData && source->masks->rowBytes > 0) {
        const auto* mask = static_cast<const uint8_t*>(source->masks->maskData);
        call.mask.assign(mask, mask + size_t(height) * size_t(source->masks->rowBytes));
        call.maskDescription = source->masks->maskDescription;
    }
    display_.push_back(std::move(call));
    return noErr;
}
