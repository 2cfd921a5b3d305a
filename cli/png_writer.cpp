#include "cli/png_writer.h"

#include "cli/png_image_data.h"
#include "core/parallel_work.h"

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace {

// Valid UTF-8 with at least one character beyond ASCII: what Latin-1 text
// (bytes 0xA0-0xFF standing alone) almost never is.
bool IsUtf8BeyondAscii(const std::string& text) {
    bool beyond = false;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || at + length > text.size()) return false;
        for (size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
        beyond |= length > 1;
        at += length;
    }
    return beyond;
}

struct PngFailure {
    char message[200] = "";
};

void PngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// The iCCP chunk's body: a profile name, compression method 0, the zlib stream.
// libpng's png_set_iCCP refuses profiles it considers wrong (the widespread
// HP sRGB profile among them), some with an error that would end the write,
// others by dropping them; a photograph's profile is written as it came.
bool IccChunk(const std::vector<uint8_t>& profile, std::vector<uint8_t>* chunk) {
    static const char kName[] = "icc";
    uLongf packed = compressBound(uLong(profile.size()));
    chunk->assign(sizeof kName + 1 + packed, 0);
    std::memcpy(chunk->data(), kName, sizeof kName);  // with its NUL; the method byte after it is 0
    if (compress2(chunk->data() + sizeof kName + 1, &packed, profile.data(), uLong(profile.size()), 9) != Z_OK)
        return false;
    chunk->resize(sizeof kName + 1 + packed);
    return true;
}

// The encoding frame holds no C++ object of its own: a longjmp out of libpng
// skips no destructor.
bool Encode(FILE* file, const PngPixels& pixels, const PngMetadata& metadata, int compression, bool interlace,
            const std::function<void(double)>* progress, const std::function<bool()>* cancelled,
            std::vector<png_text>* texts, std::vector<uint8_t>* iccChunk, bool headerOnly, PngFailure* failure) {
    static const int kColorTypes[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                      PNG_COLOR_TYPE_RGB_ALPHA};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, compression);
    if (compression <= 1) {
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    }
    png_set_IHDR(png, info, png_uint_32(pixels.width), png_uint_32(pixels.height), pixels.depth,
                 kColorTypes[pixels.channels], interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!iccChunk->empty()) {
        // Before PLTE and IDAT, as iCCP must be.
        static const png_byte kIccp[] = "iCCP";
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kIccp, 1);
        png_unknown_chunk chunk{};
        std::memcpy(chunk.name, kIccp, 5);
        chunk.data = iccChunk->data();
        chunk.size = iccChunk->size();
        chunk.location = PNG_HAVE_IHDR;
        png_set_unknown_chunks(png, info, &chunk, 1);
    }
    if (metadata.xPerMetre > 0 && metadata.yPerMetre > 0) {
        png_set_pHYs(png, info, png_uint_32(metadata.xPerMetre + 0.5), png_uint_32(metadata.yPerMetre + 0.5),
                     metadata.unitless ? PNG_RESOLUTION_UNKNOWN : PNG_RESOLUTION_METER);
    }
    if (!texts->empty()) png_set_text(png, info, texts->data(), int(texts->size()));
    png_write_info(png, info);
    if (headerOnly) {
        // The image data and IEND follow from WriteChunk.
        png_destroy_write_struct(&png, &info);
        return true;
    }
    if (pixels.depth == 16) png_set_swap(png);  // samples are in the machine's order
    const size_t rowBytes = size_t(pixels.width) * size_t(pixels.channels) * size_t(pixels.depth / 8);
    const int passes = interlace ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int32_t y = 0; y < pixels.height; ++y) {
            png_write_row(png, pixels.data + size_t(y) * rowBytes);
            if (y % 64 == 0) {
                if (*progress) (*progress)((pass + double(y) / pixels.height) / passes);
                if (*cancelled && (*cancelled)()) {
                    std::snprintf(failure->message, sizeof failure->message, "cancelled");
                    png_destroy_write_struct(&png, &info);
                    return false;
                }
            }
        }
    // Every chunk went before the image data; handing the info again would
    // write eXIf a second time (libpng 1.6 does not mark it written).
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// One chunk, framed, into the file.
bool WriteChunk(FILE* file, const char type[4], const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) return false;
    const PngChunkFrame frame = FramePngChunk(type, data, size);
    return std::fwrite(frame.head, 1, 8, file) == 8 && (size == 0 || std::fwrite(data, 1, size, file) == size) &&
           std::fwrite(frame.tail, 1, 4, file) == 4;
}

}  // namespace

PngChunkFrame FramePngChunk(const char type[4], const uint8_t* data, size_t size) {
    PngChunkFrame frame;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (size) crc = crc32(crc, data, uInt(size));  // a null buffer would restart the CRC
    for (int i = 0; i < 4; ++i) {
        frame.head[i] = uint8_t(size >> (24 - 8 * i));
        frame.head[4 + i] = uint8_t(type[i]);
        frame.tail[i] = uint8_t(crc >> (24 - 8 * i));
    }
    return frame;
}

bool WritePng(FILE* file, const PngPixels& pixels, const PngMetadata& metadata, int compression, bool interlace,
              const std::function<void(double)>& progress, const std::function<bool()>& cancelled,
              std::string* error) {
    if (pixels.channels < 1 || pixels.channels > 4 || (pixels.depth != 8 && pixels.depth != 16)) {
        *error = "unsupported image shape";
        return false;
    }
    // The texts as plain text (EXIF, IPTC and XMP are added afterwards):
    // tEXt for Latin-1, iTXt for UTF-8 beyond ASCII (libvips hands both over
    // as the file held them), so that readers see what was written.
    std::vector<png_text> texts;
    for (const auto& [key, value] : metadata.texts) {
        png_text text{};
        text.key = const_cast<char*>(key.c_str());
        text.text = const_cast<char*>(value.c_str());
        if (IsUtf8BeyondAscii(value)) {
            text.compression = PNG_ITXT_COMPRESSION_NONE;
            text.itxt_length = value.size();
        } else {
            text.compression = PNG_TEXT_COMPRESSION_NONE;
            text.text_length = value.size();
        }
        texts.push_back(text);
    }
    std::vector<uint8_t> iccChunk;
    if (!metadata.icc.empty() && !IccChunk(metadata.icc, &iccChunk)) {
        *error = "cannot compress the colour profile";
        return false;
    }
    // At the fast levels libpng writes the header, and the rows, compressed
    // on every core, follow as IDAT chunks as they are ready; the other levels
    // (adaptive filters) and interlaced images go row by row through libpng.
    const bool onEveryCore = !interlace && compression <= 1;
    PngFailure failure;
    if (!Encode(file, pixels, metadata, compression, interlace, &progress, &cancelled, &texts, &iccChunk, onEveryCore,
                &failure)) {
        *error = failure.message;
        return false;
    }
    if (!onEveryCore) return true;
    bool writeFailed = false;
    const bool written = CompressImageData(
        pixels, compression, WorkerCount(0), progress, cancelled,
        [file](std::vector<uint8_t>& piece) { return WriteChunk(file, "IDAT", piece.data(), piece.size()); },
        &writeFailed);
    if (written && WriteChunk(file, "IEND", nullptr, 0)) return true;
    *error = writeFailed || written ? "cannot write the image data" : cancelled && cancelled() ? "cancelled"
                                                                                             : "cannot compress the image data";
    return false;
}
