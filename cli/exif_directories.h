// EXIF in TIFF files: a JPEG-style EXIF block taken apart into the tags of
// the image's own directory, its EXIF directory and its GPS directory, and
// written through libtiff's custom directories. Tags libtiff does not know are
// left out (maker notes it knows, as undefined bytes, go along).
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

struct TiffExifTag {
    uint16_t tag;
    int format;                  // EXIF's: 1 byte, 2 ascii, 3 short, 4 long, 5 rational, 7 undefined, 8 sshort,
                                 // 9 slong, 10 srational
    std::vector<double> values;  // numbers, each component
    std::vector<uint8_t> bytes;  // ascii and undefined, as stored
};

struct ExifForTiff {
    std::vector<TiffExifTag> main;  // descriptive tags of the first directory (Make, Model, Artist, ...)
    std::vector<TiffExifTag> exif;
    std::vector<TiffExifTag> gps;
    bool hasExifDirectory = false;
    bool hasGpsDirectory = false;
};

// Takes an EXIF block apart (with or without JPEG's "Exif\0\0"); empty on failure.
ExifForTiff ParseExifForTiff(const std::vector<uint8_t>& block);

// Sets the descriptive tags on the image's directory, before it is written.
void SetMainDirectoryTags(TIFF* tiff, const ExifForTiff& exif);

// After the image's directory is written: writes the EXIF and GPS directories
// and points the image's directory at them.
bool WriteExifDirectories(TIFF* tiff, const ExifForTiff& exif, std::string* error);

// The EXIF of a TIFF file (its descriptive tags, EXIF and GPS directories) as
// a JPEG-style block with "Exif\0\0", as the other formats carry it; empty
// when the file has none or cannot be read.
std::vector<uint8_t> ReadTiffExif(const std::string& path);
