// The image operation for the browser, compiled to WebAssembly: the page puts
// an image's samples into the module's memory, hands over the thirteen values
// in the table's order, and gets the samples back filtered in place. The
// parameter table answers the page's questions about names, labels, ranges
// and defaults, so that the page's controls come from the one table.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "core/image_limits.h"
#include "core/parameter_names.h"
#include "core/parameter_table.h"
#include "render/image_operation.h"

namespace {

// Kept for the life of the module: the page reads them as C strings.
std::string gText;

// The page's progress handler (Module.onProgress(done, total)), asked at the
// render's check points; a true answer stops the render.
EM_JS(int, AskPage, (int done, int total), {
    return Module.onProgress && Module.onProgress(done, total) ? 1 : 0;
});

class PageChecks : public RenderChecks {
public:
    bool StopRequested() override { return stop_; }
    bool Aborted() override { return stop_; }
    void Progress(int32_t done, int32_t total) override { stop_ = stop_ || AskPage(done, total) != 0; }

private:
    bool stop_ = false;
};

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int glyra_parameter_count() { return kParameterCount; }

// The option and preset name ("h0-density") and the English label ("H0 density").
EMSCRIPTEN_KEEPALIVE const char* glyra_parameter_name(int index) {
    gText = index >= 0 && index < kParameterCount ? ParameterDashedName(kParameterTable[index]) : "";
    return gText.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* glyra_parameter_label(int index) {
    gText = index >= 0 && index < kParameterCount ? ParameterEnglishLabel(kParameterTable[index]) : "";
    return gText.c_str();
}
// Minimum, maximum and default: three int16 values at `out`. False for an index out of range.
EMSCRIPTEN_KEEPALIVE int glyra_parameter_range(int index, int16_t* out) {
    if (index < 0 || index >= kParameterCount || !out) return 0;
    out[0] = kParameterTable[index].minimum;
    out[1] = kParameterTable[index].maximum;
    out[2] = kParameterTable[index].defaultValue;
    return 1;
}
// The name of a value of an enumerated parameter ("average" for the
// threshold type's 1), as presets and the command write it; empty for a
// number parameter or a value without a name.
EMSCRIPTEN_KEEPALIVE const char* glyra_parameter_choice(int index, int value) {
    gText.clear();
    if (index >= 0 && index < kParameterCount && kParameterTable[index].kind == ParameterKind::Enumerated)
        for (const ThresholdTypeInfo& type : kThresholdTypeTable)
            if (type.value == value) gText = type.name;
    return gText.c_str();
}
EMSCRIPTEN_KEEPALIVE int glyra_max_image_side() { return kMaxImageSide; }

// Filters width x height pixels of `channels` interleaved samples in place:
// sixteenBits 0 for 8-bit samples, 1 for 16-bit samples on their whole
// 0..65535 range. values: thirteen int16 in the table's order, each clamped
// to its range. Progress goes to Module.onProgress, whose true answer stops
// the render. Returns 0 when done, 1 when memory ran out, 2 when stopped
// (then the samples are partly filtered), 3 when the image is not one the
// filter takes (then nothing changed).
EMSCRIPTEN_KEEPALIVE int glyra_filter(uint8_t* samples, int sixteenBits, int width, int height, int channels,
                                      const int16_t* values, int threads) {
    if (!values || !FitsImageLimits(width, height)) return 3;
    ImageRequest request;
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        int16_t value = values[i];
        if (value < info.minimum) value = info.minimum;
        if (value > info.maximum) value = info.maximum;
        request.parameters.*info.field = value;
    }
    request.options.threads = threads > 0 ? threads : 1;
    PageChecks checks;
    request.checks = &checks;
    request.reportProgress = true;
    // The page keeps its own copy of the picture: planes go back as they are finished.
    request.outputOnlyOnSuccess = false;
    const ImageView view =
        PackedView(samples, sixteenBits ? SampleFormat::U16 : SampleFormat::U8, width, height, channels);
    switch (FilterImage(request, view, view).status) {
        case RenderStatus::Done: return 0;
        case RenderStatus::OutOfMemory: return 1;
        case RenderStatus::Cancelled: return 2;
        case RenderStatus::Invalid: return 3;
    }
    return 3;
}

}  // extern "C"
