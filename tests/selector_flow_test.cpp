// Whole selector flows through the runner, as hosts call them.
#include <gtest/gtest.h>

#include <cstring>

#include "host_services/filter_globals.h"
#include "host_services/handle_services.h"
#include "interface/result_codes.h"
#include "tests/emulated_system/platform_testing.h"
#include "tests/test_support.h"
#include "ui/about_box.h"
#include "tests/emulated_system/native_ui.h"
#include "ui/parameter_dialog.h"

namespace {

// Counts dialog showings and answers them as the test says.
struct DialogScript {
    int shown = 0;
    OSErr answer = noErr;
    DialogScript() {
        SetParameterDialogHandler([this](FilterGlobals* globals) {
            ++shown;
            *globals->result = answer;
        });
    }
    ~DialogScript() { SetParameterDialogHandler(nullptr); }
};

bool RectIsEmpty(const Rect& r) { return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0; }

}  // namespace

TEST(SelectorFlow, AFirstRunCreatesTheDefaultsAndASecondRunKeepsThem) {
    DialogScript dialog;
    TestHost host(SmallImage(), HostSettings{});
    RunOutcome first = host.Run(Plugin(), false);
    EXPECT_EQ(first.result, noErr);
    EXPECT_TRUE(first.finished);
    EXPECT_EQ(ParameterVector(host), DefaultParameterVector());
    EXPECT_EQ(dialog.shown, 0);

    // The user's values stay in the host's handle for the next run.
    auto* values = const_cast<int16_t*>(host.ParameterValues());
    values[0] = 77;
    values[12] = 3;
    host.Settings().offerDescriptors = false;
    RunOutcome second = host.Run(Plugin(), false);
    EXPECT_EQ(second.result, noErr);
    EXPECT_EQ(ParameterVector(host)[0], 77);
    EXPECT_EQ(ParameterVector(host)[12], 3);
}

TEST(SelectorFlow, StartRequestsTheFilterRectangleWithAllPlanesAndPadding) {
    HostSettings settings;
    settings.useFilterRect = true;
    settings.filterRect = Rect{1, 2, 5, 7};  // top, left, bottom, right
    TestHost host(SmallImage(8, 6, 16, 3, true), settings);
    ASSERT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    host.Record().supportsPadding = 1;
    ASSERT_EQ(host.Call(Plugin(), filterSelectorStart), noErr);
    const FilterRecord& r = host.Record();
    for (const Rect* rect : {&r.inRect, &r.outRect, &r.maskRect}) {
        EXPECT_EQ(rect->top, 1);
        EXPECT_EQ(rect->left, 2);
        EXPECT_EQ(rect->bottom, 5);
        EXPECT_EQ(rect->right, 7);
    }
    EXPECT_EQ(r.inLoPlane, 0);
    EXPECT_EQ(r.inHiPlane, 3);
    EXPECT_EQ(r.outHiPlane, 3);
    EXPECT_EQ(r.inputPadding, 255);
    EXPECT_EQ(r.outputPadding, 255);
    EXPECT_EQ(r.maskPadding, 255);
    EXPECT_EQ(r.inputRate, 0x10000);
    EXPECT_EQ(r.maskRate, 0x10000);
    EXPECT_EQ(r.supportsPadding, 0);
    EXPECT_EQ(r.bufferSpace, 0);
    EXPECT_EQ(r.maxSpace, 0);
    EXPECT_EQ(host.AdvanceStateCalls(), 1);
    const FilterGlobals* globals = GlobalsOf(host);
    EXPECT_EQ(globals->passRect.top, 0);
    EXPECT_EQ(globals->passRect.left, 0);
    EXPECT_EQ(globals->passRect.bottom, 4);
    EXPECT_EQ(globals->passRect.right, 5);

    ASSERT_EQ(host.Call(Plugin(), filterSelectorContinue), noErr);
    EXPECT_TRUE(RectIsEmpty(r.inRect) && RectIsEmpty(r.outRect) && RectIsEmpty(r.maskRect));
}

