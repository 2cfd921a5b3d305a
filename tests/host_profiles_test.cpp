// The plug-in in real hosts' habits: each profile runs twice in one process,
// with and without the dialog, against the reference render, and no handle
// proc ever sees a handle its host did not make.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "host_services/filter_globals.h"
#include "host_services/handle_services.h"
#include "core/parameter_table.h"
#include "host_services/parameter_block.h"
#include "interface/result_codes.h"
#include "passes/filter_pass.h"
#include "platform/win32.h"
#include "tests/emulated_host/recorded_parameters.h"
#include "tests/fake_dialog.h"
#include "tests/host_profiles.h"
#include "tests/test_support.h"
#include "ui/dialog_ids.h"
#include "tests/emulated_system/native_ui.h"

namespace {

HostImage StarField() {
    HostImage image = MakeHostImage(40, 28, 8, 3, false);
    for (int32_t r = 0; r < image.height; ++r)
        for (int32_t c = 0; c < image.width; ++c)
            for (int p = 0; p < 3; ++p) image.Set(r, c, p, uint16_t((r * 5 + c * 3 + p * 30) % 120));
    const int32_t stars[][2] = {{3, 4}, {14, 20}, {25, 37}, {9, 31}};
    for (const auto& star : stars)
        for (int p = 0; p < 3; ++p) image.Set(star[0], star[1], p, 255);
    return image;
}

// The same image filtered with these values in a host that does everything
// as Photoshop does.
HostImage ReferenceResult(const HostImage& image, const FilterParameters& values) {
    TestHost host(image, HostSettings{});
    host.SetScriptValues(RecordedParameters(values));
    const RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.result, noErr);
    return host.Image();
}

size_t DifferingSamples(const HostImage& a, const HostImage& b) {
    if (a.SampleCount() != b.SampleCount()) return size_t(-1);
    size_t differing = 0;
    for (size_t i = 0; i < a.SampleCount(); ++i) differing += a.Sample(i) != b.Sample(i);
    return differing;
}

FilterParameters Defaults() {
    FilterParameters values{};
    SetDefaultParameters(&values);
    return values;
}

// The user at the real dialog's rules: the first showing types an angle of 30
// and four rays, later showings accept what they show.
struct User {
    int shown = 0;
    std::thread::id thread;
    FilterParameters seen{};
    User() {
        SetParameterDialogHandler([this](FilterGlobals* globals) {
            thread = std::this_thread::get_id();
            const FilterParameters* block = ParameterBlock(globals->filterRecord);
            ASSERT_NE(block, nullptr);
            seen = *block;
            std::vector<std::function<void(FakeDialog&)>> actions;
            if (++shown == 1)
                actions.push_back([](FakeDialog& d) {
                    d.Type(EditOf(&FilterParameters::angle), "30");
                    d.Type(EditOf(&FilterParameters::lineType), "4");
                });
            actions.push_back([](FakeDialog& d) { d.Click(kOkButton); });
            FakeDialog dialog;
            dialog.Run(globals, actions);
        });
    }
    ~User() {
        SetParameterDialogHandler(nullptr);
        PlatformClearMessageQueue();
    }
};

class HostProfileRuns : public ::testing::TestWithParam<HostProfileInfo> {};

}  // namespace

