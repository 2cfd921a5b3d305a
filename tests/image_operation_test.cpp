// The one image operation every caller goes through: every pixel layout and
// sample format gives what the renderer gives on the planes it imports, the
// samples it does not render stay as they are, and a stopped or refused
// render leaves the output alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/parameter_table.h"
#include "core/sample_math.h"
#include "render/image_operation.h"

namespace {

struct Shape {
    int32_t width, height;
    int channels, stride;  // stride: samples from one pixel to the next
};

// What the image's samples become when its planes are imported, rendered and
// exported one by one, sample by sample.
template <typename Sample, typename Import, typename Export>
std::vector<Sample> RenderedByPlanes(const FilterParameters& parameters, const Shape& shape,
                                     const std::vector<Sample>& samples, const RenderOptions& options, Import import,
                                     Export exportSample) {
    const size_t pixels = size_t(shape.width) * size_t(shape.height);
    std::vector<std::vector<float>> planes(size_t(shape.channels), std::vector<float>(pixels));
    WorkPlaneSet set{};
    for (int p = 0; p < shape.channels; ++p) {
        for (size_t i = 0; i < pixels; ++i)
            planes[size_t(p)][i] = import(samples[i * size_t(shape.stride) + size_t(p)]);
        set.planes[p] = planes[size_t(p)].data();
    }
    StarSettings settings;
    settings.parameters = parameters;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.hostPlanes = shape.channels;
    settings.reportProgress = false;
    struct Quiet : RenderChecks {
        bool StopRequested() override { return false; }
        bool Aborted() override { return false; }
        void Progress(int32_t, int32_t) override {}
    } checks;
    EXPECT_EQ(RenderStars(settings, &set, &checks, options), RenderStatus::Done);
    std::vector<Sample> out = samples;
    for (int p = 0; p < shape.channels; ++p)
        for (size_t i = 0; i < pixels; ++i)
            out[i * size_t(shape.stride) + size_t(p)] = exportSample(planes[size_t(p)][i]);
    return out;
}

// Dark samples with a share of bright pixels; `full` is the format's full scale.
template <typename Sample>
std::vector<Sample> RandomSamples(std::mt19937& random, const Shape& shape, double share, int full) {
    std::vector<Sample> samples(size_t(shape.width) * size_t(shape.height) * size_t(shape.stride));
    std::bernoulli_distribution lit(share);
    std::uniform_int_distribution<int> dark(0, full * 200 / 255), bright(full * 248 / 255, full);
    for (size_t i = 0; i < samples.size(); i += size_t(shape.stride)) {
        const bool on = lit(random);
        for (int p = 0; p < shape.stride; ++p) samples[i + size_t(p)] = Sample(on ? bright(random) : dark(random));
    }
    return samples;
}

template <typename Sample>
ImageView ViewOf(std::vector<Sample>& samples, SampleFormat format, const Shape& shape) {
    ImageView view = PackedView(samples.data(), format, shape.width, shape.height, shape.channels);
    view.pixelBytes = ptrdiff_t(sizeof(Sample)) * shape.stride;
    return view;
}

class Stopping : public RenderChecks {
public:
    bool StopRequested() override { return false; }
    bool Aborted() override { return ++asked > 1; }
    void Progress(int32_t, int32_t) override {}
    int asked = 0;
};

}  // namespace

TEST(ImageOperation, EveryLayoutAndThresholdTypeRendersAsItsPlanesDoFrameAfterFrame) {
    std::mt19937 random(41);
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    parameters.lineType = 4;
    parameters.angle = 30;
    RenderOptions options;
    options.path = RenderPath::Exact;
    options.threads = 2;
    const auto import = [](uint8_t v) { return ImportSample8(v); };
    const auto exportSample = [](float v) { return ExportSample8(v); };
    // The layouts with a loop of their own, and one that takes the general loop;
    // threshold types that read a pixel's own plane (one plane at a time) and all of them.
    for (Shape shape : {Shape{67, 45, 1, 1}, Shape{67, 45, 2, 2}, Shape{67, 45, 3, 3}, Shape{67, 45, 3, 4},
                        Shape{67, 45, 4, 4}, Shape{67, 45, 2, 3}})
        for (int16_t type = 0; type <= 2; ++type)
            for (bool onlyOnSuccess : {true, false}) {
                parameters.thresholdType = type;
                RenderWorkspace workspace;  // kept from frame to frame, as the frei0r filter keeps it
                for (int frame = 0; frame < 2; ++frame) {
                    const std::vector<uint8_t> original = RandomSamples<uint8_t>(random, shape, 0.03, 255);
                    std::vector<uint8_t> samples = original;
                    ImageRequest request;
                    request.parameters = parameters;
                    request.options = options;
                    request.workspace = &workspace;
                    request.outputOnlyOnSuccess = onlyOnSuccess;
                    const ImageView view = ViewOf(samples, SampleFormat::U8, shape);
                    const ImageReport report = FilterImage(request, view, view);
                    ASSERT_EQ(report.status, RenderStatus::Done);
                    EXPECT_EQ(samples, RenderedByPlanes(parameters, shape, original, options, import, exportSample))
                        << shape.channels << " channels, " << shape.stride << " samples a pixel, threshold type "
                        << type << ", frame " << frame;
                    EXPECT_NE(samples, original) << "nothing was drawn";
                    EXPECT_EQ(report.passes.passes, shape.channels >= 3 ? 3 : 1);
                }
            }
}