TEST(SelectorFlow, TheDialogFollowsParametersOrThePlayModeOfTheDescriptor) {
    struct Case {
        bool descriptors;
        int16_t playInfo;
        bool withParameters;
        int expectedShown;
    } cases[] = {
        {false, 0, false, 0},  // no descriptors: the dialog shows exactly when Parameters ran
        {false, 0, true, 1},
        {true, 0, true, 0},  // "don't display" suppresses it even after Parameters
        {true, 2, true, 0},  // so does "silent"
        {true, 1, false, 1},  // "display" shows it even without Parameters
        {true, 1, true, 1},
    };
    for (const Case& c : cases) {
        DialogScript dialog;
        HostSettings settings;
        settings.offerDescriptors = c.descriptors;
        settings.playInfo = c.playInfo;
        TestHost host(SmallImage(), settings);
        RunOutcome outcome = host.Run(Plugin(), c.withParameters);
        SCOPED_TRACE(::testing::Message() << "descriptors " << c.descriptors << " playInfo " << c.playInfo
                                          << " parameters " << c.withParameters);
        EXPECT_EQ(dialog.shown, c.expectedShown);
        EXPECT_EQ(outcome.result, noErr);
        EXPECT_EQ(GlobalsOf(host)->showDialog, 0) << "Start clears the request once it has shown the dialog";
    }
}

TEST(SelectorFlow, AcceptedDialogFiltersTheFilterRectangleWithinTheWholeImage) {
    DialogScript dialog;
    HostSettings settings;
    settings.offerDescriptors = false;
    settings.useFilterRect = true;
    settings.filterRect = Rect{2, 1, 5, 4};
    TestHost host(SmallImage(), settings);
    ASSERT_EQ(host.Call(Plugin(), filterSelectorParameters), noErr);
    ASSERT_EQ(host.Call(Plugin(), filterSelectorStart), noErr);
    const FilterGlobals* globals = GlobalsOf(host);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(globals->passRect.top, 2);
    EXPECT_EQ(globals->passRect.left, 1);
    EXPECT_EQ(globals->passRect.bottom, 5);
    EXPECT_EQ(globals->passRect.right, 4);
    EXPECT_EQ(host.AdvanceStateCalls(), 1);
}

TEST(SelectorFlow, ACancelledDialogEndsStartWithUserCanceledAndNoRequest) {
    DialogScript dialog;
    dialog.answer = userCanceledErr;
    HostSettings settings;
    settings.playInfo = plugInDialogDisplay;
    TestHost host(SmallImage(), settings);
    RunOutcome outcome = host.Run(Plugin(), true);
    EXPECT_EQ(outcome.startResult, userCanceledErr);
    EXPECT_FALSE(outcome.finished) << "hosts call Finish only after a successful Start";
    const FilterRecord& r = host.Record();
    EXPECT_TRUE(RectIsEmpty(r.inRect) && RectIsEmpty(r.outRect) && RectIsEmpty(r.maskRect));
    EXPECT_EQ(host.AdvanceStateCalls(), 0);
}

TEST(SelectorFlow, AHostWithoutAdvanceStateIsRefused) {
    HostSettings settings;
    settings.offerAdvanceState = false;
    TestHost host(SmallImage(), settings);
    host.Record().inRect = Rect{0, 0, 3, 3};
    host.Record().outRect = Rect{0, 0, 3, 3};
    EXPECT_EQ(host.Call(Plugin(), filterSelectorStart), userCanceledErr);
    const FilterRecord& r = host.Record();
    EXPECT_TRUE(RectIsEmpty(r.inRect) && RectIsEmpty(r.outRect) && RectIsEmpty(r.maskRect));
}

