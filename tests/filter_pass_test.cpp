// The filter pass: conversions, rectangles, column strides and stops.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "interface/result_codes.h"
#include "passes/filter_pass.h"
#include "passes/message_pump.h"
#include "passes/proxy_scale.h"
#include "tests/emulated_system/platform_testing.h"
#include "tests/render_bench.h"
#include "tests/test_support.h"

namespace {

// A host buffer of interleaved pixels with a pass over part of it.
struct PassBench : RenderBench {
    std::vector<uint8_t> in, out;
    PassBench(int planes, int bytes, int32_t bufferWidth, int32_t bufferHeight, Rect pass)
        : RenderBench(planes, 1, 1) {
        record.imageMode = bytes == 2 ? (planes >= 3 ? plugInModeRGB48 : plugInModeGray16)
                                      : (planes >= 3 ? plugInModeRGBColor : plugInModeGrayScale);
        const int32_t rowBytes = bufferWidth * planes * bytes + 3;  // rows padded, as hosts may
        in.assign(size_t(rowBytes) * size_t(bufferHeight), 0);
        for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i * 7 % 120);
        out.assign(in.size(), 0xEE);
        record.inData = in.data();
        record.outData = out.data();
        record.inRowBytes = record.outRowBytes = rowBytes;
        record.inRect = record.outRect = Rect{0, 0, int16_t(bufferHeight), int16_t(bufferWidth)};
        globals.passRect = pass;
    }
};

}  // namespace

TEST(FilterPass, ReadsAndWritesOnlyThePassRectangleOffTheOrigin) {
    for (int bytes : {1, 2}) {
        PassBench bench(3, bytes, 6, 5, Rect{1, 2, 4, 5});
        bench.parameters.threshold = 255;  // nothing qualifies: the pass copies its rectangle
        RunFilterPass(&bench.globals, nullptr);
        ASSERT_EQ(bench.result, noErr);
        EXPECT_EQ(bench.record.inColumnBytes, 3 * bytes) << "filled in where the host left 0";
        const size_t pixel = size_t(3 * bytes);
        for (int32_t row = 0; row < 5; ++row)
            for (int32_t column = 0; column < 6; ++column) {
                const size_t at = size_t(row) * size_t(bench.record.inRowBytes) + size_t(column) * pixel;
                const bool inside = row >= 1 && row < 4 && column >= 2 && column < 5;
                for (size_t b = 0; b < pixel; ++b)
                    ASSERT_EQ(bench.out[at + b], inside ? bench.in[at + b] : 0xEE)
                        << "bytes " << bytes << " row " << row << " column " << column;
            }
    }
}

TEST(FilterPass, ColumnBytesTheHostGaveAreKept) {
    PassBench bench(1, 1, 4, 2, Rect{0, 0, 2, 4});
    bench.record.inColumnBytes = 1;
    bench.record.outColumnBytes = -4;
    FillColumnBytes(&bench.globals);
    EXPECT_EQ(bench.record.inColumnBytes, 1);
    EXPECT_EQ(bench.record.outColumnBytes, 1);
}

TEST(FilterPass, AnEmptyPassLeavesTheResultAlone) {
    for (Rect pass : {Rect{2, 2, 2, 5}, Rect{1, 3, 4, 3}, Rect{4, 1, 2, 5}}) {
        PassBench bench(1, 1, 6, 5, pass);
        bench.result = 123;
        const auto before = bench.out;
        RunFilterPass(&bench.globals, nullptr);
        EXPECT_EQ(bench.result, 123);
        EXPECT_EQ(bench.out, before);
    }
}

TEST(FilterPass, APassOutsideTheDeliveredBuffersIsRefused) {
    for (Rect pass : {Rect{0, 0, 6, 6}, Rect{-1, 0, 2, 2}, Rect{0, 4, 2, 7}}) {
        PassBench bench(1, 1, 6, 5, pass);
        const auto before = bench.out;
        RunFilterPass(&bench.globals, nullptr);
        EXPECT_EQ(bench.result, paramErr);
        EXPECT_EQ(bench.out, before);
    }
    PassBench missing(1, 1, 6, 5, Rect{0, 0, 2, 2});
    missing.record.inData = nullptr;
    RunFilterPass(&missing.globals, nullptr);
    EXPECT_EQ(missing.result, paramErr);
}

namespace {
int32_t gPreviewState = PreviewIdle;
LRESULT StopOnCommand(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_COMMAND) gPreviewState = PreviewStop;
    return 0;
}
}  // namespace

TEST(FilterPass, AStopPendingAtTheStartWritesNothing) {
    PlatformClearMessageQueue();
    HWND dialog = PlatformCreateWindow(StopOnCommand);
    PostMessageA(dialog, WM_COMMAND, 1, 0);
    gPreviewState = PreviewBusy;
    PassBench bench(3, 1, 6, 5, Rect{0, 0, 5, 6});
    bench.in[0] = 255;
    const auto before = bench.out;
    RunFilterPass(&bench.globals, &gPreviewState);
    EXPECT_EQ(bench.result, userCanceledErr);
    EXPECT_EQ(bench.out, before);
    EXPECT_TRUE(RenderBench::progress.empty()) << "no render started";
    PlatformDestroyWindow(dialog);
}

