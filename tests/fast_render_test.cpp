// The fast paths against the reference render, on randomised scenes; the
// negligible-tail bound at its edge; check points, cancellation and the
// memory budget.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <thread>

#include "core/parallel_work.h"
#include "core/parameter_table.h"
#include "render/fourier_stamping.h"
#include "render/line_layout.h"
#include "render/render_scratch.h"
#include "render/render_stars.h"
#include "render/star_pattern.h"
#include "render/tail_cut.h"
#include "render/trace_ray.h"

namespace {

// Checks that record every call and may stop the render at a given call.
class RecordingChecks : public RenderChecks {
public:
    std::vector<std::pair<int32_t, int32_t>> progress;
    std::set<std::thread::id> threads;
    int calls = 0;
    int stopAt = -1;   // StopRequested answers true from this call on
    int abortAt = -1;  // Aborted answers true from this call on

    bool StopRequested() override { return Note() == stopAt || (stopAt >= 0 && calls > stopAt); }
    bool Aborted() override { return Note() == abortAt || (abortAt >= 0 && calls > abortAt); }
    void Progress(int32_t done, int32_t total) override {
        Note();
        progress.emplace_back(done, total);
    }

private:
    int Note() {
        threads.insert(std::this_thread::get_id());
        return ++calls;
    }
};

struct Scene {
    StarSettings settings;
    int depth = 8;
    std::vector<std::vector<float>> planes;

    WorkPlaneSet Set() {
        WorkPlaneSet set{};
        for (size_t p = 0; p < planes.size(); ++p) set.planes[p] = planes[p].data();
        return set;
    }
};

float RandomSample(std::mt19937& random, int depth, bool bright) {
    if (depth == 16) {
        std::uniform_int_distribution<int> sample(bright ? 31000 : 0, bright ? 40000 : 30000);
        return ImportSample16(uint16_t(sample(random)));
    }
    std::uniform_int_distribution<int> sample(bright ? 240 : 0, bright ? 255 : 235);
    return ImportSample8(uint8_t(sample(random)));
}

// A random scene and random parameters, within their ranges unless `wild`.
Scene RandomScene(std::mt19937& random, int32_t maxWidth, int32_t maxHeight, double density) {
    std::uniform_int_distribution<int32_t> width(1, maxWidth), height(1, maxHeight);
    std::uniform_int_distribution<int> any(0, 1 << 30);
    Scene scene;
    StarSettings& s = scene.settings;
    SetDefaultParameters(&s.parameters);
    s.width = width(random);
    s.height = height(random);
    s.hostPlanes = std::array<int, 4>{1, 2, 3, 4}[size_t(any(random) % 4)];
    scene.depth = any(random) % 2 ? 16 : 8;
    s.scale = std::array<double, 3>{1.0, 0.5, 0.25}[size_t(any(random) % 3)];
    FilterParameters& p = s.parameters;
    p.brightness = int16_t(1 + any(random) % 100);
    p.threshold = int16_t(200 + any(random) % 56);
    p.thresholdType = int16_t(any(random) % 3);
    p.lineType = int16_t(1 + any(random) % 4);
    const int16_t odd[] = {0, 45, 90, 135, 180, 270, 359, 1, 44, 46, 89, 91, 17, 333, 225};
    p.angle = any(random) % 2 ? odd[any(random) % 15] : int16_t(any(random) % 360);
    p.h0Density = int16_t(any(random) % 101);
    p.h0Extent = int16_t(1 + any(random) % 100);
    p.h1Density = int16_t(any(random) % 101);
    p.h1Extent = int16_t(1 + any(random) % 100);
    p.spDensity = int16_t(any(random) % 101);
    p.spExtent = int16_t(1 + any(random) % 100);
    p.spAmplitude = int16_t(1 + any(random) % 100);
    p.spDephase = int16_t(any(random) % 101);
    std::bernoulli_distribution lit(density);
    const int planes = std::min(s.hostPlanes, kWorkPlaneSlots);
    scene.planes.assign(size_t(planes), std::vector<float>(size_t(s.width) * size_t(s.height)));
    for (size_t i = 0; i < scene.planes[0].size(); ++i) {
        const bool bright = lit(random);
        for (auto& plane : scene.planes) plane[i] = RandomSample(random, scene.depth, bright);
    }
    return scene;
}

RenderStatus Render(Scene& scene, RenderPath path, int threads, RenderReport* report = nullptr,
                    RenderChecks* checks = nullptr, size_t fourierMemory = 0, RenderScratch* scratch = nullptr) {
    RecordingChecks quiet;
    WorkPlaneSet set = scene.Set();
    RenderOptions options;
    options.path = path;
    options.threads = threads;
    options.fourierMemory = fourierMemory;
    options.scratch = scratch;
    return RenderStars(scene.settings, &set, checks ? checks : &quiet, options, report);
}

uint16_t Exported(float value, int depth) { return depth == 16 ? ExportSample16(value) : ExportSample8(value); }

// Where two renders of a scene differ in their exported samples.
struct Differences {
    int64_t samples = 0, differing = 0, largest = 0, atClamp = 0;
    std::string first;
};

Differences Compare(const Scene& input, const Scene& reference, const Scene& fast) {
    Differences d;
    for (size_t p = 0; p < reference.planes.size(); ++p)
        for (size_t i = 0; i < reference.planes[p].size(); ++i) {
            ++d.samples;
            const int a = Exported(reference.planes[p][i], reference.depth);
            const int b = Exported(fast.planes[p][i], fast.depth);
            if (a == b) continue;
            ++d.differing;
            d.largest = std::max<int64_t>(d.largest, std::abs(a - b));
            // The reference clamped its light at 1 (full scale) or at 0 (the sample as it was).
            if (reference.planes[p][i] == 1.0f || reference.planes[p][i] == input.planes[p][i]) ++d.atClamp;
            if (d.first.empty())
                d.first = "plane " + std::to_string(p) + " element " + std::to_string(i) + ": " + std::to_string(a) +
                          " against " + std::to_string(b);
        }
    return d;
}

std::string Describe(const Scene& scene) {
    const FilterParameters& p = scene.settings.parameters;
    return std::to_string(scene.settings.width) + "x" + std::to_string(scene.settings.height) + " planes " +
           std::to_string(scene.settings.hostPlanes) + " depth " + std::to_string(scene.depth) + " scale " +
           std::to_string(scene.settings.scale) + " lines " + std::to_string(p.lineType) + " angle " +
           std::to_string(p.angle) + " type " + std::to_string(p.thresholdType) + " extents " +
           std::to_string(p.h0Extent) + "/" + std::to_string(p.h1Extent) + "/" + std::to_string(p.spExtent);
}

}  // namespace

