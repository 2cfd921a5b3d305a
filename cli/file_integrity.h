// Whether an image file is whole, decided from its bytes alone before it is
// decoded. The decoders report damage too, but a threaded decode can lose
// their report (a truncated file then passed in some runs and not in
// others), and a JPEG decoder reports lost scan data only as warnings. This
// check reads the file one way, on one thread, so the answer is the same in
// every run:
// - PNG: every chunk lies within the file with its checksum right, IEND ends it;
// - JPEG: every segment lies within the file, and the scans decode (entropy
//   decoding, no colour work) without a single warning; bytes a camera left
//   between segments before the first scan are harmless, any after it are
//   damage, as is a missing end;
// - TIFF: every strip and tile of the first image lies within the file;
// - WebP: the RIFF container's size is the file's, every chunk lies within it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/image_format.h"

struct FileIntegrity {
    bool whole = true;
    bool truncated = false;  // the file ends early (else: corrupt inside)
    std::string problem;     // what is wrong, in words, when not whole
    // For a PNG read despite its damage: how many rows of the image the data
    // that is there holds (rows past them are left blank); -1 when not known.
    int64_t completeRows = -1;
};

FileIntegrity CheckFileIntegrity(ImageFormat format, const uint8_t* data, size_t size);

// For messages about a file that is no image: "a folder", "an empty file",
// "a text file", or empty when nothing better can be said.
std::string DescribeNonImage(const std::string& path);
