// Image files through the command: the four formats, the metadata carried
// from input to output, the orientation, and files that lie (truncated,
// corrupt, or declaring far more pixels than memory holds).
#include <gtest/gtest.h>
#include <vips/vips.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "cli/image_file.h"
#include "tests/image_inspection.h"
#include "tests/command_test_support.h"

namespace fs = std::filesystem;

namespace {

// An EXIF block as JPEG carries it: the maker "Glyra" and an orientation.
std::vector<uint8_t> MakeExif(uint16_t orientation) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint32_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(2);                          // entries
    u16(0x010F); u16(2); u32(6); u32(38);  // Make, ASCII, 6 bytes at 38
    u16(0x0112); u16(3); u32(1); u16(orientation); u16(0);
    u32(0);                          // no next directory
    for (char c : std::string("Glyra")) b.push_back(uint8_t(c));
    b.push_back(0);
    return b;
}

struct Metadata {
    std::vector<uint8_t> icc, exif, iptc;
    std::string xmp =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
        "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Rating=\"4\"/>"
        "</rdf:RDF></x:xmpmeta>";
    double dpi = 300;
    int orientation = 1;
};

// A width x height RGB picture, noisy with one bright pixel, with metadata,
// written by libvips itself.
void WriteWithMetadata(const std::string& path, int32_t width, int32_t height, const Metadata& m, bool withText) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    std::mt19937 random(5);
    for (uint8_t& p : pixels) p = uint8_t(random() % 120);
    for (int c = 0; c < 3; ++c) pixels[size_t((height / 2 * width + width / 4) * 3 + c)] = 255;
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, 3,
                                                       VIPS_FORMAT_UCHAR);
    ASSERT_NE(image, nullptr);
    image->Type = VIPS_INTERPRETATION_sRGB;
    if (!m.icc.empty()) vips_image_set_blob_copy(image, VIPS_META_ICC_NAME, m.icc.data(), m.icc.size());
    if (!m.exif.empty()) vips_image_set_blob_copy(image, VIPS_META_EXIF_NAME, m.exif.data(), m.exif.size());
    if (!m.iptc.empty()) vips_image_set_blob_copy(image, VIPS_META_IPTC_NAME, m.iptc.data(), m.iptc.size());
    vips_image_set_blob_copy(image, VIPS_META_XMP_NAME, m.xmp.data(), m.xmp.size());
    if (withText) vips_image_set_string(image, "png-comment-0-Title", "Harbour at night");
    vips_image_set_int(image, VIPS_META_ORIENTATION, m.orientation);
    image->Xres = image->Yres = m.dpi / 25.4;
    ASSERT_EQ(vips_image_write_to_file(image, path.c_str(), nullptr), 0) << vips_error_buffer();
    g_object_unref(image);
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

TEST_F(GlyraCommand, ReadsAndWritesEveryFormatKeepingSixteenBitsWhereItCan) {
    for (int depth : {8, 16}) {
        ImageFile image = Blank(50, 30, depth, 3, depth == 16 ? 9000 : 35);
        for (int c = 0; c < 3; ++c) image.SetSample(size_t((15 * 50 + 25) * 3 + c), depth == 16 ? 65535 : 255);
        Write(Path("in.png"), image);
        for (const char* name : {"out.png", "out.tif", "out.jpg", "out.webp"}) {
            const CommandResult result = Run(Path("in.png") + " " + Path(name));
            ASSERT_EQ(result.status, 0) << name << ": " << result.errors;
            const ImageFile out = Read(Path(name));
            ImageFormat format;
            FormatFromPath(name, &format);
            EXPECT_EQ(out.format, format) << name;
            EXPECT_EQ(out.width, 50);
            EXPECT_EQ(out.depth, depth == 16 && FormatHoldsSixteenBits(format) ? 16 : 8) << name;
            EXPECT_GT(out.Sample(size_t((15 * 50 + 30) * 3)), depth == 16 && out.depth == 16 ? 9000 : 35) << name;
        }
        // And back in: each format is an input too.
        for (const char* name : {"out.tif", "out.webp"})
            EXPECT_EQ(Run(Path(name) + " " + Path("again.png")).status, 0) << name;
    }
}