TEST(FastRender, ExactStampingExportsWhatTheReferenceExports) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 80; ++round) {
        const double density = std::array<double, 4>{0.002, 0.05, 0.3, 1.0}[size_t(round % 4)];
        const Scene input = RandomScene(random, round < 8 ? 3 : 90, round < 8 ? 3 : 70, density);
        Scene reference = input, fast = input;
        ASSERT_EQ(Render(reference, RenderPath::Reference, 1), RenderStatus::Done);
        RenderReport report;
        ASSERT_EQ(Render(fast, RenderPath::Exact, 1 + round % 3, &report), RenderStatus::Done) << Describe(input);
        const Differences d = Compare(input, reference, fast);
        ASSERT_EQ(d.differing, 0) << Describe(input) << ": " << d.first;
        // The transparency plane (and planes past the colour passes) stays as it was.
        for (size_t p = size_t(RenderedPlaneCount(input.settings.hostPlanes)); p < input.planes.size(); ++p)
            ASSERT_EQ(fast.planes[p], input.planes[p]);
    }
}

TEST(FastRender, ExactStampingSumsAreBitIdenticalWhereNoTailIsCut) {
    // At the longest extents every weight of a short line matters: nothing is
    // skipped, so the planes themselves must match bit for bit.
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        Scene input = RandomScene(random, 60, 50, round % 2 ? 0.05 : 1.0);
        FilterParameters& p = input.settings.parameters;
        p.h0Extent = p.h1Extent = p.spExtent = 100;
        input.settings.scale = 1.0;
        Scene reference = input, fast = input;
        Render(reference, RenderPath::Reference, 1);
        RenderReport report;
        Render(fast, RenderPath::Exact, 2, &report);
        for (size_t plane = 0; plane < input.planes.size(); ++plane)
            ASSERT_EQ(fast.planes[plane], reference.planes[plane]) << Describe(input) << " plane " << plane;
        for (int pass = 0; pass < report.passes; ++pass)
            EXPECT_NE(report.methods[pass], PassMethod::Serial) << "the source list was at hand";
    }
}

