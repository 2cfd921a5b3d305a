// Real camera photographs through the command (cut-down copies of Canon,
// Nikon, Sony, Olympus, Fujifilm and Pentax JPEGs with their maker notes,
// and files with GPS, IPTC and XMP; see tests/photos/README), checked tag by
// tag with exiftool: nothing lost, nothing invented, nothing stale. And the
// rules that keep files from harm: damage refused every time, presets never
// written over a photograph, outputs written over keeping their owner's say.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <set>

#include "tests/command_test_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kFormats[] = {"jpg", "tif", "png", "webp"};

std::string Photo(const std::string& name) { return std::string(GLYRA_SOURCE_DIR "/tests/photos/") + name; }

std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    pclose(pipe);
    return out;
}

// The EXIF (with maker notes and GPS), IPTC and XMP tags exiftool reads in a
// file, as "[group] name: value" with numbers as stored. Left out: what
// describes how a file stores its pixels (each format writes its own), and
// what a rewrite of XMP renews (its toolkit's name).
bool KeptGroup(const std::string& group) {
    for (const char* kept : {"IFD0", "ExifIFD", "GPS", "InteropIFD", "FujiFilm", "Pentax", "IPTC"})
        if (group == kept) return true;
    for (const char* prefix : {"Canon", "Nikon", "Sony", "Olympus", "XMP-"})
        if (group.rfind(prefix, 0) == 0) return true;
    return false;
}

std::set<std::string> Tags(const std::string& path) {
    static const std::set<std::string> kStorage = {
        "ImageWidth",  "ImageHeight",       "BitsPerSample",    "Compression",  "PhotometricInterpretation",
        "StripOffsets", "SamplesPerPixel",  "RowsPerStrip",     "StripByteCounts", "PlanarConfiguration",
        "Predictor",   "ExtraSamples",      "SampleFormat",     "SubfileType",  "XResolution",
        "YResolution", "ResolutionUnit",    "YCbCrPositioning", "ReferenceBlackWhite", "XMPToolkit", "About",
        "InstanceID"};
    std::set<std::string> tags;
    std::istringstream lines(Shell("exiftool -a -G1 -s -n '" + path + "'"));
    for (std::string line; std::getline(lines, line);) {
        // "[Group]   Name   : value"
        const size_t close = line.find(']'), colon = line.find(" : ");
        if (line.empty() || line[0] != '[' || close == std::string::npos || colon == std::string::npos) continue;
        const std::string group = line.substr(1, close - 1);
        std::istringstream between(line.substr(close + 1, colon - close - 1));
        std::string name;
        between >> name;
        if (KeptGroup(group) && !kStorage.count(name))
            tags.insert("[" + group + "] " + name + ": " + line.substr(colon + 3));
    }
    return tags;
}

std::string Tag(const std::string& path, const std::string& tag) {
    std::string value = Shell("exiftool -s -s -s -n '-" + tag + "' '" + path + "'");
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

std::string Difference(const std::set<std::string>& in, const std::set<std::string>& out) {
    std::string text;
    for (const std::string& tag : in)
        if (!out.count(tag)) text += "  lost: " + tag + "\n";
    for (const std::string& tag : out)
        if (!in.count(tag)) text += "  new:  " + tag + "\n";
    return text;
}

}  // namespace

