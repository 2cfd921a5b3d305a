// A sloppy host driving PluginMain: images of 1 to 10 planes at 8 or 16 bits,
// odd filter rectangles, selection masks, missing or broken callbacks and
// suites, failing advanceState, descriptors with any keys, types and values,
// any selector in any order, and the dialog played through its portable
// rules (sliders, typing, radio buttons, zoom, pan, OK, Cancel, close).
// Every buffer the host hands over is allocated at exactly its size; the host
// lies about a size only through the runner's named quirks. Each input starts
// from a real host's habits (tests/host_profiles.h), and any handle proc given
// a handle its host did not make stops the fuzzer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "interface/result_codes.h"
#include "passes/filter_pass.h"
#include "tests/emulated_system/platform_testing.h"
#include "plugin/plugin_main.h"
#include "tests/fake_dialog.h"
#include "tests/host_profiles.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"
#include "tests/emulated_system/native_ui.h"

namespace {

HostImage FuzzedImage(FuzzedDataProvider& in) {
    const int colorPlanes = in.ConsumeIntegralInRange(1, 10);
    const bool transparency = in.ConsumeBool();
    const int depth = in.ConsumeBool() ? 16 : 8;
    const int32_t width = in.ConsumeIntegralInRange(1, 40), height = in.ConsumeIntegralInRange(1, 40);
    HostImage image = MakeHostImage(width, height, depth, colorPlanes, transparency);
    const uint16_t full = image.FullScale();
    const int brightShare = in.ConsumeIntegralInRange(0, 100);
    const uint32_t seed = in.ConsumeIntegral<uint32_t>();
    uint32_t state = seed | 1;
    for (size_t i = 0; i < image.SampleCount(); ++i) {
        state = state * 1664525u + 1013904223u;
        const bool bright = int(state >> 25) % 100 < brightShare;
        // Samples above the interface's full scale arrive from sloppy 16-bit hosts too.
        image.SetSample(i, bright ? uint16_t(full - (state >> 29)) : uint16_t((state >> 16) % (full + (depth == 16 ? 2000 : 1))));
    }
    if (in.ConsumeBool()) {
        image.selection.resize(size_t(width) * size_t(height));
        for (uint8_t& value : image.selection) value = in.ConsumeIntegral<uint8_t>();
    }
    return image;
}

HostSettings FuzzedSettings(FuzzedDataProvider& in, const HostImage& image, int* abortAt) {
    const std::vector<HostProfileInfo>& profiles = HostProfiles();
    HostSettings s = ProfileSettings(profiles[in.ConsumeIntegralInRange<size_t>(0, profiles.size() - 1)].profile);
    s.offerHandleProcs = s.offerHandleProcs && in.ConsumeProbability<float>() > 0.2f;
    s.offerDescriptors = s.offerDescriptors && in.ConsumeBool();
    s.offerAdvanceState = in.ConsumeProbability<float>() > 0.05f;
    s.offerAbortProc = in.ConsumeBool();
    s.offerProgressProc = in.ConsumeBool();
    s.offerDisplayPixels = in.ConsumeBool();
    s.setColumnBytes = in.ConsumeBool();
    s.planesIncludeTransparency = in.ConsumeBool();
    s.playInfo = in.ConsumeIntegralInRange<int16_t>(-1, 3);
    s.useFilterRect = in.ConsumeBool();
    auto coordinate = [&](int32_t limit) { return int16_t(in.ConsumeIntegralInRange<int32_t>(-4, limit + 4)); };
    s.filterRect = Rect{coordinate(image.height), coordinate(image.width), coordinate(image.height),
                        coordinate(image.width)};
    s.setWholeSize = in.ConsumeBool();
    s.wholeSize = Point{int16_t(in.ConsumeIntegralInRange(0, 200)), int16_t(in.ConsumeIntegralInRange(0, 200))};
    const OSErr errors[] = {noErr, noErr, noErr, paramErr, memFullErr, userCanceledErr, -30900};
    s.advanceStateError = in.PickValueInArray(errors);
    s.nullReadToken = in.ConsumeBool();
    s.overrideCloseResult = in.ConsumeBool();
    s.closeResult = in.PickValueInArray(errors);
    // Named quirks of sloppy hosts.
    s.deliverRowsShort = in.ConsumeProbability<float>() < 0.15f ? in.ConsumeIntegralInRange<int16_t>(1, 6) : 0;
    s.reportPlanes = in.ConsumeProbability<float>() < 0.1f ? in.ConsumeIntegralInRange<int16_t>(-2, 12) : -1;
    *abortAt = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 60) : -1;
    return s;
}