TEST(FastRender, TheTransformStaysWithinOneInTheLastPlaceOnOneSampleInAMillion) {
    std::mt19937 random(99);
    Differences all;
    for (int round = 0; round < 40; ++round) {
        const Scene input = RandomScene(random, 120, 90, round % 3 == 0 ? 0.3 : 1.0);
        Scene reference = input, fast = input;
        Render(reference, RenderPath::Reference, 1);
        RenderReport report;
        ASSERT_EQ(Render(fast, RenderPath::Fourier, 2, &report), RenderStatus::Done);
        bool transformed = false;
        for (int pass = 0; pass < report.passes; ++pass) transformed |= report.methods[pass] == PassMethod::Fourier;
        EXPECT_TRUE(transformed || input.settings.parameters.lineType == 0) << Describe(input);
        const Differences d = Compare(input, reference, fast);
        all.samples += d.samples;
        all.differing += d.differing;
        all.largest = std::max(all.largest, d.largest);
        all.atClamp += d.atClamp;
        EXPECT_LE(d.largest, 1) << Describe(input) << ": " << d.first;
        EXPECT_EQ(d.atClamp, 0) << Describe(input) << ": " << d.first;
    }
    EXPECT_LE(all.differing * 1000000, all.samples) << all.differing << " of " << all.samples << " samples differ";
}

TEST(FastRender, TheAutomaticChoiceFollowsTheDensityOfHighlights) {
    std::mt19937 random(3);
    auto methodFor = [&](double density) {
        Scene scene = RandomScene(random, 1, 1, 0);
        scene.settings.width = 400;
        scene.settings.height = 300;
        scene.settings.hostPlanes = 1;
        scene.settings.parameters = FilterParameters{};
        SetDefaultParameters(&scene.settings.parameters);
        std::bernoulli_distribution lit(density);
        scene.planes.assign(1, std::vector<float>(400 * 300));
        for (float& v : scene.planes[0]) v = lit(random) ? 1.0f : 0.1f;
        RenderReport report;
        EXPECT_EQ(Render(scene, RenderPath::Auto, 2, &report), RenderStatus::Done);
        return report.methods[0];
    };
    EXPECT_EQ(methodFor(0.0), PassMethod::Skipped);
    EXPECT_EQ(methodFor(0.001), PassMethod::Banded);
    EXPECT_EQ(methodFor(1.0), PassMethod::Fourier);
}

TEST(FastRender, WithoutMemoryForTheTransformItStampsExactly) {
    // A 32-bit host's budget, forced: the dense pass falls back to exact
    // stamping and still succeeds.
    std::mt19937 random(5);
    Scene input = RandomScene(random, 1, 1, 0);
    input.settings.width = 300;
    input.settings.height = 200;
    input.settings.hostPlanes = 3;
    input.planes.assign(3, std::vector<float>(300 * 200, 1.0f));
    Scene reference = input, fast = input;
    Render(reference, RenderPath::Reference, 1);
    RenderReport report;
    ASSERT_EQ(Render(fast, RenderPath::Auto, 2, &report, nullptr, 64 * 1024), RenderStatus::Done);
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(report.methods[pass], PassMethod::Banded);
    EXPECT_EQ(Compare(input, reference, fast).differing, 0);
}

TEST(FastRender, ProfilesOutsideTheirRangesPoisonNothing) {
    // An amplitude of 0, negative extents and huge densities: terms that are
    // not finite add nothing, and weights far from the profile's range keep
    // the transform away.
    std::mt19937 random(11);
    for (int round = 0; round < 12; ++round) {
        Scene input = RandomScene(random, 70, 50, 0.5);
        FilterParameters& p = input.settings.parameters;
        p.spAmplitude = round % 3 == 0 ? 0 : p.spAmplitude;
        p.h0Extent = int16_t(round % 2 ? -3 : -40);
        p.h1Density = int16_t(round % 4 == 1 ? 32767 : p.h1Density);
        p.spExtent = int16_t(round % 4 == 2 ? -1 : p.spExtent);
        for (RenderPath path : {RenderPath::Exact, RenderPath::Fourier, RenderPath::Auto}) {
            Scene reference = input, fast = input;
            Render(reference, RenderPath::Reference, 1);
            Render(fast, path, 2);
            const Differences d = Compare(input, reference, fast);
            EXPECT_EQ(d.differing, 0) << Describe(input) << ": " << d.first;
            for (const auto& plane : fast.planes)
                for (float v : plane) ASSERT_TRUE(std::isfinite(v));
        }
    }
}

