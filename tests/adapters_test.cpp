// The renderer behind GEGL and frei0r, run by the real hosts: the gegl
// command, ffmpeg and melt. On 8-bit images their results must equal the
// glyra command's sample for sample; 16-bit images through GEGL (which
// renders in floating point, where the plug-in's interface holds 0..32768)
// stay within 2 of 65535.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <frei0r.h>
#include <vips/vips.h>

#include "core/parameter_table.h"
#include "core/version.h"
#include "tests/emulated_host/recorded_parameters.h"
#include "tests/command_test_support.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

// A dark gradient with a few lights, in the file's own depth and channels.
ImageFile Scene(int32_t width, int32_t height, int depth, int channels, unsigned seed) {
    ImageFile image = Blank(width, height, depth, channels, 0);
    const uint32_t full = depth == 16 ? 65535 : 255;
    std::mt19937 random(seed);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                const bool alpha = c == channels - 1 && (channels == 2 || channels == 4);
                const uint32_t level = alpha ? full * uint32_t(128 + (x * 7 + y) % 128) / 255u
                                             : full * uint32_t(10 + 40 * y / height + 6 * c) / 255u;
                image.SetSample((size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c), uint16_t(level));
            }
    const int colour = channels >= 3 ? 3 : 1;
    for (int light = 0; light < 30; ++light) {
        const size_t at = (size_t(random() % uint32_t(height)) * size_t(width) + random() % uint32_t(width)) * size_t(channels);
        for (int c = 0; c < colour; ++c) image.SetSample(at + size_t(c), uint16_t(full));
    }
    return image;
}

// The largest difference between two files' samples; -1 when their shapes differ.
long MaxDifference(const std::string& a, const std::string& b) {
    const ImageFile x = Read(a), y = Read(b);
    if (x.width != y.width || x.height != y.height || x.channels != y.channels || x.depth != y.depth) return -1;
    long most = 0;
    for (size_t i = 0; i < x.SampleCount(); ++i) most = std::max<long>(most, std::labs(long(x.Sample(i)) - long(y.Sample(i))));
    return most;
}

// Whether two files decode to the same samples (libvips directly: no size limit).
bool SameSamples(const std::string& a, const std::string& b) {
    VipsImage* x = vips_image_new_from_file(a.c_str(), nullptr);
    VipsImage* y = vips_image_new_from_file(b.c_str(), nullptr);
    bool same = false;
    if (x && y) {
        size_t xs = 0, ys = 0;
        void* xp = vips_image_write_to_memory(x, &xs);
        void* yp = vips_image_write_to_memory(y, &ys);
        same = xp && yp && xs == ys && std::memcmp(xp, yp, xs) == 0;
        g_free(xp);
        g_free(yp);
    }
    if (x) g_object_unref(x);
    if (y) g_object_unref(y);
    return same;
}

int Shell(const std::string& line) {
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string GeglEnvironment() {
    return std::string("GEGL_PATH=") + GLYRA_GEGL_DIR + ":$(pkg-config --variable=pluginsdir gegl-0.4) ";
}

}  // namespace

