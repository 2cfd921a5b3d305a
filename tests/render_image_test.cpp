// The whole-image render that GEGL and frei0r use: every pixel layout a host
// hands over gives what the renderer gives on the planes it imports, and the
// samples it does not render (the alpha a video frame carries) stay as they are.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/parameter_table.h"
#include "core/sample_math.h"
#include "render/render_image.h"

namespace {

struct Layout {
    int channels, stride;
};

// What the image's samples become when its planes are imported, rendered and
// exported one by one.
std::vector<uint8_t> RenderedByPlanes(const FilterParameters& parameters, const InterleavedImage& shape,
                                      const std::vector<uint8_t>& samples, const RenderOptions& options) {
    const size_t pixels = size_t(shape.width) * size_t(shape.height);
    std::vector<std::vector<float>> planes(size_t(shape.channels), std::vector<float>(pixels));
    WorkPlaneSet set{};
    for (int p = 0; p < shape.channels; ++p) {
        for (size_t i = 0; i < pixels; ++i)
            planes[size_t(p)][i] = ImportSample8(samples[i * size_t(shape.stride) + size_t(p)]);
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
    std::vector<uint8_t> out = samples;
    for (int p = 0; p < shape.channels; ++p)
        for (size_t i = 0; i < pixels; ++i)
            out[i * size_t(shape.stride) + size_t(p)] = ExportSample8(planes[size_t(p)][i]);
    return out;
}

std::vector<uint8_t> RandomSamples(std::mt19937& random, const InterleavedImage& shape, double share) {
    std::vector<uint8_t> samples(size_t(shape.width) * size_t(shape.height) * size_t(shape.stride));
    std::bernoulli_distribution lit(share);
    std::uniform_int_distribution<int> dark(0, 200), bright(248, 255);
    for (size_t i = 0; i < samples.size(); i += size_t(shape.stride)) {
        const bool on = lit(random);
        for (int p = 0; p < shape.stride; ++p) samples[i + size_t(p)] = uint8_t(on ? bright(random) : dark(random));
    }
    return samples;
}

}  // namespace

TEST(RenderImage, EveryLayoutRendersAsItsPlanesDoFrameAfterFrame) {
    std::mt19937 random(41);
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    parameters.lineType = 4;
    parameters.angle = 30;
    RenderOptions options;
    options.path = RenderPath::Exact;
    options.threads = 2;
    // The layouts with a loop of their own, and one that takes the general loop.
    for (Layout layout : {Layout{1, 1}, Layout{2, 2}, Layout{3, 3}, Layout{3, 4}, Layout{4, 4}, Layout{2, 3}}) {
        InterleavedImage shape{67, 45, layout.channels, layout.stride};
        RenderWorkspace workspace;  // kept from frame to frame, as the frei0r filter keeps it
        for (int frame = 0; frame < 3; ++frame) {
            const std::vector<uint8_t> original = RandomSamples(random, shape, 0.03);
            std::vector<uint8_t> samples = original;
            ASSERT_EQ(RenderImage8(parameters, shape, samples.data(), options, {}, &workspace), RenderStatus::Done);
            EXPECT_EQ(samples, RenderedByPlanes(parameters, shape, original, options))
                << layout.channels << " channels, " << layout.stride << " samples a pixel, frame " << frame;
            EXPECT_NE(samples, original) << "nothing was drawn";
        }
    }
}

TEST(RenderImage, FloatSamplesAreClampedAndNotANumberBecomesZero) {
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    InterleavedImage shape{9, 7, 3, 3};
    std::vector<float> samples(size_t(9 * 7 * 3), 0.1f);
    samples[0] = std::nanf("");
    samples[1] = 7.0f;
    samples[2] = -3.0f;
    for (int p = 0; p < 3; ++p) samples[size_t((3 * 9 + 4) * 3 + p)] = 1.0f;  // one highlight
    ASSERT_EQ(RenderImageFloat(parameters, shape, samples.data(), RenderOptions{}), RenderStatus::Done);
    for (float v : samples) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
    EXPECT_EQ(samples[0], 0.0f);
    EXPECT_GT(samples[size_t((3 * 9 + 6) * 3)], 0.1f) << "the highlight's streak reaches its neighbours";
}

TEST(RenderImage, ShapesWithoutPixelsOrWithUnknownLayoutsAreLeftAlone) {
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    std::vector<uint8_t> samples(64, 255);
    for (InterleavedImage shape : {InterleavedImage{0, 4, 3, 3}, InterleavedImage{4, 0, 3, 3},
                                   InterleavedImage{4, 4, 5, 5}, InterleavedImage{4, 4, 3, 2}}) {
        EXPECT_EQ(RenderImage8(parameters, shape, samples.data(), RenderOptions{}), RenderStatus::Done);
        EXPECT_EQ(samples, std::vector<uint8_t>(64, 255));
    }
}