TEST(FastRender, ChecksRunOnTheCallingThreadAndProgressRisesToTheTotal) {
    std::mt19937 random(13);
    for (RenderPath path : {RenderPath::Exact, RenderPath::Fourier}) {
        Scene scene = RandomScene(random, 1, 1, 0);
        scene.settings.width = 200;
        scene.settings.height = 150;
        scene.settings.hostPlanes = 4;
        scene.planes.assign(4, std::vector<float>(200 * 150, 0.2f));
        for (int i = 0; i < 200 * 150; i += 7) scene.planes[0][size_t(i)] = scene.planes[1][size_t(i)] = 1.0f;
        RecordingChecks checks;
        ASSERT_EQ(Render(scene, path, 3, nullptr, &checks), RenderStatus::Done);
        EXPECT_EQ(checks.threads, std::set<std::thread::id>{std::this_thread::get_id()});
        ASSERT_FALSE(checks.progress.empty());
        const int32_t total = 2 * 4 * 150;
        for (size_t i = 0; i < checks.progress.size(); ++i) {
            EXPECT_EQ(checks.progress[i].second, total);
            if (i > 0) {
                EXPECT_GT(checks.progress[i].first, checks.progress[i - 1].first);
            }
        }
        EXPECT_EQ(checks.progress.back(), std::make_pair(total, total));
    }
}

TEST(FastRender, AStopFromTheHostOrTheDialogCancelsMidPass) {
    std::mt19937 random(17);
    for (RenderPath path : {RenderPath::Exact, RenderPath::Fourier}) {
        for (bool fromDialog : {false, true}) {
            Scene scene = RandomScene(random, 1, 1, 0);
            scene.settings.width = 300;
            scene.settings.height = 200;
            scene.settings.hostPlanes = 3;
            scene.planes.assign(3, std::vector<float>(300 * 200, 1.0f));
            RecordingChecks checks;
            (fromDialog ? checks.stopAt : checks.abortAt) = 3;
            EXPECT_EQ(Render(scene, path, 2, nullptr, &checks), RenderStatus::Cancelled);
            for (const auto& call : checks.progress) EXPECT_LT(call.first, call.second) << "never finished";
        }
    }
}

// A video host keeps the band accumulators from frame to frame; the blend
// leaves them clear, and a render stopped part way leaves light in them that
// the next render must not see.
TEST(FastRender, AKeptScratchCarriesNothingFromOneRenderToTheNext) {
    std::mt19937 random(23);
    RenderScratch scratch;
    for (int round = 0; round < 24; ++round) {
        // Sizes repeat, so that the bands are kept, and change, so that they are replaced.
        const int32_t sizes[][2] = {{120, 80}, {120, 80}, {61, 140}};
        Scene scene = RandomScene(random, 1, 1, 0.02);
        scene.settings.width = sizes[round % 3][0];
        scene.settings.height = sizes[round % 3][1];
        std::bernoulli_distribution lit(0.02);
        for (auto& plane : scene.planes) plane.resize(size_t(scene.settings.width) * size_t(scene.settings.height));
        for (size_t i = 0; i < scene.planes[0].size(); ++i) {
            const bool bright = lit(random);
            for (auto& plane : scene.planes) plane[i] = RandomSample(random, scene.depth, bright);
        }
        Scene alone = scene, kept = scene;
        if (round % 4 == 3) {
            // Stopped as late as a stop can come, in the last pass: a band
            // holds light not yet blended.
            RecordingChecks counting;
            Scene whole = scene;
            Render(whole, RenderPath::Exact, 2, nullptr, &counting);
            for (int at = counting.calls; at > 0 && scratch.bandsClear; --at) {
                RecordingChecks checks;
                checks.abortAt = at;
                Scene stopped = scene;
                Render(stopped, RenderPath::Exact, 2, nullptr, &checks, 0, &scratch);
            }
            ASSERT_FALSE(scratch.bandsClear) << "no stop landed while a band was being stamped";
        }
        ASSERT_EQ(Render(alone, RenderPath::Exact, 2), RenderStatus::Done);
        ASSERT_EQ(Render(kept, RenderPath::Exact, 2, nullptr, nullptr, 0, &scratch), RenderStatus::Done);
        EXPECT_EQ(kept.planes, alone.planes) << "round " << round << ": " << Describe(scene);
        EXPECT_TRUE(scratch.bandsClear);
    }
}

