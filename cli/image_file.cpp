#include "cli/image_file.h"

#include <vips/vips.h>

#include "cli/png_writer.h"
#include "cli/photo_metadata.h"
#include "cli/stored_resolution.h"
#include "cli/file_integrity.h"
#include "cli/image_metadata.h"
#include "cli/tiff_writer.h"
#include "core/allocation.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

// What a PNG file carries itself: the colour profile, the resolution the
// input stated (kept by --strip, which drops what describes the shot), texts.
PngMetadata PngMetadataOf(VipsImage* header, const StoredResolution& resolution, WriteOptions::Strip strip) {
    PngMetadata metadata;
    metadata.icc = Blob(header, VIPS_META_ICC_NAME);
    if (resolution.present) {
        metadata.unitless = resolution.unit == StoredResolution::Unit::None;
        metadata.xPerMetre = metadata.unitless ? resolution.x : resolution.PerMetre(resolution.x);
        metadata.yPerMetre = metadata.unitless ? resolution.y : resolution.PerMetre(resolution.y);
    }
    if (strip == WriteOptions::Strip::KeepProfile) return metadata;
    char** names = vips_image_get_fields(header);
    for (char** name = names; name && *name; ++name) {
        // libvips names PNG texts png-comment-<index>-<key>.
        const std::string field = *name;
        if (field.rfind("png-comment-", 0) != 0) continue;
        const size_t dash = field.find('-', 12);
        const char* value = nullptr;
        if (dash == std::string::npos || vips_image_get_string(header, *name, &value) || !value) continue;
        // Raw profiles (EXIF, IPTC kept as text by other tools) and XMP are the
        // metadata step's, written once in their own places.
        const std::string key = field.substr(dash + 1);
        if (key.rfind("Raw profile type", 0) == 0 || key == "XML:com.adobe.xmp") continue;
        metadata.texts.emplace_back(key, value);
    }
    g_strfreev(names);
    return metadata;
}

