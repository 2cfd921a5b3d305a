#include "cli/image_file.h"

#include <vips/vips.h>

#include "cli/png_writer.h"
#include "cli/exif_directories.h"
#include "cli/file_integrity.h"
#include "cli/tiff_writer.h"
#include "core/allocation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The metadata of an image, held in a header-only libvips image.
struct ImageMetadata {
    VipsImage* header = nullptr;
    ~ImageMetadata() {
        if (header) g_object_unref(header);
    }
};

namespace {

// Holds a reference to a libvips object and lets it go.
template <typename T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* object) : object_(object) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(nullptr); }
    void Reset(T* object) {
        if (object_) g_object_unref(object_);
        object_ = object;
    }
    T* get() const { return object_; }
    T** out() {
        Reset(nullptr);
        return &object_;
    }
    T* release() {
        T* object = object_;
        object_ = nullptr;
        return object;
    }

private:
    T* object_ = nullptr;
};

// libvips's last error, as one line.
std::string LibraryError() {
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const size_t newline = text.rfind('\n');
    if (newline != std::string::npos) text = text.substr(newline + 1);
    return text.empty() ? "damaged, or not what its format says" : text;
}

// Fields every image has; the rest is metadata to carry.
bool IsGeometry(const char* name) {
    static const char* const kGeometry[] = {"width",   "height",  "bands",    "format", "coding", "interpretation",
                                            "xoffset", "yoffset", "filename", "mode",   "xres",   "yres"};
    for (const char* geometry : kGeometry)
        if (std::strcmp(name, geometry) == 0) return true;
    return false;
}

void CopyMetadata(VipsImage* from, VipsImage* to) {
    char** names = vips_image_get_fields(from);
    for (char** name = names; name && *name; ++name) {
        if (IsGeometry(*name)) continue;
        GValue value = G_VALUE_INIT;
        if (vips_image_get(from, *name, &value) == 0) {
            vips_image_set(to, *name, &value);
            g_value_unset(&value);
        }
    }
    g_strfreev(names);
    to->Xres = from->Xres;
    to->Yres = from->Yres;
}

// The loaders the command trusts with its input.
bool LoaderAllowed(const char* loader, ImageFormat* format) {
    if (!loader) return false;
    const std::string name = loader;
    auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (starts("VipsForeignLoadPng")) *format = ImageFormat::Png;
    else if (starts("VipsForeignLoadJpeg")) *format = ImageFormat::Jpeg;
    else if (starts("VipsForeignLoadTiff")) *format = ImageFormat::Tiff;
    else if (starts("VipsForeignLoadWebp")) *format = ImageFormat::Webp;
    else return false;
    return true;
}

struct ProgressHook {
    std::function<void(int)> report;
    std::function<bool()> cancelled;
    int shown = -1;
};

void OnEval(VipsImage* image, VipsProgress* progress, ProgressHook* hook) {
    if (hook->report && progress->percent != hook->shown) {
        hook->shown = progress->percent;
        hook->report(progress->percent);
    }
    // A cancel stops the evaluation: the read or write then fails.
    if (hook->cancelled && hook->cancelled()) vips_image_set_kill(image, TRUE);
}

void WatchProgress(VipsImage* image, ProgressHook* hook) {
    if (!hook->report && !hook->cancelled) return;
    vips_image_set_progress(image, TRUE);
    g_signal_connect(image, "eval", G_CALLBACK(OnEval), hook);
}

