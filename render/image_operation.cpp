#include "render/image_operation.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <type_traits>

#include "core/allocation.h"
#include "core/checked_size.h"
#include "core/parallel_work.h"
#include "core/sample_math.h"
#include "core/vector_clones.h"
#include "render/star_pattern.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One sample format's reading and writing. Samples wider than a byte are
// copied out and in: host rows need not be aligned.
template <SampleFormat F>
struct Format;
template <>
struct Format<SampleFormat::U8> {
    using Sample = uint8_t;
    static float Load(const uint8_t* at) { return ImportSample8(*at); }
    static void Store(float value, uint8_t* at) { *at = ExportSample8(value); }
};
// Sixteen-bit samples, on the scale their conversions give them.
template <float (*Import)(uint16_t), uint16_t (*Export)(float)>
struct Format16 {
    using Sample = uint16_t;
    static float Load(const uint8_t* at) {
        uint16_t sample;
        std::memcpy(&sample, at, 2);
        return Import(sample);
    }
    static void Store(float value, uint8_t* at) {
        const uint16_t sample = Export(value);
        std::memcpy(at, &sample, 2);
    }
};
template <>
struct Format<SampleFormat::U16> : Format16<ImportFileSample16, ExportFileSample16> {};
template <>
struct Format<SampleFormat::Interface16> : Format16<ImportSample16, ExportSample16> {};
template <>
struct Format<SampleFormat::F32> {
    using Sample = float;
    static float Load(const uint8_t* at) {
        float sample;
        std::memcpy(&sample, at, 4);
        return sample == sample ? sample : 0.0f;
    }
    static void Store(float value, uint8_t* at) {
        const float sample = value == value ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
        std::memcpy(at, &sample, 4);
    }
};

// One plane of a row of pixels `step` bytes apart, to floats and back.
template <typename F, typename Step>
GLYRA_VECTOR_CLONES void LoadRow(const uint8_t* first, Step step, float* out, size_t width) {
    for (size_t i = 0; i < width; ++i) out[i] = F::Load(first + i * size_t(step));
}
template <typename F, typename Step>
GLYRA_VECTOR_CLONES void StoreRow(const float* in, uint8_t* first, Step step, size_t width) {
    for (size_t i = 0; i < width; ++i) F::Store(in[i], first + i * size_t(step));
}

// Calls visit with the format and the pixel step: a constant for packed
// pixels of one to four samples (so that the loops become vector code), a
// value otherwise.
template <SampleFormat F, typename Visit>
void WithStep(size_t pixelBytes, Visit& visit) {
    using Fmt = Format<F>;
    constexpr size_t b = sizeof(typename Fmt::Sample);
    if (pixelBytes == b) return visit(Fmt{}, std::integral_constant<size_t, b>{});
    if (pixelBytes == 2 * b) return visit(Fmt{}, std::integral_constant<size_t, 2 * b>{});
    if (pixelBytes == 3 * b) return visit(Fmt{}, std::integral_constant<size_t, 3 * b>{});
    if (pixelBytes == 4 * b) return visit(Fmt{}, std::integral_constant<size_t, 4 * b>{});
    visit(Fmt{}, pixelBytes);
}
template <typename Visit>
void WithLayout(SampleFormat format, size_t pixelBytes, Visit visit) {
    switch (format) {
        case SampleFormat::U8: return WithStep<SampleFormat::U8>(pixelBytes, visit);
        case SampleFormat::U16: return WithStep<SampleFormat::U16>(pixelBytes, visit);
        case SampleFormat::Interface16: return WithStep<SampleFormat::Interface16>(pixelBytes, visit);
        case SampleFormat::F32: return WithStep<SampleFormat::F32>(pixelBytes, visit);
    }
}

constexpr int32_t kRowsPerItem = 32;

// Runs visit(row) over every row of the image, a block of rows per item of
// parallel work, with the check point on the calling thread. False when the
// check point stopped it.
template <typename Visit>
bool ForEachRow(int32_t height, int workers, const std::function<bool(double)>& checkPoint, Visit visit) {
    return RunOverRows(height, kRowsPerItem, workers, checkPoint, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) visit(row);
    });
}

