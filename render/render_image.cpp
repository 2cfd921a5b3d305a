#include "render/render_image.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "core/parallel_work.h"
#include "core/sample_math.h"
#include "core/vector_clones.h"

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

// One plane's samples of a row of pixels `stride` samples apart, to the
// plane's row and back.
template <typename Sample, typename Stride, typename Import>
GLYRA_VECTOR_CLONES void ImportPlaneRow(const Sample* in, Stride stride, float* out, size_t width, Import import) {
    for (size_t i = 0; i < width; ++i) out[i] = import(in[i * size_t(stride)]);
}

template <typename Sample, typename Stride, typename Export>
GLYRA_VECTOR_CLONES void ExportPlaneRow(const float* in, Sample* out, Stride stride, size_t width,
                                        Export exportSample) {
    for (size_t i = 0; i < width; ++i) out[i * size_t(stride)] = exportSample(in[i]);
}

// Calls visit with the pixel layout as constants for the layouts hosts hand
// over (so that the conversion loops become vector code), as values otherwise.
template <typename Visit>
void WithLayout(const InterleavedImage& shape, Visit visit) {
    using C = std::integral_constant<int, 1>;
    if (shape.channels == 1 && shape.stride == 1) return visit(C{}, C{});
    if (shape.channels == 2 && shape.stride == 2)
        return visit(std::integral_constant<int, 2>{}, std::integral_constant<int, 2>{});
    if (shape.channels == 3 && shape.stride == 3)
        return visit(std::integral_constant<int, 3>{}, std::integral_constant<int, 3>{});
    if (shape.channels == 3 && shape.stride == 4)
        return visit(std::integral_constant<int, 3>{}, std::integral_constant<int, 4>{});
    if (shape.channels == 4 && shape.stride == 4)
        return visit(std::integral_constant<int, 4>{}, std::integral_constant<int, 4>{});
    visit(shape.channels, shape.stride);
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
    const size_t width = size_t(shape.width);
    WithLayout(shape, [&](auto channels, auto stride) {
        ForEachRow(shape.height, options, [&](int32_t row) {
            const Sample* in = samples + size_t(row) * width * size_t(stride);
            for (int p = 0; p < channels; ++p)
                ImportPlaneRow(in + p, stride, planes.planes[p] + size_t(row) * width, width, import);
        });
    });
    StarSettings settings;
    settings.parameters = parameters;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.hostPlanes = shape.channels;
    settings.reportProgress = false;
    Checks checks(cancelled);
    RenderOptions keeping = options;
    if (workspace) keeping.scratch = &workspace->render;
    const RenderStatus status = RenderStars(settings, &planes, &checks, keeping);
    if (status != RenderStatus::Done) return status;
    WithLayout(shape, [&](auto channels, auto stride) {
        ForEachRow(shape.height, options, [&](int32_t row) {
            Sample* out = samples + size_t(row) * width * size_t(stride);
            for (int p = 0; p < channels; ++p)
                ExportPlaneRow(planes.planes[p] + size_t(row) * width, out + p, stride, width, exportSample);
        });
    });
    return status;
}

}  // namespace

RenderStatus RenderImage8(const FilterParameters& parameters, const InterleavedImage& shape, uint8_t* samples,
                          const RenderOptions& options, const std::function<bool()>& cancelled,
                          RenderWorkspace* workspace) {
    return Render(
        parameters, shape, samples, options, cancelled, [](uint8_t v) { return ImportSample8(v); },
        [](float v) { return ExportSample8(v); }, workspace);
}

RenderStatus RenderImageFloat(const FilterParameters& parameters, const InterleavedImage& shape, float* samples,
                              const RenderOptions& options, const std::function<bool()>& cancelled) {
    return Render(parameters, shape, samples, options, cancelled, [](float v) { return v == v ? v : 0.0f; },
                  [](float v) { return v == v ? std::clamp(v, 0.0f, 1.0f) : 0.0f; }, nullptr);
}
