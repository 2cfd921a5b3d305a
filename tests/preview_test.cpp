// The preview: its region and layout, the display conversion, the pane's
// zoom, panning and painting.
#include <gtest/gtest.h>

#include <cstring>

#include "host_services/filter_globals.h"
#include "interface/result_codes.h"
#include "passes/message_pump.h"
#include "passes/preview_render.h"
#include "tests/fake_dialog.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"
#include "ui/parameter_dialog.h"
#include "ui/preview_pane_rules.h"
#include "core/parameter_table.h"

namespace {

// Globals over a record of the given image size and a pane of the given size.
struct View {
    FilterRecord record{};
    int16_t result = 0;
    FilterGlobals globals{};
    View(int16_t imageWidth, int16_t imageHeight, int16_t paneWidth, int16_t paneHeight) {
        record.imageSize = Point{imageHeight, imageWidth};
        globals.filterRecord = &record;
        globals.result = &result;
        globals.previewFrame = Rect{0, 0, paneHeight, paneWidth};
        globals.zoomLevel = 1;
    }
    VRect Region() {
        VRect region;
        PreviewRegion(&globals, &region);
        return region;
    }
};

void ExpectRegion(const VRect& r, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.bottom, bottom);
    EXPECT_EQ(r.right, right);
}

// A whole-image host buffer for RenderPreview, as the dialog's request leaves it.
struct PreviewBench : View {
    std::vector<uint8_t> in, out, mask;
    std::vector<uint8_t> pixels, paneMask, transparency;
    PreviewBench(int16_t imageWidth, int16_t imageHeight, int16_t paneWidth, int16_t paneHeight, int planes,
                 int bytes)
        : View(imageWidth, imageHeight, paneWidth, paneHeight) {
        record.planes = int16_t(planes);
        record.imageMode = bytes == 2 ? plugInModeGray16 : plugInModeGrayScale;
        record.inRowBytes = record.outRowBytes = imageWidth * planes * bytes;
        in.assign(size_t(record.inRowBytes) * size_t(imageHeight), 0);
        out = in;
        record.inData = in.data();
        record.outData = out.data();
        record.inRect = record.outRect = Rect{0, 0, imageHeight, imageWidth};
        pixels.assign(size_t(paneWidth) * size_t(paneHeight) * size_t(planes + 1), 0xAB);
        paneMask.assign(size_t(paneWidth) * size_t(paneHeight), 0xAB);
        globals.previewPixels = pixels.data();
        globals.previewMask = paneMask.data();
        session.sourceReady = true;
    }
    void Render(bool filtered) { RenderPreview(&globals, filtered, &session); }
    PreviewSession session;
    void Set16(std::vector<uint8_t>& buffer, int index, uint16_t value) { std::memcpy(&buffer[2 * index], &value, 2); }
};

HostSettings Offline() {
    HostSettings settings;
    settings.offerDescriptors = false;
    return settings;
}

}  // namespace

TEST(PreviewRegion, FollowsTheCentreAndStaysOnTheImage) {
    View view(1000, 800, 200, 150);
    view.globals.viewCenterV = 400;
    view.globals.viewCenterH = 500;
    ExpectRegion(view.Region(), 325, 400, 475, 600);
    view.globals.viewCenterV = view.globals.viewCenterH = 10;
    ExpectRegion(view.Region(), 0, 0, 150, 200);
    view.globals.viewCenterV = 790;
    view.globals.viewCenterH = 995;
    ExpectRegion(view.Region(), 650, 800, 800, 1000);
    view.globals.zoomLevel = 0;
    EXPECT_EQ(view.Region().right - view.Region().left, 100);
    view.globals.zoomLevel = 2;
    EXPECT_EQ(view.Region().right - view.Region().left, 400);
}

TEST(PreviewRegion, FarOutTheRegionIsCentredWithoutOverflow) {
    View view(1000, 800, 200, 150);
    view.globals.zoomLevel = 32767;
    const VRect region = view.Region();
    EXPECT_EQ(region.right - region.left, 200 * 32767);
    EXPECT_EQ(region.left, (1000 - 200 * 32767) / 2);
    EXPECT_EQ(region.top, (800 - 150 * 32767) / 2);
}