TEST_F(GlyraCommand, RealCameraFilesKeepEveryExifIptcAndXmpTagInEveryFormat) {
    for (const char* name : {"Canon.jpg", "Nikon.jpg", "Sony.jpg", "Olympus.jpg", "FujiFilm.jpg", "GPS.jpg",
                             "IPTC.jpg", "XMP.jpg"}) {
        const std::set<std::string> in = Tags(Photo(name));
        ASSERT_GT(in.size(), 12u) << name;
        for (const char* format : kFormats) {
            SCOPED_TRACE(std::string(name) + " -> " + format);
            const std::string out = Path("out." + std::string(format));
            const CommandResult result = Run("-v '" + Photo(name) + "' " + out);
            ASSERT_EQ(result.status, 0) << result.errors;
            std::set<std::string> expected = in;
            if (std::string(format) == "webp") {
                // WebP has no place for IPTC: left out, and -v says so.
                for (auto tag = expected.begin(); tag != expected.end();)
                    tag = tag->rfind("[IPTC]", 0) == 0 ? expected.erase(tag) : std::next(tag);
                if (expected.size() != in.size()) {
                    EXPECT_NE(result.errors.find("WebP holds no IPTC"), std::string::npos) << result.errors;
                }
            }
            EXPECT_EQ(Difference(expected, Tags(out)), "");
            EXPECT_EQ(Tag(out, "Warning"), "") << "exiftool finds the file sound";
            EXPECT_EQ(Tag(out, "IFD1:ThumbnailLength"), "") << "no thumbnail of the unfiltered picture";
        }
    }
    // Maker notes are read as the camera wrote them, offsets and all, in TIFF too.
    const CommandResult tiff = Run("'" + Photo("Canon.jpg") + "' " + Path("canon.tif"));
    ASSERT_EQ(tiff.status, 0) << tiff.errors;
    EXPECT_EQ(Tag(Path("canon.tif"), "Canon:CanonModelID"), Tag(Photo("Canon.jpg"), "Canon:CanonModelID"));
    EXPECT_EQ(Tag(Path("canon.tif"), "ExifIFD:ExposureTime"), Tag(Photo("Canon.jpg"), "ExifIFD:ExposureTime"));
}

TEST_F(GlyraCommand, ThePictureTurnedUprightSaysSoInExifAndXmpAndNamesItsNewSize) {
    // Pentax.jpg is stored turned (orientation 8); an XMP orientation says the same.
    fs::copy_file(Photo("Pentax.jpg"), Path("turned.jpg"));
    ASSERT_EQ(Shell("exiftool -q -overwrite_original -XMP-tiff:Orientation=8 -n " + Path("turned.jpg") + " && echo ok"),
              "ok\n");
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("up." + std::string(format));
        ASSERT_EQ(Run(Path("turned.jpg") + " " + out).status, 0);
        EXPECT_EQ(Tag(out, "IFD0:Orientation"), "1");
        EXPECT_EQ(Tag(out, "XMP-tiff:Orientation"), "1");
        // The camera's 3008 x 2000 named the full picture; this file holds 8 x 8.
        EXPECT_EQ(Tag(out, "ExifIFD:ExifImageWidth"), "8");
        EXPECT_EQ(Tag(out, "ExifIFD:ExifImageHeight"), "8");
        EXPECT_EQ(Tag(out, "Pentax:PentaxModelID"), Tag(Path("turned.jpg"), "Pentax:PentaxModelID"));
    }
    // Kept as stored when asked: the tags still say how to show it.
    ASSERT_EQ(Run("--no-autorotate " + Path("turned.jpg") + " " + Path("stored.png")).status, 0);
    EXPECT_EQ(Tag(Path("stored.png"), "IFD0:Orientation"), "8");
    EXPECT_EQ(Tag(Path("stored.png"), "XMP-tiff:Orientation"), "8");
}

