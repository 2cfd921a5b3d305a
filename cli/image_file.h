// Reading and writing image files: PNG (8 and 16 bits; gray, gray+alpha, RGB,
// RGBA) through libpng, and JPEG (8 bits; gray, RGB) through libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ImageFormat { Png, Jpeg };

struct ImageFile {
    int32_t width = 0;
    int32_t height = 0;
    int depth = 8;        // bits per sample: 8 or 16
    int channels = 3;     // 1 gray, 2 gray+alpha, 3 RGB, 4 RGBA
    std::vector<uint16_t> samples;  // interleaved, 0..255 or 0..65535

    bool HasAlpha() const { return channels == 2 || channels == 4; }
};

// The format a file name asks for, from its extension (.png, .jpg, .jpeg);
// false when the extension is not one of them.
bool FormatFromName(const std::string& path, ImageFormat* format);

// How files are written.
struct WriteSettings {
    int jpegQuality = 92;
    // zlib level of PNG output: 1 (the default) writes fast (run-length
    // matching) with files a few per cent larger; 9 gives the smallest files,
    // several times slower.
    int pngCompression = 1;
};

// Each returns false and a one-line reason in *error when it cannot.
bool ReadImageFile(const std::string& path, ImageFile* image, std::string* error);
bool WriteImageFile(const std::string& path, ImageFormat format, const ImageFile& image,
                    const WriteSettings& settings, std::string* error);