TEST(SelectorFlow, AnAdvanceStateErrorBecomesTheResultAndClearsTheRequest) {
    HostSettings settings;
    settings.advanceStateError = -30900;
    TestHost host(SmallImage(), settings);
    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.startResult, -30900);
    EXPECT_EQ(host.AdvanceStateCalls(), 1);
    const FilterRecord& r = host.Record();
    EXPECT_TRUE(RectIsEmpty(r.inRect) && RectIsEmpty(r.outRect) && RectIsEmpty(r.maskRect));
}

TEST(SelectorFlow, AnEmptyFilterRectangleStillEndsTheContinueLoop) {
    HostSettings settings;
    settings.useFilterRect = true;
    settings.filterRect = Rect{3, 3, 3, 6};
    TestHost host(SmallImage(), settings);
    host.Call(Plugin(), filterSelectorPrepare);
    host.Record().inRect = host.Record().outRect = host.Record().maskRect = Rect{0, 0, 2, 2};
    EXPECT_EQ(host.Call(Plugin(), filterSelectorContinue), noErr);
    const FilterRecord& r = host.Record();
    EXPECT_TRUE(RectIsEmpty(r.inRect) && RectIsEmpty(r.outRect) && RectIsEmpty(r.maskRect));
}

TEST(SelectorFlow, UnknownSelectorsChangeNothing) {
    TestHost host(SmallImage(), HostSettings{});
    const size_t before = PlatformLiveGlobalBlocks();
    EXPECT_EQ(host.Call(Plugin(), 6), filterBadParameters);
    EXPECT_EQ(host.Call(Plugin(), -1), filterBadParameters);
    EXPECT_EQ(host.DataSlot(), 0) << "no globals for an unknown selector";
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before);
    EXPECT_EQ(Handle(host.Record().parameters), nullptr);

    ASSERT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    const intptr_t slot = host.DataSlot();
    host.Record().maxSpace = 1234;
    EXPECT_EQ(host.Call(Plugin(), 6), filterBadParameters);
    EXPECT_EQ(host.DataSlot(), slot);
    EXPECT_EQ(host.Record().maxSpace, 1234);
}

TEST(SelectorFlow, AboutShowsTheBoxAndCreatesNoGlobals) {
    int shown = 0;
    const void* owner = nullptr;
    SetAboutBoxHandler([&](const AboutRecord* about) {
        ++shown;
        owner = about->platformData;
    });
    TestHost host(SmallImage(), HostSettings{});
    const size_t before = PlatformLiveGlobalBlocks();
    EXPECT_EQ(host.About(Plugin()), noErr);
    SetAboutBoxHandler(nullptr);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(owner, static_cast<const void*>(host.Record().platformData));
    EXPECT_EQ(host.DataSlot(), 0);
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before);
}

TEST(SelectorFlow, GlobalsLiveInTheSlotAndAreMadeOnce) {
    TestHost host(SmallImage(4, 4, 8, 1, true), HostSettings{});
    host.Settings().planesIncludeTransparency = false;
    host.Run(Plugin(), false);
    const intptr_t slot = host.DataSlot();
    ASSERT_NE(slot, 0);
    const FilterGlobals* globals = GlobalsOf(host);
    EXPECT_EQ(globals->filterRecord, &host.Record());
    EXPECT_EQ(globals->hasTransparency, 1) << "one colour plane with a transparency mask";
    host.Run(Plugin(), false);
    EXPECT_EQ(host.DataSlot(), slot);
    host.Settings().planesIncludeTransparency = true;  // four planes counted: the flag is off
    host.Run(Plugin(), false);
    EXPECT_EQ(GlobalsOf(host)->hasTransparency, 0);
}

