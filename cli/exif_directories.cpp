#include <string>

#include "cli/exif_directories.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The first directory's tags that describe the shot; the rest of it (size,
// resolution, orientation, the thumbnail's layout) the writer sets itself.
bool DescriptiveMainTag(uint16_t tag) {
    switch (tag) {
        case 0x010E:  // ImageDescription
        case 0x010F:  // Make
        case 0x0110:  // Model
        case 0x0131:  // Software
        case 0x0132:  // DateTime
        case 0x013B:  // Artist
        case 0x8298:  // Copyright
            return true;
        default:
            return false;
    }
}

TiffExifTag FromEntry(const ExifEntry* entry, ExifByteOrder order) {
    TiffExifTag tag{uint16_t(entry->tag), int(entry->format), {}, {}};
    const size_t size = exif_format_get_size(entry->format);
    for (unsigned long i = 0; i < entry->components && size > 0 && (i + 1) * size <= entry->size; ++i) {
        const unsigned char* at = entry->data + i * size;
        switch (entry->format) {
            case EXIF_FORMAT_BYTE: tag.values.push_back(at[0]); break;
            case EXIF_FORMAT_SBYTE: tag.values.push_back(int8_t(at[0])); break;
            case EXIF_FORMAT_SHORT: tag.values.push_back(exif_get_short(at, order)); break;
            case EXIF_FORMAT_SSHORT: tag.values.push_back(exif_get_sshort(at, order)); break;
            case EXIF_FORMAT_LONG: tag.values.push_back(exif_get_long(at, order)); break;
            case EXIF_FORMAT_SLONG: tag.values.push_back(exif_get_slong(at, order)); break;
            case EXIF_FORMAT_RATIONAL: {
                const ExifRational r = exif_get_rational(at, order);
                tag.values.push_back(r.denominator ? double(r.numerator) / r.denominator : 0.0);
                break;
            }
            case EXIF_FORMAT_SRATIONAL: {
                const ExifSRational r = exif_get_srational(at, order);
                tag.values.push_back(r.denominator ? double(r.numerator) / r.denominator : 0.0);
                break;
            }
            default: break;
        }
    }
    if (entry->format == EXIF_FORMAT_ASCII || entry->format == EXIF_FORMAT_UNDEFINED)
        tag.bytes.assign(entry->data, entry->data + entry->size);
    return tag;
}

// Packs the numbers as libtiff stores the field: integers of the field's size,
// or floats or doubles for rationals.
std::vector<uint8_t> Packed(const TiffExifTag& tag, const TIFFField* field, size_t count) {
    const int size = TIFFFieldSetGetSize(field);
    const TIFFDataType type = TIFFFieldDataType(field);
    const bool real = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE;
    std::vector<uint8_t> packed(size_t(size) * count, 0);
    for (size_t i = 0; i < count && i < tag.values.size(); ++i) {
        const double value = tag.values[i];
        uint8_t* at = packed.data() + i * size_t(size);
        if (real && size == 4) {
            const float f = float(value);
            std::memcpy(at, &f, 4);
        } else if (real && size == 8) {
            std::memcpy(at, &value, 8);
        } else if (size == 1) {
            at[0] = uint8_t(int64_t(value));
        } else if (size == 2) {
            const uint16_t v = uint16_t(int64_t(value));
            std::memcpy(at, &v, 2);
        } else if (size == 4) {
            const uint32_t v = uint32_t(int64_t(value));
            std::memcpy(at, &v, 4);
        } else if (size == 8) {
            const uint64_t v = uint64_t(int64_t(value));
            std::memcpy(at, &v, 8);
        }
    }
    return packed;
}

