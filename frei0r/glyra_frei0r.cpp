// glyra.so, the star-streak filter as a frei0r filter (ffmpeg's -vf frei0r,
// MLT and the editors built on it). The thirteen parameters come from the one
// parameter table: the integers as frei0r doubles scaled to 0..1 over their
// range, the threshold type as a string (plain, average, weighted). Each
// instance holds its own parameters and nothing is shared between instances,
// so a host may run several at once; every frame is rendered from that frame
// alone, so a frame gives the same pixels wherever it falls in a clip.
extern "C" {
#include <frei0r.h>  // a C header without C++ guards
}

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <new>
#include <string>

#include "core/image_limits.h"
#include "core/parameter_names.h"
#include "core/version.h"
#include "core/parameter_table.h"
#include "render/image_operation.h"

namespace {

struct Instance {
    unsigned width;
    unsigned height;
    FilterParameters parameters;
    std::string thresholdName;  // what get_param_value hands out for the string parameter
    RenderWorkspace workspace;  // the planes, kept from frame to frame
};

// Names and explanations outlive every call: frei0r keeps the pointers.
struct ParameterTexts {
    std::string names[kParameterCount];
};

const ParameterTexts& Texts() {
    static const ParameterTexts texts = [] {
        ParameterTexts t;
        for (int i = 0; i < kParameterCount; ++i) t.names[i] = ParameterDashedName(kParameterTable[i]);
        return t;
    }();
    return texts;
}

double Scaled(const ParameterInfo& info, int16_t value) {
    return info.maximum == info.minimum ? 0.0 : double(value - info.minimum) / double(info.maximum - info.minimum);
}

// A host's double to the parameter's integer: clamped to 0..1 and rounded, a
// value that is not a number keeping the default.
int16_t FromScaled(const ParameterInfo& info, double value) {
    if (!(value == value)) return info.defaultValue;
    value = value < 0 ? 0 : value > 1 ? 1 : value;
    return int16_t(info.minimum + std::lround(value * double(info.maximum - info.minimum)));
}

const char* ThresholdName(int16_t value) {
    for (const ThresholdTypeInfo& type : kThresholdTypeTable)
        if (type.value == value) return type.name;
    return kThresholdTypeTable[0].name;
}

int16_t ThresholdFromText(const char* text, int16_t fallback) {
    if (!text) return fallback;
    for (const ThresholdTypeInfo& type : kThresholdTypeTable) {
        if (strcasecmp(text, type.name) == 0) return type.value;
        if (std::to_string(type.value) == text) return type.value;
    }
    return fallback;
}

}  // namespace

extern "C" {

int f0r_init() { return 1; }
void f0r_deinit() {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = "glyra";
    info->author = "The Glyra developers";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = GLYRA_VERSION_MAJOR;
    info->minor_version = GLYRA_VERSION_MINOR;
    info->num_params = kParameterCount;
    info->explanation = "Star streaks: every pixel bright enough emits two to eight rays of light";
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
    if (index < 0 || index >= kParameterCount) return;
    const ParameterInfo& parameter = kParameterTable[index];
    info->name = Texts().names[index].c_str();
    info->type = parameter.kind == ParameterKind::Enumerated ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE;
    info->explanation = parameter.help;
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    auto* instance = new (std::nothrow) Instance{width, height, {}, {}, {}};
    if (instance) SetDefaultParameters(&instance->parameters);
    return instance;
}

void f0r_destruct(f0r_instance_t instance) { delete static_cast<Instance*>(instance); }

void f0r_set_param_value(f0r_instance_t handle, f0r_param_t value, int index) {
    auto* instance = static_cast<Instance*>(handle);
    if (!instance || !value || index < 0 || index >= kParameterCount) return;
    const ParameterInfo& info = kParameterTable[index];
    int16_t& field = instance->parameters.*info.field;
    if (info.kind == ParameterKind::Enumerated)
        field = ThresholdFromText(*static_cast<f0r_param_string*>(value), field);
    else
        field = FromScaled(info, *static_cast<f0r_param_double*>(value));
}

void f0r_get_param_value(f0r_instance_t handle, f0r_param_t value, int index) {
    auto* instance = static_cast<Instance*>(handle);
    if (!instance || !value || index < 0 || index >= kParameterCount) return;
    const ParameterInfo& info = kParameterTable[index];
    const int16_t field = instance->parameters.*info.field;
    if (info.kind == ParameterKind::Enumerated) {
        instance->thresholdName = ThresholdName(field);
        *static_cast<f0r_param_string*>(value) = const_cast<char*>(instance->thresholdName.c_str());
    } else {
        *static_cast<f0r_param_double*>(value) = Scaled(info, field);
    }
}

void f0r_update(f0r_instance_t handle, double, const uint32_t* in, uint32_t* out) {
    auto* instance = static_cast<Instance*>(handle);
    if (!instance || !in || !out) return;
    const size_t pixels = size_t(instance->width) * size_t(instance->height);
    if (in != out) std::memcpy(out, in, pixels * 4);
    // Frames larger than the filter takes pass through as they are, as the GEGL operation's images do.
    if (!FitsImageLimits(instance->width, instance->height)) return;
    // RGBA bytes: the colour planes are rendered, the alpha byte passes through
    // (video frames are opaque, and a frei0r host composites by alpha itself).
    ImageView frame = PackedView(out, SampleFormat::U8, int32_t(instance->width), int32_t(instance->height), 3);
    frame.pixelBytes = 4;
    ImageRequest request;
    request.parameters = instance->parameters;
    request.workspace = &instance->workspace;
    // A frame that cannot be rendered is shown as it came: the output only
    // changes once the render has succeeded.
    FilterImage(request, frame, frame);
}

}  // extern "C"