bool WritePngFile(const std::string& path, const ImageFile& image, const WriteOptions& options, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");  // always a regular file: streams get a temporary one
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    PngMetadata metadata;
    if (image.metadata && image.metadata->header && options.strip != WriteOptions::Strip::All)
        metadata = PngMetadataOf(image.metadata->header, image.metadata->resolution, options.strip);
    const PngPixels pixels{image.pixels.Data(), image.width, image.height, image.channels, image.depth};
    std::function<void(double)> progress;
    if (options.progress) progress = [&options](double done) { options.progress(int(done * 100)); };
    bool written = WritePng(file, pixels, metadata, options.pngCompression, options.progressive, progress,
                            options.cancelled, error);
    if (std::fclose(file) != 0 && written) {
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
        const StoredResolution resolution = InClosestWholeUnit(image.metadata->resolution);
        if (resolution.present) {
            metadata.xResolution = resolution.x;
            metadata.yResolution = resolution.y;
            metadata.resolutionUnit = resolution.unit == StoredResolution::Unit::Inch         ? 2
                                      : resolution.unit == StoredResolution::Unit::Centimetre ? 3
                                                                                               : 1;
        }
        if (options.strip == WriteOptions::Strip::None) {
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
    for (const char* loader : FormatLoaders())
        vips_operation_block_set(loader, FALSE);
    vips_cache_set_max(0);  // each image is read once: nothing to keep
    StartPhotoMetadata();
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
    if (!FormatFromLoader(loader, &image->format)) {  // a loader the command does not trust
        const std::string what = path ? DescribeNonImage(*path) : "";
        return failure->Set(kExitBadInput, shown + ": " + (what.empty() ? "not a PNG, JPEG, TIFF or WebP file" : what));
    }

    // Opening reads the header only: the size is checked before any pixel is
    // decoded. The decoders' errors are failures; their warnings (such as
    // unknown TIFF tags) lose nothing once the structure has been checked.
    const VipsFailOn failOn = options.acceptDamaged ? VIPS_FAIL_ON_NONE : VIPS_FAIL_ON_ERROR;
    FileIntegrity integrity;
    StoredResolution resolution;
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
    resolution = bytes ? ReadStoredResolution(image->format, bytes->data(), bytes->size())
                       : ReadStoredResolution(image->format, fileBytes.data, fileBytes.size);
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
        // The decoder may give up a little before the data does: its last
        // strip then comes blank as well, and the message counts it.
        int64_t blankFrom = integrity.completeRows;
        auto blankRow = [&](int64_t y) {
            const uint8_t* row = pixels.Data() + size_t(y) * rowBytes;
            return std::all_of(row, row + rowBytes, [](uint8_t b) { return b == 0; });
        };
        while (blankFrom > 0 && blankRow(blankFrom - 1)) --blankFrom;
        image->damage += "; rows " + std::to_string(blankFrom + 1) + " to " +
                         std::to_string(storedHeight) + " of " + std::to_string(storedHeight) +
                         " are missing and left blank";
    }

    // The metadata, kept in a header of its own.
    auto metadata = std::make_shared<ImageMetadata>();
    metadata->header = vips_image_new();
    CopyMetadata(loaded.get(), metadata->header);
    // EXIF, IPTC and XMP as Exiv2 reads them, from every format alike.
    std::string metadataWarning;
    metadata->photo = bytes ? ReadPhotoMetadata("", bytes->data(), bytes->size(), &metadataWarning)
                            : ReadPhotoMetadata(*path, nullptr, 0, &metadataWarning);
    // The file's own statement (PNG's pHYs, JPEG's JFIF), else its EXIF's
    // (a TIFF's first directory, a JPEG or WebP without JFIF).
    metadata->resolution = resolution;
    if (!resolution.present && metadata->photo) metadata->resolution = PhotoResolution(*metadata->photo);
    if (!metadataWarning.empty())
        image->conversion += std::string(image->conversion.empty() ? "" : "; ") + metadataWarning;

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
        if (metadata->photo) MarkUpright(metadata->photo.get(), image->width, image->height);
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

namespace {

// Whether libvips writes the format's pixels (and so leaves the colour
// profile to the metadata step): JPEG, WebP and JPEG-compressed TIFF.
bool WrittenByLibrary(const WriteOptions& options) {
    return options.format == ImageFormat::Jpeg || options.format == ImageFormat::Webp ||
           (options.format == ImageFormat::Tiff && options.tiffCompression == WriteOptions::TiffCompression::Jpeg);
}

// Writes the samples into a regular file (with the colour profile and the
// resolution where the pixel writer carries them); `shown` names it in messages.
bool WritePixels(const std::string& path, const std::string& shown, const ImageFile& image,
                 const WriteOptions& options, Failure* failure) {
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
    // Only the resolution goes through libvips: with everything else stripped
    // it invents no EXIF; the profile and the rest come with the metadata step.
    if (image.metadata && image.metadata->header && options.strip != WriteOptions::Strip::All) {
        const StoredResolution& resolution = image.metadata->resolution;
        if (resolution.present && resolution.unit != StoredResolution::Unit::None) {
            out.get()->Xres = resolution.PerMetre(resolution.x) / 1000.0;
            out.get()->Yres = resolution.PerMetre(resolution.y) / 1000.0;
        }
    }

    ProgressHook hook{options.progress, options.cancelled};
    WatchProgress(out.get(), &hook);
    Ref<VipsTarget> target;
    target.Reset(vips_target_new_to_file(path.c_str()));
    if (!target.get()) return failure->Set(kExitCannotWrite, shown + ": " + LibraryError());

    const gboolean strip = TRUE;
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
    // libvips states a density in every JPEG; only the input's is kept.
    if (options.format == ImageFormat::Jpeg)
        SetJpegDensity(path, image.metadata && options.strip != WriteOptions::Strip::All ? image.metadata->resolution
                                                                                          : StoredResolution{});
    return true;
}

// A file of our own in the temporary folder, gone with this object.
struct TemporaryFile {
    std::string path;
    ~TemporaryFile() {
        if (!path.empty()) unlink(path.c_str());
    }
    bool Make() {
        const char* folder = g_getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/glyra-XXXXXX";
        const int descriptor = mkstemp(&name[0]);
        if (descriptor < 0) return false;
        close(descriptor);
        path = name;
        return true;
    }
};

// Copies a finished file to standard output or into a device or pipe.
bool CopyToStream(const std::string& from, const std::string& to, std::string* error) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = to == "-" ? STDOUT_FILENO : open(to.c_str(), O_WRONLY | O_CLOEXEC);
    bool copied = in >= 0 && out >= 0;
    std::vector<char> chunk(1 << 20);
    while (copied) {
        const ssize_t got = read(in, chunk.data(), chunk.size());
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        for (ssize_t done = 0; copied && done < got;) {
            const ssize_t put = write(out, chunk.data() + done, size_t(got - done));
            copied = put > 0;
            done += put > 0 ? put : 0;
        }
    }
    if (!copied) *error = std::strerror(errno);
    if (in >= 0) close(in);
    if (out >= 0 && out != STDOUT_FILENO) close(out);
    return copied;
}

}  // namespace

bool WriteImage(const std::string& path, const ImageFile& image, const WriteOptions& options, Failure* failure) {
    const std::string shown = path == "-" ? "standard output" : path;
    if (image.HasAlpha() && !FormatHoldsAlpha(options.format))
        return failure->Set(kExitCannotWrite, shown + ": " + FormatName(options.format) +
                                                  " has no transparency; write PNG, TIFF or WebP to keep the alpha channel");
    // The metadata is added to the written file; standard output, a device or
    // a pipe gets the finished file from a temporary one.
    struct stat info {};
    const bool direct = path != "-" && (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode));
    TemporaryFile temporary;
    if (!direct && !temporary.Make())
        return failure->Set(kExitCannotWrite, shown + ": no temporary file (" + std::strerror(errno) + ")");
    const std::string filePath = direct ? path : temporary.path;
    if (!WritePixels(filePath, shown, image, options, failure)) {
        // The encoders say "Write Error" and the like; a full disk says more.
        struct statvfs disk {};
        const std::string folder = filePath.find('/') == std::string::npos ? "." : filePath.substr(0, filePath.rfind('/') + 1);
        if (statvfs(folder.c_str(), &disk) == 0 &&
            uint64_t(disk.f_bavail) * disk.f_frsize < uint64_t(image.pixels.Size()) + (1u << 20))
            failure->message += "; the disk is full (" + std::to_string(uint64_t(disk.f_bavail) * disk.f_frsize >> 20) +
                                " MB free)";
        return false;
    }

    PhotoMetadataWrite write;
    write.format = options.format;
    VipsImage* header = image.metadata ? image.metadata->header : nullptr;
    if (options.strip == WriteOptions::Strip::None && image.metadata) write.metadata = image.metadata->photo.get();
    if (options.strip != WriteOptions::Strip::All && header && WrittenByLibrary(options))
        write.icc = Blob(header, VIPS_META_ICC_NAME);
    std::vector<std::string> notes;
    std::string error;
    if (!WritePhotoMetadata(filePath, write, &notes, &error))
        return failure->Set(kExitCannotWrite, shown + ": " + error);
    if (options.note)
        for (const std::string& note : notes) options.note(note);
    if (!direct && !CopyToStream(filePath, path, &error))
        return failure->Set(kExitCannotWrite, shown + ": " + error);
    return true;
}
