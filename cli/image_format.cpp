#include "cli/image_format.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

struct FormatInfo {
    ImageFormat format;
    const char* name;
    const char* extension;
    const char* names[3];  // what --format and extensions accept; the first is the one shown
    bool sixteenBits;
    bool alpha;
    int32_t maxSide;  // the widest and tallest image the format can hold
    const char* loader;  // the libvips loader class that reads it (its names begin so)
};

const FormatInfo kFormats[] = {
    {ImageFormat::Png, "PNG", "png", {"png", nullptr, nullptr}, true, true, 0x7fffffff, "VipsForeignLoadPng"},
    {ImageFormat::Jpeg, "JPEG", "jpg", {"jpeg", "jpg", nullptr}, false, false, 65535, "VipsForeignLoadJpeg"},
    {ImageFormat::Tiff, "TIFF", "tif", {"tiff", "tif", nullptr}, true, true, 0x7fffffff, "VipsForeignLoadTiff"},
    {ImageFormat::Webp, "WebP", "webp", {"webp", nullptr, nullptr}, false, true, 16383, "VipsForeignLoadWebp"},
};

const FormatInfo& Info(ImageFormat format) {
    for (const FormatInfo& info : kFormats)
        if (info.format == format) return info;
    return kFormats[0];
}

}  // namespace

bool FormatFromName(const std::string& name, ImageFormat* format) {
    const std::string lower = Lower(name);
    for (const FormatInfo& info : kFormats)
        for (const char* accepted : info.names)
            if (accepted && lower == accepted) {
                *format = info.format;
                return true;
            }
    return false;
}

bool FormatFromPath(const std::string& path, ImageFormat* format) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return FormatFromName(path.substr(dot + 1), format);
}

const char* FormatName(ImageFormat format) { return Info(format).name; }
const char* FormatExtension(ImageFormat format) { return Info(format).extension; }
bool FormatHoldsSixteenBits(ImageFormat format) { return Info(format).sixteenBits; }
bool FormatHoldsAlpha(ImageFormat format) { return Info(format).alpha; }
int32_t FormatMaxSide(ImageFormat format) { return Info(format).maxSide; }

std::string FormatNames(const char* separator) {
    std::string names;
    for (const FormatInfo& info : kFormats) names += (names.empty() ? "" : separator) + std::string(info.names[0]);
    return names;
}

std::vector<std::string> AcceptedFormatNames() {
    std::vector<std::string> names;
    for (const FormatInfo& info : kFormats)
        for (const char* name : info.names)
            if (name) names.push_back(name);
    return names;
}

std::vector<const char*> FormatLoaders() {
    std::vector<const char*> loaders;
    for (const FormatInfo& info : kFormats) loaders.push_back(info.loader);
    return loaders;
}

bool FormatFromLoader(const char* loader, ImageFormat* format) {
    if (!loader) return false;
    const std::string name = loader;
    for (const FormatInfo& info : kFormats)
        if (name.rfind(info.loader, 0) == 0) {
            *format = info.format;
            return true;
        }
    return false;
}