TEST(SelectorFlow, GlobalsThatCannotBeAllocatedFailWithMemFull) {
    TestHost host(SmallImage(), HostSettings{});
    PlatformFailGlobalAllocAfter(0);
    EXPECT_EQ(host.Call(Plugin(), filterSelectorPrepare), memFullErr);
    PlatformFailGlobalAllocAfter(-1);
    EXPECT_EQ(host.DataSlot(), 0);

    // Globals made, parameter block not: Start stops with memFullErr before
    // reading scripts or asking for pixels.
    ASSERT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    DisposeOwnHandle(host.Record().parameters);
    host.Record().parameters = nullptr;
    host.Record().inRect = Rect{0, 0, 2, 2};
    PlatformFailGlobalAllocAfter(0);
    EXPECT_EQ(host.Call(Plugin(), filterSelectorStart), memFullErr);
    PlatformFailGlobalAllocAfter(-1);
    EXPECT_EQ(Handle(host.Record().parameters), nullptr);
    EXPECT_EQ(host.AdvanceStateCalls(), 0);
    EXPECT_EQ(host.Record().inRect.bottom, 0);
}

TEST(SelectorFlow, PremiereSeesWholeSizeEqualToImageSizeFromPrepareOn) {
    ScopedHostKind premiere(HostKindPremiere);
    HostSettings settings;
    settings.setWholeSize = true;
    settings.wholeSize = Point{1000, 2000};
    TestHost host(SmallImage(8, 6), settings);
    EXPECT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    EXPECT_EQ(host.Record().wholeSize.v, 6);
    EXPECT_EQ(host.Record().wholeSize.h, 8);

    ScopedHostKind photoshop(HostKindPhotoshop);
    host.Record().wholeSize = Point{1000, 2000};
    host.Call(Plugin(), filterSelectorPrepare);
    EXPECT_EQ(host.Record().wholeSize.v, 1000);
}

namespace {
int gLockFailures = 0;
Ptr PI_CALL FailingLock(Handle, Boolean) {
    ++gLockFailures;
    return nullptr;
}
}  // namespace

TEST(SelectorFlow, FireworksKeepsClearedGlobalsInAHostHandle) {
    ScopedHostKind fireworks(HostKindFireworks);
    TestHost host(SmallImage(), HostSettings{});
    const size_t blocksBefore = PlatformLiveGlobalBlocks();
    ASSERT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    auto handle = reinterpret_cast<Handle>(host.DataSlot());
    ASSERT_TRUE(host.IsHostHandle(handle)) << "the globals live in a handle from the host's procs";
    auto* globals = reinterpret_cast<FilterGlobals*>(*handle);
    EXPECT_EQ(globals->showDialog, 0);
    EXPECT_EQ(globals->zoomLevel, 0);
    EXPECT_EQ(globals->filterRecord, &host.Record());
    EXPECT_EQ(PlatformLiveGlobalBlocks(), blocksBefore + 2) << "only the parameter block uses global memory";

    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.result, noErr);
    EXPECT_EQ(reinterpret_cast<Handle>(host.DataSlot()), handle);
    EXPECT_EQ(ParameterVector(host), DefaultParameterVector());
}

TEST(SelectorFlow, FireworksClearsAHostBlockThatArrivesWithGarbage) {
    ScopedHostKind fireworks(HostKindFireworks);
    TestHost host(SmallImage(), HostSettings{});
    // The host's first handle of the globals' size arrives dirty.
    Handle dirty = host.NewHandle(sizeof(FilterGlobals));
    std::memset(*dirty, 0xA5, sizeof(FilterGlobals));
    host.DisposeHandle(dirty);
    HandleProcs procs = *host.Record().handleProcs;
    static Handle sDirty;
    static TestHost* sHost;
    sHost = &host;
    procs.newProc = [](int32_t size) -> Handle {
        sDirty = sHost->NewHandle(size);
        std::memset(*sDirty, 0xA5, size_t(size));
        return sDirty;
    };
    host.Record().handleProcs = &procs;
    ASSERT_EQ(host.Call(Plugin(), filterSelectorParameters), noErr);
    auto* globals = reinterpret_cast<FilterGlobals*>(*sDirty);
    EXPECT_EQ(globals->showDialog, 1);
    EXPECT_EQ(globals->zoomLevel, 0);
    EXPECT_EQ(globals->passRect.top, 0);
    EXPECT_EQ(globals->viewCenterV, 0.0);
}