// Everything the pixels go through between the file and the host: a colour
// space of gray or RGB, 8 or 16 bits, at most four bands.
bool Normalise(VipsImage* in, VipsImage** out, std::string* conversion, std::string* error) {
    Ref<VipsImage> image(in);
    g_object_ref(in);
    const VipsInterpretation interpretation = vips_image_get_interpretation(image.get());
    if (interpretation == VIPS_INTERPRETATION_CMYK) {
        *error = "CMYK images are not supported; convert to RGB first";
        return false;
    }
    const bool gray = interpretation == VIPS_INTERPRETATION_B_W || interpretation == VIPS_INTERPRETATION_GREY16 ||
                      (interpretation == VIPS_INTERPRETATION_MULTIBAND && image.get()->Bands <= 2);
    const bool rgb = interpretation == VIPS_INTERPRETATION_sRGB || interpretation == VIPS_INTERPRETATION_RGB16 ||
                     interpretation == VIPS_INTERPRETATION_RGB ||
                     (interpretation == VIPS_INTERPRETATION_MULTIBAND && image.get()->Bands >= 3);
    const VipsBandFormat format = vips_image_get_format(image.get());
    const bool wide = format != VIPS_FORMAT_UCHAR && format != VIPS_FORMAT_CHAR;
    if (!gray && !rgb) {
        // Lab, XYZ and the like: shown as sRGB, as viewers show them.
        Ref<VipsImage> converted;
        if (vips_colourspace(image.get(), converted.out(), wide ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB,
                             nullptr)) {
            *error = LibraryError();
            return false;
        }
        image.Reset(converted.release());
        const bool floating = format == VIPS_FORMAT_FLOAT || format == VIPS_FORMAT_DOUBLE;
        *conversion = floating ? "floating-point colours converted to sRGB in 16 bits" : "colours converted to sRGB";
    }
    if (image.get()->Bands > 4) {
        Ref<VipsImage> first;
        if (vips_extract_band(image.get(), first.out(), 0, "n", 4, nullptr)) {
            *error = LibraryError();
            return false;
        }
        image.Reset(first.release());
        *conversion += std::string(conversion->empty() ? "" : "; ") + "bands past the fourth dropped";
    }
    switch (vips_image_get_format(image.get())) {
        case VIPS_FORMAT_UCHAR:
        case VIPS_FORMAT_USHORT:
            break;
        case VIPS_FORMAT_FLOAT:
        case VIPS_FORMAT_DOUBLE:
        case VIPS_FORMAT_COMPLEX:
        case VIPS_FORMAT_DPCOMPLEX: {
            // Floating-point samples are taken as 0..1 and written as 16 bits.
            Ref<VipsImage> scaled, cast;
            if (vips_linear1(image.get(), scaled.out(), 65535.0, 0.0, nullptr) ||
                vips_cast(scaled.get(), cast.out(), VIPS_FORMAT_USHORT, nullptr)) {
                *error = LibraryError();
                return false;
            }
            image.Reset(cast.release());
            *conversion += std::string(conversion->empty() ? "" : "; ") +
                           "floating-point samples scaled from 0..1 to 16 bits (outside that range clipped)";
            break;
        }
        default: {
            // Other integer widths: clipped into 16 bits.
            Ref<VipsImage> cast;
            if (vips_cast(image.get(), cast.out(), VIPS_FORMAT_USHORT, nullptr)) {
                *error = LibraryError();
                return false;
            }
            image.Reset(cast.release());
            *conversion += std::string(conversion->empty() ? "" : "; ") + "samples clipped into 16 bits";
        }
    }
    *out = image.release();
    return true;
}

// Evaluates the image into one block of memory, with its progress: the
// decoder writes straight into the block the filter reads.
bool ToMemory(VipsImage* image, PixelBlock* pixels, ProgressHook* hook, std::string* error) {
    WatchProgress(image, hook);
    const size_t size = VIPS_IMAGE_SIZEOF_IMAGE(image);
    // Not zeroed first, and in huge pages where the system has them.
    auto* data = static_cast<uint8_t*>(AllocateBytes(size ? size : 1));
    if (!data) {
        *error = "not enough memory for its " + std::to_string(size >> 20) + " MB of pixels";
        return false;
    }
    PixelBlock block(data, size, FreeBytes);
    Ref<VipsImage> target(vips_image_new_from_memory(block.Data(), size, image->Xsize, image->Ysize, image->Bands,
                                                    image->BandFmt));
    if (!target.get() || vips_image_write(image, target.get()) != 0) {
        *error = LibraryError();
        return false;
    }
    *pixels = std::move(block);
    return true;
}

std::vector<uint8_t> Blob(VipsImage* header, const char* name) {
    const void* data = nullptr;
    size_t length = 0;
    if (!vips_image_get_typeof(header, name) || vips_image_get_blob(header, name, &data, &length)) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + length);
}

