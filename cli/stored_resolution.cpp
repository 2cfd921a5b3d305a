#include "cli/stored_resolution.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/whole_file.h"

namespace {

uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t BigEndian16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

StoredResolution FromPng(const uint8_t* data, size_t size) {
    StoredResolution resolution;
    for (size_t at = 8; at + 12 <= size;) {
        const uint32_t length = BigEndian32(data + at);
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0 || length > size - at - 12) break;
        if (std::memcmp(data + at + 4, "pHYs", 4) == 0 && length == 9) {
            const uint8_t* body = data + at + 8;
            resolution.present = BigEndian32(body) > 0 && BigEndian32(body + 4) > 0;
            resolution.unit = body[8] == 1 ? StoredResolution::Unit::Centimetre : StoredResolution::Unit::None;
            // Per metre in the file; held per centimetre.
            const double scale = body[8] == 1 ? 0.01 : 1.0;
            resolution.x = BigEndian32(body) * scale;
            resolution.y = BigEndian32(body + 4) * scale;
            break;
        }
        at += 12 + size_t(length);
    }
    return resolution;
}

// Where the JFIF segment's unit byte lies, or 0.
size_t JfifUnitOffset(const uint8_t* data, size_t size) {
    if (size < 20 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF || data[3] != 0xE0) return 0;
    if (std::memcmp(data + 6, "JFIF\0", 5) != 0 || BigEndian16(data + 4) < 16) return 0;
    return 13;
}

StoredResolution FromJpeg(const uint8_t* data, size_t size) {
    StoredResolution resolution;
    const size_t at = JfifUnitOffset(data, size);
    if (at == 0) return resolution;
    const uint8_t unit = data[at];
    resolution.x = BigEndian16(data + at + 1);
    resolution.y = BigEndian16(data + at + 3);
    resolution.unit = unit == 1   ? StoredResolution::Unit::Inch
                      : unit == 2 ? StoredResolution::Unit::Centimetre
                                  : StoredResolution::Unit::None;
    // 1:1 without a unit is JFIF's way of saying nothing.
    resolution.present = resolution.x > 0 && resolution.y > 0 &&
                         !(unit == 0 && resolution.x == 1 && resolution.y == 1);
    return resolution;
}

}  // namespace

StoredResolution InClosestWholeUnit(const StoredResolution& resolution) {
    StoredResolution whole = resolution;
    const double inch = resolution.x * 2.54;
    if (resolution.unit == StoredResolution::Unit::Centimetre &&
        std::fabs(inch - std::round(inch)) < std::fabs(resolution.x - std::round(resolution.x))) {
        // Per metre a file holds whole numbers: within a hundredth of a dot,
        // the whole number per inch is what was meant.
        const auto closest = [](double value) {
            return std::fabs(value - std::round(value)) < 0.01 ? std::round(value) : value;
        };
        whole.unit = StoredResolution::Unit::Inch;
        whole.x = closest(inch);
        whole.y = closest(resolution.y * 2.54);
    }
    return whole;
}

StoredResolution ReadStoredResolution(ImageFormat format, const uint8_t* data, size_t size) {
    switch (format) {
        case ImageFormat::Png: return FromPng(data, size);
        case ImageFormat::Jpeg: return FromJpeg(data, size);
        default: return {};
    }
}

bool SetJpegDensity(const std::string& path, const StoredResolution& resolution) {
    std::vector<uint8_t> file = ReadWholeFile(path);
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return false;
    uint8_t unit = !resolution.present                                      ? 0
                   : resolution.unit == StoredResolution::Unit::Inch       ? 1
                   : resolution.unit == StoredResolution::Unit::Centimetre ? 2
                                                                            : 0;
    const StoredResolution whole = InClosestWholeUnit(resolution);
    if (whole.unit == StoredResolution::Unit::Inch && unit == 2) unit = 1;
    const double xValue = whole.x, yValue = whole.y;
    const auto density = [&](double value) {
        return resolution.present ? uint32_t(std::lround(std::fmin(std::fmax(value, 1.0), 65535.0))) : 1u;
    };
    const uint32_t x = density(xValue), y = density(yValue);
    const uint8_t fields[5] = {unit, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)};
    size_t at = JfifUnitOffset(file.data(), file.size());
    if (at == 0) {
        if (!resolution.present) return true;  // no segment, and nothing to state
        // JFIF 1.01, no thumbnail: the segment libjpeg writes, after SOI.
        const uint8_t segment[18] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
        file.insert(file.begin() + 2, segment, segment + sizeof segment);
        at = 13;
    }
    std::copy(fields, fields + 5, file.begin() + std::ptrdiff_t(at));
    return RewriteInPlace(path, file);
}
