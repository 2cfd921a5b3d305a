// Reading and writing the parameters through the host's scripting descriptors.
#include <gtest/gtest.h>

#include "host_services/filter_globals.h"
#include "core/parameter_table.h"
#include "host_services/script_parameters.h"
#include "interface/result_codes.h"
#include "tests/test_support.h"

namespace {

ScriptValue Integer(const char (&key)[5], int32_t value) { return ScriptValue{FourCC(key), typeInteger, value, 0}; }
ScriptValue Enumerated(const char (&key)[5], const char (&value)[5]) {
    return ScriptValue{FourCC(key), typeEnumerated, int32_t(FourCC(value)), FourCC("Thty")};
}

// A host that has run once, so that its parameter block holds the defaults.
struct ScriptedHost {
    TestHost host;
    explicit ScriptedHost(HostSettings settings = {}) : host(SmallImage(), settings) {
        host.Settings().offerDescriptors = false;
        host.Run(Plugin(), false);
        host.Settings().offerDescriptors = true;
    }
};

}  // namespace

TEST(ScriptRead, ADescriptorWithOnlyTheAngleChangesOnlyTheAngle) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    host.SetScriptValues({Integer("Angl", 45)});
    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.startResult, noErr) << "keys missing from the descriptor are not an error";
    std::vector<int16_t> expected = DefaultParameterVector();
    expected[3] = 45;
    EXPECT_EQ(ParameterVector(host), expected);
}

TEST(ScriptRead, IntegersKeepTheirLow16BitsAndEnumeratorsMapToTypes) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    host.SetScriptValues({Integer("Brgh", 70000), Integer("Thsh", -1), Integer("Lnty", 65536 + 9),
                          Enumerated("Thty", "TWrg"), Integer("Zzzz", 5), Integer("SPDp", -40000)});
    host.Run(Plugin(), false);
    std::vector<int16_t> values = ParameterVector(host);
    EXPECT_EQ(values[0], 4464);
    EXPECT_EQ(values[1], -1);
    EXPECT_EQ(values[4], 9);
    EXPECT_EQ(values[2], WeightedAverage);
    EXPECT_EQ(values[12], int16_t(-40000 & 0xFFFF));

    const struct {
        ScriptValue value;
        int16_t expected;
    } enumerators[] = {{Enumerated("Thty", "TPla"), 0},
                       {Enumerated("Thty", "TPrg"), 1},
                       {Enumerated("Thty", "TWrg"), 2},
                       {Enumerated("Thty", "Xxxx"), 0},
                       {Enumerated("Thty", "tprg"), 0}};
    for (const auto& e : enumerators) {
        const_cast<int16_t*>(host.ParameterValues())[2] = 1;
        host.SetScriptValues({e.value});
        host.Run(Plugin(), false);
        EXPECT_EQ(ParameterVector(host)[2], e.expected) << std::hex << e.value.value;
    }
}

TEST(ScriptRead, TheCloseResultIsStoredUnlessKeysWereMerelyMissing) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    host.Settings().overrideCloseResult = true;
    host.Settings().closeResult = errMissingParameter;
    host.SetScriptValues({Integer("Brgh", 10)});
    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.startResult, noErr);
    EXPECT_EQ(ParameterVector(host)[0], 10);

    // Any other close error is the result until a later step of Start replaces it.
    FilterGlobals globals{};
    int16_t result = noErr;
    globals.result = &result;
    globals.filterRecord = &host.Record();
    host.Settings().closeResult = paramErr;
    host.Reset();
    host.SetScriptValues({Integer("Brgh", 11)});
    host.Serve([&] { ReadScriptParameters(&globals); });
    EXPECT_EQ(result, paramErr);
    EXPECT_EQ(ParameterVector(host)[0], 11);

    host.SetScriptValues({Integer("Brgh", 12)});
    outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.startResult, noErr) << "advanceState's result replaces the close error";
}

TEST(ScriptRead, ANullReadTokenStillSetsShowDialogFromThePlayMode) {
    for (int16_t playInfo : {0, 1, 2}) {
        ScriptedHost scripted;
        TestHost& host = scripted.host;
        host.Settings().nullReadToken = true;
        host.Settings().playInfo = playInfo;
        host.Reset();
        host.SetScriptValues({Integer("Brgh", 99)});
        host.Call(Plugin(), filterSelectorPrepare);
        GlobalsOf(host)->showDialog = 1 - (playInfo == 1);
        FilterGlobals* globals = GlobalsOf(host);
        host.Serve([&] { ReadScriptParameters(globals); });
        EXPECT_EQ(globals->showDialog, playInfo == 1 ? 1 : 0) << "playInfo " << playInfo;
        EXPECT_EQ(ParameterVector(host)[0], 50);
        EXPECT_TRUE(host.HasDescriptor()) << "nothing was read, so nothing was disposed of";
    }
}

