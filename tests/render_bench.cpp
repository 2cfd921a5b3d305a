#include "tests/render_bench.h"

#include "host_services/parameter_block.h"
#include "interface/result_codes.h"
#include "passes/host_checks.h"

std::vector<std::pair<int32_t, int32_t>> RenderBench::progress;
int RenderBench::abortCalls = 0;
std::function<bool(int)> RenderBench::abortWhen;

namespace {
Boolean PI_CALL BenchAbort() {
    ++RenderBench::abortCalls;
    return RenderBench::abortWhen && RenderBench::abortWhen(RenderBench::abortCalls) ? 1 : 0;
}
void PI_CALL BenchProgress(int32_t done, int32_t total) { RenderBench::progress.emplace_back(done, total); }
}  // namespace

RenderBench::RenderBench(int hostPlanes, int32_t w, int32_t h) : width(w), height(h) {
    SetDefaultParameters(&parameters);
    master = reinterpret_cast<char*>(&parameters);
    record.parameters = &master;
    record.planes = int16_t(hostPlanes);
    record.abortProc = BenchAbort;
    record.progressProc = BenchProgress;
    globals.result = &result;
    globals.filterRecord = &record;
    const int count = hostPlanes < kWorkPlaneSlots ? hostPlanes : kWorkPlaneSlots;
    planeData.assign(size_t(count), std::vector<float>(size_t(w) * size_t(h), 0.0f));
    for (int p = 0; p < count; ++p) planes.planes[p] = planeData[size_t(p)].data();
    progress.clear();
    abortCalls = 0;
    abortWhen = nullptr;
}

void RenderBench::Render(double scale) {
    StarSettings settings;
    if (!CopyParameterBlock(&record, &settings.parameters)) {
        result = filterBadParameters;
        return;
    }
    settings.width = width;
    settings.height = height;
    settings.hostPlanes = record.planes;
    settings.scale = scale;
    HostChecks checks(&record, nullptr);
    switch (RenderStars(settings, &planes, &checks, options)) {
        case RenderStatus::Done: break;
        case RenderStatus::OutOfMemory: result = memFullErr; break;
        case RenderStatus::Cancelled: result = userCanceledErr; break;
        case RenderStatus::Invalid: result = paramErr; break;
    }
}