TEST(SelectorFlow, FireworksFailsWithMemFullWhenItsHandleCannotBeLocked) {
    ScopedHostKind fireworks(HostKindFireworks);
    TestHost host(SmallImage(), HostSettings{});
    HandleProcs procs = *host.Record().handleProcs;
    procs.lockProc = FailingLock;
    host.Record().handleProcs = &procs;
    gLockFailures = 0;
    // With a failing lock the procs are still complete, so they are used, and fail.
    EXPECT_EQ(host.Call(Plugin(), filterSelectorPrepare), memFullErr);
    EXPECT_EQ(gLockFailures, 1);
    EXPECT_EQ(host.DataSlot(), 0);
    EXPECT_EQ(host.LiveHostHandles(), 0u) << "the handle that could not be locked was disposed of";

    // Without usable host procs the plug-in's own handles carry the globals.
    host.Record().handleProcs = nullptr;
    EXPECT_EQ(host.Call(Plugin(), filterSelectorPrepare), noErr);
    auto handle = reinterpret_cast<Handle>(host.DataSlot());
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(IsPluginOwnHandle(handle));
    DisposeOwnHandle(handle);
    host.SetDataSlot(0);
}

TEST(SloppyHosts, StartRefusesAPlaneCountItCannotRender) {
    for (int16_t planes : {int16_t(0), int16_t(-3)}) {
        for (bool dialog : {false, true}) {
            HostSettings settings;
            settings.reportPlanes = planes;
            settings.playInfo = dialog ? plugInDialogDisplay : plugInDialogDontDisplay;
            DialogScript script;
            TestHost host(SmallImage(), settings);
            const RunOutcome outcome = host.Run(Plugin(), dialog);
            EXPECT_EQ(outcome.startResult, filterBadMode) << planes;
            EXPECT_EQ(script.shown, 0) << "no dialog for an image without planes";
            EXPECT_TRUE(RectIsEmpty(host.Record().inRect));
            EXPECT_EQ(host.AdvanceStateCalls(), 0);
        }
    }
}

TEST(SloppyHosts, AParameterHandleShorterThanTheBlockIsReplacedByTheDefaults) {
    HostSettings settings;
    settings.offerDescriptors = false;
    HostImage image = SmallImage(9, 1, 8, 1);
    image.SetSamples(std::vector<uint16_t>(9, 0));
    image.Set(0, 4, 0, 255);
    TestHost host(image, settings);
    Handle cut = host.NewHandle(10);  // five of the thirteen values
    std::memset(*cut, 0x7F, 10);
    host.Record().parameters = cut;
    const size_t handlesBefore = host.LiveHostHandles();
    const RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.result, noErr);
    const Handle replaced = host.Record().parameters;  // read off the packed record first
    EXPECT_NE(replaced, cut);
    EXPECT_EQ(ParameterVector(host), DefaultParameterVector());
    EXPECT_EQ(host.LiveHostHandles(), handlesBefore - 1) << "the short handle went back through the host's procs";
    EXPECT_EQ(host.Image().At(0, 3, 0), 255) << "rendered with the defaults";

    // Read through scripting too: the values land in the new block, not past the old one.
    TestHost scripted(image, HostSettings{});
    Handle shortBlock = scripted.NewHandle(4);
    scripted.Record().parameters = shortBlock;
    scripted.SetScriptValues({ScriptValue{FourCC("SPDp"), typeInteger, 60, 0}});
    EXPECT_EQ(scripted.Run(Plugin(), false).result, noErr);
    EXPECT_EQ(ParameterVector(scripted)[12], 60);
}
