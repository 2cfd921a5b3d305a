// glyra:stars, the star-streak filter as a GEGL operation (GIMP 2.10 and 3,
// the gegl command). Its properties are the thirteen parameters, made from the
// one parameter table. Light crosses the whole image, so the operation asks
// for its whole input and renders once, caching the whole result: GIMP's
// preview and its tiles then read from that one render.
//
// It works in the encoding the plug-in sees, perceptual (R'G'B', Y'): 8-bit
// images in 8 bits with the filter pass's own conversions, so that their
// results equal the plug-in's sample for sample; deeper images in floating
// point, at full precision.
#include <gegl-plugin.h>
#include <gegl.h>
#include <operation/gegl-operation-filter.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/checked_size.h"
#include "core/image_limits.h"
#include "core/parameter_names.h"
#include "core/parameter_table.h"
#include "render/image_operation.h"

namespace {


struct GlyraStars {
    GeglOperationFilter parent;
    FilterParameters parameters;
};

struct GlyraStarsClass {
    GeglOperationFilterClass parent;
};

GType gThresholdType = 0;

GlyraStars* Self(gpointer object) { return reinterpret_cast<GlyraStars*>(object); }

// Property ids are the table's indices + 1.
void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* property) {
    if (id < 1 || id > guint(kParameterCount)) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
        return;
    }
    const ParameterInfo& info = kParameterTable[id - 1];
    Self(object)->parameters.*info.field =
        int16_t(info.kind == ParameterKind::Enumerated ? g_value_get_enum(value) : g_value_get_int(value));
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* property) {
    if (id < 1 || id > guint(kParameterCount)) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
        return;
    }
    const ParameterInfo& info = kParameterTable[id - 1];
    const int16_t current = Self(object)->parameters.*info.field;
    if (info.kind == ParameterKind::Enumerated)
        g_value_set_enum(value, current);
    else
        g_value_set_int(value, current);
}

// The working format: the input's own model (gray or colour, with or without
// alpha), perceptual, in 8 bits for 8-bit input and in float otherwise.
const Babl* WorkingFormat(GeglOperation* operation) {
    const Babl* source = gegl_operation_get_source_format(operation, "input");
    bool gray = false, alpha = true, eight = false;
    if (source) {
        const int components = babl_format_get_n_components(source);
        alpha = babl_format_has_alpha(source);
        gray = components - (alpha ? 1 : 0) == 1;
        eight = babl_format_get_type(source, 0) == babl_type("u8");
    }
    const std::string model = std::string(gray ? "Y'" : "R'G'B'") + (alpha ? "A" : "");
    return babl_format((model + (eight ? " u8" : " float")).c_str());
}

void Prepare(GeglOperation* operation) {
    const Babl* format = WorkingFormat(operation);
    gegl_operation_set_format(operation, "input", format);
    gegl_operation_set_format(operation, "output", format);
}

GeglRectangle WholeInput(GeglOperation* operation) {
    const GeglRectangle* box = gegl_operation_source_get_bounding_box(operation, "input");
    return box ? *box : GeglRectangle{0, 0, 0, 0};
}

GeglRectangle RequiredForOutput(GeglOperation* operation, const gchar*, const GeglRectangle*) {
    return WholeInput(operation);
}

GeglRectangle CachedRegion(GeglOperation* operation, const GeglRectangle*) { return WholeInput(operation); }