TEST_P(HostProfileRuns, TwoRunsWithAndWithoutTheDialogEqualTheReferenceAndKeepParametersWhereTheHostDoes) {
    const HostProfileInfo& info = GetParam();
    User user;
    const HostImage image = StarField();
    HostSettings settings = ProfileSettings(info.profile);
    settings.playInfo = plugInDialogDisplay;
    TestHost host(image, settings);

    const RunOutcome first = host.Run(Plugin(), true);
    ASSERT_EQ(first.result, noErr);
    ASSERT_EQ(user.shown, 1);
    EXPECT_EQ(user.seen.angle, Defaults().angle) << "a first run starts from the defaults";
    FilterParameters edited = Defaults();
    edited.angle = 30;
    edited.lineType = 4;
    EXPECT_EQ(DifferingSamples(host.Image(), ReferenceResult(image, edited)), 0u);
    if (settings.selectorsOnWorkerThread) {
        EXPECT_NE(user.thread, std::this_thread::get_id());
    }

    // A repeat: the filter again on the same image, no dialog asked for.
    host.MutableImage() = image;
    host.Settings().playInfo = plugInDialogDontDisplay;
    const RunOutcome second = host.Run(Plugin(), !info.repeatSkipsParameters);
    ASSERT_EQ(second.result, noErr);
    const FilterParameters expected = info.parametersPersist ? edited : Defaults();
    EXPECT_EQ(DifferingSamples(host.Image(), ReferenceResult(image, expected)), 0u);
    if (info.repeatSkipsParameters) {
        EXPECT_EQ(user.shown, 1) << "no dialog on a repeat";
    } else {
        EXPECT_EQ(user.seen.angle, expected.angle) << "the dialog shows what the host kept";
    }
    EXPECT_EQ(ParameterVector(host)[3], expected.angle);
    EXPECT_TRUE(host.ForeignHandleCalls().empty()) << host.ForeignHandleCalls().front();
}

