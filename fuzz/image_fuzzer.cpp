// Arbitrary bytes through the command's image path: read (any of the four
// formats, with the size checks), filter through PluginMain, write in a
// format the input picks, and read the result back, which must succeed and
// give back the shape that was written.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/filter_run.h"
#include "cli/image_file.h"
#include "core/parameter_table.h"

namespace {
std::string gScratch;

[[noreturn]] void Fault(const char* step, const std::string& message) {
    std::fprintf(stderr, "image fuzzer: %s: %s\n", step, message.c_str());
    __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    std::string error;
    if (!StartImageLibrary((*argv)[0], &error)) return 1;
    gScratch = "/tmp/glyra-image-fuzzer-" + std::to_string(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the output and the parameters; the rest is the file.
    const uint8_t choice = data[0];
    const std::vector<uint8_t> bytes(data + 1, data + size);
    ReadOptions reading;
    reading.maxPixels = 1 << 18;  // small images: many runs
    reading.autorotate = choice & 0x40;
    ImageFile image;
    Failure failure;
    if (!ReadImageBytes(bytes, "input", reading, &image, &failure)) return 0;

    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    parameters.threshold = int16_t(choice & 1 ? 0 : 200);
    parameters.lineType = int16_t(1 + (choice >> 1) % 4);
    RenderOptions options;
    options.threads = 1;
    if (ApplyFilter(parameters, options, &image, FilterRunHooks{}).status != RenderStatus::Done) return 0;

    const ImageFormat formats[] = {ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Tiff, ImageFormat::Webp};
    WriteOptions writing;
    writing.format = formats[(choice >> 3) % 4];
    writing.strip = !(choice & 0x80)  ? WriteOptions::Strip::None
                    : (choice & 0x20) ? WriteOptions::Strip::All
                                      : WriteOptions::Strip::KeepProfile;
    const std::string path = gScratch + "." + FormatExtension(writing.format);
    if (!WriteImage(path, image, writing, &failure)) {
        // Only JPEG may refuse, and only an image with transparency.
        if (!(writing.format == ImageFormat::Jpeg && image.HasAlpha())) Fault("write", failure.message);
        return 0;
    }
    ImageFile back;
    ReadOptions again;
    again.autorotate = false;
    if (!ReadImage(path, again, &back, &failure)) Fault("read back", failure.message);
    // WebP holds colour only (gray comes back as RGB), and drops an alpha
    // channel that is opaque everywhere.
    int channels = writing.format == ImageFormat::Webp && image.channels <= 2 ? image.channels + 2 : image.channels;
    if (writing.format == ImageFormat::Webp && back.channels == channels - 1 && image.HasAlpha()) channels -= 1;
    if (back.width != image.width || back.height != image.height || back.channels != channels)
        Fault("shape", std::to_string(image.width) + "x" + std::to_string(image.height) + "x" +
                           std::to_string(image.channels) + " came back " + std::to_string(back.width) + "x" +
                           std::to_string(back.height) + "x" + std::to_string(back.channels));
    std::remove(path.c_str());
    return 0;
}