TEST_F(GlyraCommand, ThumbnailsAreDroppedAndNothingIsInventedOrLeftByStripping) {
    // A Photoshop thumbnail in the IPTC block and an EXIF thumbnail, both of the unfiltered picture.
    fs::copy_file(Photo("IPTC.jpg"), Path("thumbs.jpg"));
    fs::copy_file(Photo("GPS.jpg"), Path("small.jpg"));
    ASSERT_EQ(Shell("exiftool -q -overwrite_original '-Photoshop:PhotoshopThumbnail<=" + Path("small.jpg") +
                    "' '-IFD1:ThumbnailImage<=" + Path("small.jpg") + "' " + Path("thumbs.jpg") + " && echo ok"),
              "ok\n");
    ASSERT_NE(Tag(Path("thumbs.jpg"), "PhotoshopThumbnail"), "");
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("t." + std::string(format));
        ASSERT_EQ(Run(Path("thumbs.jpg") + " " + out).status, 0);
        EXPECT_EQ(Tag(out, "PhotoshopThumbnail"), "");
        EXPECT_EQ(Tag(out, "ThumbnailImage"), "");
        if (std::string(format) != "webp") {
            EXPECT_NE(Tag(out, "IPTC:By-line"), "") << "the IPTC itself stays";
        }
    }

    // A PNG with no metadata at all gets none in any format.
    Write(Path("plain.png"), Blank(16, 12, 8, 3, 40));
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("p." + std::string(format));
        ASSERT_EQ(Run(Path("plain.png") + " " + out).status, 0);
        const std::string groups =
            Shell("exiftool -a -G1 -s '" + out + "' | grep -E '^\\[(ExifIFD|GPS|XMP|IPTC|IFD1)|^\\[IFD0\\] +(Orientation|YCbCr)' ");
        EXPECT_EQ(groups, "") << "invented metadata";
    }

    // --strip keeps the colour profile alone; --strip-all not even that.
    const std::string tagged = Photo("ExifTool.jpg");
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("s." + std::string(format));
        ASSERT_EQ(Run("--strip '" + tagged + "' " + out).status, 0);
        EXPECT_EQ(Shell("exiftool -a -G1 -s '" + out + "' | grep -E '^\\[(ExifIFD|GPS|XMP-|IPTC)|^\\[IFD0\\] +Make' "), "");
        EXPECT_EQ(Tag(out, "ICC_Profile:ProfileDescription"), Tag(tagged, "ICC_Profile:ProfileDescription"));
        ASSERT_EQ(Run("--force --strip-all '" + tagged + "' " + out).status, 0);
        EXPECT_EQ(Shell("exiftool -a -G1 -s '" + out + "' | grep -E '^\\[(ExifIFD|GPS|XMP-|IPTC|ICC)|^\\[IFD0\\] +Make' "), "");
    }
}

TEST_F(GlyraCommand, MetadataOverJpegsSegmentSizeIsKeptWholeOrNamedWhenLost) {
    fs::copy_file(Photo("Canon.jpg"), Path("long.jpg"));
    std::ofstream(Path("long.txt")) << std::string(150000, 'x');
    ASSERT_EQ(Shell("exiftool -q -overwrite_original '-XMP-dc:Description<=" + Path("long.txt") + "' " +
                    Path("long.jpg") + " && echo ok"),
              "ok\n");
    ASSERT_NE(Tag(Path("long.jpg"), "HasExtendedXMP"), "") << "exiftool wrote extended XMP";
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("x." + std::string(format));
        ASSERT_EQ(Run(Path("long.jpg") + " " + out).status, 0);
        EXPECT_EQ(Tag(out, "XMP-dc:Description").size(), 150000u);
        EXPECT_EQ(Tag(out, "Warning"), "");
        // JPEG splits it again into standard and extension segments; the others hold it whole.
        EXPECT_EQ(Tag(out, "HasExtendedXMP").empty(), std::string(format) != "jpg");
    }
    // EXIF has no extension in JPEG: what does not fit its 64 kB is named, never lost silently.
    ASSERT_EQ(Run(Path("long.jpg") + " " + Path("long-exif.tif")).status, 0);
    ASSERT_EQ(Shell("exiftool -q -overwrite_original '-IFD0:ImageDescription<=" + Path("long.txt") + "' " +
                    Path("long-exif.tif") + " && echo ok"),
              "ok\n");
    const CommandResult squeezed = Run(Path("long-exif.tif") + " " + Path("squeezed.jpg"));
    ASSERT_EQ(squeezed.status, 0) << squeezed.errors;
    EXPECT_NE(squeezed.errors.find("did not fit: Exif.Image.ImageDescription"), std::string::npos) << squeezed.errors;
    EXPECT_EQ(Tag(Path("squeezed.jpg"), "Canon:CanonModelID"), Tag(Photo("Canon.jpg"), "Canon:CanonModelID"))
        << "the rest of the EXIF, maker notes too, is there";
}