TEST(FilterPass, MoreThanEightHostPlanesTouchOnlyTheFirstEight) {
    PassBench bench(10, 1, 4, 3, Rect{0, 0, 3, 4});
    for (size_t i = 0; i < bench.in.size(); ++i) bench.in[i] = 255;
    RunFilterPass(&bench.globals, nullptr);
    ASSERT_EQ(bench.result, noErr);
    for (int32_t row = 0; row < 3; ++row)
        for (int32_t column = 0; column < 4; ++column) {
            const size_t at = size_t(row) * size_t(bench.record.outRowBytes) + size_t(column) * 10;
            for (int p = 0; p < 8; ++p) EXPECT_EQ(bench.out[at + size_t(p)], 255);
            EXPECT_EQ(bench.out[at + 8], 0xEE);
            EXPECT_EQ(bench.out[at + 9], 0xEE);
        }
}

namespace {

// What the pass must write: every plane imported, rendered together and
// exported, as a pass that holds all its planes at once does.
std::vector<uint8_t> AllPlanesAtOnce(const PassBench& bench, int planes, int bytes) {
    const int32_t width = bench.globals.passRect.right, height = bench.globals.passRect.bottom;
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<std::vector<float>> data(static_cast<size_t>(planes), std::vector<float>(pixels));
    WorkPlaneSet set{};
    auto at = [&](size_t k, int p) {
        return (k / size_t(width)) * size_t(bench.record.inRowBytes) + (k % size_t(width)) * size_t(planes * bytes) +
               size_t(p * bytes);
    };
    for (int p = 0; p < planes; ++p) {
        set.planes[p] = data[size_t(p)].data();
        for (size_t k = 0; k < pixels; ++k)
            data[size_t(p)][k] = bytes == 2 ? ImportSample16(uint16_t(bench.in[at(k, p)] | bench.in[at(k, p) + 1] << 8))
                                            : ImportSample8(bench.in[at(k, p)]);
    }
    StarSettings settings;
    settings.parameters = bench.parameters;
    settings.width = width;
    settings.height = height;
    settings.hostPlanes = planes;
    struct Quiet : RenderChecks {
        bool StopRequested() override { return false; }
        bool Aborted() override { return false; }
        void Progress(int32_t, int32_t) override {}
    } checks;
    EXPECT_EQ(RenderStars(settings, &set, &checks, RenderOptions{}), RenderStatus::Done);
    std::vector<uint8_t> out = bench.out;
    for (int p = 0; p < planes; ++p)
        for (size_t k = 0; k < pixels; ++k) {
            if (bytes == 2) {
                const uint16_t v = ExportSample16(data[size_t(p)][k]);
                out[at(k, p)] = uint8_t(v & 0xFF);
                out[at(k, p) + 1] = uint8_t(v >> 8);
            } else {
                out[at(k, p)] = ExportSample8(data[size_t(p)][k]);
            }
        }
    return out;
}

}  // namespace

// With the plain threshold each colour pass reads only its own plane, and the
// pass holds one plane at a time; the other threshold types hold them all.
// Either way the host's output is the same, transparency included, and a stop
// part way leaves the output as it was.
TEST(FilterPass, OnePlaneAtATimeWritesWhatAllPlanesAtOnceWrite) {
    for (int16_t type : {int16_t(Plain), int16_t(Average), int16_t(WeightedAverage)})
        for (int planes : {1, 2, 3, 4})
            for (int bytes : {1, 2}) {
                PassBench bench(planes, bytes, 37, 23, Rect{0, 0, 23, 37});
                std::mt19937 random(uint32_t(planes * 10 + bytes + type * 100));
                for (uint8_t& b : bench.in) b = random() % 40 == 0 ? 255 : uint8_t(random() % 200);
                bench.parameters.thresholdType = type;
                bench.parameters.threshold = 200;
                const std::vector<uint8_t> expected = AllPlanesAtOnce(bench, planes, bytes);
                RunFilterPass(&bench.globals, nullptr);
                ASSERT_EQ(bench.result, noErr);
                EXPECT_EQ(bench.out, expected) << "type " << type << ", " << planes << " planes, " << bytes << " bytes";

                // Stopped by the host once the progress has reached the last
                // colour pass: nothing written.
                PassBench stopped(planes, bytes, 37, 23, Rect{0, 0, 23, 37});
                stopped.in = bench.in;
                stopped.parameters = bench.parameters;
                const auto before = stopped.out;
                const int64_t passes = planes >= 3 ? 3 : 1;
                RenderBench::abortWhen = [passes](int) {
                    const auto& progress = RenderBench::progress;
                    return !progress.empty() && progress.back().first * passes >= progress.back().second * (passes - 1);
                };
                RunFilterPass(&stopped.globals, nullptr);
                EXPECT_EQ(stopped.result, userCanceledErr);
                EXPECT_EQ(stopped.out, before) << "a stopped pass wrote into the host's output";
                RenderBench::abortWhen = nullptr;
            }
}
