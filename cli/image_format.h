// The file formats the command reads and writes, named by extension or by
// --format, and what each can hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
int32_t FormatMaxSide(ImageFormat format);        // WebP: 16383 pixels a side

// From the one table of formats: their names as --format takes them, joined
// by the separator ("png, jpeg, tiff, webp"), and every name and extension
// accepted (with "jpg", "tif" and the like), for the option parser.
std::string FormatNames(const char* separator);
std::vector<std::string> AcceptedFormatNames();

// The libvips loaders the command trusts with its input, one per format, and
// the format a loader (any of its variants: file, buffer, source) reads.
std::vector<const char*> FormatLoaders();
bool FormatFromLoader(const char* loader, ImageFormat* format);
