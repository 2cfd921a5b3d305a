#include "tests/image_inspection.h"

#include <cstring>

#include "cli/image_metadata.h"

std::vector<uint8_t> MetadataBytes(const ImageFile& image, const std::string& name) {
    if (!image.metadata || !image.metadata->header) return {};
    VipsImage* header = image.metadata->header;
    const GType type = vips_image_get_typeof(header, name.c_str());
    if (!type) return {};
    if (type == VIPS_TYPE_BLOB) {
        const void* data = nullptr;
        size_t length = 0;
        if (vips_image_get_blob(header, name.c_str(), &data, &length)) return {};
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + length);
    }
    const char* text = nullptr;
    if ((type == G_TYPE_STRING || type == VIPS_TYPE_REF_STRING) &&
        vips_image_get_string(header, name.c_str(), &text) == 0 && text)
        return std::vector<uint8_t>(text, text + std::strlen(text));
    return {};
}

double ResolutionPerInch(const ImageFile& image) {
    if (!image.metadata || !image.metadata->resolution.present) return 0;
    const StoredResolution& resolution = image.metadata->resolution;
    return resolution.unit == StoredResolution::Unit::None ? 0 : resolution.PerInch(resolution.x);
}

int Orientation(const ImageFile& image) {
    int orientation = 1;
    if (image.metadata && image.metadata->header &&
        vips_image_get_typeof(image.metadata->header, VIPS_META_ORIENTATION))
        vips_image_get_int(image.metadata->header, VIPS_META_ORIENTATION, &orientation);
    return orientation;
}