std::vector<ScriptValue> FuzzedDescriptor(FuzzedDataProvider& in) {
    std::vector<ScriptValue> values;
    const int count = in.ConsumeIntegralInRange(0, 16);
    for (int i = 0; i < count; ++i) {
        ScriptValue value;
        value.key = in.ConsumeBool() ? kParameterTable[in.ConsumeIntegralInRange(0, kParameterCount - 1)].key
                                     : in.ConsumeIntegral<uint32_t>();
        const DescriptorTypeID types[] = {typeInteger, typeEnumerated, FourCC("doub"), in.ConsumeIntegral<uint32_t>()};
        value.type = in.PickValueInArray(types);
        value.value = in.ConsumeIntegral<int32_t>();
        if (value.type == typeEnumerated && in.ConsumeBool())
            value.value = int32_t(kThresholdTypeTable[in.ConsumeIntegralInRange(0, kThresholdTypeCount - 1)].enumerator);
        value.enumType = in.ConsumeBool() ? kThresholdTypeEnum : in.ConsumeIntegral<uint32_t>();
        values.push_back(value);
    }
    return values;
}

// The user at the dialog, one action after another.
void PlayDialog(FuzzedDataProvider& in, FilterGlobals* globals) {
    FakeDialog dialog;
    std::vector<std::function<void(FakeDialog&)>> actions;
    const int count = in.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count; ++i) {
        const int kind = in.ConsumeIntegralInRange(0, 9);
        const ParameterInfo& info = kParameterTable[in.ConsumeIntegralInRange(0, kParameterCount - 1)];
        const int number = in.ConsumeIntegralInRange(-40, 400);
        const std::string text = in.ConsumeRandomLengthString(8);
        const int16_t x = in.ConsumeIntegralInRange<int16_t>(-50, 150), y = in.ConsumeIntegralInRange<int16_t>(-50, 150);
        const int radio = in.ConsumeIntegralInRange(0, kThresholdTypeCount - 1);
        actions.push_back([=](FakeDialog& d) {
            switch (kind) {
                case 0: if (info.sliderId) d.MoveSlider(info.sliderId, number); break;
                case 1: if (info.editId) d.Type(info.editId, text); break;
                case 2: d.Click(kThresholdTypeTable[radio].radioId); break;
                case 3: d.Click(number % 2 ? kZoomInButton : kZoomOutButton); break;
                case 4: d.Pane(WM_LBUTTONDOWN, x, y); break;
                case 5: d.Pane(WM_MOUSEMOVE, x, y); break;
                case 6: d.Pane(WM_LBUTTONUP, x, y); break;
                case 7: d.Step(); break;
                case 8: d.Click(kCancelButton); break;
                default: d.Close(); break;
            }
        });
    }
    const int ending = in.ConsumeIntegralInRange(0, 2);
    actions.push_back([ending](FakeDialog& d) {
        if (ending == 0) d.Click(kOkButton);
        if (ending == 1) d.Click(kCancelButton);
        if (ending == 2) d.Close();
    });
    dialog.Run(globals, actions);
    // A modal dialog always ends: the user closes what the actions left open.
    for (int attempt = 0; attempt < 4 && !dialog.ended; ++attempt) {
        dialog.Close();
        dialog.Drain();
    }
}

// One host, playing the input's selector sequence.
void PlayHost(FuzzedDataProvider& in, const HostImage& image) {
    int abortAt = -1, abortCalls = 0;
    HostSettings settings = FuzzedSettings(in, image, &abortAt);
    settings.onAbort = [&] { return ++abortCalls == abortAt; };
    TestHost host(image, settings);
    SetParameterDialogHandler([&in](FilterGlobals* globals) { PlayDialog(in, globals); });
    SetAboutBoxHandler([](const AboutRecord*) {});
    SetAlertHandler([](const char*) { return 1; });

    const int steps = in.ConsumeIntegralInRange(1, 5);
    for (int step = 0; step < steps && in.remaining_bytes() > 0; ++step) {
        if (in.ConsumeBool()) host.SetScriptValues(FuzzedDescriptor(in));
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: host.Run(Plugin(), in.ConsumeBool()); break;
            case 1: host.Call(Plugin(), in.ConsumeIntegralInRange<int16_t>(-2, 8)); break;
            case 2: host.About(Plugin()); break;
            default: host.Reset(); break;
        }
    }
    SetParameterDialogHandler(nullptr);
    SetAboutBoxHandler(nullptr);
    SetAlertHandler(nullptr);
    PlatformClearMessageQueue();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TestHost::SetForeignHandleObserver([](const char* proc) {
        std::fprintf(stderr, "the host's %s was given a handle the host did not make\n", proc);
        __builtin_trap();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t kinds[] = {HostKindOther, HostKindFireworks, HostKindPhotoshop, HostKindPremiere,
                             HostKindAfterEffects};
    ScopedHostKind kind(in.PickValueInArray(kinds));
    // Two values that once chose the render's path and threads, read and
    // dropped so that the stored inputs keep their meaning: a host's plug-in
    // always renders by its own choice.
    in.ConsumeIntegral<uint8_t>();
    in.ConsumeIntegralInRange(1, 3);
    ProcessFullWidthReference() = FullWidthReference{};

    const HostImage image = FuzzedImage(in);
    PlayHost(in, image);
    // The next input starts as a new process would: the plug-in's globals,
    // which a host keeps for the life of the process, go now.
    PlatformFreeAllGlobalBlocks();
    return 0;
}