TEST_F(GlyraCommand, CarriesProfileExifXmpResolutionAndTextsAndStripsThemOnRequest) {
    Metadata m;
    m.icc = VipsProfile("p3");
    ASSERT_FALSE(m.icc.empty());
    m.exif = MakeExif(1);
    for (const char* input : {"in.png", "in.jpg", "in.tif", "in.webp"}) {
        WriteWithMetadata(Path(input), 64, 40, m, std::string(input) == "in.png");
        for (const char* output : {"out.png", "out.jpg", "out.tif", "out.webp"}) {
            SCOPED_TRACE(std::string(input) + " -> " + output);
            ASSERT_EQ(Run(Path(input) + " " + Path(output)).status, 0);
            const ImageFile out = Read(Path(output));
            EXPECT_EQ(MetadataBytes(out, VIPS_META_ICC_NAME), m.icc) << "the colour profile, byte for byte";
            // EXIF in every pair (the TIFF input here, written by libvips, has
            // none; libvips reads no EXIF from TIFF: the tests of real
            // photographs read it with exiftool).
            const bool exif = std::string(input) != "in.tif";
            if (std::string(output) != "out.tif") {
                EXPECT_EQ(Text(MetadataBytes(out, VIPS_META_EXIF_NAME)).find("Glyra") != std::string::npos, exif);
            }
            EXPECT_NE(Text(MetadataBytes(out, VIPS_META_XMP_NAME)).find("Rating"), std::string::npos);
            if (std::string(output) != "out.webp" && std::string(input) != "in.webp") {
                EXPECT_NEAR(ResolutionPerInch(out), 300.0, 0.05) << "WebP holds no resolution";
            }
            if (std::string(input) == "in.png" && std::string(output) == "out.png") {
                bool titled = false;  // libvips numbers the texts in file order, the metadata's among them
                for (int i = 0; i < 4; ++i)
                    titled |= Text(MetadataBytes(out, "png-comment-" + std::to_string(i) + "-Title")) == "Harbour at night";
                EXPECT_TRUE(titled);
            }

            // --strip drops what describes the shot; the profile stays, or every viewer shifts the colours.
            ASSERT_EQ(Run("--strip " + Path(input) + " " + Path(output)).status, 0);
            const ImageFile stripped = Read(Path(output));
            EXPECT_EQ(MetadataBytes(stripped, VIPS_META_ICC_NAME), m.icc);
            EXPECT_TRUE(MetadataBytes(stripped, VIPS_META_XMP_NAME).empty());
            EXPECT_EQ(Text(MetadataBytes(stripped, VIPS_META_EXIF_NAME)).find("Glyra"), std::string::npos);
            ASSERT_EQ(Run("--strip-all " + Path(input) + " " + Path(output)).status, 0);
            const ImageFile bare = Read(Path(output));
            EXPECT_TRUE(MetadataBytes(bare, VIPS_META_ICC_NAME).empty());
            EXPECT_TRUE(MetadataBytes(bare, VIPS_META_XMP_NAME).empty());
            EXPECT_EQ(Text(MetadataBytes(bare, VIPS_META_EXIF_NAME)).find("Glyra"), std::string::npos);
        }
    }
    // A TIFF written by the command carries EXIF on to every other format.
    WriteWithMetadata(Path("in.jpg"), 64, 40, m, false);
    ASSERT_EQ(Run(Path("in.jpg") + " " + Path("exif.tif")).status, 0);
    for (const char* output : {"from-tif.jpg", "from-tif.png", "from-tif.webp"}) {
        ASSERT_EQ(Run(Path("exif.tif") + " " + Path(output)).status, 0);
        EXPECT_EQ(Text(MetadataBytes(Read(Path(output)), "exif-ifd0-Make")).find("Glyra"), 0u) << output;
    }
    // IPTC, in the Photoshop resource block JPEG carries it in.
    const std::string iptc = std::string("Photoshop 3.0\0", 14) + "8BIM" + std::string("\x04\x04\0\0\0\0\0\x0c", 8) +
                             std::string("\x1c\x02\x05\x00\x07Harbour", 12);
    m.iptc.assign(iptc.begin(), iptc.end());
    WriteWithMetadata(Path("in.jpg"), 64, 40, m, false);
    ASSERT_EQ(Run(Path("in.jpg") + " " + Path("out.jpg")).status, 0);
    EXPECT_EQ(MetadataBytes(Read(Path("out.jpg")), VIPS_META_IPTC_NAME), m.iptc);
    // TIFF holds the IPTC records themselves (not JPEG's resource block), as its readers expect.
    ASSERT_EQ(Run(Path("in.jpg") + " " + Path("out.tif")).status, 0);
    EXPECT_EQ(Text(MetadataBytes(Read(Path("out.tif")), VIPS_META_IPTC_NAME)).rfind(std::string("\x1c\x02\x05\x00\x07Harbour", 12), 0), 0u);
}