// A view with its strides filled in.
struct Layout {
    uint8_t* samples;
    SampleFormat format;
    size_t sampleBytes;
    size_t pixelBytes;
    ptrdiff_t rowBytes;
    uint8_t* Row(int32_t row) const { return samples + ptrdiff_t(row) * rowBytes; }
};

Layout LayoutOf(const ImageView& view) {
    Layout layout;
    layout.samples = static_cast<uint8_t*>(view.samples);
    layout.format = view.format;
    layout.sampleBytes = SampleBytes(view.format);
    layout.pixelBytes = view.pixelBytes > 0 ? size_t(view.pixelBytes) : size_t(view.channels) * layout.sampleBytes;
    layout.rowBytes = view.rowBytes != 0 ? view.rowBytes : ptrdiff_t(size_t(view.width) * layout.pixelBytes);
    return layout;
}

bool Agree(const ImageView& in, const ImageView& out) {
    auto valid = [](const ImageView& v) {
        const size_t sampleBytes = SampleBytes(v.format);
        return v.samples && v.width >= 0 && v.height >= 0 && v.channels >= 1 &&
               (v.pixelBytes == 0 || v.pixelBytes >= ptrdiff_t(size_t(v.channels) * sampleBytes));
    };
    return valid(in) && valid(out) && in.format == out.format && in.width == out.width &&
           in.height == out.height && in.channels == out.channels;
}

// The checks of a caller that gave none: the render runs to its end.
class NoChecks : public RenderChecks {
public:
    bool StopRequested() override { return false; }
    bool Aborted() override { return false; }
    void Progress(int32_t, int32_t) override {}
};

// Everything one call works with: the views, the workers, the caller's
// checks (or NoChecks), and the report it fills in.
struct Operation {
    Layout in;
    Layout out;
    int32_t width;
    int32_t height;
    int planeCount;  // planes read: the view's channels, at most the render's slots
    int workers;
    RenderOptions options;  // the caller's, with the workspace's scratch
    RenderChecks* checks;
    ImageReport* report;

    size_t Samples() const { return size_t(width) * size_t(height); }
    // An import stops on a stop request or the host's abort; an export always
    // runs to its end, its check points only keeping the dialog's messages flowing.
    std::function<bool(double)> ImportCheckPoint() const {
        RenderChecks* c = checks;
        return [c](double) { return !c->StopRequested() && !c->Aborted(); };
    }
    std::function<bool(double)> ExportCheckPoint() const {
        RenderChecks* c = checks;
        return [c](double) {
            c->StopRequested();
            return true;
        };
    }

    // Reads planes first .. first + count - 1 into the same slots of `planes`;
    // false when the check point stopped it.
    bool Import(int first, int count, const WorkPlaneSet& planes, const std::function<bool(double)>& checkPoint) const {
        const size_t w = size_t(width);
        bool done = true;
        WithLayout(in.format, in.pixelBytes, [&](auto format, auto step) {
            using F = decltype(format);
            done = ForEachRow(height, workers, checkPoint, [&](int32_t row) {
                const uint8_t* pixel = in.Row(row);
                for (int p = first; p < first + count; ++p)
                    LoadRow<F>(pixel + size_t(p) * in.sampleBytes, step, planes.planes[p] + size_t(row) * w, w);
            });
        });
        return done;
    }
    void Export(int first, int count, const WorkPlaneSet& planes) const {
        const size_t w = size_t(width);
        WithLayout(out.format, out.pixelBytes, [&](auto format, auto step) {
            using F = decltype(format);
            ForEachRow(height, workers, ExportCheckPoint(), [&](int32_t row) {
                uint8_t* pixel = out.Row(row);
                for (int p = first; p < first + count; ++p)
                    StoreRow<F>(planes.planes[p] + size_t(row) * w, pixel + size_t(p) * out.sampleBytes, step, w);
            });
        });
    }
    // A plane held aside in the output's format, packed, until the render has
    // succeeded; then copied into plane `plane` of the output.
    void Stage(const float* plane, uint8_t* staging) const {
        const size_t w = size_t(width);
        WithLayout(out.format, out.sampleBytes, [&](auto format, auto step) {
            using F = decltype(format);
            ForEachRow(height, workers, {}, [&](int32_t row) {
                StoreRow<F>(plane + size_t(row) * w, staging + size_t(row) * w * out.sampleBytes, step, w);
            });
        });
    }
    void Unstage(int plane, const uint8_t* staging) const {
        const size_t w = size_t(width), bytes = out.sampleBytes, step = out.pixelBytes;
        ForEachRow(height, workers, ExportCheckPoint(), [&](int32_t row) {
            uint8_t* to = out.Row(row) + size_t(plane) * bytes;
            const uint8_t* from = staging + size_t(row) * w * bytes;
            for (size_t i = 0; i < w; ++i) std::memcpy(to + i * step, from + i * bytes, bytes);
        });
    }
};

