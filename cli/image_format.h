// The file formats the command reads and writes, named by extension or by
// --format, and what each can hold.
#pragma once

#include <string>

enum class ImageFormat { Png, Jpeg, Tiff, Webp };

// From a file name's extension (.png, .jpg, .jpeg, .tif, .tiff, .webp, in any
// case); false for any other.
bool FormatFromPath(const std::string& path, ImageFormat* format);
// From a name as --format takes it: png, jpeg (or jpg), tiff (or tif), webp,
// in any case.
bool FormatFromName(const std::string& name, ImageFormat* format);

const char* FormatName(ImageFormat format);       // "PNG", "JPEG", ...
const char* FormatExtension(ImageFormat format);  // "png", "jpg", "tif", "webp"
bool FormatHoldsSixteenBits(ImageFormat format);  // PNG and TIFF
bool FormatHoldsAlpha(ImageFormat format);        // all but JPEG

// The names --format accepts, for messages and completion.
constexpr const char* kFormatNames = "png, jpeg, tiff, webp";
