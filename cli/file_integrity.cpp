#include "cli/file_integrity.h"

#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t LittleEndian32(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

FileIntegrity Damaged(bool truncated, std::string problem) {
    FileIntegrity integrity;
    integrity.whole = false;
    integrity.truncated = truncated;
    integrity.problem = std::move(problem);
    return integrity;
}

// How many whole rows a non-interlaced PNG's image data holds, inflating
// what is there until it ends or breaks.
int64_t PngRowsPresent(const uint8_t* data, size_t size) {
    if (size < 33) return 0;
    const uint32_t width = BigEndian32(data + 16);
    const uint8_t bitDepth = data[24], colourType = data[25], interlace = data[28];
    if (interlace != 0) return 0;  // an interlaced image's rows come whole only at the last pass
    const int samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const uint64_t rowBytes = 1 + (uint64_t(width) * uint64_t(samples) * bitDepth + 7) / 8;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return 0;
    std::vector<uint8_t> out(1 << 16);
    uint64_t produced = 0;
    for (size_t at = 8; at + 8 <= size;) {
        const uint32_t length = BigEndian32(data + at);
        const bool idat = std::memcmp(data + at + 4, "IDAT", 4) == 0;
        const size_t body = at + 8, available = std::min<size_t>(length, size - body);
        if (idat) {
            stream.next_in = const_cast<uint8_t*>(data + body);
            stream.avail_in = uInt(available);
            int status = Z_OK;
            while (stream.avail_in > 0 && status == Z_OK) {
                stream.next_out = out.data();
                stream.avail_out = uInt(out.size());
                status = inflate(&stream, Z_NO_FLUSH);
                produced += out.size() - stream.avail_out;
            }
            if (status != Z_OK) break;
        }
        if (available < length) break;
        at = body + size_t(length) + 4;
    }
    inflateEnd(&stream);
    return int64_t(produced / rowBytes);
}

FileIntegrity CheckPng(const uint8_t* data, size_t size) {
    size_t at = 8;
    while (at + 8 <= size) {
        const uint32_t length = BigEndian32(data + at);
        const std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
        if (length > 0x7fffffffu || at + 12 + size_t(length) > size) {
            FileIntegrity damage = Damaged(true, "the file ends inside its " + type + " chunk");
            damage.completeRows = PngRowsPresent(data, size);
            return damage;
        }
        const uint32_t stored = BigEndian32(data + at + 8 + length);
        if (uint32_t(crc32(crc32(0, data + at + 4, 4), data + at + 8, uInt(length))) != stored) {
            // Ancillary chunks (lower-case first letter) may be skipped; image data may not.
            if (!(type[0] & 0x20)) {
                FileIntegrity damage = Damaged(false, "its " + type + " chunk is corrupt (checksum wrong)");
                damage.completeRows = PngRowsPresent(data, size);
                return damage;
            }
        }
        at += 12 + size_t(length);
        if (type == "IEND") return {};
    }
    FileIntegrity damage = Damaged(true, "the file ends before its IEND chunk");
    damage.completeRows = PngRowsPresent(data, size);
    return damage;
}

// libjpeg's errors end the check through a jump; its warnings are noted.
struct JpegCheck {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool inScans = false;
    std::string warning;  // the first warning that means lost or made-up data
    std::string error;
};

void JpegError(j_common_ptr info) {
    auto* check = reinterpret_cast<JpegCheck*>(info->err);
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    check->error = text;
    std::longjmp(check->jump, 1);
}

void JpegMessage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    auto* check = reinterpret_cast<JpegCheck*>(info->err);
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    // Stray bytes between segments before the first scan are what some
    // cameras leave; they lose nothing. Anything after that is scan data
    // lost or made up.
    const bool harmless = !check->inScans && info->err->msg_code == JWRN_EXTRANEOUS_DATA;
    if (!harmless && check->warning.empty()) check->warning = text;
}