// Sets one tag in the current directory, in the form libtiff's field wants.
void SetTag(TIFF* tiff, const TiffExifTag& tag) {
    const TIFFField* field = TIFFFindField(tiff, tag.tag, TIFF_ANY);
    if (!field) return;
    const TIFFDataType type = TIFFFieldDataType(field);
    if (type == TIFF_ASCII) {
        std::string text(tag.bytes.begin(), tag.bytes.end());
        text = text.c_str();  // up to its NUL
        TIFFSetField(tiff, tag.tag, text.c_str());
        return;
    }
    const bool raw = type == TIFF_UNDEFINED || (type == TIFF_BYTE && !tag.bytes.empty());
    const size_t count = raw ? tag.bytes.size() : tag.values.size();
    if (count == 0) return;
    if (TIFFFieldPassCount(field)) {
        const std::vector<uint8_t> data = raw ? tag.bytes : Packed(tag, field, count);
        if (TIFFFieldSetGetCountSize(field) == 4)
            TIFFSetField(tiff, tag.tag, uint32_t(count), data.data());
        else
            TIFFSetField(tiff, tag.tag, int(count), data.data());
        return;
    }
    const int fixed = TIFFFieldWriteCount(field);
    if (fixed > 1) {
        // A fixed count (ExifVersion's four bytes, a GPS position's three rationals).
        if (count < size_t(fixed)) return;
        std::vector<uint8_t> data = raw ? tag.bytes : Packed(tag, field, size_t(fixed));
        TIFFSetField(tiff, tag.tag, data.data());
        return;
    }
    const double value = tag.values.empty() ? 0 : tag.values[0];
    if (type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE)
        TIFFSetField(tiff, tag.tag, value);  // a float argument arrives as a double
    else if (TIFFFieldSetGetSize(field) == 8)
        TIFFSetField(tiff, tag.tag, uint64_t(int64_t(value)));
    else if (TIFFFieldSetGetSize(field) == 4)
        TIFFSetField(tiff, tag.tag, uint32_t(int64_t(value)));
    else
        TIFFSetField(tiff, tag.tag, int(int64_t(value)));  // shorts and bytes travel as int
}

}  // namespace

ExifForTiff ParseExifForTiff(const std::vector<uint8_t>& block) {
    ExifForTiff out;
    static const uint8_t kHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    std::vector<uint8_t> data;
    if (block.size() < 6 || std::memcmp(block.data(), kHeader, 6) != 0) data.assign(kHeader, kHeader + 6);
    data.insert(data.end(), block.begin(), block.end());
    ExifData* exif = exif_data_new();
    if (!exif) return out;
    // As it is: no tags added or "corrected" on loading.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, data.data(), unsigned(data.size()));
    const ExifByteOrder order = exif_data_get_byte_order(exif);
    auto collect = [&](ExifIfd ifd, std::vector<TiffExifTag>* into, bool mainOnly) {
        ExifContent* content = exif->ifd[ifd];
        for (unsigned i = 0; content && i < content->count; ++i) {
            const ExifEntry* entry = content->entries[i];
            if (mainOnly && !DescriptiveMainTag(uint16_t(entry->tag))) continue;
            into->push_back(FromEntry(entry, order));
        }
    };
    collect(EXIF_IFD_0, &out.main, true);
    collect(EXIF_IFD_EXIF, &out.exif, false);
    collect(EXIF_IFD_GPS, &out.gps, false);
    exif_data_unref(exif);
    out.hasExifDirectory = !out.exif.empty();
    out.hasGpsDirectory = !out.gps.empty();
    return out;
}

void SetMainDirectoryTags(TIFF* tiff, const ExifForTiff& exif) {
    for (const TiffExifTag& tag : exif.main) SetTag(tiff, tag);
}