// Float plane memory: the caller's workspace, or a block of our own freed on
// every way out.
class PlaneMemory {
public:
    explicit PlaneMemory(RenderWorkspace* workspace) : workspace_(workspace) {}
    ~PlaneMemory() { FreeBytes(block_); }
    PlaneMemory(const PlaneMemory&) = delete;
    PlaneMemory& operator=(const PlaneMemory&) = delete;

    float* Get(size_t floats) {
        if (workspace_) {
            workspace_->planes.resize(floats);
            return workspace_->planes.data();
        }
        size_t bytes = 0;
        if (!CheckedMultiply(floats, sizeof(float), &bytes)) return nullptr;
        block_ = AllocateBytes(bytes);
        return static_cast<float*>(block_);
    }

private:
    RenderWorkspace* workspace_;
    void* block_ = nullptr;
};

// True when every colour pass tests its own plane's values only (the plain
// threshold, or a single colour plane): the passes can then be handed one
// plane at a time.
bool PassesReadOwnPlanesOnly(const StarSettings& settings) {
    float* none[kWorkPlaneSlots] = {};
    return TestedValue(none, settings.hostPlanes, settings.parameters.thresholdType).KindOf() ==
           TestedValue::Kind::Own;
}

// Hands the render one colour plane at a time in a single float plane: each
// pass's plane is read as the pass begins and, as it ends, held aside in the
// output's format (or written straight back when the caller allows). A third
// of the float planes' memory for RGB.
class PlaneByPlane : public RenderChecks {
public:
    PlaneByPlane(const Operation& op, float* plane, uint8_t* staging, int rendered)
        : op_(op), staging_(staging), rendered_(rendered) {
        for (WorkPlane& slot : set.planes) slot = plane;
    }

    WorkPlaneSet set{};  // every slot is the one plane

    bool StopRequested() override { return op_.checks->StopRequested(); }
    bool Aborted() override { return op_.checks->Aborted(); }
    void Progress(int32_t done, int32_t total) override { op_.checks->Progress(done, total); }
    bool BeginPass(int pass) override {
        const auto start = std::chrono::steady_clock::now();
        const bool imported = op_.Import(pass, 1, set, op_.ImportCheckPoint());
        op_.report->importSeconds += SecondsSince(start);
        return imported;
    }
    void EndPass(int pass) override {
        // The last pass's plane stays in the float plane until the export.
        if (pass + 1 >= rendered_) return;
        const auto start = std::chrono::steady_clock::now();
        if (staging_)
            op_.Stage(set.planes[0], Staged(pass));
        else
            op_.Export(pass, 1, set);
        op_.report->exportSeconds += SecondsSince(start);
    }
    uint8_t* Staged(int pass) const { return staging_ + size_t(pass) * op_.Samples() * op_.out.sampleBytes; }

private:
    const Operation& op_;
    uint8_t* staging_;  // null: each plane goes straight to the output
    int rendered_;
};

