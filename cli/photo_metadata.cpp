#include "cli/photo_metadata.h"

#include "cli/png_writer.h"
#include "cli/whole_file.h"

#include <exiv2/exiv2.hpp>
#include <glib.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <set>

struct PhotoMetadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

namespace {

// Exiv2 keeps process-wide state (its XMP toolkit, its tag registries): one
// file's metadata at a time. Reading and writing metadata is quick next to
// decoding and encoding the pixels.
std::mutex gExiv2;

const char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";            // with its NUL: 29 bytes
const char kExtensionSignature[] = "http://ns.adobe.com/xmp/extension/";  // with its NUL: 35 bytes
constexpr size_t kExtensionHeader = sizeof kExtensionSignature + 32 + 4 + 4;
// What one JPEG segment holds of a packet: the segment's 65533 bytes less its signature.
constexpr size_t kStandardXmpLimit = 65504 - sizeof kXmpSignature;
constexpr size_t kExtensionChunk = 65400;

// Tags that say how the input stored its pixels, not what the picture is:
// each output writes its own, and a stale one (a TIFF's strip offsets in a
// JPEG's EXIF) would mislead readers.
bool DescribesStorage(const Exiv2::Exifdatum& datum) {
    static const std::set<uint16_t> kStorageTags = {
        0x00fe, 0x00ff, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x010a, 0x0111, 0x0115, 0x0116,
        0x0117, 0x011c, 0x013d, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014a, 0x0152, 0x0153, 0x0154,
        0x0155, 0x015b, 0x0200, 0x0201, 0x0202, 0x02bc, 0x83bb, 0x8649, 0x8773};
    return datum.groupName() == "Image" && kStorageTags.count(datum.tag()) != 0;
}

// The extended part of a JPEG's XMP: the segments after the standard one
// that carry the GUID the standard one names, put together in order.
std::string JpegExtendedXmp(const std::vector<uint8_t>& head, const std::string& guid) {
    std::map<uint32_t, std::string> pieces;
    uint32_t total = 0;
    for (size_t at = 2; at + 4 <= head.size();) {
        if (head[at] != 0xFF) break;
        const uint8_t marker = head[at + 1];
        if (marker == 0xDA || marker == 0xD9) break;
        const size_t length = size_t(head[at + 2]) << 8 | head[at + 3];
        if (length < 2 || at + 2 + length > head.size()) break;
        const uint8_t* body = head.data() + at + 4;
        const size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize > kExtensionHeader &&
            std::memcmp(body, kExtensionSignature, sizeof kExtensionSignature) == 0 &&
            std::string(reinterpret_cast<const char*>(body) + sizeof kExtensionSignature, 32) == guid) {
            const uint8_t* numbers = body + sizeof kExtensionSignature + 32;
            total = uint32_t(numbers[0]) << 24 | uint32_t(numbers[1]) << 16 | uint32_t(numbers[2]) << 8 | numbers[3];
            const uint32_t offset =
                uint32_t(numbers[4]) << 24 | uint32_t(numbers[5]) << 16 | uint32_t(numbers[6]) << 8 | numbers[7];
            pieces[offset].assign(reinterpret_cast<const char*>(body) + kExtensionHeader, bodySize - kExtensionHeader);
        }
        at += 2 + length;
    }
    std::string packet;
    for (const auto& [offset, piece] : pieces) {
        if (offset != packet.size()) return "";  // a piece missing
        packet += piece;
    }
    return packet.size() == total ? packet : "";
}

// A JPEG's bytes (its metadata lies in the segments before its first scan).
std::vector<uint8_t> JpegBytes(const std::string& path, const uint8_t* bytes, size_t size) {
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : ReadWholeFile(path);
}

// The top-level property an XMP key belongs to ("Xmp.dc.subject" for
// "Xmp.dc.subject[1]", "Xmp.xmpMM.History" for "Xmp.xmpMM.History[2]/stEvt:when").
std::string TopProperty(const std::string& key) {
    const size_t end = key.find_first_of("[/", 4);
    return end == std::string::npos ? key : key.substr(0, end);
}

std::string EncodeXmp(const Exiv2::XmpData& xmp) {
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat) != 0) return "";
    return packet;
}

