// The command on what real folders hold: profiles libpng dislikes, damaged
// JPEGs, sidecars and folders among the inputs, devices, pipes and links as
// outputs, stop signals at every stage, and time-lapse batches resumed after
// a kill. Nothing is lost: inputs are never touched, and an existing output is
// replaced only by a complete one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "cli/image_file.h"
#include "tests/image_inspection.h"
#include "tests/command_test_support.h"

namespace fs = std::filesystem;

namespace {

// A night shot: a smooth sky, grain, and a few lights.
std::vector<uint8_t> NightPixels(int32_t width, int32_t height, unsigned seed) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                pixels[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] =
                    uint8_t(20 + 40 * y / height + 10 * c + 25 * std::sin(x * 0.01 + c) + random() % 12);
    for (int light = 0; light < 40; ++light) {
        const size_t at = (size_t(random() % uint32_t(height)) * size_t(width) + random() % uint32_t(width)) * 3;
        pixels[at] = pixels[at + 1] = pixels[at + 2] = 255;
    }
    return pixels;
}

// Writes a night shot with libvips, with these metadata fields as blobs.
void WriteShot(const std::string& path, int32_t width, int32_t height,
               const std::map<std::string, std::vector<uint8_t>>& blobs = {}, unsigned seed = 3) {
    const std::vector<uint8_t> pixels = NightPixels(width, height, seed);
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, 3,
                                                       VIPS_FORMAT_UCHAR);
    ASSERT_NE(image, nullptr);
    image->Type = VIPS_INTERPRETATION_sRGB;
    for (const auto& [name, bytes] : blobs) vips_image_set_blob_copy(image, name.c_str(), bytes.data(), bytes.size());
    ASSERT_EQ(vips_image_write_to_file(image, path.c_str(), "Q", 92, nullptr), 0) << vips_error_buffer();
    g_object_unref(image);
}

// The chunks of a PNG file by type, bodies as they are stored.
std::multimap<std::string, std::string> PngChunks(const std::string& path) {
    const std::string bytes = FileBytes(path);
    std::multimap<std::string, std::string> chunks;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const uint32_t length = uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
                                uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
        chunks.emplace(bytes.substr(at + 4, 4), bytes.substr(at + 8, length));
        at += 12 + length;
    }
    return chunks;
}

std::string Inflate(const std::string& packed) {
    std::string out(1 << 20, '\0');
    uLongf size = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(packed.data()),
                   uLong(packed.size())) != Z_OK)
        return "";
    out.resize(size);
    return out;
}

void Damage(const std::string& path, size_t at, const std::string& bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(at));
    file.write(bytes.data(), std::streamsize(bytes.size()));
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// glyra started in the background; its errors go to a file that can be watched.
struct RunningCommand {
    pid_t pid = -1;
    std::string errors;