// The first directory of an EXIF block (with or without JPEG's "Exif\0\0"):
// where it is and how the block's numbers read; not `found` when the block is
// no TIFF structure or the directory lies outside it.
struct ExifDirectory {
    const std::vector<uint8_t>& e;
    bool little = false;
    bool found = false;
    size_t at = 0;        // the directory's entry count
    uint32_t entries = 0;

    uint32_t U16(size_t i) const { return uint32_t(little ? e[i] | e[i + 1] << 8 : e[i] << 8 | e[i + 1]); }
    uint32_t U32(size_t i) const { return little ? U16(i) | U16(i + 2) << 16 : U16(i) << 16 | U16(i + 2); }

    explicit ExifDirectory(const std::vector<uint8_t>& block) : e(block) {
        const size_t start = e.size() >= 6 && std::memcmp(e.data(), "Exif\0\0", 6) == 0 ? 6 : 0;
        if (e.size() < start + 8) return;
        little = e[start] == 'I' && e[start + 1] == 'I';
        if (!little && !(e[start] == 'M' && e[start + 1] == 'M')) return;
        at = start + U32(start + 4);
        found = at + 2 <= e.size();
        if (found) entries = U16(at);
    }
    // Where entry i starts, or 0 when it runs past the block.
    size_t Entry(uint32_t i) const {
        const size_t entry = at + 2 + size_t(i) * 12;
        return entry + 12 <= e.size() ? entry : 0;
    }
};

// Unlinks the second directory of an EXIF block (the thumbnail's): a
// thumbnail of the unfiltered picture, and sideways once the picture is
// turned upright, would show the wrong image in every file browser.
void DropExifThumbnail(std::vector<uint8_t>* exif) {
    const ExifDirectory directory(*exif);
    const size_t next = directory.at + 2 + size_t(directory.entries) * 12;
    if (!directory.found || next + 4 > exif->size()) return;
    std::memset(exif->data() + next, 0, 4);
}

// Sets the orientation entry of an EXIF block's first directory to 1 (upright).
void ResetExifOrientation(std::vector<uint8_t>* exif) {
    const ExifDirectory directory(*exif);
    for (uint32_t i = 0; i < directory.entries; ++i) {
        const size_t entry = directory.Entry(i);
        if (entry == 0) return;
        if (directory.U16(entry) == 0x0112 && directory.U16(entry + 2) == 3) {  // Orientation, SHORT
            (*exif)[entry + 8] = directory.little ? 1 : 0;
            (*exif)[entry + 9] = directory.little ? 0 : 1;
        }
    }
}

// What a PNG file can carry of the metadata.
PngMetadata PngMetadataOf(VipsImage* header, WriteOptions::Strip strip) {
    PngMetadata metadata;
    metadata.icc = Blob(header, VIPS_META_ICC_NAME);
    if (strip == WriteOptions::Strip::KeepProfile) return metadata;
    metadata.iptc = Blob(header, VIPS_META_IPTC_NAME);
    metadata.exif = Blob(header, VIPS_META_EXIF_NAME);
    static const uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (metadata.exif.size() >= 6 && std::memcmp(metadata.exif.data(), kExifHeader, 6) == 0)
        metadata.exif.erase(metadata.exif.begin(), metadata.exif.begin() + 6);
    int orientation = 0;
    if (vips_image_get_typeof(header, VIPS_META_ORIENTATION) &&
        vips_image_get_int(header, VIPS_META_ORIENTATION, &orientation) == 0 && orientation == 1)
        ResetExifOrientation(&metadata.exif);
    const std::vector<uint8_t> xmp = Blob(header, VIPS_META_XMP_NAME);
    metadata.xmp.assign(xmp.begin(), xmp.end());
    char** names = vips_image_get_fields(header);
    for (char** name = names; name && *name; ++name) {
        // libvips names PNG texts png-comment-<index>-<key>.
        const std::string field = *name;
        if (field.rfind("png-comment-", 0) != 0) continue;
        const size_t dash = field.find('-', 12);
        const char* value = nullptr;
        if (dash == std::string::npos || vips_image_get_string(header, *name, &value) || !value) continue;
        metadata.texts.emplace_back(field.substr(dash + 1), value);
    }
    g_strfreev(names);
    if (header->Xres > 0 && header->Xres != 1.0) metadata.pixelsPerMetre = header->Xres * 1000.0;
    return metadata;
}