TEST_F(GlyraCommand, TheGeglOperationEqualsTheCommandOnEightBitsAndComesWithinTwoAtSixteen) {
    struct Case {
        const char* name;
        int depth, channels;
        const char* properties;  // for gegl
        const char* options;     // the same for glyra
        long tolerance;
    };
    const Case cases[] = {
        {"rgb8", 8, 3, "", "", 0},
        {"rgb8-custom", 8, 3, "line-type=4 angle=30 threshold-type=average sp-density=80 threshold=200",
         "--line-type 4 --angle 30 --threshold-type average --sp-density 80 --threshold 200", 0},
        {"rgba8", 8, 4, "", "", 0},
        {"gray8", 8, 1, "h1-density=60", "--h1-density 60", 0},
        {"rgb16", 16, 3, "", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = Path(std::string(c.name) + ".png");
        Write(input, Scene(160, 90, c.depth, c.channels, 4));
        const std::string viaGegl = Path(std::string(c.name) + "-gegl.png"), viaGlyra = Path(std::string(c.name) + "-glyra.png");
        ASSERT_EQ(Shell(GeglEnvironment() + "gegl '" + input + "' -- glyra:stars " + c.properties +
                        " gegl:png-save path='" + viaGegl + "' bitdepth=" + std::to_string(c.depth) +
                        " 2>" + Path("gegl.log")),
                  0)
            << FileBytes(Path("gegl.log"));
        ASSERT_EQ(Run(std::string(c.options) + " '" + input + "' '" + viaGlyra + "'").status, 0);
        EXPECT_LE(MaxDifference(viaGegl, viaGlyra), c.tolerance);
        EXPECT_GE(MaxDifference(viaGegl, input), 20) << "streaks were drawn";
    }
}

TEST_F(GlyraCommand, TheGeglOperationTakesScriptedValuesOutsideItsSlidersAsThePlugInDoes) {
    // A script may set any 16-bit value; the plug-in takes a recorded action's
    // values as they come, and so does the operation.
    const ImageFile scene = Scene(120, 80, 8, 3, 6);
    Write(Path("in.png"), scene);
    ASSERT_EQ(Shell(GeglEnvironment() + "gegl '" + Path("in.png") +
                    "' -- glyra:stars h0-extent=150 sp-amplitude=0 angle=400 gegl:png-save path='" + Path("out.png") +
                    "' bitdepth=8 2>" + Path("gegl.log")),
              0)
        << FileBytes(Path("gegl.log"));
    FilterParameters values;
    SetDefaultParameters(&values);
    values.h0Extent = 150;
    values.spAmplitude = 0;
    values.angle = 400;
    HostImage image = MakeHostImage(scene.width, scene.height, 8, 3, false);
    for (size_t i = 0; i < scene.SampleCount(); ++i) image.SetSample(i, scene.Sample(i));
    TestHost host(image, HostSettings{});
    host.SetScriptValues(RecordedParameters(values));
    ASSERT_EQ(host.Run(Plugin(), false).result, 0);
    const ImageFile out = Read(Path("out.png"));
    ASSERT_EQ(out.SampleCount(), host.Image().SampleCount());
    size_t differing = 0;
    for (size_t i = 0; i < out.SampleCount(); ++i) differing += out.Sample(i) != host.Image().Sample(i);
    EXPECT_EQ(differing, 0u);
}

TEST_F(GlyraCommand, TheGeglOperationTakesTinyImagesAndRefusesHugeOnesWithoutFailingTheHost) {
    for (int32_t side : {1, 2}) {
        const std::string input = Path("tiny.png"), output = Path("tiny-out.png");
        Write(input, Scene(side, side, 8, 3, 5));
        EXPECT_EQ(Shell(GeglEnvironment() + "gegl '" + input + "' -- glyra:stars gegl:png-save path='" + output +
                        "' bitdepth=8 2>/dev/null"),
                  0);
        EXPECT_EQ(Read(output).width, side);
    }
    // Wider than the filter takes: a warning, and the image as it was.
    const std::string wide = Path("wide.png"), out = Path("wide-out.png");
    Write(wide, Blank(33000, 2, 8, 3, 255));
    EXPECT_EQ(Shell(GeglEnvironment() + "gegl '" + wide + "' -- glyra:stars gegl:png-save path='" + out +
                    "' bitdepth=8 2>" + Path("wide.log")),
              0);
    EXPECT_NE(FileBytes(Path("wide.log")).find("at most 32767 pixels a side"), std::string::npos)
        << FileBytes(Path("wide.log"));
    EXPECT_TRUE(SameSamples(wide, out));
}

TEST_F(GlyraCommand, TheFrei0rFilterInFfmpegAndMeltEqualsTheCommandFrameByFrame) {
    // A few frames of moving lights at 1280 x 720, as PNG (lossless) in and out.
    fs::create_directories(Path("in"));
    fs::create_directories(Path("ffmpeg"));
    fs::create_directories(Path("glyra"));
    for (int frame = 1; frame <= 4; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "in/f%03d.png", frame);
        Write(Path(name), Scene(1280, 720, 8, 3, unsigned(frame)));
    }
    const std::string environment = std::string("FREI0R_PATH=") + GLYRA_FREI0R_DIR + " ";
    // Parameters in frei0r's form: doubles over each range, the threshold type as
    // a string; 3.5 is out of range and clamps to the top (line type 4).
    ASSERT_EQ(Shell(environment + "ffmpeg -hide_banner -loglevel error -i '" + Path("in/f%03d.png") +
                    "' -vf 'frei0r=filter_name=glyra:filter_params=0.5|0.9|average|0.25|3.5' -pix_fmt rgb24 '" +
                    Path("ffmpeg/f%03d.png") + "'"),
              0);
    // brightness 1 + round(0.5 x 99) = 51, threshold round(0.9 x 255) = 230, angle round(0.25 x 359) = 90.
    ASSERT_EQ(Run("-q --brightness 51 --threshold 230 --threshold-type average --angle 90 --line-type 4 -o '" +
                  Path("glyra") + "/' " + Path("in/f001.png") + " " + Path("in/f002.png") + " " +
                  Path("in/f003.png") + " " + Path("in/f004.png"))
                  .status,
              0);
    for (int frame = 1; frame <= 4; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.png", frame);
        EXPECT_EQ(MaxDifference(Path(std::string("ffmpeg/") + name), Path(std::string("glyra/") + name)), 0) << name;
    }
    // melt finds it by name, with its defaults.
    ASSERT_EQ(Shell(environment + "melt -silent -profile atsc_720p_25 '" + Path("in/f001.png") +
                    "' in=0 out=0 -attach frei0r.glyra -consumer avformat:'" + Path("melt%03d.png") +
                    "' vcodec=png pix_fmt=rgb24 >/dev/null 2>&1"),
              0);
    ASSERT_EQ(Run(Path("in/f001.png") + " " + Path("default.png")).status, 0);
    EXPECT_EQ(MaxDifference(Path("melt001.png"), Path("default.png")), 0);
}

