// Shared pieces of the command's tests: a folder of its own per test, the
// command run as a process, and image files made and read back in memory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/image_file.h"

struct CommandResult {
    int status;
    std::string errors;
    std::string output;  // what it wrote to standard output
};

class GlyraCommand : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // Runs glyra with the arguments (a shell line: quote what needs it).
    CommandResult Run(const std::string& arguments, const std::string& before = "") const;

    std::filesystem::path dir_;
};

// An image of one level everywhere.
ImageFile Blank(int32_t width, int32_t height, int depth, int channels, uint16_t level);
// Writes it in the format its name says; reads a file back as the command does.
void Write(const std::string& path, const ImageFile& image);
ImageFile Read(const std::string& path, bool autorotate = true);
// The bytes of a file.
std::string FileBytes(const std::string& path);
// One of the colour profiles libvips carries ("srgb", "p3", "cmyk").
std::vector<uint8_t> VipsProfile(const char* name);

// An EXIF block as JPEG carries it ("Exif\0\0", little-endian TIFF layout),
// written value by value: the test says where each directory and value sits.
struct ExifBytes {
    std::vector<uint8_t> bytes = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    void U16(uint32_t v) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    // A directory entry: tag, type, count, and the value or offset.
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        U16(tag);
        U16(type);
        U32(count);
        U32(value);
    }
    void Text(const std::string& text) {
        for (char c : text) bytes.push_back(uint8_t(c));
        bytes.push_back(0);
    }
};