TEST(RectIntersection, EmptiesEachAxisOnItsOwn) {
    const Rect a{0, 0, 10, 10}, b{5, 20, 15, 30};
    Rect out;
    RectIntersection(&out, &a, &b);
    EXPECT_EQ(out.top, 5);
    EXPECT_EQ(out.bottom, 10);
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.right, 0);
    Rect swapped{10, 10, 0, 0};  // inputs are ordered first; the output may be an input
    const Rect c{2, 3, 6, 7};
    RectIntersection(&swapped, &swapped, &c);
    EXPECT_EQ(swapped.top, 2);
    EXPECT_EQ(swapped.left, 3);
    EXPECT_EQ(swapped.bottom, 6);
    EXPECT_EQ(swapped.right, 7);
}

TEST(RenderPreview, ASmallImageIsDrawnWholeInTheMiddleWithBlackBorders) {
    PreviewBench bench(4, 2, 10, 6, 1, 1);
    std::fill(bench.in.begin(), bench.in.end(), 200);
    bench.Render(false);
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 10; ++column) {
            const bool inside = row >= 2 && row < 4 && column >= 3 && column < 7;
            EXPECT_EQ(bench.pixels[size_t(row * 10 + column)], inside ? 200 : 0) << row << "," << column;
            EXPECT_EQ(bench.paneMask[size_t(row * 10 + column)], inside ? 1 : 0);
        }
}

TEST(RenderPreview, MagnifiesByRepeatingAndReducesBySkipping) {
    PreviewBench zoomIn(40, 40, 8, 8, 1, 1);
    for (int i = 0; i < 40 * 40; ++i) zoomIn.in[size_t(i)] = uint8_t(i % 40);  // value = column
    zoomIn.globals.zoomLevel = 0;  // 200%
    zoomIn.globals.viewCenterH = zoomIn.globals.viewCenterV = 20;
    zoomIn.Render(false);
    EXPECT_EQ(zoomIn.pixels[0], 18);
    EXPECT_EQ(zoomIn.pixels[1], 18);
    EXPECT_EQ(zoomIn.pixels[2], 19);
    EXPECT_EQ(zoomIn.pixels[3], 19);

    PreviewBench zoomOut(40, 40, 8, 8, 1, 1);
    for (int i = 0; i < 40 * 40; ++i) zoomOut.in[size_t(i)] = uint8_t(i % 40);
    zoomOut.globals.zoomLevel = 2;  // 50%
    zoomOut.globals.viewCenterH = zoomOut.globals.viewCenterV = 20;
    zoomOut.Render(false);
    for (int j = 0; j < 8; ++j) EXPECT_EQ(zoomOut.pixels[size_t(j)], 12 + 2 * j) << j;
}

TEST(RenderPreview, SixteenBitSamplesDisplayInEightBits) {
    PreviewBench bench(4, 1, 4, 1, 1, 2);
    const uint16_t samples[4] = {32768, 32767, 128, 127};
    for (int i = 0; i < 4; ++i) bench.Set16(bench.in, i, samples[i]);
    bench.Render(false);
    EXPECT_EQ(bench.pixels[0], 255);
    EXPECT_EQ(bench.pixels[1], 255);
    EXPECT_EQ(bench.pixels[2], 1);
    EXPECT_EQ(bench.pixels[3], 0);
}

TEST(RenderPreview, MasksBlendEightBitsOnlyWithAutoMaskAndSixteenBitsAlways) {
    for (int bytes : {1, 2}) {
        for (bool autoMask : {true, false}) {
            PreviewBench bench(2, 1, 2, 1, 1, bytes);
            bench.record.haveMask = 1;
            bench.record.autoMask = autoMask;
            bench.mask = {255, 0};
            bench.record.maskData = bench.mask.data();
            bench.record.maskRowBytes = 2;
            bench.record.maskRect = Rect{0, 0, 1, 2};
            // Input 0 everywhere, output full scale: the mask decides what shows.
            for (int i = 0; i < 2; ++i) {
                if (bytes == 2)
                    bench.Set16(bench.out, i, 32768);
                else
                    bench.out[size_t(i)] = 255;
            }
            bench.globals.passRect = Rect{0, 0, 0, 0};
            bench.record.filterRect = Rect{0, 0, 0, 0};  // an empty pass: the output shows as it is
            bench.Render(true);
            const bool blended = bytes == 2 || autoMask;
            EXPECT_EQ(bench.pixels[0], 255) << bytes << " " << autoMask;
            EXPECT_EQ(bench.pixels[1], blended ? 0 : 255) << bytes << " " << autoMask;
            EXPECT_EQ(bench.paneMask[0], 255);
            EXPECT_EQ(bench.paneMask[1], 0);
        }
    }
    // A host that announces a mask and hands over none: shown unblended, never read.
    PreviewBench missing(2, 1, 2, 1, 1, 1);
    missing.record.haveMask = 1;
    missing.record.autoMask = 1;
    missing.out = {255, 255};
    missing.record.outData = missing.out.data();
    missing.Render(true);
    EXPECT_EQ(missing.pixels[1], 255);
    // Or hands over less of one than the image: shown unblended, never read past its end.
    PreviewBench cut(2, 3, 2, 3, 1, 1);
    cut.record.haveMask = 1;
    cut.record.autoMask = 1;
    cut.mask = {0, 0};
    cut.record.maskData = cut.mask.data();
    cut.record.maskRowBytes = 2;
    cut.record.maskRect = Rect{0, 0, 1, 2};
    std::fill(cut.out.begin(), cut.out.end(), 255);
    cut.Render(true);
    EXPECT_EQ(cut.pixels[size_t(2 * 2)], 255) << "the last row shows the output, as without a mask";
}

