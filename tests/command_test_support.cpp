#include "tests/command_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <vips/vips.h>

namespace fs = std::filesystem;

namespace {
// libvips starts once for the test program, as the command starts it.
struct ImageLibrary {
    ImageLibrary() {
        std::string error;
        StartImageLibrary("glyra_tests", &error);
    }
} gImageLibrary;
}  // namespace

void GlyraCommand::SetUp() {
    dir_ = fs::temp_directory_path() / ("glyra-test-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
}

void GlyraCommand::TearDown() { fs::remove_all(dir_); }

CommandResult GlyraCommand::Run(const std::string& arguments, const std::string& before) const {
    const std::string errors = Path("stderr.txt"), output = Path("stdout.bin");
    const std::string command =
        before + std::string(GLYRA_BINARY) + " " + arguments + " 2>" + errors + " >" + output;
    const int status = std::system(command.c_str());
    return CommandResult{WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileBytes(errors), FileBytes(output)};
}

ImageFile Blank(int32_t width, int32_t height, int depth, int channels, uint16_t level) {
    ImageFile image;
    image.width = width;
    image.height = height;
    image.depth = depth;
    image.channels = channels;
    image.pixels = PixelBlock(image.SampleCount() * size_t(depth / 8));
    for (size_t i = 0; i < image.SampleCount(); ++i) image.SetSample(i, level);
    return image;
}

void Write(const std::string& path, const ImageFile& image) {
    WriteOptions options;
    ASSERT_TRUE(FormatFromPath(path, &options.format)) << path;
    options.jpegQuality = 95;
    options.pngCompression = 6;
    Failure failure;
    ASSERT_TRUE(WriteImage(path, image, options, &failure)) << failure.message;
}

ImageFile Read(const std::string& path, bool autorotate) {
    ImageFile image;
    ReadOptions options;
    options.autorotate = autorotate;
    Failure failure;
    EXPECT_TRUE(ReadImage(path, options, &image, &failure)) << failure.message;
    return image;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<uint8_t> VipsProfile(const char* name) {
    VipsBlob* blob = nullptr;
    if (vips_profile_load(name, &blob, nullptr)) return {};
    size_t length = 0;
    const auto* data = static_cast<const uint8_t*>(vips_blob_get(blob, &length));
    std::vector<uint8_t> bytes(data, data + length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}