// Splits XMP too large for one JPEG segment into a standard and an extended
// part: the largest properties move to the extended part until the standard
// part fits; the standard part names the extended one by its MD5, which is
// how readers find and join the extension segments.
bool SplitXmp(const Exiv2::XmpData& whole, std::string* standard, std::string* extended, std::string* guid) {
    std::map<std::string, size_t> sizes;
    for (const Exiv2::Xmpdatum& datum : whole) sizes[TopProperty(datum.key())] += datum.toString().size() + 64;
    std::vector<std::pair<size_t, std::string>> bySize;
    for (const auto& [property, size] : sizes) bySize.emplace_back(size, property);
    std::sort(bySize.rbegin(), bySize.rend());
    std::set<std::string> moved;
    for (const auto& [size, property] : bySize) {
        Exiv2::XmpData main, rest;
        moved.insert(property);
        for (const Exiv2::Xmpdatum& datum : whole) (moved.count(TopProperty(datum.key())) ? rest : main).add(datum);
        *extended = EncodeXmp(rest);
        gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, extended->data(), gssize(extended->size()));
        *guid = md5;
        g_free(md5);
        std::transform(guid->begin(), guid->end(), guid->begin(), [](unsigned char c) { return char(std::toupper(c)); });
        main["Xmp.xmpNote.HasExtendedXMP"] = *guid;
        *standard = EncodeXmp(main);
        if (standard->size() <= kStandardXmpLimit) return true;
    }
    return false;
}

