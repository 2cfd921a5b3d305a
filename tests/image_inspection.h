// What the tests read of a decoded image's metadata.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/image_file.h"

// A named piece of metadata as bytes (icc-profile-data, exif-data, xmp-data,
// iptc-data, or any string field), and the resolution in pixels per inch.
std::vector<uint8_t> MetadataBytes(const ImageFile& image, const std::string& name);
double ResolutionPerInch(const ImageFile& image);
int Orientation(const ImageFile& image);  // 1 when the file has none