TEST(RenderPreview, ReadsOnlyWhatTheHostDelivered) {
    // The host answers the whole-image request with fewer rows (and says so):
    // the preview reads none of them rather than run past the buffer.
    for (int16_t delivered : {int16_t(7), int16_t(1)}) {
        PreviewBench bench(6, 200, 6, 4, 1, 1);
        bench.in.assign(size_t(6) * size_t(delivered), 200);
        bench.record.inData = bench.in.data();
        bench.record.inRect = Rect{0, 0, delivered, 6};
        bench.globals.viewCenterV = 198;  // the view at the bottom, far past what was delivered
        bench.Render(false);
        for (size_t i = 0; i < 6 * 4; ++i) {
            EXPECT_EQ(bench.pixels[i], 0) << i;
            EXPECT_EQ(bench.paneMask[i], 0) << i;
        }
    }
    // Rows shorter than the image's width, or a buffer that does not start at the origin.
    PreviewBench narrow(6, 4, 6, 4, 1, 1);
    narrow.record.inRowBytes = 5;
    narrow.Render(false);
    EXPECT_EQ(narrow.paneMask[0], 0);
    PreviewBench offset(6, 4, 6, 4, 1, 1);
    offset.record.inRect = Rect{1, 0, 5, 6};
    offset.Render(false);
    EXPECT_EQ(offset.paneMask[0], 0);
    // An output buffer cut short: the filtered view shows the input instead.
    PreviewBench shortOut(6, 4, 6, 4, 1, 1);
    std::fill(shortOut.in.begin(), shortOut.in.end(), 40);
    shortOut.out.assign(6, 250);
    shortOut.record.outData = shortOut.out.data();
    shortOut.record.outRect = Rect{0, 0, 1, 6};
    shortOut.globals.passRect = Rect{0, 0, 0, 0};
    shortOut.record.filterRect = Rect{0, 0, 0, 0};
    shortOut.Render(true);
    EXPECT_EQ(shortOut.pixels[0], 40);
    EXPECT_EQ(shortOut.paneMask[0], 1);
}

TEST(RenderPreview, AStoppedRenderShowsTheUnfilteredImage) {
    PreviewBench bench(8, 8, 8, 8, 1, 1);
    bench.in[27] = 255;
    bench.out = bench.in;
    bench.record.filterRect = Rect{0, 0, 8, 8};
    bench.globals.viewCenterV = bench.globals.viewCenterH = 4;
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    char* master = reinterpret_cast<char*>(&parameters);
    bench.record.parameters = &master;
    static int calls;
    calls = 0;
    bench.record.abortProc = [] { return Boolean(++calls >= 2); };  // stops in the first pass
    bench.Render(true);
    EXPECT_EQ(bench.result, userCanceledErr);
    EXPECT_EQ(bench.pixels[28], 0) << "no streak shown";
    EXPECT_EQ(bench.pixels[27], 255);

    bench.record.abortProc = nullptr;
    bench.Render(true);
    EXPECT_EQ(bench.result, noErr);
    EXPECT_GT(bench.pixels[28], 0) << "the finished render shows its streaks";
}