// Puts the extended XMP's segments right after the standard XMP segment of
// a written JPEG, rewriting the file in place.
bool AddExtendedXmp(const std::string& path, const std::string& extended, const std::string& guid,
                    std::string* error) {
    std::vector<uint8_t> file = ReadWholeFile(path);
    size_t insertAt = 0;
    for (size_t at = 2; at + 4 <= file.size();) {
        const uint8_t marker = file[at + 1];
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        if (file[at] != 0xFF || marker == 0xDA) break;
        if (marker == 0xE1 && length > sizeof kXmpSignature &&
            std::memcmp(file.data() + at + 4, kXmpSignature, sizeof kXmpSignature) == 0) {
            insertAt = at + 2 + length;
            break;
        }
        at += 2 + length;
    }
    if (insertAt == 0) {
        *error = "the standard XMP segment was not written";
        return false;
    }
    std::vector<uint8_t> segments;
    const uint32_t total = uint32_t(extended.size());
    for (uint32_t offset = 0; offset < total; offset += uint32_t(kExtensionChunk)) {
        const size_t piece = std::min<size_t>(kExtensionChunk, total - offset);
        const size_t length = 2 + kExtensionHeader + piece;
        segments.insert(segments.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
        segments.insert(segments.end(), kExtensionSignature, kExtensionSignature + sizeof kExtensionSignature);
        segments.insert(segments.end(), guid.begin(), guid.end());
        for (uint32_t number : {total, offset})
            segments.insert(segments.end(), {uint8_t(number >> 24), uint8_t(number >> 16), uint8_t(number >> 8),
                                             uint8_t(number)});
        segments.insert(segments.end(), extended.begin() + offset, extended.begin() + offset + piece);
    }
    file.insert(file.begin() + std::ptrdiff_t(insertAt), segments.begin(), segments.end());
    if (RewriteInPlace(path, file)) return true;
    *error = "cannot add the extended XMP";
    return false;
}

uint32_t BigEndian(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// PNG's own place for EXIF is the eXIf chunk, which browsers and libvips
// read; Exiv2 0.27 writes EXIF into PNG only as a text chunk. The EXIF Exiv2
// encodes goes in as eXIf, before the image data as the format requires,
// rewriting the file in place.
bool AddPngExif(const std::string& path, const Exiv2::ExifData& exif, std::string* error) {
    Exiv2::Blob block;
    Exiv2::ExifParser::encode(block, Exiv2::littleEndian, exif);
    if (block.empty()) return true;
    std::vector<uint8_t> file = ReadWholeFile(path);
    size_t at = 8;
    while (at + 8 <= file.size() && std::memcmp(file.data() + at + 4, "IDAT", 4) != 0)
        at += 12 + size_t(BigEndian(file.data() + at));
    if (at + 8 > file.size()) {
        *error = "cannot add EXIF: no image data found";
        return false;
    }
    const PngChunkFrame frame = FramePngChunk("eXIf", block.data(), block.size());
    std::vector<uint8_t> chunk(std::begin(frame.head), std::end(frame.head));
    chunk.insert(chunk.end(), block.begin(), block.end());
    chunk.insert(chunk.end(), std::begin(frame.tail), std::end(frame.tail));
    file.insert(file.begin() + std::ptrdiff_t(at), chunk.begin(), chunk.end());
    if (RewriteInPlace(path, file)) return true;
    *error = "cannot add EXIF";
    return false;
}

std::set<std::string> ExifKeys(const Exiv2::ExifData& exif) {
    std::set<std::string> keys;
    for (const Exiv2::Exifdatum& datum : exif) keys.insert(datum.key());
    return keys;
}

}  // namespace

void StartPhotoMetadata() {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
    // The namespace of the note that names a JPEG's extended XMP.
    Exiv2::XmpProperties::registerNs("http://ns.adobe.com/xmp/note/", "xmpNote");
}

std::shared_ptr<PhotoMetadata> ReadPhotoMetadata(const std::string& path, const uint8_t* bytes, size_t size,
                                                 std::string* warning) {
    std::lock_guard<std::mutex> lock(gExiv2);
    try {
        auto image = bytes ? Exiv2::ImageFactory::open(bytes, long(size))
                                            : Exiv2::ImageFactory::open(path);
        image->readMetadata();
        auto metadata = std::make_shared<PhotoMetadata>();
        metadata->exif = image->exifData();
        metadata->iptc = image->iptcData();
        metadata->xmp = image->xmpData();
        // Both thumbnails show the unfiltered picture (and a sideways one once
        // the picture is turned upright). IPTC is read as its records alone,
        // so the Photoshop block's thumbnail stays behind.
        Exiv2::ExifThumb(metadata->exif).erase();
        for (auto datum = metadata->exif.begin(); datum != metadata->exif.end();)
            datum = DescribesStorage(*datum) || datum->groupName().rfind("SubImage", 0) == 0 ||
                            datum->groupName() == "Image2" || datum->groupName() == "Image3"
                        ? metadata->exif.erase(datum)
                        : std::next(datum);
        // A JPEG's XMP over 64 kB continues in extended segments: one whole packet here.
        auto hasExtended = metadata->xmp.findKey(Exiv2::XmpKey("Xmp.xmpNote.HasExtendedXMP"));
        if (image->imageType() == Exiv2::ImageType::jpeg && hasExtended != metadata->xmp.end()) {
            const std::string extended = JpegExtendedXmp(JpegBytes(path, bytes, size), hasExtended->toString());
            Exiv2::XmpData rest;
            if (!extended.empty() && Exiv2::XmpParser::decode(rest, extended) == 0) {
                for (const Exiv2::Xmpdatum& datum : rest) metadata->xmp.add(datum);
                metadata->xmp.erase(metadata->xmp.findKey(Exiv2::XmpKey("Xmp.xmpNote.HasExtendedXMP")));
            } else {
                *warning = "its extended XMP is missing or damaged; the rest of its XMP is kept";
            }
        }
        if (metadata->exif.empty() && metadata->iptc.empty() && metadata->xmp.empty()) return nullptr;
        return metadata;
    } catch (const Exiv2::AnyError& error) {
        *warning = std::string("its metadata cannot be read (") + error.what() + ")";
        return nullptr;
    }
}

StoredResolution PhotoResolution(const PhotoMetadata& metadata) {
    StoredResolution resolution;
    const auto x = metadata.exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
    const auto y = metadata.exif.findKey(Exiv2::ExifKey("Exif.Image.YResolution"));
    if (x == metadata.exif.end() || y == metadata.exif.end() || x->count() == 0 || y->count() == 0) return resolution;
    const auto unit = metadata.exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    const long code = unit == metadata.exif.end() || unit->count() == 0 ? 2 : unit->toLong();  // TIFF's default: inch
    resolution.unit = code == 3 ? StoredResolution::Unit::Centimetre
                      : code == 1 ? StoredResolution::Unit::None
                                  : StoredResolution::Unit::Inch;
    resolution.x = x->toFloat();
    resolution.y = y->toFloat();
    resolution.present = resolution.x > 0 && resolution.y > 0;
    return resolution;
}

int PhotoOrientation(const PhotoMetadata& metadata) {
    auto found = metadata.exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == metadata.exif.end() || found->count() == 0) return 1;
    const long value = found->toLong();
    return value >= 1 && value <= 8 ? int(value) : 1;
}

