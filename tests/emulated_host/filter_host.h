// The host side of the filter interface for an image held in memory: fills a
// FilterRecord as Photoshop does, answers the plug-in's callbacks and handle
// procs, and calls PluginMain with the selectors in host order. The glyra
// command plays it; the tests derive a host from it that plays other hosts'
// habits and records what the plug-in does (tests/test_host.h), through the
// protected points below.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "interface/about_record.h"
#include "interface/filter_record.h"
#include "tests/emulated_host/host_image.h"

using PluginEntry = void(PI_CALL*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

// One value of a scripting descriptor.
struct ScriptValue {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;  // typeInteger or typeEnumerated
    int32_t value = 0;          // the integer, or the enumerator
    DescriptorTypeID enumType = 0;
};

struct FilterHostSettings {
    virtual ~FilterHostSettings() = default;
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
    // is allocated at exactly the requested size.
    bool shareImageMemory = false;
    // With shareImageMemory, outData is the image's own memory too: the plug-in
    // writes where it reads, as hosts that filter in place do, and no second
    // copy of the image exists. The image then holds whatever the plug-in
    // wrote, whatever the outcome.
    bool filterInPlace = false;
    std::function<bool()> onAbort;                       // true cancels
    // Draws what displayPixels is given (a Windows host paints into the device context).
    std::function<void(const PSPixelMap*, const VRect*, int32_t, int32_t, void*)> onDisplayPixels;
    std::function<void(int32_t, int32_t)> onProgress;
};

struct RunOutcome {
    OSErr startResult = 0;
    OSErr continueResult = 0;
    OSErr finishResult = 0;
    OSErr result = 0;   // the first error of the run, or noErr
    bool finished = false;  // Finish was called
};

class FilterHost {
public:
    FilterHost(HostImage image, FilterHostSettings settings = {});
    virtual ~FilterHost();
    FilterHost(const FilterHost&) = delete;
    FilterHost& operator=(const FilterHost&) = delete;

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
    const HostImage& Image() const { return image_; }
    HostImage& MutableImage() { return image_; }
    intptr_t DataSlot() const { return data_; }
    void SetDataSlot(intptr_t data) { data_ = data; }

    // Scripting: what the next Start reads (a descriptor set here is handed to
    // the next run only), and what the last Finish recorded.
    void SetScriptValues(std::vector<ScriptValue> values);
    std::vector<ScriptValue> ScriptValues() const;
    bool HasDescriptor() const;

    // Handles made by this host that are still alive, and the size of one
    // (0 for a handle it did not make), whatever getSizeProc answers.
    size_t LiveHostHandles() const;
    bool IsHostHandle(Handle handle) const;
    int32_t HandleBytes(Handle handle) const;

    // The parameter block the plug-in keeps in the host's parameters handle.
    const int16_t* ParameterValues() const;

    // The destination the plug-in writes to; it becomes the image after a
    // successful run. Filtering in place, it is the image itself.
    const HostImage& Destination() const { return InPlace() ? image_ : destination_; }

    // Callback bodies; public so the C callbacks can reach them.
    virtual OSErr AdvanceState();
    virtual Boolean TestAbort();
    virtual void Progress(int32_t done, int32_t total);
    virtual OSErr DisplayPixels(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column,
                                void* context);
    Handle NewHandle(int32_t size);
    void DisposeHandle(Handle handle);
    int32_t HandleSize(Handle handle);
    OSErr SetHandleSize(Handle handle, int32_t size);
    Ptr LockHandle(Handle handle);
    void UnlockHandle(Handle handle);
    // The descriptor procs' answers a host may vary.
    virtual bool RefusesReadToken() const { return false; }
    virtual OSErr CloseReadResult(OSErr result) const { return result; }

    struct Descriptors;

protected:
    // Where other hosts' habits differ from Photoshop's; the defaults are Photoshop's.
    virtual void BetweenRuns() {}                             // before a run fills the record
    virtual void AfterReset(FilterRecord&) {}                 // the record as the host fills it
    virtual void CallOnHostThread(const std::function<void()>& call) { call(); }
    virtual bool StopsOnError() const { return true; }        // false: result codes are ignored
    virtual void BeforeParameters(FilterRecord&) {}           // and after it, the record restored
    virtual Rect Delivered(const Rect& asked) const { return asked; }  // what a delivery covers
    virtual bool ReportsDeliveredRects() const { return false; }       // says so in the record
    // A handle proc given a handle this host did not make: the answer to getSize
    // (Photoshop's procs are undefined there; this host answers 0 and refuses the rest).
    virtual int32_t ForeignHandle(const char* proc, Handle handle);
    // getSize for a handle this host made.
    virtual int32_t OwnHandleSize(int32_t size) const { return size; }

    FilterHostSettings& BaseSettings() { return *settings_; }
    const FilterHostSettings& BaseSettings() const { return *settings_; }
    FilterHost(HostImage image, std::unique_ptr<FilterHostSettings> settings);

    std::unique_ptr<FilterRecord> record_;
    PlatformData platform_{};
    HandleProcs handleProcs_{};
    std::unique_ptr<Descriptors> descriptors_;

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

    HostImage image_;
    HostImage destination_;  // unused when filtering in place
    bool InPlace() const { return settings_->shareImageMemory && settings_->filterInPlace; }
    HostImage& Target() { return InPlace() ? image_ : destination_; }
    std::unique_ptr<FilterHostSettings> settings_;
    std::map<Handle, std::unique_ptr<HostHandle>> handles_;
    bool scriptPending_ = false;
    intptr_t data_ = 0;
    int16_t result_ = 0;

    bool delivered_ = false;
    bool deliveredInPlace_ = false;  // outData points into the destination
    Request deliveredRequest_{};
    std::vector<uint8_t> inBuffer_, outBuffer_, maskBuffer_;

protected:
    std::vector<Handle> droppedParameters_;  // the plug-in's blocks a forgetful host let go; freed at the end
};

// The plug-in's own handles ('FOTO'), as hosts recognise them: a record of a
// pointer and the tag, exactly pointer size + 4 bytes of global memory.
bool IsPluginOwnHandle(Handle handle);
// Frees one the way hosts that keep one free it: through global memory.
void FreePluginOwnHandle(Handle handle);
