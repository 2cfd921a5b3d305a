#include "tests/emulated_host/filter_host.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "interface/result_codes.h"
#include "tests/emulated_system/platform_testing.h"
#include "platform/win32.h"
#include "tests/emulated_host/script_descriptors.h"

namespace {

// The C callbacks the plug-in calls; each answers for the active host.
OSErr PI_CALL AdvanceStateCallback() {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->AdvanceState() : paramErr;
}
Boolean PI_CALL TestAbortCallback() {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->TestAbort() : 0;
}
void PI_CALL ProgressCallback(int32_t done, int32_t total) {
    ForeignCodeScope hostCode;
    if (ActiveHost()) ActiveHost()->Progress(done, total);
}
OSErr PI_CALL DisplayPixelsCallback(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column,
                                    void* context) {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->DisplayPixels(source, rect, row, column, context) : paramErr;
}
Handle PI_CALL NewHandleCallback(int32_t size) {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->NewHandle(size) : nullptr;
}
void PI_CALL DisposeHandleCallback(Handle handle) {
    ForeignCodeScope hostCode;
    if (ActiveHost()) ActiveHost()->DisposeHandle(handle);
}
int32_t PI_CALL HandleSizeCallback(Handle handle) {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->HandleSize(handle) : 0;
}
OSErr PI_CALL SetHandleSizeCallback(Handle handle, int32_t size) {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->SetHandleSize(handle, size) : nilHandleErr;
}
Ptr PI_CALL LockHandleCallback(Handle handle, Boolean) {
    ForeignCodeScope hostCode;
    return ActiveHost() ? ActiveHost()->LockHandle(handle) : nullptr;
}
void PI_CALL UnlockHandleCallback(Handle handle) {
    ForeignCodeScope hostCode;
    if (ActiveHost()) ActiveHost()->UnlockHandle(handle);
}
void PI_CALL RecoverSpaceCallback(int32_t) {
    ForeignCodeScope hostCode;
}

// Sets the active host for the duration of a call, and restores the previous one.
struct ActiveScope {
    FilterHost* previous;
    explicit ActiveScope(FilterHost* host) : previous(ActiveHost()) { SetActiveHost(host); }
    ~ActiveScope() { SetActiveHost(previous); }
};

bool RectEmpty(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

int16_t ImageMode(const HostImage& image) {
    if (image.colorPlanes == 1) return image.depth == 16 ? plugInModeGray16 : plugInModeGrayScale;
    return image.depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
}

// Reads one sample of the image at (row, column), or the padding when outside.
bool PaddedSample(const HostImage& image, int32_t row, int32_t column, int plane, int16_t padding, uint16_t* out) {
    if (row >= 0 && row < image.height && column >= 0 && column < image.width) {
        *out = image.At(row, column, plane);
        return true;
    }
    if (padding >= 0 && padding <= 255) {
        *out = image.depth == 16 ? uint16_t((padding * kFullScale16 + 127) / 255) : uint16_t(padding);
        return true;
    }
    if (padding == plugInWantsEdgeReplication) {
        row = std::clamp(row, 0, image.height - 1);
        column = std::clamp(column, 0, image.width - 1);
        *out = image.At(row, column, plane);
        return true;
    }
    if (padding == plugInDoesNotWantPadding) {
        *out = 0;
        return true;
    }
    return false;  // plugInWantsErrorOnBoundsException
}

void StoreBufferSample(std::vector<uint8_t>& buffer, size_t offset, int depth, uint16_t value) {
    if (depth == 16)
        std::memcpy(&buffer[offset], &value, 2);
    else
        buffer[offset] = uint8_t(value);
}

uint16_t LoadBufferSample(const std::vector<uint8_t>& buffer, size_t offset, int depth) {
    if (depth != 16) return buffer[offset];
    uint16_t value;
    std::memcpy(&value, &buffer[offset], 2);
    return value;
}

}  // namespace

// The block, then the record.
void FreePluginOwnHandle(Handle handle) {
    if (HGLOBAL data = GlobalHandle(*handle)) {
        GlobalUnlock(data);
        GlobalFree(data);
    }
    if (HGLOBAL own = GlobalHandle(handle)) {
        GlobalUnlock(own);
        GlobalFree(own);
    }
}

bool IsPluginOwnHandle(Handle handle) {
    if (!handle) return false;
    HGLOBAL record = GlobalHandle(handle);
    if (!record || GlobalSize(record) != sizeof(void*) + 4) return false;
    uint32_t tag;
    std::memcpy(&tag, reinterpret_cast<const char*>(handle) + sizeof(void*), 4);
    return tag == FourCC("FOTO");
}

bool FilterHost::Request::operator==(const Request& o) const {
    auto same = [](const Rect& a, const Rect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    return same(inRect, o.inRect) && same(outRect, o.outRect) && same(maskRect, o.maskRect) && inLo == o.inLo &&
           inHi == o.inHi && outLo == o.outLo && outHi == o.outHi && inPadding == o.inPadding &&
           outPadding == o.outPadding && maskPadding == o.maskPadding;
}

FilterHost::FilterHost(HostImage image, FilterHostSettings settings)
    : FilterHost(std::move(image), std::make_unique<FilterHostSettings>(std::move(settings))) {}

FilterHost::FilterHost(HostImage image, std::unique_ptr<FilterHostSettings> settings)
    : record_(new FilterRecord()), descriptors_(new Descriptors()), image_(std::move(image)),
      settings_(std::move(settings)) {
    handleProcs_.handleProcsVersion = kCurrentHandleProcsVersion;
    handleProcs_.numHandleProcs = kCurrentHandleProcsCount;
    handleProcs_.newProc = NewHandleCallback;
    handleProcs_.disposeProc = DisposeHandleCallback;
    handleProcs_.getSizeProc = HandleSizeCallback;
    handleProcs_.setSizeProc = SetHandleSizeCallback;
    handleProcs_.lockProc = LockHandleCallback;
    handleProcs_.unlockProc = UnlockHandleCallback;
    handleProcs_.recoverSpaceProc = RecoverSpaceCallback;
    handleProcs_.disposeRegularHandleProc = DisposeHandleCallback;
    InitDescriptors(descriptors_.get());
    ResetRecord();
}

FilterHost::~FilterHost() {
    // The plug-in's own handles that the host kept (the parameter block) are freed
    // the way hosts free them: through global memory.
    const Handle kept = record_->parameters;  // read off the packed record first
    droppedParameters_.push_back(kept);
    for (Handle parameters : droppedParameters_)
        if (parameters && !IsHostHandle(parameters) && IsPluginOwnHandle(parameters)) FreePluginOwnHandle(parameters);
    FreeAllHandles();
}

void FilterHost::FreeAllHandles() {
    for (auto& entry : handles_) delete[] entry.second->master;
    handles_.clear();
}

// Fills the record as a host does before each run.
void FilterHost::ResetRecord() {
    Handle keptParameters = record_->parameters;
    // A descriptor is replayed by the run it was set for; otherwise a run starts without one.
    PIDescriptorHandle keptDescriptor = scriptPending_ ? descriptors_->parameters.descriptor : nullptr;
    scriptPending_ = false;
    std::memset(record_.get(), 0, sizeof(FilterRecord));
    FilterRecord& r = *record_;
    r.serialNumber = 0;
    r.abortProc = settings_->offerAbortProc ? TestAbortCallback : nullptr;
    r.progressProc = settings_->offerProgressProc ? ProgressCallback : nullptr;
    r.parameters = keptParameters;
    r.imageSize.v = int16_t(image_.height);
    r.imageSize.h = int16_t(image_.width);
    r.planes = int16_t(image_.colorPlanes +
                       (image_.hasTransparency && settings_->planesIncludeTransparency ? 1 : 0));
    if (settings_->useFilterRect)
        r.filterRect = settings_->filterRect;
    else
        r.filterRect = Rect{0, 0, int16_t(image_.height), int16_t(image_.width)};
    r.maxSpace = 64 * 1024 * 1024;
    r.isFloating = 0;
    r.haveMask = image_.selection.empty() ? 0 : 1;
    r.autoMask = 1;
    r.hostSig = FourCC("8BIM");
    r.imageMode = ImageMode(image_);
    r.imageHRes = r.imageVRes = 72 << 16;
    r.wholeSize = settings_->setWholeSize ? settings_->wholeSize : r.imageSize;
    r.platformData = &platform_;
    r.displayPixels = settings_->offerDisplayPixels ? DisplayPixelsCallback : nullptr;
    r.handleProcs = settings_->offerHandleProcs ? &handleProcs_ : nullptr;
    r.advanceState = settings_->offerAdvanceState ? AdvanceStateCallback : nullptr;
    r.supportsPadding = 1;
    r.inputPadding = r.outputPadding = r.maskPadding = plugInWantsErrorOnBoundsException;
    r.inputRate = r.maskRate = kFixedOne;
    r.inLayerPlanes = int16_t(image_.colorPlanes);
    r.inTransparencyMask = image_.hasTransparency ? 1 : 0;
    r.outLayerPlanes = r.inLayerPlanes;
    r.outTransparencyMask = r.inTransparencyMask;
    r.filterCase = image_.hasTransparency ? 4 : 1;
    r.depth = image_.depth;
    descriptors_->parameters.playInfo = settings_->playInfo;
    descriptors_->parameters.recordInfo = plugInDialogOptional;
    descriptors_->parameters.descriptor = keptDescriptor;
    r.descriptorParameters = settings_->offerDescriptors ? &descriptors_->parameters : nullptr;
    delivered_ = false;
    inBuffer_.clear();
    outBuffer_.clear();
    maskBuffer_.clear();
    // What the plug-in writes to, starting as the image.
    destination_ = InPlace() ? HostImage{} : image_;
    AfterReset(r);
}

OSErr FilterHost::Call(PluginEntry entry, int16_t selector) {
    result_ = noErr;
    auto call = [&] {
        ActiveScope scope(this);
        entry(selector, record_.get(), &data_, &result_);
    };
    CallOnHostThread(call);
    return result_;
}

void FilterHost::Serve(const std::function<void()>& work) {
    ActiveScope scope(this);
    work();
}

OSErr FilterHost::About(PluginEntry entry) {
    ActiveScope scope(this);
    AboutRecord about{};
    about.platformData = &platform_;
    int16_t result = noErr;
    entry(filterSelectorAbout, &about, &data_, &result);
    return result;
}

bool FilterHost::RequestEmpty() const {
    return RectEmpty(record_->inRect) && RectEmpty(record_->outRect) && RectEmpty(record_->maskRect);
}

RunOutcome FilterHost::Run(PluginEntry entry, bool withParameters) {
    RunOutcome outcome;
    BetweenRuns();
    ResetRecord();
    auto note = [&outcome](OSErr error) {
        if (outcome.result == noErr) outcome.result = error;
    };
    // A host that ignores result codes goes on as if every call succeeded.
    const bool stopOnError = StopsOnError();
    if (withParameters) {
        FilterRecord& r = *record_;
        const Point imageSize = r.imageSize;
        const Rect filterRect = r.filterRect;
        const int16_t planes = r.planes, imageMode = r.imageMode;
        BeforeParameters(r);
        OSErr error = Call(entry, filterSelectorParameters);
        r.imageSize = imageSize;
        r.filterRect = filterRect;
        r.planes = planes;
        r.imageMode = imageMode;
        note(error);
        if (error != noErr && stopOnError) return outcome;
    }
    OSErr error = Call(entry, filterSelectorPrepare);
    note(error);
    if (error != noErr && stopOnError) return outcome;
    outcome.startResult = Call(entry, filterSelectorStart);
    note(outcome.startResult);
    if (outcome.startResult != noErr && stopOnError) return outcome;

    // Continue until the plug-in asks for nothing more; a plug-in that never
    // stops asking is cut off.
    for (int calls = 0; calls < 10000 && !RequestEmpty(); ++calls) {
        {
            ActiveScope scope(this);
            OSErr delivery = DeliverBuffers();
            if (delivery != noErr) {
                outcome.continueResult = delivery;
                break;
            }
        }
        outcome.continueResult = Call(entry, filterSelectorContinue);
        if (outcome.continueResult != noErr) break;
    }
    note(outcome.continueResult);
    if (outcome.continueResult == noErr) CommitOutput();

    outcome.finishResult = Call(entry, filterSelectorFinish);
    outcome.finished = true;
    note(outcome.finishResult);
    if (!InPlace() && (outcome.result == noErr || !stopOnError)) std::swap(image_, destination_);
    return outcome;
}

FilterHost::Request FilterHost::CurrentRequest() const {
    const FilterRecord& r = *record_;
    return Request{r.inRect,       r.outRect,        r.maskRect,       r.inLoPlane,
                   r.inHiPlane,    r.outLoPlane,     r.outHiPlane,     r.inputPadding,
                   r.outputPadding, r.maskPadding};
}

// Writes the output buffer of the last delivery into the destination (a
// delivery into the destination's own memory has nothing to write).
void FilterHost::CommitOutput() {
    if (!delivered_ || deliveredInPlace_) return;
    const Request& q = deliveredRequest_;
    if (RectEmpty(q.outRect) || outBuffer_.empty()) return;
    const int b = image_.depth == 16 ? 2 : 1;
    const int planes = q.outHi - q.outLo + 1;
    const int32_t rowBytes = record_->outRowBytes;
    const int samplesPerPixel = Target().SamplesPerPixel();
    // Only the part of the rectangle that lies on the image is written back.
    const int32_t left = std::max<int32_t>(q.outRect.left, 0);
    const int32_t right = std::min<int32_t>(q.outRect.right, Target().width);
    if (left >= right) return;
    for (int32_t row = std::max<int32_t>(q.outRect.top, 0); row < std::min<int32_t>(q.outRect.bottom, Target().height);
         ++row) {
        size_t at = size_t(row - q.outRect.top) * size_t(rowBytes) + size_t(left - q.outRect.left) * size_t(planes * b);
        size_t to = Target().Index(row, left, 0);
        for (int32_t column = left; column < right; ++column, at += size_t(planes * b), to += size_t(samplesPerPixel))
            for (int p = 0; p < planes; ++p)
                Target().SetSample(to + size_t(q.outLo + p), LoadBufferSample(outBuffer_, at + size_t(p * b), image_.depth));
    }
}

// Fills inData, outData and maskData with exactly the requested rectangles and
// planes: the input from the image, the output from the destination so far.
OSErr FilterHost::DeliverBuffers() {
    FilterRecord& r = *record_;
    const Request q = CurrentRequest();
    if (delivered_ && q == deliveredRequest_) return noErr;
    CommitOutput();
    delivered_ = false;
    deliveredInPlace_ = false;
    const int b = image_.depth == 16 ? 2 : 1;
    const int samplesPerPixel = image_.SamplesPerPixel();

    // Fields of the packed record are assigned, never written through pointers:
    // on 64-bit builds its pointers may sit at addresses of 4 mod 8.
    struct Delivery {
        void* data = nullptr;
        int32_t rowBytes = 0;
        int32_t columnBytes = 0;
    };
    auto fill = [&](const Rect& rect, int16_t lo, int16_t hi, int16_t padding, HostImage& source,
                    std::vector<uint8_t>& buffer, Delivery* out) -> OSErr {
        buffer.clear();
        *out = Delivery{};
        if (RectEmpty(rect)) return noErr;
        if (lo < 0 || hi < lo || hi >= samplesPerPixel) return paramErr;
        const int planes = hi - lo + 1;
        const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
        const bool inside = rect.top >= 0 && rect.left >= 0 && rect.bottom <= source.height && rect.right <= source.width;
        if (settings_->shareImageMemory && inside && planes == samplesPerPixel) {
            // Every plane of pixels that lie on the image: the image's own memory.
            out->data = source.pixels.Data() + source.Index(rect.top, rect.left, 0) * size_t(b);
            out->rowBytes = int32_t(source.RowBytes());
            out->columnBytes = settings_->setColumnBytes ? planes * b : 0;
            return noErr;
        }
        const int32_t rowBytes = width * planes * b;
        buffer.assign(size_t(rowBytes) * size_t(height), 0);
        for (int32_t y = 0; y < height; ++y) {
            const size_t rowStart = size_t(y) * size_t(rowBytes);
            if (inside) {
                // The usual request: every sample is in the image, read row by row.
                size_t from = source.Index(rect.top + y, rect.left, lo);
                for (int32_t x = 0; x < width; ++x, from += size_t(samplesPerPixel))
                    for (int p = 0; p < planes; ++p)
                        StoreBufferSample(buffer, rowStart + size_t((x * planes + p) * b), image_.depth,
                                    source.Sample(from + size_t(p)));
                continue;
            }
            for (int32_t x = 0; x < width; ++x)
                for (int p = 0; p < planes; ++p) {
                    uint16_t value;
                    if (!PaddedSample(source, rect.top + y, rect.left + x, lo + p, padding, &value)) return paramErr;
                    StoreBufferSample(buffer, rowStart + size_t((x * planes + p) * b), image_.depth, value);
                }
        }
        out->data = buffer.data();
        out->rowBytes = rowBytes;
        out->columnBytes = settings_->setColumnBytes ? planes * b : 0;
        return noErr;
    };

    // A sloppy host may deliver less than asked; it then says so in the rectangles.
    auto delivered = [&](const Rect& rect) { return RectEmpty(rect) ? rect : Delivered(rect); };
    Delivery in, out;
    OSErr error = fill(delivered(q.inRect), q.inLo, q.inHi, q.inPadding, image_, inBuffer_, &in);
    if (error == noErr)
        error = fill(delivered(q.outRect), q.outLo, q.outHi, q.outPadding, Target(), outBuffer_, &out);
    deliveredInPlace_ = out.data && outBuffer_.empty();
    if (ReportsDeliveredRects()) {
        r.inRect = delivered(q.inRect);
        r.outRect = delivered(q.outRect);
        r.maskRect = delivered(q.maskRect);
    }
    r.inData = in.data;
    r.inRowBytes = in.rowBytes;
    r.inColumnBytes = in.columnBytes;
    r.outData = out.data;
    r.outRowBytes = out.rowBytes;
    r.outColumnBytes = out.columnBytes;
    if (error != noErr) return error;

    maskBuffer_.clear();
    const Rect maskRect = delivered(q.maskRect);
    r.maskData = nullptr;
    r.maskRowBytes = 0;
    if (!image_.selection.empty() && !RectEmpty(maskRect)) {
        const int32_t width = maskRect.right - maskRect.left, height = maskRect.bottom - maskRect.top;
        maskBuffer_.assign(size_t(width) * size_t(height), 0);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const int32_t row = maskRect.top + y, column = maskRect.left + x;
                uint8_t value = 0;
                if (row >= 0 && row < image_.height && column >= 0 && column < image_.width)
                    value = image_.selection[size_t(row) * size_t(image_.width) + size_t(column)];
                else if (q.maskPadding >= 0 && q.maskPadding <= 255)
                    value = uint8_t(q.maskPadding);
                else if (q.maskPadding == plugInWantsErrorOnBoundsException)
                    return paramErr;
                maskBuffer_[size_t(y) * size_t(width) + size_t(x)] = value;
            }
        r.maskData = maskBuffer_.data();
        r.maskRowBytes = width;
    }
    delivered_ = true;
    deliveredRequest_ = CurrentRequest();  // what was delivered, as the record now says
    return noErr;
}

OSErr FilterHost::AdvanceState() {
    if (settings_->advanceStateError != noErr) return settings_->advanceStateError;
    delivered_ = delivered_ && CurrentRequest() == deliveredRequest_;
    return DeliverBuffers();
}

Boolean FilterHost::TestAbort() {
    return settings_->onAbort && settings_->onAbort() ? 1 : 0;
}

void FilterHost::Progress(int32_t done, int32_t total) {
    if (settings_->onProgress) settings_->onProgress(done, total);
}

OSErr FilterHost::DisplayPixels(const PSPixelMap* source, const VRect* rect, int32_t row, int32_t column,
                                void* context) {
    if (!source || !rect) return paramErr;
    if (settings_->onDisplayPixels) settings_->onDisplayPixels(source, rect, row, column, context);
    return noErr;
}

Handle FilterHost::NewHandle(int32_t size) {
    if (size < 0) return nullptr;
    auto handle = std::make_unique<HostHandle>();
    handle->master = new char[size_t(size) + 1]();
    handle->size = size;
    Handle key = &handle->master;
    handles_[key] = std::move(handle);
    return key;
}

bool FilterHost::IsHostHandle(Handle handle) const { return handle && handles_.count(handle) != 0; }

int32_t FilterHost::ForeignHandle(const char*, Handle) { return 0; }

void FilterHost::DisposeHandle(Handle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        ForeignHandle("disposeProc", handle);
        return;
    }
    delete[] it->second->master;
    handles_.erase(it);
}