bool WritePngFile(const std::string& path, const ImageFile& image, const WriteOptions& options, std::string* error) {
    FILE* file = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    PngMetadata metadata;
    if (image.metadata && image.metadata->header && options.strip != WriteOptions::Strip::All)
        metadata = PngMetadataOf(image.metadata->header, options.strip);
    const PngPixels pixels{image.pixels.Data(), image.width, image.height, image.channels, image.depth};
    std::function<void(double)> progress;
    if (options.progress) progress = [&options](double done) { options.progress(int(done * 100)); };
    bool written = WritePng(file, pixels, metadata, options.pngCompression, options.progressive, progress,
                            options.cancelled, error);
    if (path == "-") {
        written = std::fflush(file) == 0 && written;
    } else if (std::fclose(file) != 0 && written) {
        *error = std::strerror(errno);
        written = false;
    }
    return written;
}

bool WriteTiffFile(const std::string& path, const ImageFile& image, const WriteOptions& options, std::string* error) {
    TiffMetadata metadata;
    VipsImage* header = image.metadata ? image.metadata->header : nullptr;
    if (header && options.strip != WriteOptions::Strip::All) {
        metadata.icc = Blob(header, VIPS_META_ICC_NAME);
        if (header->Xres > 0 && header->Xres != 1.0) metadata.pixelsPerInch = header->Xres * 25.4;
        if (options.strip == WriteOptions::Strip::None) {
            metadata.exif = Blob(header, VIPS_META_EXIF_NAME);
            metadata.xmp = Blob(header, VIPS_META_XMP_NAME);
            metadata.iptc = Blob(header, VIPS_META_IPTC_NAME);
            int orientation = 0;
            if (vips_image_get_typeof(header, VIPS_META_ORIENTATION) &&
                vips_image_get_int(header, VIPS_META_ORIENTATION, &orientation) == 0)
                metadata.orientation = orientation;
        }
    }
    const TiffPixels pixels{image.pixels.Data(), image.width, image.height, image.channels, image.depth};
    TiffCompression compression = TiffCompression::Deflate;
    switch (options.tiffCompression) {
        case WriteOptions::TiffCompression::None: compression = TiffCompression::None; break;
        case WriteOptions::TiffCompression::Lzw: compression = TiffCompression::Lzw; break;
        case WriteOptions::TiffCompression::Zstd: compression = TiffCompression::Zstd; break;
        default: break;
    }
    std::function<void(double)> progress;
    if (options.progress) progress = [&options](double done) { options.progress(int(done * 100)); };
    return WriteTiff(path, pixels, metadata, compression, progress, options.cancelled, error);
}

// A file's bytes, mapped for the structure check.
struct FileBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool mapped = false;

    bool Map(const std::string& path) {
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return false;
        struct stat info {};
        if (fstat(descriptor, &info) != 0) {
            close(descriptor);
            return false;
        }
        size = size_t(info.st_size);
        if (size > 0) {
            void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
            if (at == MAP_FAILED) {
                close(descriptor);
                return false;
            }
            data = static_cast<const uint8_t*>(at);
            mapped = true;
        }
        close(descriptor);
        return true;
    }
    void Unmap() {
        if (mapped) munmap(const_cast<uint8_t*>(data), size);
        mapped = false;
    }
    ~FileBytes() { Unmap(); }
};

std::vector<uint8_t> ReadStandardInput() {
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

}  // namespace

