#include "cli/image_file.h"

#include <png.h>
#include <zlib.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* file) const {
        if (file) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// ---- PNG ----

struct PngFailure {
    char message[200] = "";
};

void PngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// The decoding frames hold no C++ objects of their own: a longjmp out of
// libpng or libjpeg skips no destructor. The callers build the messages.
bool ReadPngCore(FILE* file, ImageFile* image, std::vector<uint8_t>* buffer, std::vector<png_bytep>* rowPointers,
                 PngFailure* failurePtr) {
    PngFailure& failure = *failurePtr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(failure.message, sizeof failure.message, "out of memory");
        return false;
    }
    std::vector<png_bytep>& rows = *rowPointers;
    std::vector<uint8_t>& pixels = *buffer;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_user_limits(png, 32767, 32767);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_swap(png);  // samples in the machine's order
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    image->width = int32_t(png_get_image_width(png, info));
    image->height = int32_t(png_get_image_height(png, info));
    image->depth = png_get_bit_depth(png, info) == 16 ? 16 : 8;
    image->channels = png_get_channels(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * size_t(image->height));
    rows.resize(size_t(image->height));
    for (int32_t y = 0; y < image->height; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool ReadPng(FILE* file, const std::string& path, ImageFile* image, std::string* error) {
    PngFailure failure;
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    if (!ReadPngCore(file, image, &pixels, &rows, &failure)) {
        *error = path + ": not a readable PNG file (" + failure.message + ")";
        return false;
    }
    const size_t rowBytes = size_t(image->width) * size_t(image->channels) * size_t(image->depth / 8);
    const size_t count = size_t(image->width) * size_t(image->height) * size_t(image->channels);
    image->samples.resize(count);
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = pixels.data() + size_t(y) * rowBytes;
        uint16_t* out = image->samples.data() + size_t(y) * size_t(image->width) * size_t(image->channels);
        const size_t n = size_t(image->width) * size_t(image->channels);
        if (image->depth == 16)
            std::memcpy(out, row, n * 2);
        else
            for (size_t i = 0; i < n; ++i) out[i] = row[i];
    }
    return true;
}

