// Image files through libvips: PNG, JPEG, TIFF and WebP in, the same out, with
// their colour profile and metadata carried across. The samples are held as
// the file gives them (0..255 or 0..65535), interleaved, colour planes first.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/image_format.h"
#include "core/image_limits.h"
#include "core/pixel_block.h"

// The default limit on the pixels of one image (--max-pixels).
constexpr int64_t kDefaultMaxPixels = 100000000;

// Everything a file says besides its samples: colour profile, EXIF, XMP,
// IPTC, resolution, text chunks. Opaque here; carried from input to output.
struct ImageMetadata;

struct ImageFile {
    int32_t width = 0;
    int32_t height = 0;
    int depth = 8;       // 8 or 16 bits per sample
    int channels = 3;    // 1 gray, 2 gray+alpha, 3 RGB, 4 RGBA
    PixelBlock pixels;   // width * height * channels samples, depth / 8 bytes each
    std::shared_ptr<ImageMetadata> metadata;
    ImageFormat format = ImageFormat::Png;  // what the input was
    std::string conversion;  // what was converted on reading, for the verbose report; empty if nothing
    std::string damage;      // what the decoder said of a file read despite it; empty if nothing

    bool HasAlpha() const { return channels == 2 || channels == 4; }
    size_t SampleCount() const { return size_t(width) * size_t(height) * size_t(channels); }
    uint16_t Sample(size_t i) const { return LoadSample(pixels, i, depth); }
    void SetSample(size_t i, uint16_t value) { StoreSample(pixels, i, depth, value); }
    std::vector<uint16_t> Samples() const {
        std::vector<uint16_t> values(SampleCount());
        for (size_t i = 0; i < values.size(); ++i) values[i] = Sample(i);
        return values;
    }
};

struct ReadOptions {
    bool autorotate = true;        // apply the EXIF orientation, and reset it
    int64_t maxPixels = kDefaultMaxPixels;
    // Damaged files (data lost or made up by the decoder) fail unless this
    // is set; then they are read as the decoder can, and `damage` says what it said.
    bool acceptDamaged = false;
    // Reads and checks the header only (size, limits, colour space, memory),
    // as the run would before decoding: the image gets its shape, no pixels.
    bool headerOnly = false;
    std::function<void(int percent)> progress;
    std::function<bool()> cancelled;  // true stops the decoding
    // Asked once the header is read, before any pixel is decoded: false (with
    // a reason) refuses the file as too large for the memory at hand.
    std::function<bool(int64_t width, int64_t height, int channels, int depth, std::string* reason)> admit;
};

struct WriteOptions {
    ImageFormat format = ImageFormat::Png;
    int jpegQuality = 92;
    enum class Subsampling { Auto, Off, On } jpegSubsampling = Subsampling::Auto;  // auto: 4:4:4 from quality 90
    bool progressive = false;      // progressive JPEG, interlaced PNG
    int pngCompression = 1;        // zlib level; 1 writes fast, 9 smallest
    enum class TiffCompression { None, Lzw, Deflate, Zstd, Jpeg } tiffCompression = TiffCompression::Deflate;
    int webpQuality = 92;
    bool webpLossless = false;
    // What of the metadata is left out: nothing, everything but the colour
    // profile (dropping it would change the colours every viewer shows), or all.
    enum class Strip { None, KeepProfile, All } strip = Strip::None;
    std::function<void(int percent)> progress;
    std::function<bool()> cancelled;  // true stops the writing
    // Told what the output format could not hold of the metadata.
    std::function<void(const std::string&)> note;
};

// Starts libvips for the command (once, before any image) and blocks every
// loader other than PNG, JPEG, TIFF and WebP, and any loader libvips marks untrusted.
bool StartImageLibrary(const char* argv0, std::string* error);
void StopImageLibrary();

// Reads a whole image; on failure *failure says why, naming the file.
bool ReadImage(const std::string& path, const ReadOptions& options, ImageFile* image, Failure* failure);
// The same from bytes in memory (standard input's, or a test's); `name` is
// what messages call them.
bool ReadImageBytes(const std::vector<uint8_t>& bytes, const std::string& name, const ReadOptions& options,
                    ImageFile* image, Failure* failure);

// Writes the image in options.format to path ("-": standard output).
bool WriteImage(const std::string& path, const ImageFile& image, const WriteOptions& options, Failure* failure);