TEST(RenderPreview, ATransparencyChannelFollowsTheColoursAndAFarZoomReadsNothingOutside) {
    PreviewBench bench(3, 3, 9, 9, 1, 1);
    bench.globals.hasTransparency = 1;
    bench.transparency = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    bench.globals.transparencyPlane = bench.transparency.data();
    bench.globals.zoomLevel = -2;  // 400%: the 3 x 3 image is smaller than the 9 x 9 pane
    bench.Render(false);
    // Rows and columns: R = round(3 * 4) = 12 > 9, so the drawing starts at -1 (cut).
    EXPECT_EQ(bench.pixels[(0 * 9 + 0) * 2 + 1], 10);
    EXPECT_EQ(bench.pixels[(8 * 9 + 8) * 2 + 1], 90);
    bench.globals.zoomLevel = 32767;
    bench.Render(false);
    for (uint8_t p : bench.pixels) EXPECT_EQ(p, 0);
}

TEST(PreviewPane, ZoomLabelsFrom1200PercentDown) {
    const struct {
        int16_t level;
        const char* label;
    } cases[] = {{-10, "1200%"}, {-9, "1100%"}, {-1, "300%"}, {0, "200%"}, {1, "100%"}, {2, "50%"}, {3, "33%"},
                 {4, "25%"},     {5, "20%"},    {6, "17%"},  {7, "14%"}, {8, "13%"},  {67, "1%"}, {200, "1%"},
                 {201, "0%"},    {32767, "0%"}};
    for (const auto& c : cases) {
        char label[8];
        FormatZoomLabel(c.level, label);
        EXPECT_STREQ(label, c.label) << c.level;
    }
}

TEST(PreviewPane, PlusStopsAt1200PercentWithoutRendering) {
    TestHost host(SmallImage(64, 48), Offline());
    FakeDialog dialog;
    std::vector<std::string> labels;
    RunWithDialog(host, dialog, [&](FakeDialog& d, FilterGlobals* globals) {
        d.Drain();
        for (int i = 0; i < 11; ++i) {
            d.Click(kZoomInButton);
            d.Drain();
            labels.push_back(d.texts[kZoomLabel]);
        }
        const int invalidationsAtTop = d.invalidations;
        d.Click(kZoomInButton);
        d.Drain();
        EXPECT_EQ(d.texts[kZoomLabel], "1200%");
        EXPECT_EQ(d.invalidations, invalidationsAtTop) << "a twelfth press renders nothing";
        EXPECT_EQ(globals->zoomLevel, -10);
        for (int i = 0; i < 16; ++i) {
            d.Click(kZoomOutButton);
            d.Drain();
        }
        EXPECT_EQ(d.texts[kZoomLabel], "17%");
    });
    EXPECT_EQ(labels, (std::vector<std::string>{"200%", "300%", "400%", "500%", "600%", "700%", "800%", "900%",
                                                 "1000%", "1100%", "1200%"}));
}

TEST(PreviewPane, DraggingMovesTheCentreAgainstThePointer) {
    View view(1000, 800, 200, 150);
    view.globals.viewCenterV = 400;
    view.globals.viewCenterH = 500;
    PanPreview(&view.globals, 10, 0);
    EXPECT_EQ(view.globals.viewCenterH, 490);
    view.globals.zoomLevel = 2;
    PanPreview(&view.globals, 10, 0);
    EXPECT_EQ(view.globals.viewCenterH, 470);
    PanPreview(&view.globals, 10000, -10000);
    EXPECT_EQ(view.globals.viewCenterH, 200) << "stopped at the image's left border";
    EXPECT_EQ(view.globals.viewCenterV, 650) << "and at its bottom";

    View small(90, 50, 200, 150);
    small.globals.viewCenterH = 3;
    PanPreview(&small.globals, 7, 9);
    EXPECT_EQ(small.globals.viewCenterH, 45);
    EXPECT_EQ(small.globals.viewCenterV, 25);
}

TEST(PreviewPane, PressDragAndReleaseDriveTheRenders) {
    TestHost host(SmallImage(300, 200), Offline());
    FakeDialog dialog;
    const RunOutcome outcome = RunWithDialog(host, dialog, [](FakeDialog& d, FilterGlobals* globals) {
        d.Drain();
        const double centre = globals->viewCenterH;
        // A click without moving: one filtered request at release.
        d.Pane(WM_LBUTTONDOWN, 5, 5);
        d.Pane(WM_LBUTTONUP, 5, 5);
        d.Step();
        d.Step();
        EXPECT_EQ(d.state.preview.state, PreviewIdle);
        EXPECT_EQ(PlatformQueuedMessageCount(), 1u);
        d.Drain();
        // A drag past the left edge keeps panning.
        d.Pane(WM_LBUTTONDOWN, 5, 5);
        d.Pane(WM_MOUSEMOVE, -3, 5);
        d.Pane(WM_MOUSEMOVE, -20, 5);
        d.Drain();
        EXPECT_EQ(globals->viewCenterH, centre + 25);
        // A release without a press still asks for a render.
        d.Pane(WM_LBUTTONUP, 0, 0);
        d.Pane(WM_LBUTTONUP, 0, 0);
        d.Step();
        d.Step();
        EXPECT_EQ(PlatformQueuedMessageCount(), 2u);
    });
    EXPECT_EQ(outcome.result, noErr);
}

