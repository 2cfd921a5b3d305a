// The EXIF, IPTC and XMP of a photograph, read from its file and written into
// the output with Exiv2, the metadata library photographers' tools rely on:
// it keeps every EXIF value as stored (rationals exact), relocates the maker
// notes of the major camera makers when it writes TIFF, and writes each
// format's own places for the three (JPEG's segments, PNG's chunks, TIFF's
// directories and tags, WebP's chunks).
//
// The pixel writers write the samples, the colour profile (PNG and TIFF) and
// the resolution; everything here is added to the written file afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/image_format.h"
#include "cli/stored_resolution.h"

struct PhotoMetadata;

// Once, before any file: Exiv2's XMP toolkit set up for several threads, and
// its log silenced (the command reports in its own words).
void StartPhotoMetadata();

// Reads a file's metadata (from its path, or from its bytes when path is
// empty). What is read is ready to go into any format: the thumbnails (EXIF's
// and the Photoshop one inside IPTC's block, both of the unfiltered picture)
// are dropped, a JPEG's extended XMP is merged into its XMP, and the tags that
// describe how the input stored its pixels are left out. Null when the file
// has none of the three; *warning says what could not be read.
std::shared_ptr<PhotoMetadata> ReadPhotoMetadata(const std::string& path, const uint8_t* bytes, size_t size,
                                                 std::string* warning);

// The resolution the EXIF's first directory states (a TIFF's own), if any.
StoredResolution PhotoResolution(const PhotoMetadata& metadata);

// The EXIF orientation (1 to 8), 1 when there is none.
int PhotoOrientation(const PhotoMetadata& metadata);

// After the pixels were turned upright: the orientation is 1 in EXIF and XMP
// alike, and the image size tags that were there name the new size.
void MarkUpright(PhotoMetadata* metadata, int32_t width, int32_t height);

struct PhotoMetadataWrite {
    const PhotoMetadata* metadata = nullptr;  // null: none
    std::vector<uint8_t> icc;                 // set here for JPEG and WebP; PNG and TIFF carry it themselves
    ImageFormat format = ImageFormat::Png;
};

// Adds the metadata to a written file in place (its inode, mode and owner
// stay). False with the reason; *notes gets what the format could not hold.
bool WritePhotoMetadata(const std::string& path, const PhotoMetadataWrite& write, std::vector<std::string>* notes,
                        std::string* error);

// For tests and the verbose report: the EXIF tags held, as Exiv2 names them
// ("Exif.Photo.ExposureTime"), the IPTC datasets, and the XMP properties.
std::vector<std::string> PhotoMetadataKeys(const PhotoMetadata& metadata);