void MarkUpright(PhotoMetadata* metadata, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> lock(gExiv2);
    auto& exif = metadata->exif;
    auto& xmp = metadata->xmp;
    if (exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end())
        exif["Exif.Image.Orientation"] = uint16_t(1);
    if (xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation")) != xmp.end()) xmp["Xmp.tiff.Orientation"] = "1";
    // Size tags keep their type: SHORT where the camera wrote SHORT.
    for (const auto& [key, value] : {std::pair<const char*, int32_t>{"Exif.Photo.PixelXDimension", width},
                                     {"Exif.Photo.PixelYDimension", height}}) {
        auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found == exif.end()) continue;
        if (found->typeId() == Exiv2::unsignedShort && value <= 65535)
            *found = uint16_t(value);
        else
            *found = uint32_t(value);
    }
    for (const auto& [key, value] : {std::pair<const char*, int32_t>{"Xmp.exif.PixelXDimension", width},
                                     {"Xmp.exif.PixelYDimension", height},
                                     {"Xmp.tiff.ImageWidth", width},
                                     {"Xmp.tiff.ImageLength", height}})
        if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end()) xmp[key] = std::to_string(value);
}

bool WritePhotoMetadata(const std::string& path, const PhotoMetadataWrite& write, std::vector<std::string>* notes,
                        std::string* error) {
    const PhotoMetadata* metadata = write.metadata;
    // libvips writes an EXIF block of its own into WebP even when told to
    // strip: WebP is always rewritten, so that it holds only what the input had.
    if (!metadata && write.icc.empty() && write.format != ImageFormat::Webp) return true;
    std::lock_guard<std::mutex> lock(gExiv2);
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        if (!write.icc.empty()) {
            Exiv2::DataBuf profile(write.icc.data(), long(write.icc.size()));
            image->setIccProfile(profile, false);
        }
        std::string extended, guid;
        if (metadata) {
            if (write.format != ImageFormat::Png) image->setExifData(metadata->exif);
            if (write.format == ImageFormat::Webp) {
                if (!metadata->iptc.empty()) notes->push_back("WebP holds no IPTC; its IPTC was left out");
            } else {
                image->setIptcData(metadata->iptc);
            }
            if (write.format == ImageFormat::Jpeg && EncodeXmp(metadata->xmp).size() > kStandardXmpLimit) {
                std::string standard;
                if (!SplitXmp(metadata->xmp, &standard, &extended, &guid)) {
                    *error = "its XMP cannot be split to fit JPEG's segments";
                    return false;
                }
                image->setXmpPacket(standard);
                image->writeXmpFromPacket(true);
            } else {
                image->setXmpData(metadata->xmp);
            }
        }
        if (!metadata) {
            image->clearExifData();
            image->clearXmpData();
            image->clearIptcData();
        }
        image->writeMetadata();
        if (metadata && write.format == ImageFormat::Jpeg) {
            // JPEG holds 64 kB of EXIF; Exiv2 leaves out its largest tags to fit. Say which.
            auto written = Exiv2::ImageFactory::open(path);
            written->readMetadata();
            const std::set<std::string> kept = ExifKeys(written->exifData());
            std::string lost;
            for (const std::string& key : ExifKeys(metadata->exif))
                if (!kept.count(key)) lost += (lost.empty() ? "" : ", ") + key;
            if (!lost.empty()) notes->push_back("JPEG holds 64 kB of EXIF; these tags did not fit: " + lost);
        }
        if (metadata && write.format == ImageFormat::Png && !AddPngExif(path, metadata->exif, error)) return false;
        if (!extended.empty()) return AddExtendedXmp(path, extended, guid, error);
        return true;
    } catch (const Exiv2::AnyError& failure) {
        *error = std::string("cannot write its metadata (") + failure.what() + ")";
        return false;
    }
}

std::vector<std::string> PhotoMetadataKeys(const PhotoMetadata& metadata) {
    std::vector<std::string> keys;
    for (const Exiv2::Exifdatum& datum : metadata.exif) keys.push_back(datum.key());
    for (const Exiv2::Iptcdatum& datum : metadata.iptc) keys.push_back(datum.key());
    for (const Exiv2::Xmpdatum& datum : metadata.xmp) keys.push_back(datum.key());
    return keys;
}