RenderStatus RenderPlaneByPlane(const Operation& op, const ImageRequest& request, const StarSettings& settings) {
    const int rendered = std::min(op.planeCount, RenderedPlaneCount(settings.hostPlanes));
    PlaneMemory plane(request.workspace);
    float* floats = plane.Get(op.Samples());
    size_t stagingBytes = 0;
    if (request.outputOnlyOnSuccess &&
        !CheckedMultiply(op.Samples() * op.out.sampleBytes, size_t(rendered - 1), &stagingBytes))
        return RenderStatus::OutOfMemory;
    const std::unique_ptr<void, void (*)(void*)> staging(stagingBytes ? AllocateBytes(stagingBytes) : nullptr,
                                                         FreeBytes);
    if (!floats || (stagingBytes && !staging)) return RenderStatus::OutOfMemory;
    PlaneByPlane checks(op, floats, static_cast<uint8_t*>(staging.get()), rendered);
    const auto renderStart = std::chrono::steady_clock::now();
    const RenderStatus status = RenderStars(settings, &checks.set, &checks, op.options, &op.report->passes);
    // The render's time without the planes' reading and holding aside.
    op.report->renderSeconds = SecondsSince(renderStart) - op.report->importSeconds - op.report->exportSeconds;
    if (status != RenderStatus::Done) return status;
    const auto exportStart = std::chrono::steady_clock::now();
    if (staging)
        for (int p = 0; p + 1 < rendered; ++p) op.Unstage(p, checks.Staged(p));
    op.Export(rendered - 1, 1, checks.set);
    // Planes that are not rendered (transparency) go through the float plane,
    // to the end: the render has succeeded.
    for (int p = rendered; p < op.planeCount; ++p) {
        op.Import(p, 1, checks.set, op.ExportCheckPoint());
        op.Export(p, 1, checks.set);
    }
    op.report->exportSeconds += SecondsSince(exportStart);
    return status;
}

RenderStatus RenderAllPlanes(const Operation& op, const ImageRequest& request, const StarSettings& settings) {
    size_t floats = 0;
    if (!CheckedMultiply(op.Samples(), size_t(op.planeCount), &floats)) return RenderStatus::OutOfMemory;
    PlaneMemory memory(request.workspace);
    float* block = memory.Get(floats);
    if (!block) return RenderStatus::OutOfMemory;
    WorkPlaneSet planes{};
    for (int p = 0; p < op.planeCount; ++p) planes.planes[p] = block + size_t(p) * op.Samples();
    auto start = std::chrono::steady_clock::now();
    if (!op.Import(0, op.planeCount, planes, op.ImportCheckPoint())) return RenderStatus::Cancelled;
    op.report->importSeconds = SecondsSince(start);
    start = std::chrono::steady_clock::now();
    const RenderStatus status = RenderStars(settings, &planes, op.checks, op.options, &op.report->passes);
    op.report->renderSeconds = SecondsSince(start);
    if (status != RenderStatus::Done) return status;
    start = std::chrono::steady_clock::now();
    op.Export(0, op.planeCount, planes);
    op.report->exportSeconds = SecondsSince(start);
    return status;
}

}  // namespace

size_t SampleBytes(SampleFormat format) {
    switch (format) {
        case SampleFormat::U8: return 1;
        case SampleFormat::U16:
        case SampleFormat::Interface16: return 2;
        case SampleFormat::F32: return 4;
    }
    return 1;
}

ImageView PackedView(void* samples, SampleFormat format, int32_t width, int32_t height, int channels) {
    ImageView view;
    view.samples = samples;
    view.format = format;
    view.width = width;
    view.height = height;
    view.channels = channels;
    return view;
}

ImageReport FilterImage(const ImageRequest& request, const ImageView& in, const ImageView& out) {
    ImageReport report;
    if (!Agree(in, out)) {
        report.status = RenderStatus::Invalid;
        return report;
    }
    if (in.width == 0 || in.height == 0) return report;
    NoChecks never;
    Operation op;
    op.in = LayoutOf(in);
    op.out = LayoutOf(out);
    op.width = in.width;
    op.height = in.height;
    op.planeCount = std::min(in.channels, kWorkPlaneSlots);
    op.workers = WorkerCount(request.options.threads);
    op.options = request.options;
    if (request.workspace) op.options.scratch = &request.workspace->render;
    op.checks = request.checks ? request.checks : &never;
    op.report = &report;

    StarSettings settings;
    settings.parameters = request.parameters;
    settings.width = in.width;
    settings.height = in.height;
    settings.hostPlanes = in.channels;
    settings.scale = request.proxyScale;
    settings.reportProgress = request.reportProgress;
    try {
        report.planeByPlane = PassesReadOwnPlanesOnly(settings);
        report.status = report.planeByPlane ? RenderPlaneByPlane(op, request, settings)
                                            : RenderAllPlanes(op, request, settings);
    } catch (...) {
        // Out of memory for the render's own bookkeeping, or in a work item.
        report.status = RenderStatus::OutOfMemory;
    }
    return report;
}
