#include "passes/filter_pass.h"

#include <algorithm>

#include "host_services/host_kind.h"
#include "host_services/parameter_block.h"
#include "interface/result_codes.h"
#include "passes/host_checks.h"
#include "passes/message_pump.h"

namespace {

// Forced by the host interface: After Effects hands an instance reduced
// previews whose full width only an earlier full-size pass told some
// instance, so the reference is shared by every instance of the module.
FullWidthReference gFullWidthReference;

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

OSErr ResultOf(RenderStatus status) {
    switch (status) {
        case RenderStatus::Done: return noErr;
        case RenderStatus::OutOfMemory: return memFullErr;
        case RenderStatus::Cancelled: return userCanceledErr;
        case RenderStatus::Invalid: return paramErr;
    }
    return memFullErr;
}

// The pass rectangle of one of the host's buffers as an image view.
ImageView PassView(void* buffer, int32_t rowBytes, int32_t columnBytes, const Rect& pass, int planes,
                   int bytesPerSample) {
    ImageView view;
    view.samples = static_cast<uint8_t*>(buffer) + std::ptrdiff_t(pass.top) * rowBytes +
                   std::ptrdiff_t(pass.left) * columnBytes;
    view.format = bytesPerSample == 2 ? SampleFormat::Interface16 : SampleFormat::U8;
    view.width = pass.right - pass.left;
    view.height = pass.bottom - pass.top;
    view.channels = planes;
    view.pixelBytes = columnBytes;
    view.rowBytes = rowBytes;
    return view;
}

}  // namespace

FullWidthReference& ProcessFullWidthReference() { return gFullWidthReference; }

void FillColumnBytes(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    const int32_t columnBytes = BytesPerSample(record->imageMode) * record->planes;
    if (record->inColumnBytes <= 0) record->inColumnBytes = columnBytes;
    if (record->outColumnBytes <= 0) record->outColumnBytes = columnBytes;
}

ImageReport RunFilterPass(FilterGlobals* globals, const int32_t* previewState, const RenderOptions& options) {
    FilterRecord* record = globals->filterRecord;
    const int bytesPerSample = BytesPerSample(record->imageMode);
    FillColumnBytes(globals);
    ImageReport report;
    if (PumpMessages(previewState)) {
        *globals->result = userCanceledErr;
        report.status = RenderStatus::Cancelled;
        return report;
    }
    const Rect pass = globals->passRect;
    if (pass.right - pass.left <= 0 || pass.bottom - pass.top <= 0) return report;
    if (!PassFitsBuffers(record, pass, bytesPerSample)) {
        *globals->result = paramErr;
        report.status = RenderStatus::Invalid;
        return report;
    }
    ImageRequest request;
    if (!CopyParameterBlock(record, &request.parameters)) {
        *globals->result = filterBadParameters;
        report.status = RenderStatus::Invalid;
        return report;
    }
    request.options = options;
    request.proxyScale =
        HostKind == HostKindAfterEffects ? ProxyScale(record->wholeSize.h, &ProcessFullWidthReference()) : 1.0;
    request.reportProgress = true;
    HostChecks checks(record, previewState);
    request.checks = &checks;
    // The host's output is written only once the whole render has succeeded.
    request.outputOnlyOnSuccess = true;
    const int planes = std::min<int>(record->planes, kWorkPlaneSlots);
    report = FilterImage(request,
                         PassView(record->inData, record->inRowBytes, record->inColumnBytes, pass, planes,
                                  bytesPerSample),
                         PassView(record->outData, record->outRowBytes, record->outColumnBytes, pass, planes,
                                  bytesPerSample));
    *globals->result = ResultOf(report.status);
    return report;
}