FileIntegrity CheckJpeg(const uint8_t* data, size_t size) {
    jpeg_decompress_struct info{};
    JpegCheck check{};
    info.err = jpeg_std_error(&check.manager);
    check.manager.error_exit = JpegError;
    check.manager.emit_message = JpegMessage;
    if (setjmp(check.jump)) {
        jpeg_destroy_decompress(&info);
        return Damaged(false, check.error);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    check.inScans = true;
    jpeg_read_coefficients(&info);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (check.warning.empty()) return {};
    const bool ends = check.warning.find("Premature end") != std::string::npos;
    return Damaged(ends, ends ? "the file ends before its last scan (" + check.warning + ")" : check.warning);
}

// libtiff over bytes in memory.
struct MemoryFile {
    const uint8_t* data;
    toff_t size;
    toff_t at;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t n = std::min<toff_t>(toff_t(count), file->at < file->size ? file->size - file->at : 0);
    std::memcpy(buffer, file->data + file->at, size_t(n));
    file->at += n;
    return tmsize_t(n);
}
tmsize_t MemoryWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    file->at = whence == SEEK_SET ? offset : whence == SEEK_CUR ? file->at + offset : file->size + offset;
    return file->at;
}
int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}
int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

FileIntegrity CheckTiff(const uint8_t* data, size_t size) {
    MemoryFile file{data, toff_t(size), 0};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF* tiff = TIFFClientOpenExt("tiff", "rm", &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose,
                                   MemorySize, NoMap, NoUnmap, options);
    TIFFOpenOptionsFree(options);
    if (!tiff) return Damaged(false, "its first directory cannot be read");
    const bool tiled = TIFFIsTiled(tiff);
    const uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    const bool listed = TIFFGetField(tiff, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) &&
                        TIFFGetField(tiff, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts);
    FileIntegrity integrity;
    if (!listed || !offsets || !counts) {
        integrity = Damaged(false, "it does not say where its image data lies");
    } else {
        for (uint32_t i = 0; i < count; ++i)
            if (offsets[i] > size || counts[i] > size - offsets[i]) {
                integrity = Damaged(true, std::string("the file ends inside its image data (") +
                                              (tiled ? "tile " : "strip ") + std::to_string(i + 1) + " of " +
                                              std::to_string(count) + ")");
                break;
            }
    }
    TIFFClose(tiff);
    return integrity;
}

FileIntegrity CheckWebp(const uint8_t* data, size_t size) {
    if (size < 12) return Damaged(true, "the file ends inside its header");
    const uint64_t end = uint64_t(LittleEndian32(data + 4)) + 8;
    if (end > size) return Damaged(true, "the file ends " + std::to_string(end - size) + " bytes early");
    for (uint64_t at = 12; at < end;) {
        if (at + 8 > end) return Damaged(false, "a chunk header runs past the container");
        const uint64_t length = LittleEndian32(data + at + 4);
        if (at + 8 + length > end) return Damaged(false, "a chunk runs past the container");
        at += 8 + length + (length & 1);
    }
    return {};
}

}  // namespace

FileIntegrity CheckFileIntegrity(ImageFormat format, const uint8_t* data, size_t size) {
    switch (format) {
        case ImageFormat::Png: return CheckPng(data, size);
        case ImageFormat::Jpeg: return CheckJpeg(data, size);
        case ImageFormat::Tiff: return CheckTiff(data, size);
        case ImageFormat::Webp: return CheckWebp(data, size);
    }
    return {};
}

std::string DescribeNonImage(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "";
    if (S_ISDIR(info.st_mode)) return "is a folder, not an image";
    if (S_ISREG(info.st_mode) && info.st_size == 0) return "is an empty file";
    std::ifstream file(path, std::ios::binary);
    char head[512];
    file.read(head, sizeof head);
    const size_t got = size_t(file.gcount());
    const auto* bytes = reinterpret_cast<const uint8_t*>(head);
    if (got >= 4 && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0))
        return "is a TIFF file that cannot be read (damaged, or a kind of TIFF glyra does not take)";
    if (got >= 8 && std::memcmp(head, "\x89PNG", 4) == 0) return "is a damaged PNG file";
    if (got >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "is a damaged JPEG file";
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
        return "is a damaged WebP file";
    if (std::all_of(bytes, bytes + got, [](uint8_t c) { return c == '\n' || c == '\r' || c == '\t' || c >= 0x20; }))
        return "is a text file, not an image";
    return "";
}
