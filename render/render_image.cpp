#include "render/render_image.h"

#include <algorithm>
#include <vector>

#include "core/parallel_work.h"
#include "core/sample_math.h"

namespace {

class Checks : public RenderChecks {
public:
    explicit Checks(const std::function<bool()>& cancelled) : cancelled_(cancelled) {}
    bool StopRequested() override { return false; }
    bool Aborted() override { return cancelled_ && cancelled_(); }
    void Progress(int32_t, int32_t) override {}

private:
    const std::function<bool()>& cancelled_;
};

constexpr int32_t kRowsPerItem = 16;

// Runs visit(row) over every row, on the render's worker count.
template <typename Visit>
void ForEachRow(int32_t height, const RenderOptions& options, Visit visit) {
    ParallelJob job;
    job.items = (height + kRowsPerItem - 1) / kRowsPerItem;
    job.workers = WorkerCount(options.threads);
    job.work = [&](int64_t item, int, const std::atomic<bool>&) {
        const int32_t first = int32_t(item) * kRowsPerItem;
        for (int32_t row = first; row < std::min(height, first + kRowsPerItem); ++row) visit(row);
    };
    RunParallel(job);
}

template <typename Sample, typename Import, typename Export>
RenderStatus Render(const FilterParameters& parameters, const InterleavedImage& shape, Sample* samples,
                    const RenderOptions& options, const std::function<bool()>& cancelled, Import import,
                    Export exportSample, RenderWorkspace* workspace) {
    if (shape.width <= 0 || shape.height <= 0 || shape.channels < 1 || shape.channels > 4 ||
        shape.stride < shape.channels)
        return RenderStatus::Done;
    const size_t pixels = size_t(shape.width) * size_t(shape.height);
    RenderWorkspace local;
    RenderWorkspace& space = workspace ? *workspace : local;
    try {
        space.planes.resize(pixels * size_t(shape.channels));
    } catch (...) {
        return RenderStatus::OutOfMemory;
    }
    WorkPlaneSet planes{};
    for (int p = 0; p < shape.channels; ++p) planes.planes[p] = space.planes.data() + size_t(p) * pixels;
    const size_t width = size_t(shape.width), stride = size_t(shape.stride);
    ForEachRow(shape.height, options, [&](int32_t row) {
        const size_t start = size_t(row) * width;
        for (size_t i = start; i < start + width; ++i)
            for (int p = 0; p < shape.channels; ++p) planes.planes[p][i] = import(samples[i * stride + size_t(p)]);
    });
    StarSettings settings;
    settings.parameters = parameters;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.hostPlanes = shape.channels;
    settings.reportProgress = false;
    Checks checks(cancelled);
    const RenderStatus status = RenderStars(settings, &planes, &checks, options);
    if (status != RenderStatus::Done) return status;
    ForEachRow(shape.height, options, [&](int32_t row) {
        const size_t start = size_t(row) * width;
        for (size_t i = start; i < start + width; ++i)
            for (int p = 0; p < shape.channels; ++p) samples[i * stride + size_t(p)] = exportSample(planes.planes[p][i]);
    });
    return status;
}

}  // namespace

RenderStatus RenderImage8(const FilterParameters& parameters, const InterleavedImage& shape, uint8_t* samples,
                          const RenderOptions& options, const std::function<bool()>& cancelled,
                          RenderWorkspace* workspace) {
    return Render(parameters, shape, samples, options, cancelled, ImportSample8, ExportSample8, workspace);
}

RenderStatus RenderImageFloat(const FilterParameters& parameters, const InterleavedImage& shape, float* samples,
                              const RenderOptions& options, const std::function<bool()>& cancelled) {
    return Render(parameters, shape, samples, options, cancelled, [](float v) { return v == v ? v : 0.0f; },
                  [](float v) { return v == v ? std::clamp(v, 0.0f, 1.0f) : 0.0f; }, nullptr);
}