TEST(FastRender, StreaksMatchTheReferenceAcrossATailCut) {
    // One source at the left edge of a long row: its light fades out across
    // the cut, and every exported sample on either side matches.
    for (int depth : {8, 16}) {
        Scene input;
        input.depth = depth;
        SetDefaultParameters(&input.settings.parameters);
        input.settings.parameters.lineType = 1;
        input.settings.parameters.brightness = 100;
        input.settings.width = 3000;
        input.settings.height = 1;
        input.settings.hostPlanes = 1;
        input.planes.assign(1, std::vector<float>(3000, 0.0f));
        input.planes[0][0] = depth == 16 ? ImportSample16(65535) : 1.0f;
        for (int32_t l = 1; l < 3000; l += 2) input.planes[0][size_t(l)] = 0.5f;  // half-way samples show any change
        Scene reference = input, fast = input;
        Render(reference, RenderPath::Reference, 1);
        Render(fast, RenderPath::Exact, 2);
        EXPECT_EQ(Compare(input, reference, fast).differing, 0);
        // The cut lies inside the row: the reference still adds light beyond it.
        int32_t lastLit = 0;
        for (int32_t l = 1; l < 3000; ++l)
            if (reference.planes[0][size_t(l)] != input.planes[0][size_t(l)]) lastLit = l;
        int32_t lastLitFast = 0;
        for (int32_t l = 1; l < 3000; ++l)
            if (fast.planes[0][size_t(l)] != input.planes[0][size_t(l)]) lastLitFast = l;
        EXPECT_LT(lastLitFast, lastLit) << "the fast path skipped the far tail";
        EXPECT_GT(lastLitFast, 500) << "and only the far tail";
    }
}

TEST(FastRender, ATwelveMegapixelPassFitsA32BitAddressSpace) {
    // In the 32-bit build this runs in a real 32-bit address space, with the
    // 32-bit plug-in's budget for the transform.
    Scene scene;
    SetDefaultParameters(&scene.settings.parameters);
    scene.settings.width = 4000;
    scene.settings.height = 3000;
    scene.settings.hostPlanes = 1;
    scene.planes.assign(1, std::vector<float>(size_t(4000) * 3000, 0.1f));
    for (size_t i = 0; i < scene.planes[0].size(); i += 9973) scene.planes[0][i] = 1.0f;
    RenderReport report;
    ASSERT_EQ(Render(scene, RenderPath::Auto, 2, &report, nullptr, size_t(512) << 20), RenderStatus::Done);
    EXPECT_EQ(report.methods[0], PassMethod::Banded);
    EXPECT_GT(scene.planes[0][1], 0.1f) << "the first highlight's streak";
}

TEST(FastRender, TheTransformHandlesOneRowAndOneColumn) {
    // Transforms of length 1 would fall to the library's generic butterfly.
    for (auto [width, height] : {std::pair<int32_t, int32_t>{1, 1}, {1, 7}, {7, 1}}) {
        Scene input;
        SetDefaultParameters(&input.settings.parameters);
        input.settings.width = width;
        input.settings.height = height;
        input.settings.hostPlanes = 1;
        input.planes.assign(1, std::vector<float>(size_t(width) * size_t(height), 1.0f));
        Scene reference = input, fast = input;
        Render(reference, RenderPath::Reference, 1);
        RenderReport report;
        ASSERT_EQ(Render(fast, RenderPath::Fourier, 1, &report), RenderStatus::Done);
        EXPECT_EQ(report.methods[0], PassMethod::Fourier);
        EXPECT_EQ(Compare(input, reference, fast).differing, 0);
    }
    EXPECT_EQ(SmoothSize(1, false), 4);
    EXPECT_EQ(SmoothSize(7, false), 8);
    EXPECT_EQ(SmoothSize(7, true), 8);
    EXPECT_EQ(SmoothSize(13, true), 16);
    EXPECT_EQ(SmoothSize(31, false), 32);
    EXPECT_EQ(SmoothSize(121, false), 125);
}