    RunningCommand(const std::string& arguments, const std::string& errorsPath) : errors(errorsPath) {
        std::remove(errorsPath.c_str());  // what an earlier run said is not what this one says
        pid = fork();
        if (pid == 0) {
            const std::string line = std::string("exec ") + GLYRA_BINARY + " " + arguments + " 2>" + errorsPath +
                                     " >/dev/null";
            execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Waits (at most a minute) until its errors show the text.
    bool WaitFor(const std::string& text) const {
        for (int i = 0; i < 6000; ++i) {
            if (FileBytes(errors).find(text) != std::string::npos) return true;
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    int Stop(int signal) const {
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    int Wait() const {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
};

}  // namespace

TEST_F(GlyraCommand, AProfileLibpngCallsWrongIsWrittenIntoThePngAsItCame) {
    // libpng refuses some profiles: the common HP sRGB profile as "known
    // incorrect", and any whose PCS illuminant is not D50 (this one, made
    // from an sRGB profile by changing that field), with the same error.
    std::vector<uint8_t> profile = VipsProfile("srgb");
    ASSERT_GT(profile.size(), 128u);
    const uint8_t d65[12] = {0, 0, 0xf3, 0x51, 0, 1, 0, 0, 0, 1, 0x16, 0xcc};
    std::memcpy(&profile[68], d65, sizeof d65);
    WriteShot(Path("shot.jpg"), 320, 200, {{VIPS_META_ICC_NAME, profile}});
    const CommandResult result = Run(Path("shot.jpg") + " " + Path("shot.png"));
    ASSERT_EQ(result.status, 0) << result.errors;
    const auto chunks = PngChunks(Path("shot.png"));
    ASSERT_EQ(chunks.count("iCCP"), 1u);
    const std::string body = chunks.find("iCCP")->second;
    const size_t name = body.find('\0');
    ASSERT_NE(name, std::string::npos);
    EXPECT_EQ(Inflate(body.substr(name + 2)), std::string(profile.begin(), profile.end()));
    EXPECT_EQ(chunks.count("sRGB"), 0u) << "the profile alone speaks for the colours";
}

TEST_F(GlyraCommand, ADamagedJpegFailsNamingTheDecodersWordsUnlessDamageIsAccepted) {
    WriteShot(Path("whole.jpg"), 1600, 1200);
    const size_t middle = size_t(fs::file_size(Path("whole.jpg")) / 2);
    fs::copy_file(Path("whole.jpg"), Path("eoi.jpg"));
    Damage(Path("eoi.jpg"), middle, "\xff\xd9");
    fs::copy_file(Path("whole.jpg"), Path("garbage.jpg"));
    std::mt19937 random(11);
    std::string garbage(4096, '\0');
    for (char& c : garbage) c = char(random());
    Damage(Path("garbage.jpg"), middle, garbage);
    for (const char* name : {"eoi.jpg", "garbage.jpg"}) {
        SCOPED_TRACE(name);
        const std::string before = FileBytes(Path(name));
        const CommandResult refused = Run("-v " + Path(name) + " " + Path("out.png"));
        EXPECT_EQ(refused.status, 3) << refused.errors;
        EXPECT_NE(refused.errors.find(Path(name) + ": damaged ("), std::string::npos)
            << refused.errors;
        EXPECT_NE(refused.errors.find("--accept-damaged"), std::string::npos) << "the way out is named";
        EXPECT_FALSE(Exists(Path("out.png")));
        EXPECT_FALSE(Exists(Path("out.png.partial")));

        const CommandResult accepted = Run("--accept-damaged " + Path(name) + " " + Path("out.png"));
        EXPECT_EQ(accepted.status, 0) << accepted.errors;
        EXPECT_NE(accepted.errors.find("damaged, read anyway"), std::string::npos) << accepted.errors;
        EXPECT_TRUE(Exists(Path("out.png")));
        fs::remove(Path("out.png"));
        EXPECT_EQ(FileBytes(Path(name)), before) << "the input is never touched";
    }
    // The whole file passes, and says nothing.
    const CommandResult whole = Run(Path("whole.jpg") + " " + Path("out.png"));
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.errors, "");
}

TEST_F(GlyraCommand, SidecarsAndFoldersAmongTheInputsFailAloneAndTheBatchGoesOn) {
    WriteShot(Path("IMG_0001.jpg"), 64, 48);
    WriteShot(Path("IMG_0002.jpg"), 64, 48, {}, 4);
    std::ofstream(Path("IMG_0001.xmp")) << "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
    fs::create_directories(Path("raw"));
    fs::create_directories(Path("out"));
    const CommandResult result = Run("-o " + Path("out") + "/ " + Path("IMG_0001.jpg") + " " + Path("IMG_0001.xmp") +
                                     " " + Path("raw") + " " + Path("IMG_0002.jpg"));
    EXPECT_EQ(result.status, 3) << result.errors;
    EXPECT_NE(result.errors.find("IMG_0001.xmp: not an image (a .xmp file)"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("raw: is a folder, not an image"), std::string::npos) << result.errors;
    EXPECT_NE(result.errors.find("2 of 4 files written, 2 failed"), std::string::npos) << result.errors;
    EXPECT_TRUE(Exists(Path("out/IMG_0001.jpg")));
    EXPECT_TRUE(Exists(Path("out/IMG_0002.jpg")));
}

TEST_F(GlyraCommand, DevicesPipesAndLinksAreWrittenIntoNotReplaced) {
    WriteShot(Path("in.png"), 120, 80);
    // A pipe: a reader takes the stream, and the pipe stays a pipe.
    ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
    const CommandResult piped =
        Run("--format png " + Path("in.png") + " " + Path("pipe.png"), "(cat " + Path("pipe.png") + " >" +
                                                                           Path("copy.png") + " &) ; ");
    EXPECT_EQ(piped.status, 0) << piped.errors;
    struct stat info {};
    ASSERT_EQ(lstat(Path("pipe.png").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    for (int i = 0; i < 500 && fs::file_size(Path("copy.png")) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Read(Path("copy.png")).width, 120) << "the reader got a whole PNG";

    // A link: its target gets the image, the link stays a link.
    fs::create_directories(Path("library"));
    fs::create_symlink(Path("library/final.png"), Path("link.png"));
    EXPECT_EQ(Run(Path("in.png") + " " + Path("link.png")).status, 0);
    EXPECT_TRUE(fs::is_symlink(Path("link.png")));
    EXPECT_EQ(Read(Path("library/final.png")).width, 120);
    EXPECT_FALSE(Exists(Path("library/final.png.partial")));

    // A character device (a null device of the test's own, where mknod is allowed).
    if (mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(Run("--format png " + Path("in.png") + " " + Path("null")).status, 0);
        ASSERT_EQ(lstat(Path("null").c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << "the device is still a device";
    }
}

TEST_F(GlyraCommand, StopSignalsAtEveryStageLeaveNoPartialFileAndExitAs128PlusTheSignal) {
    // Large enough that every stage lasts a while: a 16-bit TIFF in, the
    // slowest PNG level out.
    const std::vector<uint8_t> pixels = NightPixels(3000, 2000, 8);
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), 3000, 2000, 3, VIPS_FORMAT_UCHAR);
    VipsImage* wide = nullptr;
    ASSERT_EQ(vips_cast(image, &wide, VIPS_FORMAT_USHORT, "shift", TRUE, nullptr), 0);
    wide->Type = VIPS_INTERPRETATION_RGB16;
    ASSERT_EQ(vips_image_write_to_file(wide, Path("big.tif").c_str(), "compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE,
                                       nullptr), 0);
    g_object_unref(wide);
    g_object_unref(image);
    const std::string input = FileBytes(Path("big.tif"));

    struct Case {
        int signal;
        const char* stage;
        const char* path;
    };
    const Case cases[] = {{SIGTERM, "reading", "big.tif"}, {SIGHUP, "filtering", "big.tif"},
                          {SIGTERM, "writing", "out.png"}, {SIGHUP, "writing", "out.png"},
                          {SIGINT, "filtering", "big.tif"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + " while " + c.stage);
        std::ofstream(Path("out.png")) << "the previous output";
        RunningCommand command("--report-stages --png-compression 9 --threshold 150 " + Path("big.tif") + " " +
                                   Path("out.png"),
                               Path("errors.txt"));
        ASSERT_TRUE(command.WaitFor(std::string("stage ") + c.stage + " " + Path(c.path)));
        const int status = command.Stop(c.signal);
        EXPECT_EQ(status, 128 + c.signal);
        const std::string errors = FileBytes(Path("errors.txt"));
        EXPECT_NE(errors.find(Path("big.tif") + ": "), std::string::npos) << errors;
        EXPECT_NE(errors.find(Path("out.png") + " was not written"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("cannot be read"), std::string::npos) << "a stop is no bad input: " << errors;
        EXPECT_FALSE(Exists(Path("out.png.partial")));
        EXPECT_EQ(FileBytes(Path("out.png")), "the previous output") << "replaced only when complete";
        EXPECT_EQ(FileBytes(Path("big.tif")), input);
    }
}

TEST_F(GlyraCommand, ATimeLapseCutShortIsResumedWithSkipExistingAndNumberedToSort) {
    fs::create_directories(Path("frames"));
    fs::create_directories(Path("out"));
    std::string frames;
    for (int i = 1; i <= 12; ++i) {
        const std::string name = Path("frames/shot" + std::to_string(i) + ".png");
        WriteShot(name, 400, 300, {}, unsigned(i));
        frames += " " + name;
    }
    const std::string pattern = Path("out") + "/frame-{index:04}.png";
    {
        RunningCommand command("--report-stages --png-compression 9 -o '" + pattern + "'" + frames,
                               Path("errors.txt"));
        ASSERT_TRUE(command.WaitFor("stage writing " + Path("out/frame-0005.png")));
        EXPECT_EQ(command.Stop(SIGTERM), 128 + SIGTERM);
    }
    std::map<std::string, fs::file_time_type> before;
    for (const auto& entry : fs::directory_iterator(Path("out"))) {
        if (entry.path().filename() == ".glyra-frames") continue;  // the record of which input made which frame
        EXPECT_EQ(entry.path().extension(), ".png") << "no partial file after the kill: " << entry.path();
        before[entry.path().filename().string()] = fs::last_write_time(entry.path());
    }
    EXPECT_GE(before.size(), 4u);
    EXPECT_LT(before.size(), 12u);

    const CommandResult resumed = Run("--skip-existing -o '" + pattern + "'" + frames);
    EXPECT_EQ(resumed.status, 0) << resumed.errors;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Path("out")))
        if (entry.path().filename() != ".glyra-frames") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(names.front(), "frame-0001.png");
    EXPECT_EQ(names[9], "frame-0010.png") << "zero-padded names sort in frame order";
    for (const auto& [name, time] : before)
        EXPECT_EQ(fs::last_write_time(Path("out/" + name)), time) << name << " was left untouched";
}

TEST_F(GlyraCommand, ADryRunMeetsTheSameErrorsAsTheRunAndWritesNothing) {
    WriteShot(Path("ok.jpg"), 64, 48);
    WriteShot(Path("cut.jpg"), 64, 48);
    const std::string cut = FileBytes(Path("cut.jpg")).substr(0, 40);
    std::ofstream(Path("cut.jpg"), std::ios::binary) << cut;
    VipsImage* cmyk = vips_image_new_from_memory_copy(std::vector<uint8_t>(64 * 48 * 4, 90).data(), 64 * 48 * 4, 64,
                                                      48, 4, VIPS_FORMAT_UCHAR);
    cmyk->Type = VIPS_INTERPRETATION_CMYK;
    ASSERT_EQ(vips_image_write_to_file(cmyk, Path("cmyk.jpg").c_str(), nullptr), 0) << vips_error_buffer();
    g_object_unref(cmyk);
    fs::create_directories(Path("out"));
    const std::string inputs =
        Path("ok.jpg") + " " + Path("missing.jpg") + " " + Path("cut.jpg") + " " + Path("cmyk.jpg");

    const CommandResult dry = Run("-n --max-pixels 1000000 -o " + Path("out") + "/ " + inputs);
    EXPECT_EQ(dry.status, 3) << dry.errors;
    EXPECT_NE(dry.output.find(Path("ok.jpg") + " -> " + Path("out/ok.jpg")), std::string::npos) << dry.output;
    for (const char* bad : {"missing.jpg", "cut.jpg", "cmyk.jpg"})
        EXPECT_NE(dry.errors.find(Path(bad) + ": "), std::string::npos) << bad << ": " << dry.errors;
    EXPECT_TRUE(fs::is_empty(Path("out"))) << "nothing written";

    const CommandResult real = Run("-o " + Path("out") + "/ " + inputs);
    EXPECT_EQ(real.status, dry.status) << real.errors;

    // A folder where no file can be made, although permissions say yes to root.
    const CommandResult proc = Run("-n -o /proc/ " + Path("ok.jpg"));
    EXPECT_EQ(proc.status, 2) << proc.errors;
    EXPECT_NE(proc.errors.find("cannot be written"), std::string::npos) << proc.errors;
}

TEST_F(GlyraCommand, TheExifThumbnailIsDroppedAndIptcReachesPng) {
    // EXIF with a second directory, the thumbnail's (a JPEG interchange pointer).
    ExifBytes exif;
    exif.U16(1);
    exif.Entry(0x0112, 3, 1, 1);     // Orientation 1
    exif.U32(26);                    // IFD1 at 26
    exif.U16(2);
    exif.Entry(0x0201, 4, 1, 56);    // JPEGInterchangeFormat
    exif.Entry(0x0202, 4, 1, 4);     // JPEGInterchangeFormatLength
    exif.U32(0);
    for (uint8_t b : {0xFF, 0xD8, 0xFF, 0xD9}) exif.bytes.push_back(b);
    const std::string iptc = std::string("Photoshop 3.0\0", 14) + "8BIM" + std::string("\x04\x04\0\0\0\0\0\x0c", 8) +
                             std::string("\x1c\x02\x05\x00\x07Harbour", 12);
    WriteShot(Path("shot.jpg"), 160, 120,
              {{VIPS_META_EXIF_NAME, exif.bytes},
               {VIPS_META_IPTC_NAME, std::vector<uint8_t>(iptc.begin(), iptc.end())}});
    VipsImage* input = vips_image_new_from_file(Path("shot.jpg").c_str(), nullptr);
    ASSERT_NE(input, nullptr);
    EXPECT_NE(vips_image_get_typeof(input, "jpeg-thumbnail-data"), 0u) << "the input has a thumbnail";
    g_object_unref(input);
    for (const char* output : {"out.jpg", "out.png"}) {
        ASSERT_EQ(Run(Path("shot.jpg") + " " + Path(output)).status, 0) << output;
        const ImageFile out = Read(Path(output));
        EXPECT_TRUE(MetadataBytes(out, "jpeg-thumbnail-data").empty()) << output << ": the unfiltered thumbnail is gone";
        EXPECT_TRUE(MetadataBytes(out, "exif-ifd1-Compression").empty()) << output;
        EXPECT_FALSE(MetadataBytes(out, "exif-ifd0-Orientation").empty()) << output << ": the rest of EXIF stays";
    }
    const auto chunks = PngChunks(Path("out.png"));
    auto text = chunks.begin();
    while (text != chunks.end() && !(text->first == "zTXt" && text->second.rfind("Raw profile type iptc", 0) == 0))
        ++text;
    ASSERT_NE(text, chunks.end());
    const std::string raw = Inflate(text->second.substr(std::strlen("Raw profile type iptc") + 2));
    EXPECT_NE(raw.find("\niptc\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find("486172626f7572"), std::string::npos) << "the caption's bytes, in hex: " << raw;
}

TEST_F(GlyraCommand, GpsAndCameraTagsSurviveATripThroughTiff) {
    // EXIF of a first directory with Make and a GPS directory: latitude N 59 19 12.34.
    ExifBytes exif;
    exif.U16(2);
    exif.Entry(0x010F, 2, 6, 38);    // Make at 38
    exif.Entry(0x8825, 4, 1, 44);    // GPS directory at 44
    exif.U32(0);
    exif.Text("Glyra");              // 38..43
    exif.U16(2);                     // the GPS directory
    exif.Entry(0x0001, 2, 2, 'N');   // "N\0" in the value itself
    exif.Entry(0x0002, 5, 3, 74);    // three rationals at 74
    exif.U32(0);
    for (uint32_t value : {59u, 1u, 19u, 1u, 1234u, 100u}) exif.U32(value);
    WriteShot(Path("gps.jpg"), 96, 64, {{VIPS_META_EXIF_NAME, exif.bytes}});
    ASSERT_EQ(Run(Path("gps.jpg") + " " + Path("gps.tif")).status, 0);
    ASSERT_EQ(Run(Path("gps.tif") + " " + Path("back.jpg")).status, 0);
    const ImageFile back = Read(Path("back.jpg"));
    const std::vector<uint8_t> makeBytes = MetadataBytes(back, "exif-ifd0-Make");
    const std::string make(makeBytes.begin(), makeBytes.end());
    EXPECT_EQ(make.rfind("Glyra", 0), 0u) << make;
    const std::vector<uint8_t> latitude = MetadataBytes(back, "exif-ifd3-GPSLatitude");
    const std::string text(latitude.begin(), latitude.end());
    EXPECT_EQ(text.rfind("59/1 19/1 1234/100", 0), 0u) << text;
    const std::vector<uint8_t> version = MetadataBytes(back, "exif-ifd2-ExifVersion");
    EXPECT_EQ(std::string(version.begin(), version.end()).rfind("Exif Version 2.", 0), 0u) << "fixed-size bytes kept";
    const std::vector<uint8_t> reference = MetadataBytes(back, "exif-ifd3-GPSLatitudeRef");
    EXPECT_EQ(std::string(reference.begin(), reference.end()).rfind("N", 0), 0u);
}
