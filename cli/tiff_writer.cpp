#include "cli/tiff_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>


namespace {

// libtiff reports through process-wide handlers; each write collects its own
// first error through the client data of its handle.
struct Failure {
    std::string message;
};

int ErrorHandler(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* failure = static_cast<Failure*>(user);
    if (failure && failure->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        failure->message = std::string(module ? module : "TIFF") + ": " + text;
    }
    return 1;
}

int QuietWarnings(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// A growing block of memory that libtiff writes into as into a file.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    toff_t at = 0;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t left = file->at < file->bytes.size() ? file->bytes.size() - file->at : 0;
    const tmsize_t count = tmsize_t(std::min<toff_t>(toff_t(size), left));
    std::memcpy(buffer, file->bytes.data() + file->at, size_t(count));
    file->at += toff_t(count);
    return count;
}

tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (file->at + toff_t(size) > file->bytes.size()) file->bytes.resize(size_t(file->at + toff_t(size)));
    std::memcpy(file->bytes.data() + file->at, buffer, size_t(size));
    file->at += toff_t(size);
    return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file->at : file->bytes.size();
    file->at = base + offset;
    return file->at;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, void*, toff_t) {}

bool Seekable(const std::string& path) {
    if (path == "-") return false;
    struct stat info {};
    return stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    const int descriptor = path == "-" ? STDOUT_FILENO : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) {
        *error = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            *error = std::strerror(errno);
            if (path != "-") close(descriptor);
            return false;
        }
        done += size_t(wrote);
    }
    return path == "-" || close(descriptor) == 0;
}

bool WriteDirectory(TIFF* tiff, const TiffPixels& pixels, const TiffMetadata& metadata, TiffCompression compression,
                    const std::function<void(double)>& progress, const std::function<bool()>& cancelled,
                    std::string* error) {
    const bool alpha = pixels.channels == 2 || pixels.channels == 4;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(pixels.channels));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(pixels.depth));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, pixels.channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    if (alpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
    }
    switch (compression) {
        case TiffCompression::None: TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE); break;
        case TiffCompression::Lzw:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            break;
        case TiffCompression::Deflate:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1);
            break;
        case TiffCompression::Zstd:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD);
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            break;
    }
    const size_t rowBytes = size_t(pixels.width) * size_t(pixels.channels) * size_t(pixels.depth / 8);
    // Strips of about 256 KB: small enough to stop quickly, large enough to compress well.
    const uint32_t rowsPerStrip = uint32_t(std::max<size_t>(1, (256 * 1024) / std::max<size_t>(rowBytes, 1)));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, std::min<uint32_t>(rowsPerStrip, uint32_t(pixels.height)));
    if (metadata.xResolution > 0 && metadata.yResolution > 0) {
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, uint16_t(metadata.resolutionUnit));
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, metadata.xResolution);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, metadata.yResolution);
    }
    if (!metadata.icc.empty())
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(metadata.icc.size()), metadata.icc.data());

    std::vector<uint8_t> row(rowBytes);
    for (int32_t y = 0; y < pixels.height; ++y) {
        std::memcpy(row.data(), pixels.data + size_t(y) * rowBytes, rowBytes);  // libtiff may change the row in place
        if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) {
            *error = "cannot write row " + std::to_string(y);
            return false;
        }
        if (y % 64 == 0) {
            if (progress) progress(double(y) / pixels.height);
            if (cancelled && cancelled()) {
                *error = "cancelled";
                return false;
            }
        }
    }
    if (!TIFFWriteDirectory(tiff)) {
        *error = "cannot write the directory";
        return false;
    }
    return true;
}

}  // namespace

bool WriteTiff(const std::string& path, const TiffPixels& pixels, const TiffMetadata& metadata,
               TiffCompression compression, const std::function<void(double)>& progress,
               const std::function<bool()>& cancelled, std::string* error) {
    if (pixels.channels < 1 || pixels.channels > 4 || (pixels.depth != 8 && pixels.depth != 16)) {
        *error = "unsupported image shape";
        return false;
    }
    Failure failure;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, ErrorHandler, &failure);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietWarnings, nullptr);
    const bool seekable = Seekable(path);
    MemoryFile memory;
    // "w8" would make BigTIFF; plain TIFF holds any image the filter takes.
    TIFF* tiff = seekable ? TIFFOpenExt(path.c_str(), "w", options)
                          : TIFFClientOpenExt("memory", "w", &memory, MemoryRead, MemoryWrite, MemorySeek, MemoryClose,
                                              MemorySize, MemoryMap, MemoryUnmap, options);
    TIFFOpenOptionsFree(options);
    if (!tiff) {
        *error = failure.message.empty() ? std::strerror(errno) : failure.message;
        return false;
    }
    bool written = WriteDirectory(tiff, pixels, metadata, compression, progress, cancelled, error);
    TIFFClose(tiff);
    if (written && !failure.message.empty()) {
        *error = failure.message;
        written = false;
    }
    if (!written && !failure.message.empty() && *error != "cancelled") *error = failure.message;
    if (written && !seekable) written = WriteAll(path, memory.bytes, error);
    return written;
}