TEST(ImageOperation, SixteenBitFilesKeepTheirWholeRangeAndUntouchedSamplesExactly) {
    std::mt19937 random(7);
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    parameters.lineType = 3;
    const Shape shape{53, 41, 4, 4};
    const std::vector<uint16_t> original = RandomSamples<uint16_t>(random, shape, 0.02, 65535);
    std::vector<uint16_t> samples = original;
    ImageRequest request;
    request.parameters = parameters;
    request.outputOnlyOnSuccess = false;
    const ImageView view = ViewOf(samples, SampleFormat::U16, shape);
    ASSERT_EQ(FilterImage(request, view, view).status, RenderStatus::Done);
    EXPECT_EQ(samples, RenderedByPlanes(
                           parameters, shape, original, RenderOptions{}, [](uint16_t v) { return ImportFileSample16(v); },
                           [](float v) { return ExportFileSample16(v); }));
    size_t kept = 0, changed = 0, alphaKept = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (i % 4 == 3) alphaKept += samples[i] == original[i];
        else (samples[i] == original[i] ? kept : changed) += 1;
    }
    EXPECT_EQ(alphaKept, samples.size() / 4) << "transparency passes through";
    EXPECT_GT(changed, 0u);
    EXPECT_GT(kept, 0u);

    // Nothing bright enough: every one of the 65536 values comes back as it went in.
    std::vector<uint16_t> everyValue(65536);
    for (size_t i = 0; i < everyValue.size(); ++i) everyValue[i] = uint16_t(i);
    std::vector<uint16_t> dark = everyValue;
    request.parameters.threshold = 255;
    for (uint16_t& v : dark) v = uint16_t(v / 2);  // below the threshold
    const std::vector<uint16_t> darkOriginal = dark;
    ImageView darkView = PackedView(dark.data(), SampleFormat::U16, 256, 256, 1);
    ASSERT_EQ(FilterImage(request, darkView, darkView).status, RenderStatus::Done);
    EXPECT_EQ(dark, darkOriginal);
    for (size_t i = 0; i < everyValue.size(); ++i)
        ASSERT_EQ(ExportFileSample16(ImportFileSample16(uint16_t(i))), i) << "value " << i;
}

TEST(ImageOperation, StridedUnalignedRowsGiveWhatPackedRowsGive) {
    std::mt19937 random(3);
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    const Shape shape{37, 29, 3, 3};
    for (SampleFormat format : {SampleFormat::Interface16, SampleFormat::U16}) {
        const std::vector<uint16_t> packed =
            RandomSamples<uint16_t>(random, shape, 0.04, format == SampleFormat::U16 ? 65535 : 32768);
        // The same pixels one byte into a buffer whose rows carry 5 bytes of padding.
        const ptrdiff_t rowBytes = shape.width * 6 + 5;
        std::vector<uint8_t> strided(size_t(rowBytes * shape.height + 1), 0xAB);
        for (int32_t r = 0; r < shape.height; ++r)
            std::memcpy(strided.data() + 1 + r * rowBytes, packed.data() + size_t(r * shape.width * 3),
                        size_t(shape.width) * 6);
        const std::vector<uint8_t> stridedOriginal = strided;
        std::vector<uint16_t> result = packed;
        std::vector<uint8_t> out = strided;
        ImageRequest request;
        request.parameters = parameters;
        ImageView in = PackedView(strided.data() + 1, format, shape.width, shape.height, 3);
        in.rowBytes = rowBytes;
        ImageView outView = in;
        outView.samples = out.data() + 1;
        ASSERT_EQ(FilterImage(request, in, outView).status, RenderStatus::Done);
        const ImageView packedView = ViewOf(result, format, shape);
        ASSERT_EQ(FilterImage(request, packedView, packedView).status, RenderStatus::Done);
        EXPECT_EQ(strided, stridedOriginal) << "the input is only read";
        for (int32_t r = 0; r < shape.height; ++r) {
            EXPECT_EQ(std::memcmp(out.data() + 1 + r * rowBytes, result.data() + size_t(r * shape.width * 3),
                                  size_t(shape.width) * 6),
                      0)
                << "row " << r;
            EXPECT_EQ(out[size_t(1 + r * rowBytes + shape.width * 6)], 0xAB) << "padding is never written";
        }
        EXPECT_NE(result, packed);
    }
}