TEST_F(GlyraCommand, AppliesTheOrientationUnlessToldNotTo) {
    Metadata m;
    m.exif = MakeExif(6);
    m.orientation = 6;
    for (const char* input : {"portrait.jpg", "portrait.png"}) {
        WriteWithMetadata(Path(input), 40, 20, m, false);
        ASSERT_EQ(Run(Path(input) + " " + Path("upright.jpg")).status, 0);
        const ImageFile upright = Read(Path("upright.jpg"), false);
        EXPECT_EQ(upright.width, 20) << input << ": the picture as seen, standing";
        EXPECT_EQ(upright.height, 40);
        EXPECT_EQ(Orientation(upright), 1) << "and the tag says so";

        ASSERT_EQ(Run("--no-autorotate " + Path(input) + " " + Path("stored.jpg")).status, 0);
        const ImageFile stored = Read(Path("stored.jpg"), false);
        EXPECT_EQ(stored.width, 40) << input;
        EXPECT_EQ(Orientation(stored), 6);
    }
}

TEST_F(GlyraCommand, ATruncatedOrCorruptFileIsAnErrorNamingIt) {
    ImageFile image = Blank(200, 150, 8, 3, 0);
    std::mt19937 random(9);
    for (size_t i = 0; i < image.SampleCount(); ++i) image.SetSample(i, uint16_t(random() % 256));
    for (const char* name : {"whole.jpg", "whole.png", "whole.tif", "whole.webp"}) {
        Write(Path(name), image);
        const std::string bytes = FileBytes(Path(name));
        const std::string cut = std::string("cut-") + name;
        std::ofstream(Path(cut), std::ios::binary) << bytes.substr(0, bytes.size() * 6 / 10);
        std::string damaged = bytes;
        for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 64 && i < damaged.size(); ++i) damaged[i] = char(0xFF);
        const std::string broken = std::string("broken-") + name;
        std::ofstream(Path(broken), std::ios::binary) << damaged;
        for (const std::string& bad : {cut, broken}) {
            const CommandResult result = Run(Path(bad) + " " + Path("out.png"));
            if (bad == broken && result.status == 0) {  // some damage decodes, as it would anywhere
                fs::remove(Path("out.png"));
                continue;
            }
            EXPECT_EQ(result.status, 3) << bad << ": " << result.errors;
            EXPECT_NE(result.errors.find(bad), std::string::npos) << result.errors;
            EXPECT_FALSE(fs::exists(Path("out.png")));
            EXPECT_FALSE(fs::exists(Path("out.png.partial")));
        }
    }
}

