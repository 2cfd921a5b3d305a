// Writes the fuzzers' seed corpus: small images of every format, depth and
// channel count the command reads, some with metadata, some cut short; and
// a few host scripts of different lengths and patterns.
#include <vips/vips.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cli/image_file.h"

namespace {

void Save(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seed_corpus IMAGE_FOLDER HOST_FOLDER\n");
        return 2;
    }
    std::string error;
    if (!StartImageLibrary(argv[0], &error)) return 1;
    const std::string images = argv[1], host = argv[2];
    std::mt19937 random(11);
    int count = 0;
    for (int depth : {8, 16})
        for (int channels : {1, 2, 3, 4})
            for (const char* extension : {"png", "jpg", "tif", "webp"}) {
                ImageFormat format;
                FormatFromName(extension, &format);
                if ((channels == 2 || channels == 4) && !FormatHoldsAlpha(format)) continue;
                ImageFile image;
                image.width = 12 + count % 5;
                image.height = 9 + count % 3;
                image.depth = depth;
                image.channels = channels;
                image.pixels = PixelBlock(image.SampleCount() * size_t(depth / 8));
                for (size_t i = 0; i < image.SampleCount(); ++i)
                    image.SetSample(i, uint16_t(i % 7 == 0 ? (depth == 16 ? 65535 : 255) : random() % 200));
                const std::string path = images + "/seed-" + std::to_string(count) + "." + extension;
                WriteOptions options;
                options.format = format;
                Failure failure;
                if (!WriteImage(path, image, options, &failure)) continue;
                // The fuzzer reads its first byte as choices and the rest as the file.
                const std::string file = Slurp(path);
                std::remove(path.c_str());
                Save(path, std::string(1, char(count * 37)) + file);
                Save(images + "/cut-" + std::to_string(count) + "." + extension,
                     std::string(1, char(count * 11)) + file.substr(0, file.size() / 2));
                ++count;
            }
    for (int i = 0; i < 24; ++i) {
        std::string bytes(size_t(16 + i * 9), '\0');
        for (char& b : bytes) b = char(random());
        Save(host + "/script-" + std::to_string(i), bytes);
    }
    std::printf("%d images, 24 host scripts\n", count);
    return 0;
}