TEST(PreviewPane, ADragStepDuringASuspendedRenderIsDeferred) {
    TestHost host(SmallImage(300, 200), Offline());
    FakeDialog dialog;
    const RunOutcome outcome = RunWithDialog(host, dialog, [](FakeDialog& d, FilterGlobals* globals) {
        d.Drain();
        // A drag is under way when a keyboard change asks for a filtered render.
        d.Pane(WM_LBUTTONDOWN, 50, 50);
        d.Drain();
        d.Type(EditOf(&FilterParameters::brightness), "70");
        d.Pane(WM_MOUSEMOVE, 40, 50);
        const double before = globals->viewCenterH;
        const int invalidations = d.invalidations;
        EXPECT_EQ(d.Step(), WM_PREVIEW_FILTERED) << "the render pumps the drag step";
        EXPECT_EQ(globals->viewCenterH, before + 10) << "the view moved";
        EXPECT_EQ(d.invalidations, invalidations + 1) << "only the stopped render repainted";
        EXPECT_EQ(d.Step(), WM_PREVIEW_PLAIN) << "the new view follows at once";
        d.Drain();
        d.Pane(WM_LBUTTONUP, 40, 50);
    });
    EXPECT_EQ(outcome.result, noErr);
}

namespace {
std::vector<DisplayPixelsCall>* gPainted;
OSErr PI_CALL RecordPaint(const PSPixelMap* map, const VRect* rect, int32_t row, int32_t column, void*) {
    DisplayPixelsCall call;
    call.map = *map;
    call.sourceRect = *rect;
    call.dstRow = row;
    call.dstCol = column;
    if (map->masks) call.maskDescription = map->masks->maskDescription;
    gPainted->push_back(call);
    return 0;
}
}  // namespace

TEST(PreviewPane, PaintsThroughDisplayPixelsWithTheMaskOfTheCase) {
    std::vector<DisplayPixelsCall> painted;
    gPainted = &painted;
    View view(20, 10, 8, 6);
    std::vector<uint8_t> pixels(8 * 6 * 4), mask(8 * 6);
    view.globals.previewPixels = pixels.data();
    view.globals.previewMask = mask.data();
    view.record.planes = 3;
    view.record.imageMode = plugInModeRGB48;
    PaintPreview(&view.globals, 0, 0, nullptr);
    EXPECT_TRUE(painted.empty()) << "no displayPixels, nothing drawn";

    view.record.displayPixels = RecordPaint;
    PaintPreview(&view.globals, -1, -2, nullptr);
    ASSERT_EQ(painted.size(), 1u);
    const PSPixelMap& map = painted[0].map;
    EXPECT_EQ(map.version, 1);
    EXPECT_EQ(map.imageMode, plugInModeRGBColor);
    EXPECT_EQ(map.rowBytes, 24);
    EXPECT_EQ(map.colBytes, 3);
    EXPECT_EQ(map.planeBytes, 1);
    EXPECT_EQ(map.bounds.bottom, 6);
    EXPECT_EQ(map.bounds.right, 8);
    EXPECT_EQ(map.masks, nullptr);
    EXPECT_EQ(painted[0].dstRow, -1);
    EXPECT_EQ(painted[0].dstCol, -2);

    view.globals.hasTransparency = 1;
    view.record.inLayerPlanes = 3;
    view.record.inTransparencyMask = 1;
    PaintPreview(&view.globals, 0, 0, nullptr);
    EXPECT_EQ(painted[1].map.colBytes, 4);
    EXPECT_EQ(painted[1].maskDescription, 0) << "the transparency channel masks the picture";
    view.record.isFloating = 1;
    PaintPreview(&view.globals, 0, 0, nullptr);
    EXPECT_EQ(painted[2].maskDescription, 0);
}