TEST_F(GlyraCommand, AFileDeclaringTooManyPixelsIsRefusedBeforeDecoding) {
    // A few bytes declaring 32767 x 32767 RGBA 16-bit, with one small block of data.
    std::string png = "\x89PNG\r\n\x1a\n";
    auto chunk = [&](const char* type, const std::string& data) {
        const uint32_t length = uint32_t(data.size());
        for (int shift : {24, 16, 8, 0}) png += char(length >> shift);
        std::string body = std::string(type, 4) + data;
        png += body;
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
        for (int shift : {24, 16, 8, 0}) png += char(crc >> shift);
    };
    std::string header = std::string("\x00\x00\x7f\xff\x00\x00\x7f\xff", 8) + std::string("\x10\x06\x00\x00\x00", 5);
    chunk("IHDR", header);
    const std::string zeros(64, '\0');
    std::string compressed(128, '\0');
    uLongf size = uLongf(compressed.size());
    compress(reinterpret_cast<Bytef*>(&compressed[0]), &size, reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    chunk("IDAT", compressed.substr(0, size));
    chunk("IEND", "");
    std::ofstream(Path("bomb.png"), std::ios::binary) << png;
    const auto start = std::chrono::steady_clock::now();
    CommandResult result = Run(Path("bomb.png") + " " + Path("out.png"));
    EXPECT_EQ(result.status, 5) << result.errors;
    EXPECT_NE(result.errors.find("--max-pixels"), std::string::npos) << result.errors;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "refused at the header";

    // A small JPEG that claims 20000 x 20000.
    Write(Path("small.jpg"), Blank(16, 16, 8, 3, 100));
    std::string jpeg = FileBytes(Path("small.jpg"));
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = char(20000 >> 8);
    jpeg[sof + 6] = char(20000 & 0xFF);
    jpeg[sof + 7] = char(20000 >> 8);
    jpeg[sof + 8] = char(20000 & 0xFF);
    std::ofstream(Path("bomb.jpg"), std::ios::binary) << jpeg;
    result = Run(Path("bomb.jpg") + " " + Path("out.png"));
    EXPECT_EQ(result.status, 5) << result.errors;
    EXPECT_NE(result.errors.find("bomb.jpg"), std::string::npos);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory does not fit under ulimit -v
    // Within the pixel limit, but not within the memory the process may have.
    // 400 megapixels need about 2.9 GB (the samples and one float plane); the
    // process may have 2.5 GB of address space.
    result = Run("--max-pixels 500000000 " + Path("bomb.jpg") + " " + Path("out.png"), "ulimit -v 2500000; ");
    EXPECT_EQ(result.status, 5) << result.errors;
    EXPECT_NE(result.errors.find("MB of memory"), std::string::npos) << result.errors;
    EXPECT_FALSE(fs::exists(Path("out.png")));
#endif
    // And wider than the filter's 16-bit rectangles can hold.
    jpeg[sof + 7] = char(0x90);
    jpeg[sof + 8] = 0;
    std::ofstream(Path("wide.jpg"), std::ios::binary) << jpeg;
    result = Run("--max-pixels 1000000000 " + Path("wide.jpg") + " " + Path("out.png"));
    EXPECT_EQ(result.status, 5) << result.errors;
    EXPECT_NE(result.errors.find("32767"), std::string::npos) << result.errors;
}

TEST_F(GlyraCommand, FloatingPointInputIsFilteredInSixteenBits) {
    const int32_t width = 30, height = 20;
    std::vector<float> pixels(size_t(width) * height * 3, 0.1f);
    for (int c = 0; c < 3; ++c) pixels[size_t((10 * width + 15) * 3 + c)] = 1.0f;
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size() * 4, width, height, 3,
                                                       VIPS_FORMAT_FLOAT);
    image->Type = VIPS_INTERPRETATION_scRGB;
    ASSERT_EQ(vips_tiffsave(image, Path("float.tif").c_str(), nullptr), 0);
    g_object_unref(image);
    const CommandResult result = Run("-v " + Path("float.tif") + " " + Path("out.tif"));
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_NE(result.errors.find("16 bits"), std::string::npos) << "the verbose report says what happened";
    const ImageFile out = Read(Path("out.tif"));
    EXPECT_EQ(out.depth, 16);
    EXPECT_GT(out.Sample(size_t((10 * width + 17) * 3)), out.Sample(0));
}