TEST(KdenliveEffect, DescribesEveryParameterOverItsOwnRange) {
    const std::string path = std::string(GLYRA_FREI0R_DIR) + "/frei0r_glyra.xml";
    const std::string xml = FileBytes(path);
    ASSERT_FALSE(xml.empty()) << path;
    EXPECT_EQ(Shell("python3 -c \"import xml.dom.minidom, sys; xml.dom.minidom.parse(sys.argv[1])\" '" + path + "'"), 0)
        << "well-formed XML";
    EXPECT_NE(xml.find("<effect tag=\"frei0r.glyra\""), std::string::npos);
    size_t parameters = 0;
    for (size_t at = xml.find("<parameter "); at != std::string::npos; at = xml.find("<parameter ", at + 1)) ++parameters;
    EXPECT_EQ(parameters, 13u);
    // The angle: 0..359 shown from frei0r's 0..1 (times 359, plus 0); the brightness from 1.
    EXPECT_NE(xml.find("name=\"3\" default=\"0\" min=\"0\" max=\"359\" factor=\"359\" offset=\"0\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"0\" default=\"50\" min=\"1\" max=\"100\" factor=\"99\" offset=\"1\""), std::string::npos);
    EXPECT_NE(xml.find("paramlist=\"plain;average;weighted\""), std::string::npos);
}

TEST(Frei0rFilter, FramesLargerThanTheFilterTakesPassThroughAndItsVersionIsTheProducts) {
    void* module = dlopen(GLYRA_FREI0R_DIR "/glyra.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Init = int (*)();
    using Info = void (*)(f0r_plugin_info_t*);
    using Construct = f0r_instance_t (*)(unsigned int, unsigned int);
    using Update = void (*)(f0r_instance_t, double, const uint32_t*, uint32_t*);
    using Destruct = void (*)(f0r_instance_t);
    reinterpret_cast<Init>(dlsym(module, "f0r_init"))();
    f0r_plugin_info_t info{};
    reinterpret_cast<Info>(dlsym(module, "f0r_get_plugin_info"))(&info);
    EXPECT_EQ(info.major_version, GLYRA_VERSION_MAJOR);
    EXPECT_EQ(info.minor_version, GLYRA_VERSION_MINOR);
    for (unsigned width : {32767u, 33000u}) {
        f0r_instance_t instance = reinterpret_cast<Construct>(dlsym(module, "f0r_construct"))(width, 2);
        ASSERT_NE(instance, nullptr);
        std::vector<uint32_t> in(size_t(width) * 2, 0xFF0A0A0Au), out(in.size(), 0);
        in[width + 100] = 0xFFFFFFFFu;  // one light in a dark frame
        reinterpret_cast<Update>(dlsym(module, "f0r_update"))(instance, 0, in.data(), out.data());
        // Within the limit the light streaks; past it the frame is left as it was.
        EXPECT_EQ(out == in, width > 32767u) << width;
        reinterpret_cast<Destruct>(dlsym(module, "f0r_destruct"))(instance);
    }
    dlclose(module);
}