TEST(ImageOperation, AStoppedRenderLeavesTheOutputAsItWasAndReportsIt) {
    std::mt19937 random(5);
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    const Shape shape{64, 48, 3, 3};
    for (int16_t type = 0; type <= 2; ++type) {
        parameters.thresholdType = type;
        std::vector<uint8_t> in = RandomSamples<uint8_t>(random, shape, 0.05, 255);
        std::vector<uint8_t> out(in.size(), 17);
        Stopping checks;
        ImageRequest request;
        request.parameters = parameters;
        request.options.path = RenderPath::Reference;
        request.checks = &checks;
        const ImageReport report =
            FilterImage(request, ViewOf(in, SampleFormat::U8, shape), ViewOf(out, SampleFormat::U8, shape));
        EXPECT_EQ(report.status, RenderStatus::Cancelled) << "threshold type " << type;
        EXPECT_EQ(out, std::vector<uint8_t>(in.size(), 17)) << "threshold type " << type;
    }
}

TEST(ImageOperation, FloatSamplesAreClampedAndNotANumberBecomesZero) {
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    std::vector<float> samples(size_t(9 * 7 * 3), 0.1f);
    samples[0] = std::nanf("");
    samples[1] = 7.0f;
    samples[2] = -3.0f;
    for (int p = 0; p < 3; ++p) samples[size_t((3 * 9 + 4) * 3 + p)] = 1.0f;  // one highlight
    ImageRequest request;
    request.parameters = parameters;
    const ImageView view = PackedView(samples.data(), SampleFormat::F32, 9, 7, 3);
    const ImageReport report = FilterImage(request, view, view);
    ASSERT_EQ(report.status, RenderStatus::Done);
    EXPECT_GE(report.importSeconds + report.renderSeconds + report.exportSeconds, 0.0);
    for (float v : samples) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
    EXPECT_EQ(samples[0], 0.0f);
    EXPECT_GT(samples[size_t((3 * 9 + 6) * 3)], 0.1f) << "the highlight's streak reaches its neighbours";
}

TEST(ImageOperation, ViewsThatDisagreeOrHoldNoPixelAreRefusedUntouched) {
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    ImageRequest request;
    request.parameters = parameters;
    std::vector<uint8_t> samples(64, 255), other(64, 255);
    const ImageView good = PackedView(samples.data(), SampleFormat::U8, 4, 4, 3);
    auto with = [&](auto change) {
        ImageView v = good;
        change(v);
        return v;
    };
    const ImageView refused[][2] = {
        {with([](ImageView& v) { v.channels = 0; }), with([](ImageView& v) { v.channels = 0; })},
        {with([](ImageView& v) { v.pixelBytes = 2; }), with([](ImageView& v) { v.pixelBytes = 2; })},
        {with([](ImageView& v) { v.samples = nullptr; }), good},
        {good, with([&](ImageView& v) { v.samples = other.data(), v.width = 3; })},
        {good, with([&](ImageView& v) { v.samples = other.data(), v.format = SampleFormat::U16; })},
        {good, with([&](ImageView& v) { v.samples = other.data(), v.channels = 4; })},
    };
    for (const auto& pair : refused) {
        EXPECT_EQ(FilterImage(request, pair[0], pair[1]).status, RenderStatus::Invalid);
        EXPECT_EQ(samples, std::vector<uint8_t>(64, 255));
        EXPECT_EQ(other, std::vector<uint8_t>(64, 255));
    }
    EXPECT_EQ(FilterImage(request, with([](ImageView& v) { v.width = 0; }), with([](ImageView& v) { v.width = 0; }))
                  .status,
              RenderStatus::Done);
    EXPECT_EQ(samples, std::vector<uint8_t>(64, 255));
}