INSTANTIATE_TEST_SUITE_P(RealHosts, HostProfileRuns, ::testing::ValuesIn(HostProfiles()),
                         [](const ::testing::TestParamInfo<HostProfileInfo>& param) {
                             std::string name;
                             for (const char* c = param.param.name; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

TEST(PspiHost, NeverSizesOrFreesThePluginsOwnBlockThroughTheHost) {
    // The regression: asked for the size of the plug-in's own record, this host
    // answers the record's 12 bytes, and frees it when asked to dispose of it.
    HostSettings settings = ProfileSettings(HostProfile::PspiHost);
    settings.nullParametersEachRun = false;  // the block reaches every selector of both runs
    TestHost host(StarField(), settings);
    for (int run = 0; run < 2; ++run) {
        const RunOutcome outcome = host.Run(Plugin(), false);
        EXPECT_EQ(outcome.result, noErr) << "run " << run;
    }
    EXPECT_TRUE(IsPluginOwnHandle(host.Record().parameters));
    EXPECT_TRUE(host.ForeignHandleCalls().empty());
}

TEST(SilentHosts, ThePluginsOwnAlertSaysWhatWentWrong) {
    for (HostProfile profile : {HostProfile::SilentHost, HostProfile::Affinity, HostProfile::Photoshop}) {
        std::vector<std::string> alerts;
        SetAlertHandler([&alerts](const char* text) {
            alerts.push_back(text);
            return 1;
        });
        HostSettings settings = ProfileSettings(profile);
        settings.advanceStateError = memFullErr;
        TestHost host(StarField(), settings);
        const HostImage before = host.Image();
        const RunOutcome outcome = host.Run(Plugin(), false);
        SetAlertHandler(nullptr);
        EXPECT_EQ(outcome.startResult, memFullErr);
        EXPECT_EQ(DifferingSamples(host.Image(), before), 0u) << "nothing filtered";
        if (profile == HostProfile::Photoshop) {
            EXPECT_TRUE(alerts.empty()) << "Photoshop reports the code itself";
            continue;
        }
        ASSERT_EQ(alerts.size(), 1u) << ProfileInfo(profile).name;
        EXPECT_NE(alerts[0].find("not enough memory"), std::string::npos) << alerts[0];
        EXPECT_NE(alerts[0].find("-108"), std::string::npos) << alerts[0];
    }

    // A cancel is the user's own doing: no alert.
    int shown = 0;
    SetAlertHandler([&shown](const char*) { return ++shown; });
    HostSettings settings = ProfileSettings(HostProfile::SilentHost);
    settings.onAbort = [] { return true; };
    TestHost host(StarField(), settings);
    EXPECT_EQ(host.Run(Plugin(), false).result, userCanceledErr);
    SetAlertHandler(nullptr);
    EXPECT_EQ(shown, 0);
}

namespace {
int gHostProcCalls = 0;
Handle PI_CALL RefusingNew(int32_t) { return ++gHostProcCalls, nullptr; }
void PI_CALL RefusingDispose(Handle) { ++gHostProcCalls; }
int32_t PI_CALL RecordSize(Handle) { return ++gHostProcCalls, int32_t(sizeof(void*) + 4); }
OSErr PI_CALL RefusingSetSize(Handle, int32_t) { return ++gHostProcCalls, nilHandleErr; }
Ptr PI_CALL RefusingLock(Handle, Boolean) { return ++gHostProcCalls, nullptr; }
void PI_CALL RefusingUnlock(Handle) { ++gHostProcCalls; }
}  // namespace

TEST(HandleOrigin, OwnHandlesAreServedByThePluginAndHostHandlesByTheHost) {
    HandleProcs procs{};
    procs.handleProcsVersion = 1;
    procs.numHandleProcs = 8;
    procs.newProc = RefusingNew;
    procs.disposeProc = RefusingDispose;
    procs.getSizeProc = RecordSize;
    procs.setSizeProc = RefusingSetSize;
    procs.lockProc = RefusingLock;
    procs.unlockProc = RefusingUnlock;
    FilterRecord record{};
    record.handleProcs = &procs;
    gHostProcCalls = 0;

    Handle own = NewOwnHandle(26);
    ASSERT_TRUE(IsOwnHandle(own));
    EXPECT_EQ(PIHandleSize(&record, own), 26);
    EXPECT_EQ(LockPIHandle(&record, own, true), *own);
    UnlockPIHandle(&record, own);
    record.parameters = own;
    EXPECT_FALSE(ParameterHandleTooShort(&record));
    EXPECT_NE(ParameterBlock(&record), nullptr);
    EXPECT_TRUE(DisposePIHandle(&record, own));
    EXPECT_EQ(gHostProcCalls, 0) << "no host proc saw the plug-in's own handle";

    // A host's handle goes to the host, whatever it answers.
    char* master = new char[32]();
    Handle hosts = &master;
    EXPECT_FALSE(IsOwnHandle(hosts));
    EXPECT_EQ(PIHandleSize(&record, hosts), int32_t(sizeof(void*) + 4));
    record.parameters = hosts;
    EXPECT_TRUE(ParameterHandleTooShort(&record)) << "a host block under 26 bytes is never read";
    EXPECT_EQ(ParameterBlock(&record), nullptr);
    EXPECT_EQ(LockPIHandle(&record, hosts, true), nullptr);
    EXPECT_TRUE(DisposePIHandle(&record, hosts));
    EXPECT_EQ(gHostProcCalls, 5) << "size three times (directly, for the short check, for the block), lock, dispose";
    delete[] master;
}

TEST(HandleOrigin, ARecordKeptFromAnEarlierLoadIsKnownByItsFormatAndLookalikesAreNot) {
    // What an earlier load of the library left in a host: a record of global
    // memory, a pointer to a global block and the tag, unknown to this load.
    auto record = [](size_t recordSize, OSType tag, bool globalBlock) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, recordSize);
        auto* address = static_cast<char*>(GlobalLock(memory));
        void* data = globalBlock ? GlobalLock(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 26)) : std::malloc(26);
        std::memcpy(address, &data, sizeof data);
        std::memcpy(address + sizeof(void*), &tag, sizeof tag);
        return reinterpret_cast<Handle>(address);
    };
    auto release = [](Handle handle, bool globalBlock) {
        if (globalBlock) GlobalFree(GlobalHandle(*handle));
        else std::free(*handle);
        GlobalFree(GlobalHandle(handle));
    };
    const size_t size = sizeof(void*) + 4;
    Handle earlier = record(size, kOwnHandleTag, true);
    EXPECT_TRUE(IsOwnHandle(earlier));
    FilterRecord host{};
    EXPECT_EQ(PIHandleSize(&host, earlier), 26);
    EXPECT_TRUE(DisposePIHandle(&host, earlier)) << "freed by the plug-in, even without host procs";

    Handle otherTag = record(size, FourCC("8BIM"), true);
    Handle longer = record(size + 8, kOwnHandleTag, true);
    Handle foreignBlock = record(size, kOwnHandleTag, false);
    EXPECT_FALSE(IsOwnHandle(otherTag));
    EXPECT_FALSE(IsOwnHandle(longer));
    EXPECT_FALSE(IsOwnHandle(foreignBlock));
    release(otherTag, true);
    release(longer, true);
    release(foreignBlock, false);
}