bool WritePngCore(FILE* file, const ImageFile& image, int compression, std::vector<uint8_t>* rowBuffer,
                  PngFailure* failurePtr) {
    PngFailure& failure = *failurePtr;
    static const int kColorTypes[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                      PNG_COLOR_TYPE_RGB_ALPHA};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(failure.message, sizeof failure.message, "out of memory");
        return false;
    }
    const size_t rowSamples = size_t(image.width) * size_t(image.channels);
    std::vector<uint8_t>& row = *rowBuffer;
    row.resize(rowSamples * (image.depth == 16 ? 2 : 1));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, compression);
    if (compression <= 1) {
        // The fast setting: run-length matching after the cheapest filter.
        // On photographs it writes several times faster than zlib's default
        // for files a few per cent larger.
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    }
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.depth,
                 kColorTypes[image.channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (image.depth == 16) png_set_swap(png);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint16_t* in = image.samples.data() + size_t(y) * rowSamples;
        if (image.depth == 16)
            std::memcpy(row.data(), in, rowSamples * 2);
        else
            for (size_t i = 0; i < rowSamples; ++i) row[i] = uint8_t(in[i]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WritePng(FILE* file, const std::string& path, const ImageFile& image, int compression, std::string* error) {
    PngFailure failure;
    std::vector<uint8_t> row;
    if (WritePngCore(file, image, compression, &row, &failure)) return true;
    *error = path + ": cannot write PNG (" + failure.message + ")";
    return false;
}

// ---- JPEG ----

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
};

void JpegError(j_common_ptr info) {
    auto* failure = reinterpret_cast<JpegFailure*>(info->err);
    (*info->err->format_message)(info, failure->message);
    std::longjmp(failure->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

bool ReadJpegCore(FILE* file, ImageFile* image, std::vector<uint8_t>* buffer, JpegFailure* failurePtr) {
    JpegFailure& failure = *failurePtr;
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = JpegError;
    failure.manager.emit_message = JpegSilence;
    std::vector<uint8_t>& pixels = *buffer;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        std::snprintf(failure.message, sizeof failure.message, "CMYK is not supported, gray and RGB are");
        return false;
    }
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width > 32767 || info.output_height > 32767) {
        jpeg_destroy_decompress(&info);
        std::snprintf(failure.message, sizeof failure.message, "wider or taller than 32767 pixels");
        return false;
    }
    image->width = int32_t(info.output_width);
    image->height = int32_t(info.output_height);
    image->depth = 8;
    image->channels = info.output_components;
    const size_t rowSamples = size_t(image->width) * size_t(image->channels);
    pixels.resize(rowSamples * size_t(image->height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + size_t(info.output_scanline) * rowSamples;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool ReadJpeg(FILE* file, const std::string& path, ImageFile* image, std::string* error) {
    JpegFailure failure;
    std::vector<uint8_t> pixels;
    if (!ReadJpegCore(file, image, &pixels, &failure)) {
        *error = path + ": not a readable JPEG file (" + failure.message + ")";
        return false;
    }
    image->samples.assign(pixels.begin(), pixels.end());
    return true;
}

bool WriteJpegCore(FILE* file, const ImageFile& image, int quality, std::vector<uint8_t>* rowBuffer,
                   JpegFailure* failurePtr) {
    JpegFailure& failure = *failurePtr;
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = JpegError;
    failure.manager.emit_message = JpegSilence;
    const size_t rowSamples = size_t(image.width) * size_t(image.channels);
    std::vector<uint8_t>& row = *rowBuffer;
    row.resize(rowSamples);
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(image.width);
    info.image_height = JDIMENSION(image.height);
    info.input_components = image.channels;
    info.in_color_space = image.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const uint16_t* in = image.samples.data() + size_t(info.next_scanline) * rowSamples;
        for (size_t i = 0; i < rowSamples; ++i)
            row[i] = image.depth == 16 ? uint8_t((uint32_t(in[i]) * 255u + 32767u) / 65535u) : uint8_t(in[i]);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool WriteJpeg(FILE* file, const std::string& path, const ImageFile& image, int quality, std::string* error) {
    if (image.channels != 1 && image.channels != 3) {
        *error = path + ": JPEG has no transparency; write PNG to keep it";
        return false;
    }
    JpegFailure failure;
    std::vector<uint8_t> row;
    if (WriteJpegCore(file, image, quality, &row, &failure)) return true;
    *error = path + ": cannot write JPEG (" + failure.message + ")";
    return false;
}

}  // namespace

bool FormatFromName(const std::string& path, ImageFormat* format) {
    const std::string name = Lower(path);
    if (EndsWith(name, ".png")) {
        *format = ImageFormat::Png;
        return true;
    }
    if (EndsWith(name, ".jpg") || EndsWith(name, ".jpeg")) {
        *format = ImageFormat::Jpeg;
        return true;
    }
    return false;
}

bool ReadImageFile(const std::string& path, ImageFile* image, std::string* error) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char signature[8] = {0};
    const size_t got = std::fread(signature, 1, sizeof signature, file.get());
    std::rewind(file.get());
    if (got == 8 && png_sig_cmp(signature, 0, 8) == 0) return ReadPng(file.get(), path, image, error);
    if (got >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF)
        return ReadJpeg(file.get(), path, image, error);
    *error = path + ": not a PNG or JPEG file";
    return false;
}

bool WriteImageFile(const std::string& path, ImageFormat format, const ImageFile& image,
                    const WriteSettings& settings, std::string* error) {
    if (image.channels < 1 || image.channels > 4 || (image.depth != 8 && image.depth != 16)) {
        *error = path + ": unsupported image shape";
        return false;
    }
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = format == ImageFormat::Png
                             ? WritePng(file.get(), path, image, settings.pngCompression, error)
                             : WriteJpeg(file.get(), path, image, settings.jpegQuality, error);
    if (std::fclose(file.release()) != 0 && written) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    return written;
}