bool WriteExifDirectories(TIFF* tiff, const ExifForTiff& exif, std::string* error) {
    if (!exif.hasExifDirectory && !exif.hasGpsDirectory) return true;
    uint64_t exifOffset = 0, gpsOffset = 0;
    if (exif.hasExifDirectory) {
        if (TIFFCreateEXIFDirectory(tiff) != 0) return *error = "cannot make the EXIF directory", false;
        for (const TiffExifTag& tag : exif.exif) SetTag(tiff, tag);
        if (!TIFFWriteCustomDirectory(tiff, &exifOffset)) return *error = "cannot write the EXIF directory", false;
    }
    if (exif.hasGpsDirectory) {
        // libtiff 4.5 leaks the EXIF directory's values when the next custom
        // directory is made over it: they are freed first.
        if (exif.hasExifDirectory) TIFFFreeDirectory(tiff);
        if (TIFFCreateGPSDirectory(tiff) != 0) return *error = "cannot make the GPS directory", false;
        for (const TiffExifTag& tag : exif.gps) SetTag(tiff, tag);
        if (!TIFFWriteCustomDirectory(tiff, &gpsOffset)) return *error = "cannot write the GPS directory", false;
    }
    // Back to the image's directory, now pointing at the two.
    if (!TIFFSetDirectory(tiff, 0)) return *error = "cannot return to the image's directory", false;
    if (exif.hasExifDirectory) TIFFSetField(tiff, TIFFTAG_EXIFIFD, exifOffset);
    if (exif.hasGpsDirectory) TIFFSetField(tiff, TIFFTAG_GPSIFD, gpsOffset);
    if (!TIFFRewriteDirectory(tiff)) return *error = "cannot rewrite the image's directory", false;
    return true;
}

