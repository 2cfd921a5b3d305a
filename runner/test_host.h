// The host side of the filter interface: holds an image, fills a FilterRecord
// as a host does, answers the plug-in's callbacks and calls PluginMain with the
// selectors in host order. The glyra command and the tests use it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "interface/about_record.h"
#include "interface/filter_record.h"
#include "runner/host_image.h"

using PluginEntry = void(PI_CALL*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

// One value of a scripting descriptor.
struct ScriptValue {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;  // typeInteger or typeEnumerated
    int32_t value = 0;          // the integer, or the enumerator
    DescriptorTypeID enumType = 0;
};

struct HostSettings {
    bool offerHandleProcs = true;
    bool offerDescriptors = true;
    bool offerAdvanceState = true;
    bool offerAbortProc = true;
    bool offerProgressProc = true;
    bool offerDisplayPixels = true;
    bool setColumnBytes = true;           // hosts of interface 3.0 on fill inColumnBytes
    bool planesIncludeTransparency = true;  // planes counts the transparency plane, as Photoshop does
    int16_t playInfo = 0;                 // plugInDialogDontDisplay
    bool useFilterRect = false;           // otherwise the whole image
    Rect filterRect = {0, 0, 0, 0};
    bool setWholeSize = false;            // otherwise wholeSize = imageSize
    Point wholeSize = {0, 0};
    OSErr advanceStateError = 0;          // non-zero: advanceState fails with it
    // Requests for whole planes of pixels on the image are answered with
    // pointers into the image and the destination instead of copies (as the
    // command does, to hold fewer copies of a large image). Off, every buffer
    // is allocated at exactly the requested size, as the tests want.
    bool shareImageMemory = false;
    // Quirks of sloppy hosts, for tests of the plug-in's defences.
    int16_t deliverRowsShort = 0;         // delivers this many rows fewer than asked, and says so in the rectangles
    int16_t reportPlanes = -1;            // reports this plane count instead of the image's (-1: the image's)
    // Descriptor behaviour for tests of the plug-in's error handling.
    bool nullReadToken = false;
    bool overrideCloseResult = false;
    OSErr closeResult = 0;
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
    std::function<bool()> onAbort;                       // true cancels
    // Draws what displayPixels is given (a Windows host paints into the device context).
    std::function<void(const PSPixelMap*, const VRect*, int32_t, int32_t, void*)> onDisplayPixels;
    std::function<void(int32_t, int32_t)> onProgress;
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

struct RunOutcome {
    OSErr startResult = 0;
    OSErr continueResult = 0;
    OSErr finishResult = 0;
    OSErr result = 0;   // the first error of the run, or noErr
    bool finished = false;  // Finish was called
};

class TestHost {
public:
    TestHost(HostImage image, HostSettings settings = {});
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // One selector with the current record and data slot.
    OSErr Call(PluginEntry entry, int16_t selector);
    // A whole filter run in host order: Parameters (when asked), Prepare,
    // Start, Continue until the plug-in stops requesting, and Finish when
    // Start succeeded. On success the filtered pixels replace the image.
    RunOutcome Run(PluginEntry entry, bool withParameters);
    // The About selector with a fresh About record.
    OSErr About(PluginEntry entry);
    // Fills the record afresh from the image and settings, as before a run.
    void Reset() { ResetRecord(); }
    // Runs code that calls into the plug-in directly, with this host answering callbacks.
    void Serve(const std::function<void()>& work);

    FilterRecord& Record() { return *record_; }
    HostSettings& Settings() { return settings_; }
    const HostImage& Image() const { return image_; }
    HostImage& MutableImage() { return image_; }
    intptr_t DataSlot() const { return data_; }
    void SetDataSlot(intptr_t data) { data_ = data; }

    // Scripting: what the next Start reads (a descriptor set here is handed to
    // the next run only), and what the last Finish recorded.
    void SetScriptValues(std::vector<ScriptValue> values);
    std::vector<ScriptValue> ScriptValues() const;
    bool HasDescriptor() const;

    // Handles made by this host that are still alive, and misuse seen: every
    // call of a handle proc with a handle this host did not make, by proc name.
    size_t LiveHostHandles() const;
    bool IsHostHandle(Handle handle) const;
    const std::vector<std::string>& ForeignHandleCalls() const { return foreignHandleCalls_; }
    // Called at each such call, for every host in the process (a test fails there).
    static void SetForeignHandleObserver(std::function<void(const char* proc)> observer);

    // The parameter block the plug-in keeps in the host's parameters handle.
    const int16_t* ParameterValues() const;

    int AdvanceStateCalls() const { return advanceStateCalls_; }
    int AbortCalls() const { return abortCalls_; }
    const std::vector<ProgressCall>& ProgressCalls() const { return progress_; }
    const std::vector<DisplayPixelsCall>& DisplayCalls() const { return display_; }
    // The destination the plug-in writes to; it becomes the image after a successful run.
    const HostImage& Destination() const { return destination_; }

    // Callback bodies; public so the C callbacks can reach them.
    OSErr AdvanceState();
    Boolean TestAbort();
    void Progress(int32_t done, int32_t total);
    OSErr DisplayPixels(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column, void* context);
    Handle NewHandle(int32_t size);
    void DisposeHandle(Handle handle);
    int32_t HandleSize(Handle handle);
    OSErr SetHandleSize(Handle handle, int32_t size);
    Ptr LockHandle(Handle handle);
    void UnlockHandle(Handle handle);

    struct Descriptors;

private:
    struct HostHandle {
        char* master = nullptr;  // the handle is the address of this field
        int32_t size = 0;
        int locks = 0;
    };
    struct Request {
        Rect inRect, outRect, maskRect;
        int16_t inLo, inHi, outLo, outHi;
        int16_t inPadding, outPadding, maskPadding;
        bool operator==(const Request& o) const;
    };

    void ResetRecord();
    Request CurrentRequest() const;
    OSErr DeliverBuffers();
    void CommitOutput();
    bool RequestEmpty() const;
    void FreeAllHandles();
    void NoteForeignHandle(const char* proc, Handle handle);
    void BetweenRuns();

    HostImage image_;
    HostImage destination_;
    HostSettings settings_;
    std::unique_ptr<FilterRecord> record_;
    PlatformData platform_{};
    HandleProcs handleProcs_{};
    std::unique_ptr<Descriptors> descriptors_;
    std::map<Handle, std::unique_ptr<HostHandle>> handles_;
    bool scriptPending_ = false;
    intptr_t data_ = 0;
    int16_t result_ = 0;

    bool delivered_ = false;
    bool deliveredInPlace_ = false;  // outData points into the destination
    Request deliveredRequest_{};
    std::vector<uint8_t> inBuffer_, outBuffer_, maskBuffer_;

    int advanceStateCalls_ = 0;
    int abortCalls_ = 0;
    std::vector<std::string> foreignHandleCalls_;
    std::vector<Handle> droppedParameters_;  // the plug-in's blocks a forgetful host let go
    std::vector<ProgressCall> progress_;
    std::vector<DisplayPixelsCall> display_;
};

// The plug-in's own handles ('FOTO'), as hosts recognise them: a record of a
// pointer and the tag, exactly pointer size + 4 bytes of global memory.
bool IsPluginOwnHandle(Handle handle);