TEST_F(GlyraCommand, PngTextsReadAsTheyWereWrittenLatinOneAndUtf8Alike) {
    // exiftool writes Latin-1 text as tEXt and the rest as UTF-8 iTXt; the
    // command used to write every text as tEXt, so readers showed "\xc3\x83\xc2\x9cnal".
    const std::string in = Path("texts.png"), out = Path("texts-out.png");
    ASSERT_EQ(Run("-q '" + Photo("GPS.jpg") + "' " + in).status, 0);
    ASSERT_EQ(Shell("exiftool -q -overwrite_original '-PNG:Comment=caf\xc3\xa9 au lait' '-PNG:Author=\xc3\x9cnal' "
                    "'-PNG:Title=\xe3\x82\xbf\xe3\x82\xa4\xe3\x83\x88\xe3\x83\xab' " + in + " && echo ok"),
              "ok\n");
    ASSERT_EQ(Run("-q '" + in + "' " + out).status, 0);
    EXPECT_EQ(Tag(out, "PNG:Comment"), "caf\xc3\xa9 au lait");
    EXPECT_EQ(Tag(out, "PNG:Author"), "\xc3\x9cnal");
    EXPECT_EQ(Tag(out, "PNG:Title"), "\xe3\x82\xbf\xe3\x82\xa4\xe3\x83\x88\xe3\x83\xab");
}

TEST_F(GlyraCommand, DamagedFilesAreRefusedInEveryRunAndAcceptedOnesAreBlankWhereDataIsMissing) {
    // A grainy picture large enough for the decoders to work in strips on several threads.
    ImageFile grain = Blank(1200, 900, 8, 3, 0);
    for (size_t i = 0; i < grain.SampleCount(); ++i) grain.SetSample(i, uint16_t((i * 2654435761u) >> 24));
    Write(Path("whole.png"), grain);
    Write(Path("whole.jpg"), grain);
    WriteOptions progressive;
    progressive.format = ImageFormat::Jpeg;
    progressive.progressive = true;
    Failure written;
    ASSERT_TRUE(WriteImage(Path("prog.jpg"), grain, progressive, &written)) << written.message;
    struct Cut {
        std::string from, name;
        double keep;
    };
    std::vector<Cut> cuts = {{"whole.png", "cut995.png", 0.995}, {"whole.png", "cut50.png", 0.5},
                             {"whole.jpg", "cut999.jpg", 0.999}, {"prog.jpg", "cutprog.jpg", 0.9}};
    for (const Cut& cut : cuts) {
        const std::string bytes = FileBytes(Path(cut.from));
        std::ofstream(Path(cut.name), std::ios::binary) << bytes.substr(0, size_t(bytes.size() * cut.keep));
    }
    // A few bytes changed inside the scan data.
    for (const char* from : {"whole.jpg", "prog.jpg"}) {
        std::string bytes = FileBytes(Path(from));
        for (size_t i = 0; i < 20; ++i) bytes[bytes.size() / 2 + i * 97] = char(bytes[bytes.size() / 2 + i * 97] ^ 0x5a);
        std::ofstream(Path(std::string("scan-") + from), std::ios::binary) << bytes;
    }
    for (const char* name : {"cut995.png", "cut50.png", "cut999.jpg", "cutprog.jpg", "scan-whole.jpg", "scan-prog.jpg"}) {
        for (const char* threads : {"--threads 1", "-j 2 --threads 2"})
            for (int run = 0; run < 3; ++run) {
                const CommandResult refused = Run(std::string(threads) + " " + Path(name) + " " + Path("out.png"));
                EXPECT_EQ(refused.status, 3) << name << " " << threads << " run " << run << "\n" << refused.errors;
                EXPECT_FALSE(fs::exists(Path("out.png")));
            }
        EXPECT_EQ(Run("-n " + Path(name) + " " + Path("out.png")).status, 3) << "the dry run sees it too: " << name;
    }
    // Read anyway: the rows the file does not hold are blank, and the warning names them.
    const CommandResult accepted = Run("--accept-damaged " + Path("cut50.png") + " " + Path("half.png"));
    ASSERT_EQ(accepted.status, 0) << accepted.errors;
    EXPECT_NE(accepted.errors.find("are missing and left blank"), std::string::npos) << accepted.errors;
    ReadOptions damaged;
    damaged.acceptDamaged = true;
    ImageFile half;
    Failure failure;
    ASSERT_TRUE(ReadImage(Path("cut50.png"), damaged, &half, &failure)) << failure.message;
    EXPECT_EQ(accepted.errors.substr(accepted.errors.find("; rows ")), half.damage.substr(half.damage.find("; rows ")) + "\n");
    size_t blankRows = 0;
    for (int32_t y = half.height - 1; y >= 0; --y) {
        bool blank = true;
        for (size_t i = size_t(y) * half.width * 3; blank && i < size_t(y + 1) * half.width * 3; ++i)
            blank = half.Sample(i) == 0;
        if (!blank) break;
        ++blankRows;
    }
    // Exactly the rows the warning names are blank; none is copied from elsewhere.
    const size_t named = accepted.errors.find("; rows ");
    ASSERT_NE(named, std::string::npos) << accepted.errors;
    const size_t firstMissing = size_t(std::stoul(accepted.errors.substr(named + 7)));
    EXPECT_EQ(blankRows, size_t(half.height) - firstMissing + 1) << half.damage;
    EXPECT_GT(blankRows, 200u);
}