gboolean Process(GeglOperation* operation, GeglBuffer* input, GeglBuffer* output, const GeglRectangle*, gint) {
    const GeglRectangle whole = WholeInput(operation);
    const Babl* format = gegl_operation_get_format(operation, "output");
    if (whole.width <= 0 || whole.height <= 0) return TRUE;
    if (whole.width > kMaxImageSide || whole.height > kMaxImageSide) {
        g_warning("glyra:stars: %d x %d pixels; the filter takes at most %d pixels a side, so the image is left as it is",
                  whole.width, whole.height, kMaxImageSide);
        gegl_buffer_copy(input, &whole, GEGL_ABYSS_NONE, output, &whole);
        return TRUE;
    }
    const int channels = babl_format_get_n_components(format);
    const int bytesPerSample = babl_format_get_bytes_per_pixel(format) / channels;
    size_t bytes = 0;
    if (!CheckedMultiply(size_t(whole.width) * size_t(whole.height), size_t(babl_format_get_bytes_per_pixel(format)),
                         &bytes)) {
        g_warning("glyra:stars: the image is too large to filter");
        return FALSE;
    }
    std::vector<uint8_t> samples;
    try {
        samples.resize(bytes);
    } catch (...) {
        g_warning("glyra:stars: not enough memory for %d x %d pixels; the image is left as it is", whole.width,
                  whole.height);
        gegl_buffer_copy(input, &whole, GEGL_ABYSS_NONE, output, &whole);
        return TRUE;
    }
    gegl_buffer_get(input, &whole, 1.0, format, samples.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    ImageRequest request;  // the renderer's own threads and fast paths
    request.parameters = Self(operation)->parameters;
    // The buffer is ours and is set into the output only after a render that succeeded.
    request.outputOnlyOnSuccess = false;
    const ImageView view = PackedView(samples.data(), bytesPerSample == 1 ? SampleFormat::U8 : SampleFormat::F32,
                                      whole.width, whole.height, channels);
    if (FilterImage(request, view, view).status != RenderStatus::Done) {
        g_warning("glyra:stars: not enough memory to render; the image is left as it is");
        gegl_buffer_copy(input, &whole, GEGL_ABYSS_NONE, output, &whole);
        return TRUE;
    }
    gegl_buffer_set(output, &whole, 0, format, samples.data(), GEGL_AUTO_ROWSTRIDE);
    return TRUE;
}

void ClassInit(gpointer klass, gpointer) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    GeglOperationClass* operation = GEGL_OPERATION_CLASS(klass);
    GeglOperationFilterClass* filter = GEGL_OPERATION_FILTER_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    operation->prepare = Prepare;
    operation->get_required_for_output = RequiredForOutput;
    operation->get_cached_region = CachedRegion;
    operation->threaded = FALSE;  // one render of the whole image, on the renderer's own threads
    filter->process = Process;

    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        const std::string name = ParameterDashedName(info), label = ParameterEnglishLabel(info);
        GParamSpec* property =
            info.kind == ParameterKind::Enumerated
                ? g_param_spec_enum(name.c_str(), label.c_str(), info.help, gThresholdType, info.defaultValue,
                                    GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT | GEGL_PARAM_PAD_INPUT))
                // Sliders over the table's range; a script may set any 16-bit value,
                // which the plug-in also takes from a recorded action as it comes.
                : gegl_param_spec_int(name.c_str(), label.c_str(), info.help, -32768, 32767, info.defaultValue,
                                      info.minimum, info.maximum, 1.0,
                                      GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT | GEGL_PARAM_PAD_INPUT));
        g_object_class_install_property(object, guint(i + 1), property);
    }
    gegl_operation_class_set_keys(operation, "name", "glyra:stars", "title", "Glyra Star Streaks", "categories",
                                  "light", "reference-hash", "glyra-stars-1", "description",
                                  "Every pixel bright enough emits two to eight rays whose light falls off by a "
                                  "streak profile (two Gaussian highlights and a spectral term for coloured "
                                  "fringes), screen-blended into the image.",
                                  "gimp:menu-path", "<Image>/Filters/Light and Shadow", "gimp:menu-label",
                                  "Glyra Star Streaks...", nullptr);
}

void InstanceInit(GTypeInstance* instance, gpointer) { SetDefaultParameters(&Self(instance)->parameters); }

}  // namespace

extern "C" {

G_MODULE_EXPORT const GeglModuleInfo* gegl_module_query(GTypeModule*) {
    static const GeglModuleInfo info = {GEGL_MODULE_ABI_VERSION};
    return &info;
}

G_MODULE_EXPORT gboolean gegl_module_register(GTypeModule* module) {
    // The threshold types as an enumeration, named as the command line names them.
    static GEnumValue values[kThresholdTypeCount + 1] = {};
    for (int i = 0; i < kThresholdTypeCount; ++i)
        values[i] = GEnumValue{kThresholdTypeTable[i].value, kThresholdTypeTable[i].name, kThresholdTypeTable[i].name};
    gThresholdType = g_type_module_register_enum(module, "GlyraThresholdType", values);
    const GTypeInfo info = {sizeof(GlyraStarsClass), nullptr, nullptr, ClassInit, nullptr, nullptr,
                            sizeof(GlyraStars), 0, InstanceInit, nullptr};
    g_type_module_register_type(module, GEGL_TYPE_OPERATION_FILTER, "GlyraStars", &info, GTypeFlags(0));
    return TRUE;
}

}  // extern "C"