TEST_F(GlyraCommand, JpegQualityDecidesTheChromaSubsamplingUnlessItIsGiven) {
    Write(Path("in.png"), Blank(64, 64, 8, 3, 90));
    auto subsampling = [&](const std::string& options) {
        EXPECT_EQ(Run(options + " " + Path("in.png") + " " + Path("out.jpg")).status, 0);
        return Text(MetadataBytes(Read(Path("out.jpg")), "jpeg-chroma-subsample"));
    };
    EXPECT_EQ(subsampling("--quality 95"), "4:4:4");
    EXPECT_EQ(subsampling("--quality 80"), "4:2:0");
    EXPECT_EQ(subsampling("--quality 95 --jpeg-subsampling 420"), "4:2:0");
    EXPECT_EQ(subsampling("--quality 80 --jpeg-subsampling 444"), "4:4:4");
    ASSERT_EQ(Run("--progressive " + Path("in.png") + " " + Path("p.jpg")).status, 0);
    EXPECT_NE(FileBytes(Path("p.jpg")).find("\xFF\xC2"), std::string::npos) << "a progressive frame";
    EXPECT_EQ(FileBytes(Path("out.jpg")).find("\xFF\xC2"), std::string::npos) << "a baseline frame";
    // PNG and TIFF compression only trade size for time.
    Write(Path("in.png"), Blank(300, 200, 8, 3, 90));
    ASSERT_EQ(Run("--png-compression 9 " + Path("in.png") + " " + Path("small.png")).status, 0);
    ASSERT_EQ(Run("--png-compression 0 " + Path("in.png") + " " + Path("large.png")).status, 0);
    EXPECT_LT(fs::file_size(Path("small.png")), fs::file_size(Path("large.png")));
    EXPECT_EQ(Read(Path("small.png")).Samples(), Read(Path("large.png")).Samples());
    for (const char* compression : {"none", "lzw", "deflate", "zstd"}) {
        ASSERT_EQ(Run(std::string("--tiff-compression ") + compression + " " + Path("in.png") + " " + Path("t.tif")).status, 0)
            << compression;
        EXPECT_EQ(Read(Path("t.tif")).Samples(), Read(Path("small.png")).Samples()) << compression;
    }
}

namespace {

// The IDAT chunks' data of a PNG file, joined: one zlib stream.
std::vector<uint8_t> ImageDataOf(const std::vector<uint8_t>& png) {
    std::vector<uint8_t> data;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0)
            data.insert(data.end(), png.begin() + std::ptrdiff_t(at + 8), png.begin() + std::ptrdiff_t(at + 8 + length));
        at += 12 + length;
    }
    return data;
}

}  // namespace

// At the fast levels the image data is compressed in runs of rows on several
// threads and joined: every shape reads back sample for sample, the joined
// stream inflates whole with its checksum, and the other levels and
// interlacing (row by row through libpng) read back the same.
TEST_F(GlyraCommand, PngImageDataCompressedInRunsReadsBackExactly) {
    std::mt19937 random(9);
    for (int depth : {8, 16})
        for (int channels : {1, 2, 3, 4})
            for (int32_t height : {1, 63, 64, 65, 200})
                for (int32_t width : {1, 37}) {
                    ImageFile image = Blank(width, height, depth, channels, 0);
                    for (size_t i = 0; i < image.SampleCount(); ++i)
                        image.SetSample(i, uint16_t(depth == 16 ? random() % 65536 : random() % 4 == 0 ? 200 : random() % 256));
                    for (int level : {0, 1, 6})
                        for (bool interlace : {false, true}) {
                            if (interlace && level != 1) continue;
                            const std::string path = Path("runs.png");
                            WriteOptions options;
                            options.pngCompression = level;
                            options.progressive = interlace;
                            Failure failure;
                            ASSERT_TRUE(WriteImage(path, image, options, &failure)) << failure.message;
                            const std::string shape = std::to_string(width) + "x" + std::to_string(height) + ", " +
                                                      std::to_string(channels) + " channels, " + std::to_string(depth) +
                                                      " bits, level " + std::to_string(level) +
                                                      (interlace ? ", interlaced" : "");
                            std::ifstream in(path, std::ios::binary);
                            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
                            const std::vector<uint8_t> data = ImageDataOf(bytes);
                            const size_t rowBytes = size_t(width) * size_t(channels) * size_t(depth / 8);
                            std::vector<uint8_t> inflated(size_t(height) * (rowBytes + 1) * 2 + 64);
                            uLongf inflatedSize = uLongf(inflated.size());
                            EXPECT_EQ(uncompress(inflated.data(), &inflatedSize, data.data(), uLong(data.size())), Z_OK)
                                << shape;
                            if (!interlace) {
                                EXPECT_EQ(inflatedSize, size_t(height) * (rowBytes + 1)) << shape;
                            }
                            ImageFile back;
                            ASSERT_TRUE(ReadImage(path, ReadOptions{}, &back, &failure)) << shape << ": " << failure.message;
                            EXPECT_EQ(back.Samples(), image.Samples()) << shape;
                        }
                }
}
