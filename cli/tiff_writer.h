// TIFF output through libtiff directly. libvips writes TIFF too, but its
// deflate runs at zlib's default level only (a 16-bit 12-megapixel photograph
// took more than twice as long as PNG), and it writes no EXIF into TIFF and
// cuts IPTC to whole 4-byte words. Here deflate runs at level 1 with the
// horizontal predictor. EXIF, IPTC and XMP are added afterwards
// (cli/photo_metadata.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TiffMetadata {
    std::vector<uint8_t> icc;   // ICC profile
    double xResolution = 0, yResolution = 0;  // per unit; 0: none
    int resolutionUnit = 1;                   // TIFF's: 1 none (an aspect ratio), 2 inch, 3 centimetre
};

struct TiffPixels {
    const uint8_t* data;  // interleaved samples, 16-bit in the machine's order
    int32_t width;
    int32_t height;
    int channels;  // 1 to 4; 2 and 4 carry unassociated alpha
    int depth;     // 8 or 16
};

enum class TiffCompression { None, Lzw, Deflate, Zstd };

// Writes a whole file at path ("-": standard output); false with a reason.
// Outputs that cannot seek (standard output, pipes, devices) are assembled in
// memory first, as the format needs to go back to its header. Progress gets
// the share of rows written; a true from `cancelled` stops the write.
bool WriteTiff(const std::string& path, const TiffPixels& pixels, const TiffMetadata& metadata,
               TiffCompression compression, const std::function<void(double)>& progress,
               const std::function<bool()>& cancelled, std::string* error);
