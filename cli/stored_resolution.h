// The resolution a file states, read from the file itself: libvips gives
// every image one (72 dpi when the file has none), so an output would claim a
// resolution its input never had, and a resolution without a unit would come
// out as dots per inch. Only what the input stated is written again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/image_format.h"

struct StoredResolution {
    bool present = false;
    enum class Unit { None, Inch, Centimetre } unit = Unit::None;  // None: an aspect ratio only
    double x = 0, y = 0;                                             // per unit

    double PerInch(double value) const { return unit == Unit::Centimetre ? value * 2.54 : value; }
    double PerMetre(double value) const { return unit == Unit::Inch ? value / 0.0254 : value * 100.0; }
};

// The same resolution per inch where that is the closer to a whole number
// (a PNG's 11811 per metre is 300 per inch, 118.11 per centimetre): formats
// that store whole numbers or rationals keep it exactly so.
StoredResolution InClosestWholeUnit(const StoredResolution& resolution);

// PNG's pHYs, a JPEG's JFIF density; TIFF's resolution comes with its EXIF
// (Exiv2 reads it) and WebP states none.
StoredResolution ReadStoredResolution(ImageFormat format, const uint8_t* data, size_t size);

// States the resolution in a written JPEG's JFIF segment (adding one after
// SOI when there is none), or 1:1 with no unit in an existing segment when
// there is no resolution to state. Rewrites the file in place.
bool SetJpegDensity(const std::string& path, const StoredResolution& resolution);
