// Shared pieces of the command's tests: a folder of its own per test, the
// command run as a process, and image files made and read back in memory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