namespace {

ExifFormat ExifFormatOf(TIFFDataType type) {
    switch (type) {
        case TIFF_BYTE: return EXIF_FORMAT_BYTE;
        case TIFF_ASCII: return EXIF_FORMAT_ASCII;
        case TIFF_SHORT: return EXIF_FORMAT_SHORT;
        case TIFF_LONG: return EXIF_FORMAT_LONG;
        case TIFF_RATIONAL: return EXIF_FORMAT_RATIONAL;
        case TIFF_SBYTE: return EXIF_FORMAT_SBYTE;
        case TIFF_SSHORT: return EXIF_FORMAT_SSHORT;
        case TIFF_SLONG: return EXIF_FORMAT_SLONG;
        case TIFF_SRATIONAL: return EXIF_FORMAT_SRATIONAL;
        default: return EXIF_FORMAT_UNDEFINED;
    }
}

// A rational near the value: libtiff hands rationals over as floating point.
void Rational(double value, int32_t* numerator, uint32_t* denominator) {
    // The smallest power of ten that makes it whole, to a float's precision.
    uint32_t scale = 1;
    while (scale < 1000000 &&
           std::fabs(value * scale - std::round(value * scale)) > 1e-6 * std::max(1.0, std::fabs(value * scale)) &&
           std::fabs(value * scale * 10) < 2e9)
        scale *= 10;
    *numerator = int32_t(std::lround(value * scale));
    *denominator = scale;
}

// Adds the current directory's tag to the content, converted to EXIF's form.
void AddEntry(TIFF* tiff, ExifData* exif, ExifIfd ifd, uint32_t tag) {
    const TIFFField* field = TIFFFieldWithTag(tiff, tag);
    if (!field) return;
    const TIFFDataType type = TIFFFieldDataType(field);
    const int size = TIFFFieldSetGetSize(field);
    uint32_t count = 1;
    const void* data = nullptr;
    union {
        uint16_t u16;
        uint32_t u32;
        uint64_t u64;
        float f;
        double d;
        char* text;
        uint8_t bytes[8];
    } single{};
    if (type == TIFF_ASCII) {
        if (!TIFFGetField(tiff, tag, &single.text) || !single.text) return;
        data = single.text;
        count = uint32_t(std::strlen(single.text) + 1);
    } else if (TIFFFieldPassCount(field)) {
        if (TIFFFieldSetGetCountSize(field) == 4) {
            if (!TIFFGetField(tiff, tag, &count, &data)) return;
        } else {
            uint16_t shortCount = 0;
            if (!TIFFGetField(tiff, tag, &shortCount, &data)) return;
            count = shortCount;
        }
    } else if (TIFFFieldReadCount(field) > 1) {
        if (!TIFFGetField(tiff, tag, &data)) return;
        count = uint32_t(TIFFFieldReadCount(field));
    } else {
        if (!TIFFGetField(tiff, tag, &single)) return;
        data = &single;
    }
    if (!data || count == 0) return;
    const ExifFormat format = ExifFormatOf(type);
    ExifEntry* entry = exif_entry_new();
    if (!entry) return;
    const ExifByteOrder order = exif_data_get_byte_order(exif);
    const size_t unit = exif_format_get_size(format);
    entry->tag = ExifTag(tag);
    entry->format = format;
    entry->components = count;
    entry->size = unsigned(unit * count);
    entry->data = static_cast<unsigned char*>(std::calloc(entry->size ? entry->size : 1, 1));
    for (uint32_t i = 0; entry->data && i < count; ++i) {
        const auto* at = static_cast<const uint8_t*>(data) + size_t(i) * size_t(size > 0 ? size : 1);
        unsigned char* to = entry->data + size_t(i) * unit;
        double real = 0;
        if (size == 4 && (type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT)) {
            float f;
            std::memcpy(&f, at, 4);
            real = f;
        } else if (size == 8 && (type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_DOUBLE)) {
            std::memcpy(&real, at, 8);
        }
        switch (format) {
            case EXIF_FORMAT_SHORT: {
                uint16_t v;
                std::memcpy(&v, at, 2);
                exif_set_short(to, order, v);
                break;
            }
            case EXIF_FORMAT_SSHORT: {
                int16_t v;
                std::memcpy(&v, at, 2);
                exif_set_sshort(to, order, v);
                break;
            }
            case EXIF_FORMAT_LONG: {
                uint32_t v;
                std::memcpy(&v, at, 4);
                exif_set_long(to, order, v);
                break;
            }
            case EXIF_FORMAT_SLONG: {
                int32_t v;
                std::memcpy(&v, at, 4);
                exif_set_slong(to, order, v);
                break;
            }
            case EXIF_FORMAT_RATIONAL: {
                int32_t n;
                uint32_t d;
                Rational(real, &n, &d);
                exif_set_rational(to, order, ExifRational{uint32_t(n), d});
                break;
            }
            case EXIF_FORMAT_SRATIONAL: {
                int32_t n;
                uint32_t d;
                Rational(real, &n, &d);
                exif_set_srational(to, order, ExifSRational{n, int32_t(d)});
                break;
            }
            default: *to = *at; break;  // bytes, text, undefined
        }
    }
    exif_content_add_entry(exif->ifd[ifd], entry);
    exif_entry_unref(entry);
}

// Every tag set in the current (custom) directory.
void AddDirectory(TIFF* tiff, ExifData* exif, ExifIfd ifd) {
    const int tags = TIFFGetTagListCount(tiff);
    for (int i = 0; i < tags; ++i) AddEntry(tiff, exif, ifd, TIFFGetTagListEntry(tiff, i));
}

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

std::vector<uint8_t> ReadTiffExif(const std::string& path) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietHandler, nullptr);
    TIFF* tiff = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tiff) return {};
    uint64_t exifOffset = 0, gpsOffset = 0;
    const bool hasExif = TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifOffset) && exifOffset;
    const bool hasGps = TIFFGetField(tiff, TIFFTAG_GPSIFD, &gpsOffset) && gpsOffset;
    ExifData* exif = exif_data_new();
    std::vector<uint8_t> block;
    if (exif) {
        exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
        bool any = false;
        for (uint32_t tag : {0x010Eu, 0x010Fu, 0x0110u, 0x0131u, 0x0132u, 0x013Bu, 0x8298u}) {
            char* text = nullptr;
            if (TIFFGetField(tiff, tag, &text) && text) {
                AddEntry(tiff, exif, EXIF_IFD_0, tag);
                any = true;
            }
        }
        if (hasExif && TIFFReadEXIFDirectory(tiff, exifOffset)) {
            AddDirectory(tiff, exif, EXIF_IFD_EXIF);
            any = true;
        }
        if (hasGps && TIFFReadGPSDirectory(tiff, gpsOffset)) {
            AddDirectory(tiff, exif, EXIF_IFD_GPS);
            any = true;
        }
        unsigned char* saved = nullptr;
        unsigned int size = 0;
        if (any) exif_data_save_data(exif, &saved, &size);
        if (saved) {
            block.assign(saved, saved + size);
            std::free(saved);
        }
        exif_data_unref(exif);
    }
    TIFFClose(tiff);
    return block;
}