TEST_F(GlyraCommand, NoFileIsDestroyedByAPresetAndOverwritingKeepsItsOwnersSettings) {
    fs::copy_file(Photo("Canon.jpg"), Path("IMG_0001.jpg"));
    const std::string photo = FileBytes(Path("IMG_0001.jpg"));
    // A photograph is no preset: refused, with or without work to do, and never by a dry run.
    for (const std::string& arguments :
         {"--line-type 4 --save-preset " + Path("IMG_0001.jpg") + " " + Path("out.jpg"),
          "--save-preset " + Path("IMG_0001.jpg"),
          "-n --save-preset " + Path("IMG_0001.jpg") + " " + Path("IMG_0001.jpg") + " " + Path("o.png"),
          "--force --save-preset " + Path("IMG_0001.jpg") + " " + Path("IMG_0001.jpg") + " " + Path("o.png")}) {
        EXPECT_NE(Run(arguments).status, 0) << arguments;
        EXPECT_EQ(FileBytes(Path("IMG_0001.jpg")), photo) << arguments;
    }
    EXPECT_EQ(Run("-n --save-preset " + Path("new.toml")).status, 0);
    EXPECT_FALSE(fs::exists(Path("new.toml"))) << "a dry run writes nothing";
    ASSERT_EQ(Run("--line-type 4 --save-preset " + Path("p.toml")).status, 0);
    ASSERT_EQ(Run("--line-type 3 --save-preset " + Path("p.toml")).status, 0) << "a preset may be replaced";
    EXPECT_NE(FileBytes(Path("p.toml")).find("line-type = 3"), std::string::npos);
    ASSERT_EQ(Run("--force --save-preset " + Path("IMG_0001.jpg")).status, 0) << "--force is the user's word";

    // Written over: the private file stays private and its owner's.
    Write(Path("in.png"), Blank(8, 8, 8, 3, 90));
    for (const char* format : kFormats) {
        SCOPED_TRACE(format);
        const std::string out = Path("mine." + std::string(format));
        ASSERT_EQ(Run(Path("in.png") + " " + out).status, 0);
        ASSERT_EQ(chmod(out.c_str(), 0600), 0);
        if (geteuid() == 0) {
            ASSERT_EQ(chown(out.c_str(), 65534, 65534), 0);
        }
        ASSERT_EQ(Run(Path("in.png") + " " + out).status, 0);
        struct stat info {};
        ASSERT_EQ(stat(out.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        if (geteuid() == 0) {
            EXPECT_EQ(info.st_uid, 65534u);
        }
        // Read-only: only with --force.
        ASSERT_EQ(chmod(out.c_str(), 0444), 0);
        const CommandResult refused = Run(Path("in.png") + " " + out);
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.errors.find("read-only"), std::string::npos) << refused.errors;
        EXPECT_EQ(Run("--force " + Path("in.png") + " " + out).status, 0);
    }
}
