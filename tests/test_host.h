// The tests' host: the runner's host (runner/filter_host.h) with real hosts'
// habits, sloppy hosts' quirks and a record of every callback, for the tests,
// the fuzzing host and the Windows test hosts. Every handle proc call with a
// handle the host did not make is recorded, and reported to an observer that
// fails the running test.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/emulated_host/filter_host.h"

struct HostSettings : FilterHostSettings {
    // Habits of real hosts (tests/host_profiles.h puts them together by host).
    OSType hostSignature = FourCC("8BIM");
    intptr_t ownerWindow = 0;              // platformData's host window
    bool zeroHandleSuiteVersion = false;   // handle procs present, version and count 0
    // getSizeProc answers 0 for the host's own handles and GlobalSize(handle)
    // for any other; disposeProc frees any other handle with GlobalFree.
    bool globalSizeForForeignHandles = false;
    bool disposeFreesForeignHandles = false;
    bool nullParametersEachRun = false;    // nothing persists: parameters null at every run
    bool zeroSizesAtParameters = false;    // imageSize, filterRect, planes and imageMode 0 at Parameters
    bool rebuildParametersBetweenRuns = false;  // the block's bytes copied into a fresh host handle
    bool selectorsOnWorkerThread = false;  // each selector on a thread of its own
    bool ignoreResultCodes = false;        // errors are not shown and do not stop the run
    bool nullDescriptorProcTables = false; // descriptorParameters offered with null read and write procs
    // Quirks of sloppy hosts, for tests of the plug-in's defences.
    int16_t deliverRowsShort = 0;         // delivers this many rows fewer than asked, and says so in the rectangles
    int16_t reportPlanes = -1;            // reports this plane count instead of the image's (-1: the image's)
    bool nullReadToken = false;           // openReadDescriptorProc answers null
    bool overrideCloseResult = false;     // closeReadDescriptorProc answers closeResult
    OSErr closeResult = 0;
};

struct ProgressCall {
    int32_t done;
    int32_t total;
};

struct DisplayPixelsCall {
    PSPixelMap map;
    VRect sourceRect;
    int32_t dstRow;
    int32_t dstCol;
    std::vector<uint8_t> pixels;  // the map's rows, copied
    std::vector<uint8_t> mask;    // the first mask's rows, copied, when there is one
    int32_t maskDescription = -1;
};

class TestHost : public FilterHost {
public:
    TestHost(HostImage image, HostSettings settings = {});

    HostSettings& Settings() { return static_cast<HostSettings&>(BaseSettings()); }
    const HostSettings& Settings() const { return static_cast<const HostSettings&>(BaseSettings()); }

    // Every call of a handle proc with a handle this host did not make, by proc name.
    const std::vector<std::string>& ForeignHandleCalls() const { return foreignHandleCalls_; }
    // Called at each such call, for every test host in the process (a test fails there).
    static void SetForeignHandleObserver(std::function<void(const char* proc)> observer);

    int AdvanceStateCalls() const { return advanceStateCalls_; }
    int AbortCalls() const { return abortCalls_; }
    const std::vector<ProgressCall>& ProgressCalls() const { return progress_; }
    const std::vector<DisplayPixelsCall>& DisplayCalls() const { return display_; }

    OSErr AdvanceState() override;
    Boolean TestAbort() override;
    void Progress(int32_t done, int32_t total) override;
    OSErr DisplayPixels(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column,
                        void* context) override;
    bool RefusesReadToken() const override { return Settings().nullReadToken; }
    OSErr CloseReadResult(OSErr result) const override {
        return Settings().overrideCloseResult ? Settings().closeResult : result;
    }

protected:
    void BetweenRuns() override;
    void AfterReset(FilterRecord& record) override;
    void CallOnHostThread(const std::function<void()>& call) override;
    bool StopsOnError() const override { return !Settings().ignoreResultCodes; }
    void BeforeParameters(FilterRecord& record) override;
    Rect Delivered(const Rect& asked) const override;
    bool ReportsDeliveredRects() const override { return Settings().deliverRowsShort > 0; }
    int32_t ForeignHandle(const char* proc, Handle handle) override;
    int32_t OwnHandleSize(int32_t size) const override { return Settings().globalSizeForForeignHandles ? 0 : size; }

private:
    std::vector<std::string> foreignHandleCalls_;
    int advanceStateCalls_ = 0;
    int abortCalls_ = 0;
    std::vector<ProgressCall> progress_;
    std::vector<DisplayPixelsCall> display_;
};
