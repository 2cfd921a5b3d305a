#include "pipeline/filter_pass.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "core/allocation.h"
#include "core/checked_size.h"
#include "core/parallel_work.h"
#include "host/host_kind.h"
#include "host/parameter_block.h"
#include "interface/result_codes.h"
#include "pipeline/host_checks.h"
#include "pipeline/message_pump.h"
#include "pipeline/plane_conversion.h"
#include "render/star_pattern.h"

namespace {

FullWidthReference gFullWidthReference;
RenderOptions gRenderOptions;
// Per thread: the command works on several files at once, each on a thread
// of its own, and reads its own pass's timings back on that thread.
thread_local PassTimings gPassTimings;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

// True when every colour pass tests its own plane's values only (the plain
// threshold, or a single colour plane): the passes can then be handed one
// plane at a time.
bool PassesReadOwnPlanesOnly(const StarSettings& settings) {
    float* none[kWorkPlaneSlots] = {};
    return TestedValue(none, settings.hostPlanes, settings.parameters.thresholdType).KindOf() ==
           TestedValue::Kind::Own;
}

// Hands the render one colour plane at a time in a single float plane: each
// pass's plane is read from inData as the pass begins and held aside in the
// host's sample size as it ends, so that outData is written only once the
// whole render has succeeded. A third of the float planes' memory for RGB.
class PlaneByPlane : public HostChecks {
public:
    PlaneByPlane(FilterGlobals* globals, const int32_t* previewState, int bytesPerSample, int rendered,
                 size_t samples, float* plane, uint8_t* staging, const ConversionWork& conversion)
        : HostChecks(globals->filterRecord, previewState), globals_(globals), bytesPerSample_(bytesPerSample),
          rendered_(rendered), samples_(samples), staging_(staging), conversion_(conversion) {
        for (WorkPlane& slot : set.planes) slot = plane;
    }

    WorkPlaneSet set{};  // every slot is the one plane

    bool BeginPass(int pass) override {
        const auto start = std::chrono::steady_clock::now();
        const bool imported = ImportPlanes(globals_, bytesPerSample_, pass, 1, &set, conversion_);
        gPassTimings.importSeconds += SecondsSince(start);
        return imported;
    }
    void EndPass(int pass) override {
        // The last pass's plane stays in the float plane until the export.
        const auto start = std::chrono::steady_clock::now();
        if (pass + 1 < rendered_)
            StagePlane(set.planes[0], samples_, bytesPerSample_, Staged(pass), conversion_.workers);
        gPassTimings.exportSeconds += SecondsSince(start);
    }
    uint8_t* Staged(int pass) const { return staging_ + size_t(pass) * samples_ * size_t(bytesPerSample_); }

private:
    FilterGlobals* globals_;
    int bytesPerSample_;
    int rendered_;  // colour passes; the last one's plane is not held aside
    size_t samples_;
    uint8_t* staging_;
    const ConversionWork& conversion_;
};

// The pass by one plane at a time; see PlaneByPlane. The last pass's plane is
// exported from the float plane itself, and planes that are not rendered
// (transparency) go through the float plane after the render.
OSErr RenderPlaneByPlane(FilterGlobals* globals, const StarSettings& settings, const int32_t* previewState,
                         int bytesPerSample, int planeCount, size_t samples, ConversionWork& conversion) {
    const int rendered = std::min(planeCount, RenderedPlaneCount(settings.hostPlanes));
    OwnedPlanes plane;
    size_t planeBytes = 0, stagingBytes = 0;
    if (!CheckedMultiply(samples, sizeof(float), &planeBytes) ||
        !CheckedMultiply(samples * size_t(bytesPerSample), size_t(rendered - 1), &stagingBytes))
        return memFullErr;
    plane.set.planes[0] = static_cast<float*>(AllocateBytes(planeBytes));
    const std::unique_ptr<void, void (*)(void*)> staging(stagingBytes ? AllocateBytes(stagingBytes) : nullptr,
                                                         FreeBytes);
    if (!plane.set.planes[0] || (stagingBytes && !staging)) return memFullErr;
    PlaneByPlane checks(globals, previewState, bytesPerSample, rendered, samples, plane.set.planes[0],
                        static_cast<uint8_t*>(staging.get()), conversion);
    conversion.checkPoint = [&checks](double) { return !checks.StopRequested() && !checks.Aborted(); };
    const auto renderStart = std::chrono::steady_clock::now();
    OSErr result = ResultOf(RenderStars(settings, &checks.set, &checks, PassRenderOptions()));
    // The render's time without the planes' reading and holding aside.
    gPassTimings.renderSeconds = SecondsSince(renderStart) - gPassTimings.importSeconds - gPassTimings.exportSeconds;
    const auto exportStart = std::chrono::steady_clock::now();
    if (result == noErr) {
        conversion.checkPoint = [&checks](double) { return !checks.StopRequested(); };
        for (int p = 0; p + 1 < rendered; ++p)
            ExportStagedPlane(globals, bytesPerSample, p, checks.Staged(p), conversion);
        ExportPlanes(globals, bytesPerSample, rendered - 1, 1, &checks.set, conversion);
        ConversionWork toTheEnd = conversion;
        toTheEnd.checkPoint = [&checks](double) {
            checks.StopRequested();
            return true;
        };
        for (int p = rendered; p < planeCount; ++p) {
            ImportPlanes(globals, bytesPerSample, p, 1, &checks.set, toTheEnd);
            ExportPlanes(globals, bytesPerSample, p, 1, &checks.set, toTheEnd);
        }
    }
    gPassTimings.exportSeconds += SecondsSince(exportStart);
    return result;
}


}  // namespace

FullWidthReference& ProcessFullWidthReference() { return gFullWidthReference; }

void SetPassRenderOptions(const RenderOptions& options) { gRenderOptions = options; }
const RenderOptions& PassRenderOptions() { return gRenderOptions; }
const PassTimings& LastPassTimings() { return gPassTimings; }

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
    size_t samples = 0, bytes = 0;
    bool allocated = CheckedMultiply(size_t(width), size_t(height), &samples) &&
                     CheckedMultiply(samples, sizeof(float), &bytes);
    gPassTimings = PassTimings{};
    if (allocated && PassesReadOwnPlanesOnly(settings)) {
        try {
            ConversionWork conversion;
            conversion.workers = WorkerCount(PassRenderOptions().threads);
            *globals->result = RenderPlaneByPlane(globals, settings, previewState, bytesPerSample, planeCount,
                                                  samples, conversion);
        } catch (...) {
            *globals->result = memFullErr;
        }
        return;
    }
    OwnedPlanes planes;
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
        auto start = std::chrono::steady_clock::now();
        if (!ImportPlanes(globals, bytesPerSample, 0, planeCount, &planes.set, conversion)) {
            *globals->result = userCanceledErr;
            return;
        }
        gPassTimings.importSeconds = SecondsSince(start);
        start = std::chrono::steady_clock::now();
        *globals->result = ResultOf(RenderStars(settings, &planes.set, &checks, PassRenderOptions()));
        gPassTimings.renderSeconds = SecondsSince(start);
        if (*globals->result != noErr) return;
        // The export only keeps the dialog's messages flowing: it always finishes.
        conversion.checkPoint = [&checks](double) { return !checks.StopRequested(); };
        start = std::chrono::steady_clock::now();
        ExportPlanes(globals, bytesPerSample, 0, planeCount, &planes.set, conversion);
        gPassTimings.exportSeconds = SecondsSince(start);
    } catch (...) {
        // Out of memory for the pass's own bookkeeping: nothing was exported.
        *globals->result = memFullErr;
    }
}
