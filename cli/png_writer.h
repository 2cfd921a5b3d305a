// PNG output through libpng directly. libvips writes PNG too, but only with
// zlib's default matching; run-length matching after the Sub filter writes a
// 12-megapixel photograph twice as fast for files a few per cent larger, and
// the command's speed depends on it. The colour profile, the texts and the
// resolution go in here; EXIF, IPTC and XMP are added afterwards
// (cli/photo_metadata.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct PngMetadata {
    std::vector<uint8_t> icc;   // iCCP, written as it came (libpng's own profile checks are not applied)
    std::vector<std::pair<std::string, std::string>> texts;  // tEXt
    double xPerMetre = 0, yPerMetre = 0;  // pHYs; 0: none
    bool unitless = false;                // pHYs states an aspect ratio only
};

struct PngPixels {
    const uint8_t* data;  // interleaved samples, 16-bit in the machine's order
    int32_t width;
    int32_t height;
    int channels;  // 1 to 4
    int depth;     // 8 or 16
};

// Writes to an open file; false with a reason. Compression is zlib's level:
// up to 1 with run-length matching and the Sub filter, compressed on every
// core (cli/png_image_data.h) unless interlaced; above, with zlib's default
// matching and adaptive filters, row by row. Progress gets the share of rows
// written; a true from `cancelled` stops the write.
bool WritePng(FILE* file, const PngPixels& pixels, const PngMetadata& metadata, int compression, bool interlace,
              const std::function<void(double)>& progress, const std::function<bool()>& cancelled,
              std::string* error);

// What PNG puts around a chunk's data: before it the length and the type,
// after it the CRC of type and data. Every chunk the command writes itself
// (the image data here, eXIf in cli/photo_metadata.cpp) is framed so.
struct PngChunkFrame {
    uint8_t head[8];
    uint8_t tail[4];
};
PngChunkFrame FramePngChunk(const char type[4], const uint8_t* data, size_t size);