int32_t FilterHost::HandleSize(Handle handle) {
    auto it = handles_.find(handle);
    if (it != handles_.end()) return OwnHandleSize(it->second->size);
    return ForeignHandle("getSizeProc", handle);
}

OSErr FilterHost::SetHandleSize(Handle handle, int32_t size) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        ForeignHandle("setSizeProc", handle);
        return nilHandleErr;
    }
    if (size < 0) return paramErr;
    HostHandle& h = *it->second;
    if (h.locks > 0) return memFullErr;  // a locked block cannot move
    char* grown = new char[size_t(size) + 1]();
    std::memcpy(grown, h.master, size_t(std::min(size, h.size)));
    delete[] h.master;
    h.master = grown;
    h.size = size;
    return noErr;
}

Ptr FilterHost::LockHandle(Handle handle) {
    auto it = handles_.find(handle);
    if (it != handles_.end()) {
        ++it->second->locks;
        return it->second->master;
    }
    ForeignHandle("lockProc", handle);
    return nullptr;
}

void FilterHost::UnlockHandle(Handle handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end())
        ForeignHandle("unlockProc", handle);
    else if (it->second->locks > 0)
        --it->second->locks;
}

size_t FilterHost::LiveHostHandles() const { return handles_.size(); }

int32_t FilterHost::HandleBytes(Handle handle) const {
    auto it = handles_.find(handle);
    return it != handles_.end() ? it->second->size : 0;
}

void FilterHost::SetScriptValues(std::vector<ScriptValue> values) {
    ActiveScope scope(this);
    std::vector<char> bytes = EncodeDescriptor(values);
    Handle handle = NewHandle(int32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    descriptors_->parameters.descriptor = handle;
    scriptPending_ = true;
}

std::vector<ScriptValue> FilterHost::ScriptValues() const {
    Handle handle = descriptors_->parameters.descriptor;
    auto it = handles_.find(handle);
    if (it == handles_.end()) return {};
    return DecodeDescriptor(it->second->master, it->second->size);
}

bool FilterHost::HasDescriptor() const { return descriptors_->parameters.descriptor != nullptr; }

const int16_t* FilterHost::ParameterValues() const {
    Handle parameters = record_->parameters;
    if (!parameters || !*parameters) return nullptr;
    return reinterpret_cast<const int16_t*>(*parameters);
}
