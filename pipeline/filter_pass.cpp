#include "pipeline/filter_pass.h"

#include <algorithm>
#include <cstdlib>

#include "core/allocation.h"
#include "core/checked_size.h"
#include "core/parallel_work.h"
#include "host/host_kind.h"
#include "host/parameter_block.h"
#include "interface/result_codes.h"
#include "pipeline/host_checks.h"
#include "pipeline/message_pump.h"
#include "pipeline/plane_conversion.h"

namespace {

FullWidthReference gFullWidthReference;
RenderOptions gRenderOptions;

// The pass may only touch pixels the host delivered: passRect must lie within
// the delivered rectangles, and each buffer's rows must hold its pixels.
bool PassFitsBuffers(const FilterRecord* record, const Rect& pass, int bytesPerSample) {
    if (!record->inData || !record->outData || record->planes <= 0) return false;
    if (pass.top < 0 || pass.left < 0) return false;
    const int64_t pixelBytes = int64_t(record->planes) * bytesPerSample;
    auto fits = [&](const Rect& delivered, int32_t rowBytes, int32_t columnBytes) {
        const int64_t width = int64_t(delivered.right) - delivered.left;
        const int64_t height = int64_t(delivered.bottom) - delivered.top;
        if (pass.bottom > height || pass.right > width) return false;
        const int64_t rowEnd = int64_t(pass.left) * columnBytes + (int64_t(pass.right) - pass.left) * pixelBytes;
        return columnBytes >= pixelBytes && rowBytes >= rowEnd;
    };
    return fits(record->inRect, record->inRowBytes, record->inColumnBytes) &&
           fits(record->outRect, record->outRowBytes, record->outColumnBytes);
}

// The pass's planes, freed on every way out.
struct OwnedPlanes {
    WorkPlaneSet set{};
    OwnedPlanes() = default;
    OwnedPlanes(const OwnedPlanes&) = delete;
    OwnedPlanes& operator=(const OwnedPlanes&) = delete;
    ~OwnedPlanes() {
        for (WorkPlane plane : set.planes) FreeBytes(plane);
    }
};

OSErr ResultOf(RenderStatus status) {
    switch (status) {
        case RenderStatus::Done: return noErr;
        case RenderStatus::OutOfMemory: return memFullErr;
        case RenderStatus::Cancelled: return userCanceledErr;
    }
    return memFullErr;
}

}  // namespace

FullWidthReference& ProcessFullWidthReference() { return gFullWidthReference; }

void SetPassRenderOptions(const RenderOptions& options) { gRenderOptions = options; }
const RenderOptions& PassRenderOptions() { return gRenderOptions; }

void FillColumnBytes(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    const int32_t columnBytes = BytesPerSample(record->imageMode) * record->planes;
    if (record->inColumnBytes <= 0) record->inColumnBytes = columnBytes;
    if (record->outColumnBytes <= 0) record->outColumnBytes = columnBytes;
}

void RunFilterPass(FilterGlobals* globals, const int32_t* previewState) {
    FilterRecord* record = globals->filterRecord;
    const int bytesPerSample = BytesPerSample(record->imageMode);
    FillColumnBytes(globals);
    if (PumpMessages(previewState)) {
        *globals->result = userCanceledErr;
        return;
    }
    const Rect pass = globals->passRect;
    const int32_t width = pass.right - pass.left;
    const int32_t height = pass.bottom - pass.top;
    if (width <= 0 || height <= 0) return;
    if (!PassFitsBuffers(record, pass, bytesPerSample)) {
        *globals->result = paramErr;
        return;
    }
    StarSettings settings;
    if (!CopyParameterBlock(record, &settings.parameters)) {
        *globals->result = filterBadParameters;
        return;
    }
    settings.width = width;
    settings.height = height;
    settings.hostPlanes = record->planes;
    settings.scale =
        HostKind == HostKindAfterEffects ? ProxyScale(record->wholeSize.h, &ProcessFullWidthReference()) : 1.0;
    settings.reportProgress = true;

    const int planeCount = std::min<int>(record->planes, kWorkPlaneSlots);
    OwnedPlanes planes;
    size_t samples = 0, bytes = 0;
    bool allocated = CheckedMultiply(size_t(width), size_t(height), &samples) &&
                     CheckedMultiply(samples, sizeof(float), &bytes);
    for (int p = 0; allocated && p < planeCount; ++p) {
        planes.set.planes[p] = static_cast<float*>(AllocateBytes(bytes));
        allocated = planes.set.planes[p] != nullptr;
    }
    if (!allocated) {
        *globals->result = memFullErr;
        return;
    }
    try {
        HostChecks checks(record, previewState);
        ConversionWork conversion;
        conversion.workers = WorkerCount(PassRenderOptions().threads);
        conversion.checkPoint = [&checks](double) { return !checks.StopRequested() && !checks.Aborted(); };
        if (!ImportPlanes(globals, bytesPerSample, planeCount, &planes.set, conversion)) {
            *globals->result = userCanceledErr;
            return;
        }
        *globals->result = ResultOf(RenderStars(settings, &planes.set, &checks, PassRenderOptions()));
        if (*globals->result != noErr) return;
        // The export only keeps the dialog's messages flowing: it always finishes.
        conversion.checkPoint = [&checks](double) { return !checks.StopRequested(); };
        ExportPlanes(globals, bytesPerSample, planeCount, &planes.set, conversion);
    } catch (...) {
        // Out of memory for the pass's own bookkeeping: nothing was exported.
        *globals->result = memFullErr;
    }
}