TEST(ScriptRead, TheHostsDescriptorIsDisposedOfOnlyThroughTheHostsProcs) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    host.Reset();
    host.SetScriptValues({Integer("Angl", 30)});
    const size_t handles = host.LiveHostHandles();
    host.Call(Plugin(), filterSelectorStart);
    EXPECT_FALSE(host.HasDescriptor());
    EXPECT_EQ(host.LiveHostHandles(), handles - 1) << "disposed of through the host's dispose proc";

    // Without usable handle procs the plug-in has no right way to free the host's
    // handle: it leaves it to the host rather than freeing foreign memory.
    host.Settings().offerHandleProcs = false;
    host.SetScriptValues({Integer("Angl", 31)});
    const size_t handlesNow = host.LiveHostHandles();
    host.Run(Plugin(), false);
    EXPECT_EQ(ParameterVector(host)[3], 31);
    EXPECT_TRUE(host.ForeignHandleCalls().empty());
    EXPECT_GE(host.LiveHostHandles(), handlesNow) << "the host's descriptor handle was not freed by the plug-in";
}

TEST(ScriptWrite, FinishRecordsAllThirteenInOrder) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    auto* values = const_cast<int16_t*>(host.ParameterValues());
    values[0] = -5;  // goes out sign-extended
    values[2] = 5;   // no enumerator: recorded as 0
    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.finishResult, noErr);
    std::vector<ScriptValue> recorded = host.ScriptValues();
    ASSERT_EQ(recorded.size(), 13u);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(recorded[size_t(i)].key, kParameterTable[i].key) << i;
        EXPECT_EQ(recorded[size_t(i)].type, i == 2 ? typeEnumerated : typeInteger) << i;
    }
    EXPECT_EQ(recorded[0].value, -5);
    EXPECT_EQ(recorded[1].value, 250);
    EXPECT_EQ(recorded[2].value, 0);
    EXPECT_EQ(recorded[2].enumType, FourCC("Thty"));
    EXPECT_EQ(recorded[12].value, 20);

    values[2] = 1;
    host.Run(Plugin(), false);
    EXPECT_EQ(uint32_t(host.ScriptValues()[2].value), FourCC("TPrg"));
    EXPECT_EQ(host.Record().descriptorParameters->recordInfo, plugInDialogOptional);
}

TEST(ScriptWrite, ARecordedRunReplaysIntoAFreshHost) {
    ScriptedHost recording;
    auto* values = const_cast<int16_t*>(recording.host.ParameterValues());
    for (int i = 0; i < 13; ++i) values[i] = int16_t(i * 3 + 1);
    values[2] = 2;
    recording.host.Run(Plugin(), false);
    std::vector<ScriptValue> recorded = recording.host.ScriptValues();

    TestHost replaying(SmallImage(), HostSettings{});
    replaying.SetScriptValues(recorded);
    replaying.Run(Plugin(), false);
    EXPECT_EQ(ParameterVector(replaying), ParameterVector(recording.host));
}

TEST(DescriptorsAvailable, RequiresVersionsCountsAndEveryReadProc) {
    TestHost host(SmallImage(), HostSettings{});
    PIDescriptorParameters* d = host.Record().descriptorParameters;
    ASSERT_TRUE(DescriptorsAvailable(d));
    EXPECT_FALSE(DescriptorsAvailable(nullptr));

    auto check = [&](auto spoil) {
        PIDescriptorParameters copy = *d;
        ReadDescriptorProcs read = *d->readDescriptorProcs;
        WriteDescriptorProcs write = *d->writeDescriptorProcs;
        copy.readDescriptorProcs = &read;
        copy.writeDescriptorProcs = &write;
        spoil(copy, read, write);
        return DescriptorsAvailable(&copy);
    };
    EXPECT_FALSE(check([](auto& c, auto&, auto&) { c.descriptorParametersVersion = 1; }));
    EXPECT_FALSE(check([](auto& c, auto&, auto&) { c.readDescriptorProcs = nullptr; }));
    EXPECT_FALSE(check([](auto& c, auto&, auto&) { c.writeDescriptorProcs = nullptr; }));
    EXPECT_FALSE(check([](auto&, auto& r, auto&) { r.readDescriptorProcsVersion = 1; }));
    EXPECT_FALSE(check([](auto&, auto& r, auto&) { r.numReadDescriptorProcs = 17; }));
    EXPECT_FALSE(check([](auto&, auto&, auto& w) { w.writeDescriptorProcsVersion = 1; }));
    EXPECT_FALSE(check([](auto&, auto&, auto& w) { w.numWriteDescriptorProcs = 15; }));
    EXPECT_FALSE(check([](auto&, auto& r, auto&) { r.getPinnedUnitFloatProc = nullptr; }));
    EXPECT_FALSE(check([](auto&, auto& r, auto&) { r.getStringProc = nullptr; }));
    EXPECT_TRUE(check([](auto&, auto&, auto& w) { w.putFloatProc = nullptr; }))
        << "the write procs are not tested one by one";
}

TEST(ScriptWrite, MissingWriteProcsThatWouldBeCalledSkipRecording) {
    ScriptedHost scripted;
    TestHost& host = scripted.host;
    host.Reset();
    WriteDescriptorProcs write = *host.Record().descriptorParameters->writeDescriptorProcs;
    write.putEnumeratedProc = nullptr;
    host.Call(Plugin(), filterSelectorPrepare);
    host.Record().descriptorParameters->writeDescriptorProcs = &write;
    EXPECT_EQ(host.Call(Plugin(), filterSelectorFinish), noErr);
    EXPECT_FALSE(host.HasDescriptor());
}