bool StartImageLibrary(const char* argv0, std::string* error) {
    // libvips loads its optional modules (PDF, HEIF, JPEG XL, ImageMagick and
    // slide loaders, with their hundred-odd libraries) from VIPSHOME/lib at
    // start-up, and the command blocks every one of them below: a prefix with
    // no modules saves that load, a third of the command's fixed cost. A
    // VIPSHOME the user set is kept.
    g_setenv("VIPSHOME", "/nonexistent", FALSE);
    if (VIPS_INIT(argv0)) {
        *error = LibraryError();
        return false;
    }
    // Only the four formats the command documents, and nothing libvips itself
    // does not trust with hostile files.
    vips_block_untrusted_set(TRUE);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* loader : {"VipsForeignLoadPng", "VipsForeignLoadJpeg", "VipsForeignLoadTiff", "VipsForeignLoadWebp"})
        vips_operation_block_set(loader, FALSE);
    vips_cache_set_max(0);  // each image is read once: nothing to keep
    // The decoders' warnings are libvips's to print; the command reports
    // what fails in one line of its own.
    g_log_set_handler("VIPS", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                      [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    return true;
}

void StopImageLibrary() { vips_shutdown(); }

namespace {

// Reads from a file (path set) or from bytes (bytes set).
bool ReadFrom(const std::string* path, const std::vector<uint8_t>* bytes, const std::string& shown,
              const ReadOptions& options, ImageFile* image, Failure* failure) {
    const char* loader = nullptr;
    if (bytes) {
        loader = vips_foreign_find_load_buffer(bytes->data(), bytes->size());
    } else {
        if (access(path->c_str(), R_OK) != 0)
            return failure->Set(kExitBadInput, shown + ": " + std::strerror(errno));
        loader = vips_foreign_find_load(path->c_str());
    }
    vips_error_clear();
    if (!LoaderAllowed(loader, &image->format)) {
        const std::string what = path ? DescribeNonImage(*path) : "";
        return failure->Set(kExitBadInput, shown + ": " + (what.empty() ? "not a PNG, JPEG, TIFF or WebP file" : what));
    }

    // Opening reads the header only: the size is checked before any pixel is
    // decoded. The decoders' errors are failures; their warnings (such as
    // unknown TIFF tags) lose nothing once the structure has been checked.
    const VipsFailOn failOn = options.acceptDamaged ? VIPS_FAIL_ON_NONE : VIPS_FAIL_ON_ERROR;
    FileIntegrity integrity;
    Ref<VipsImage> loaded;
    auto open = [&] {
        loaded.Reset(bytes ? vips_image_new_from_buffer(bytes->data(), bytes->size(), "", "access",
                                                        VIPS_ACCESS_SEQUENTIAL, "fail_on", failOn, nullptr)
                           : vips_image_new_from_file(path->c_str(), "access", VIPS_ACCESS_SEQUENTIAL, "fail_on",
                                                      failOn, nullptr));
    };
    open();
    if (!loaded.get()) return failure->Set(kExitBadInput, shown + ": cannot be read (" + LibraryError() + ")");
    const int64_t width = vips_image_get_width(loaded.get()), height = vips_image_get_height(loaded.get());
    if (width > kMaxImageSide || height > kMaxImageSide)
        return failure->Set(kExitTooLarge, shown + ": " + std::to_string(width) + " x " + std::to_string(height) +
                                               " pixels; the filter takes at most " + std::to_string(kMaxImageSide) +
                                               " pixels a side");
    if (width * height > options.maxPixels)
        return failure->Set(kExitTooLarge, shown + ": " + std::to_string(width * height) +
                                               " pixels, more than the limit of " + std::to_string(options.maxPixels) +
                                               " (--max-pixels)");

    std::string error;
    Ref<VipsImage> normal;
    if (!Normalise(loaded.get(), normal.out(), &image->conversion, &error))
        return failure->Set(kExitBadInput, shown + ": " + error);
    const int depth = vips_image_get_format(normal.get()) == VIPS_FORMAT_USHORT ? 16 : 8;
    if (options.admit && !options.admit(width, height, vips_image_get_bands(normal.get()), depth, &error))
        return failure->Set(kExitTooLarge, shown + ": " + error);

    // The file's structure is checked before decoding (after the size, so that
    // a file declaring a huge image costs nothing), the same way in every run: a
    // threaded decode may lose its decoder's report of damage.
    FileBytes fileBytes;
    if (path && !fileBytes.Map(*path))
        return failure->Set(kExitBadInput, shown + ": " + std::strerror(errno));
    integrity = bytes ? CheckFileIntegrity(image->format, bytes->data(), bytes->size())
                                          : CheckFileIntegrity(image->format, fileBytes.data, fileBytes.size);
    fileBytes.Unmap();
    if (!integrity.whole && !options.acceptDamaged)
        return failure->Set(kExitBadInput, shown + (integrity.truncated ? ": truncated (" : ": damaged (") +
                                               integrity.problem + "); --accept-damaged reads what can be decoded");
    if (!integrity.whole) image->damage = integrity.problem;

    if (options.headerOnly) {
        image->width = int32_t(vips_image_get_width(normal.get()));
        image->height = int32_t(vips_image_get_height(normal.get()));
        image->channels = vips_image_get_bands(normal.get());
        image->depth = depth;
        return true;
    }

    ProgressHook hook{options.progress, options.cancelled};
    PixelBlock pixels;
    vips_error_clear();
    const bool decoded = ToMemory(normal.get(), &pixels, &hook, &error);
    if (!decoded && options.cancelled && options.cancelled())
        return failure->Set(kExitCancelled, shown + ": cancelled while reading");
    if (!decoded) {
        const bool truncated = error.find("end of input") != std::string::npos ||
                               error.find("end of JPEG file") != std::string::npos ||
                               error.find("runcat") != std::string::npos;
        return failure->Set(kExitBadInput, shown + (truncated ? ": truncated (" : ": damaged (") + error +
                                               "); --accept-damaged reads what can be decoded");
    }
    // A file read despite its damage says what is missing, and what is
    // missing stays blank: a decoder may leave rows it never had filled with
    // others it had decoded.
    if (options.acceptDamaged && image->damage.empty() && vips_error_buffer()[0]) image->damage = LibraryError();
    const int64_t storedHeight = vips_image_get_height(normal.get());
    if (options.acceptDamaged && integrity.completeRows >= 0 && integrity.completeRows < storedHeight) {
        const size_t rowBytes = pixels.Size() / size_t(storedHeight);
        std::memset(pixels.Data() + size_t(integrity.completeRows) * rowBytes, 0,
                    size_t(storedHeight - integrity.completeRows) * rowBytes);
        image->damage += "; rows " + std::to_string(integrity.completeRows + 1) + " to " +
                         std::to_string(storedHeight) + " of " + std::to_string(storedHeight) +
                         " are missing and left blank";
    }

    // The metadata, kept in a header of its own.
    auto metadata = std::make_shared<ImageMetadata>();
    metadata->header = vips_image_new();
    CopyMetadata(loaded.get(), metadata->header);
    std::vector<uint8_t> exif = Blob(metadata->header, VIPS_META_EXIF_NAME);
    // libvips reads no EXIF from TIFF: libtiff's EXIF and GPS directories give it.
    if (exif.empty() && image->format == ImageFormat::Tiff && path) exif = ReadTiffExif(*path);
    if (!exif.empty()) {
        DropExifThumbnail(&exif);
        vips_image_set_blob_copy(metadata->header, VIPS_META_EXIF_NAME, exif.data(), exif.size());
        vips_image_remove(metadata->header, "jpeg-thumbnail-data");
    }

    image->width = int32_t(vips_image_get_width(normal.get()));
    image->height = int32_t(vips_image_get_height(normal.get()));
    image->channels = vips_image_get_bands(normal.get());
    image->depth = vips_image_get_format(normal.get()) == VIPS_FORMAT_USHORT ? 16 : 8;

    // The picture as seen: the orientation is applied and then reset.
    int orientation = 1;
    if (vips_image_get_typeof(loaded.get(), VIPS_META_ORIENTATION))
        vips_image_get_int(loaded.get(), VIPS_META_ORIENTATION, &orientation);
    if (options.autorotate && orientation > 1 && orientation <= 8) {
        Ref<VipsImage> stored(vips_image_new_from_memory(pixels.Data(), pixels.Size(), image->width, image->height,
                                                         image->channels,
                                                         image->depth == 16 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR));
        Ref<VipsImage> upright;
        if (!stored.get()) return failure->Set(kExitBadInput, shown + ": " + LibraryError());
        vips_image_set_int(stored.get(), VIPS_META_ORIENTATION, orientation);
        PixelBlock turned;
        if (vips_autorot(stored.get(), upright.out(), nullptr) || !ToMemory(upright.get(), &turned, &hook, &error))
            return failure->Set(kExitBadInput, shown + ": cannot be turned upright (" + LibraryError() + ")");
        image->width = int32_t(vips_image_get_width(upright.get()));
        image->height = int32_t(vips_image_get_height(upright.get()));
        pixels = std::move(turned);
        // The output shows the picture upright: its orientation says so.
        vips_image_set_int(metadata->header, VIPS_META_ORIENTATION, 1);
        vips_image_remove(metadata->header, "exif-ifd0-Orientation");
    }
    image->pixels = std::move(pixels);
    image->metadata = std::move(metadata);
    return true;
}

}  // namespace

bool ReadImage(const std::string& path, const ReadOptions& options, ImageFile* image, Failure* failure) {
    if (path != "-") return ReadFrom(&path, nullptr, path, options, image, failure);
    const std::vector<uint8_t> bytes = ReadStandardInput();
    return ReadFrom(nullptr, &bytes, "standard input", options, image, failure);
}

bool ReadImageBytes(const std::vector<uint8_t>& bytes, const std::string& name, const ReadOptions& options,
                    ImageFile* image, Failure* failure) {
    return ReadFrom(nullptr, &bytes, name, options, image, failure);
}

bool WriteImage(const std::string& path, const ImageFile& image, const WriteOptions& options, Failure* failure) {
    const std::string shown = path == "-" ? "standard output" : path;
    if (image.HasAlpha() && !FormatHoldsAlpha(options.format))
        return failure->Set(kExitCannotWrite, shown + ": " + FormatName(options.format) +
                                                  " has no transparency; write PNG, TIFF or WebP to keep the alpha channel");
    if (options.format == ImageFormat::Png) {
        std::string error;
        if (WritePngFile(path, image, options, &error)) return true;
        return failure->Set(kExitCannotWrite, shown + ": cannot write PNG (" + error + ")");
    }
    if (options.format == ImageFormat::Tiff && options.tiffCompression != WriteOptions::TiffCompression::Jpeg) {
        std::string error;
        if (WriteTiffFile(path, image, options, &error)) return true;
        return failure->Set(kExitCannotWrite, shown + ": cannot write TIFF (" + error + ")");
    }
    // Eight-bit formats take 16-bit samples rounded to the nearest 8-bit value.
    const bool reduce = image.depth == 16 && !FormatHoldsSixteenBits(options.format);
    PixelBlock reduced;
    const void* data = image.pixels.Data();
    size_t size = image.pixels.Size();
    if (reduce) {
        reduced = PixelBlock(image.SampleCount());
        uint16_t sample;
        for (size_t i = 0; i < image.SampleCount(); ++i) {
            std::memcpy(&sample, image.pixels.Data() + 2 * i, 2);
            reduced.Data()[i] = uint8_t((uint32_t(sample) * 255u + 32767u) / 65535u);
        }
        data = reduced.Data();
        size = reduced.Size();
    }
    const bool sixteen = image.depth == 16 && !reduce;
    Ref<VipsImage> memory(vips_image_new_from_memory(data, size, image.width, image.height, image.channels,
                                                     sixteen ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR));
    if (!memory.get()) return failure->Set(kExitCannotWrite, shown + ": " + LibraryError());
    const bool gray = image.channels <= 2;
    Ref<VipsImage> out;
    if (vips_copy(memory.get(), out.out(), "interpretation",
                  gray ? (sixteen ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_B_W)
                       : (sixteen ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB),
                  nullptr))
        return failure->Set(kExitCannotWrite, shown + ": " + LibraryError());
    if (image.metadata && image.metadata->header) {
        if (options.strip == WriteOptions::Strip::None) {
            CopyMetadata(image.metadata->header, out.get());
        } else if (options.strip == WriteOptions::Strip::KeepProfile) {
            const std::vector<uint8_t> icc = Blob(image.metadata->header, VIPS_META_ICC_NAME);
            if (!icc.empty()) vips_image_set_blob_copy(out.get(), VIPS_META_ICC_NAME, icc.data(), icc.size());
            out.get()->Xres = image.metadata->header->Xres;
            out.get()->Yres = image.metadata->header->Yres;
        }
    }

    ProgressHook hook{options.progress, options.cancelled};
    WatchProgress(out.get(), &hook);
    Ref<VipsTarget> target;
    if (path == "-") target.Reset(vips_target_new_to_descriptor(STDOUT_FILENO));
    else target.Reset(vips_target_new_to_file(path.c_str()));
    if (!target.get()) return failure->Set(kExitCannotWrite, shown + ": " + LibraryError());

    const gboolean strip = options.strip == WriteOptions::Strip::All ? TRUE : FALSE;
    int result = -1;
    switch (options.format) {
        case ImageFormat::Png:  // written above
            break;
        case ImageFormat::Jpeg: {
            const VipsForeignSubsample subsample =
                options.jpegSubsampling == WriteOptions::Subsampling::On    ? VIPS_FOREIGN_SUBSAMPLE_ON
                : options.jpegSubsampling == WriteOptions::Subsampling::Off ? VIPS_FOREIGN_SUBSAMPLE_OFF
                                                                            : VIPS_FOREIGN_SUBSAMPLE_AUTO;
            result = vips_jpegsave_target(out.get(), target.get(), "Q", options.jpegQuality, "subsample_mode",
                                          subsample, "interlace", options.progressive ? TRUE : FALSE,
                                          "optimize_coding", TRUE, "strip", strip, nullptr);
            break;
        }
        case ImageFormat::Tiff: {
            VipsForeignTiffCompression compression = VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE;
            switch (options.tiffCompression) {
                case WriteOptions::TiffCompression::None: compression = VIPS_FOREIGN_TIFF_COMPRESSION_NONE; break;
                case WriteOptions::TiffCompression::Lzw: compression = VIPS_FOREIGN_TIFF_COMPRESSION_LZW; break;
                case WriteOptions::TiffCompression::Deflate: compression = VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE; break;
                case WriteOptions::TiffCompression::Zstd: compression = VIPS_FOREIGN_TIFF_COMPRESSION_ZSTD; break;
                case WriteOptions::TiffCompression::Jpeg: compression = VIPS_FOREIGN_TIFF_COMPRESSION_JPEG; break;
            }
            const bool predicts = compression != VIPS_FOREIGN_TIFF_COMPRESSION_NONE &&
                                  compression != VIPS_FOREIGN_TIFF_COMPRESSION_JPEG;
            result = vips_tiffsave_target(out.get(), target.get(), "compression", compression, "predictor",
                                          predicts ? VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL
                                                   : VIPS_FOREIGN_TIFF_PREDICTOR_NONE,
                                          "Q", options.jpegQuality, "strip", strip, nullptr);
            break;
        }
        case ImageFormat::Webp:
            result = vips_webpsave_target(out.get(), target.get(), "Q", options.webpQuality, "lossless",
                                          options.webpLossless ? TRUE : FALSE, "strip", strip, nullptr);
            break;
    }
    if (result != 0) return failure->Set(kExitCannotWrite, shown + ": cannot write " + FormatName(options.format) +
                                                               " (" + LibraryError() + ")");
    if (vips_target_end(target.get()) != 0)
        return failure->Set(kExitCannotWrite, shown + ": " + LibraryError());
    return true;
}

std::vector<uint8_t> MetadataBytes(const ImageFile& image, const std::string& name) {
    if (!image.metadata || !image.metadata->header) return {};
    VipsImage* header = image.metadata->header;
    const GType type = vips_image_get_typeof(header, name.c_str());
    if (!type) return {};
    if (type == VIPS_TYPE_BLOB) return Blob(header, name.c_str());
    const char* text = nullptr;
    if ((type == G_TYPE_STRING || type == VIPS_TYPE_REF_STRING) &&
        vips_image_get_string(header, name.c_str(), &text) == 0 && text)
        return std::vector<uint8_t>(text, text + std::strlen(text));
    return {};
}

double ResolutionPerInch(const ImageFile& image) {
    if (!image.metadata || !image.metadata->header) return 0;
    return image.metadata->header->Xres * 25.4;
}

int Orientation(const ImageFile& image) {
    int orientation = 1;
    if (image.metadata && image.metadata->header &&
        vips_image_get_typeof(image.metadata->header, VIPS_META_ORIENTATION))
        vips_image_get_int(image.metadata->header, VIPS_META_ORIENTATION, &orientation);
    return orientation;
}
