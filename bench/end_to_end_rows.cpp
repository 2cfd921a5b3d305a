#include "bench/end_to_end_rows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/synthetic_scene.h"

namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;

struct Files {
    std::string folder, png, jpeg;
};

Files WriteScenes(double share) {
    Files files;
    files.folder = "/tmp/glyra-bench-e2e-" + std::to_string(getpid()) + "-" + std::to_string(int(share * 1000));
    mkdir(files.folder.c_str(), 0700);
    files.png = files.folder + "/scene.png";
    files.jpeg = files.folder + "/scene.jpg";
    const ImageFile image = SceneImage(SceneShape{kWidth, kHeight, 3, 8, share, 7}, false);
    Failure failure;
    WriteOptions png;
    if (!WriteImage(files.png, image, png, &failure)) std::fprintf(stderr, "%s\n", failure.message.c_str());
    WriteOptions jpeg;
    jpeg.format = ImageFormat::Jpeg;
    if (!WriteImage(files.jpeg, image, jpeg, &failure)) std::fprintf(stderr, "%s\n", failure.message.c_str());
    return files;
}

void RemoveScenes(const Files& files) {
    for (const std::string& file : {files.png, files.jpeg, files.folder + "/out.png", files.folder + "/out.jpg"})
        std::remove(file.c_str());
    rmdir(files.folder.c_str());
}

std::vector<std::string> Glyra(std::vector<std::string> options, const std::string& in, const std::string& out) {
    std::vector<std::string> arguments = {GLYRA_BINARY, "--force", "-q"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(in);
    arguments.push_back(out);
    return arguments;
}

// GIMP's Sparkle on the file, as many spikes as rays; its luminosity
// threshold lets exactly the scene's highlights sparkle (they are at full
// scale, every other pixel below half of it). Saved as PNG at level 1.
std::vector<std::string> GimpSparkle(const std::string& in, const std::string& out, int rays) {
    const std::string script =
        "(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE \"" + in + "\" \"" + in +
        "\")))"
        " (drawable (car (gimp-image-get-active-drawable image))))"
        " (plug-in-sparkle RUN-NONINTERACTIVE image drawable 0.01 0.5 20 " +
        std::to_string(rays) +
        " 0 1.0 0 0 0 FALSE FALSE FALSE 0)"
        " (file-png-save RUN-NONINTERACTIVE image drawable \"" + out + "\" \"" + out +
        "\" 0 1 0 0 0 0 0))";
    return {"gimp-console-2.10", "-i", "-d", "-f", "-b", script, "-b", "(gimp-quit 0)"};
}

void Row(const std::string& name, const CommandOutcome& glyra, const std::string& peerName,
         const CommandOutcome* peer) {
    char peerTime[32] = "-", ratio[32] = "-", peerPeak[32] = "-";
    if (peer && peer->ok) {
        std::snprintf(peerTime, sizeof peerTime, "%.2f s", peer->seconds);
        std::snprintf(ratio, sizeof ratio, "%.2fx", peer->seconds / std::max(glyra.seconds, 1e-9));
        std::snprintf(peerPeak, sizeof peerPeak, "%.0f MB", peer->peakMegabytes);
    }
    std::printf("| %-40s | %7.2f s | %7.0f MB | %-26s | %9s | %8s | %9s |%s\n", name.c_str(), glyra.seconds,
                glyra.peakMegabytes, peerName.c_str(), peerTime, peerPeak, ratio, glyra.ok ? "" : " (glyra failed)");
    std::fflush(stdout);
}

// The stage report of one run: "read R s, filter F s (import I, render N, export E), write W s".
void Breakdown(const std::string& name, const std::vector<std::string>& arguments) {
    std::vector<std::string> reporting = arguments;
    reporting.insert(reporting.begin() + 1, "--report-stages");
    const CommandOutcome run = RunCommand(reporting);
    const size_t at = run.errors.find("times ");
    double read = 0, filter = 0, import = 0, render = 0, exportTime = 0, write = 0;
    const size_t colon = at == std::string::npos ? std::string::npos : run.errors.find(": read", at);
    if (colon == std::string::npos ||
        std::sscanf(run.errors.c_str() + colon,
                    ": read %lf s, filter %lf s (import %lf, render %lf, export %lf), write %lf s", &read, &filter,
                    &import, &render, &exportTime, &write) != 6) {
        std::printf("| %-40s | (no stage report) |\n", name.c_str());
        return;
    }
    const double startUp = run.seconds - read - filter - write;
    std::printf("| %-40s | %7.2f s | start-up and exit %.2f, decode %.2f, import %.2f, render %.2f, export %.2f, "
                "encode %.2f, host %.2f |\n",
                name.c_str(), run.seconds, startUp, read, import, render, exportTime, write,
                std::max(0.0, filter - import - render - exportTime));
    std::fflush(stdout);
}

}  // namespace

void RunEndToEndRows(bool withGimp) {
    const bool vips = OnPath("vips");
    const bool gimp = withGimp && OnPath("gimp-console-2.10");
    std::printf("\n| %-40s | %9s | %10s | %-26s | %9s | %8s | %9s |\n", "12 MP RGB 8-bit, whole process", "glyra",
                "glyra peak", "peer", "peer", "its peak", "peer/glyra");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(11, '-').c_str(),
                std::string(12, '-').c_str(), std::string(28, '-').c_str(), std::string(11, '-').c_str(),
                std::string(10, '-').c_str(), std::string(11, '-').c_str());
    const std::vector<std::string> nothing = {"--h0-density", "0", "--h1-density", "0", "--sp-density", "0"};
    const Files sparse = WriteScenes(0.001), dense = WriteScenes(0.01);
    for (const Files* files : {&sparse, &dense}) {
        const std::string out = files->folder + "/out.png";
        const std::string percent = files == &sparse ? "0.1%" : "1%";
        for (int rays : {4, 8}) {
            const CommandOutcome glyra = RunCommand(Glyra({"--line-type", rays == 4 ? "2" : "4"}, files->png, out));
            CommandOutcome sparkle;
            if (gimp) sparkle = RunCommand(GimpSparkle(files->png, out, rays));
            Row("PNG, " + percent + ", " + std::to_string(rays) + " rays", glyra, gimp ? "GIMP Sparkle, as many rays" : "",
                gimp ? &sparkle : nullptr);
        }
    }
    // Nothing drawn: the command's fixed costs against a plain copy with the
    // same output settings.
    const std::string out = sparse.folder + "/out.png", outJpeg = sparse.folder + "/out.jpg";
    const CommandOutcome still = RunCommand(Glyra(nothing, sparse.png, out));
    CommandOutcome copy;
    if (vips) copy = RunCommand({"vips", "copy", sparse.png, out + "[compression=1,filter=sub]"});
    Row("PNG, every density 0 (nothing drawn)", still, vips ? "vips copy, level 1, sub" : "", vips ? &copy : nullptr);
    const CommandOutcome jpeg = RunCommand(Glyra({}, sparse.jpeg, outJpeg));
    Row("JPEG, 0.1%, 4 rays", jpeg, "", nullptr);
    const CommandOutcome stillJpeg = RunCommand(Glyra(nothing, sparse.jpeg, outJpeg));
    CommandOutcome copyJpeg;
    if (vips) copyJpeg = RunCommand({"vips", "copy", sparse.jpeg, outJpeg + "[Q=92]"});
    Row("JPEG, every density 0 (nothing drawn)", stillJpeg, vips ? "vips copy, Q 92" : "", vips ? &copyJpeg : nullptr);
    // The command's own JPEG settings optimise the Huffman tables.
    CommandOutcome copyOptimized;
    if (vips) copyOptimized = RunCommand({"vips", "copy", sparse.jpeg, outJpeg + "[Q=92,optimize_coding]"});
    Row("JPEG, every density 0 (nothing drawn)", stillJpeg, vips ? "the same, optimize_coding" : "",
        vips ? &copyOptimized : nullptr);

    std::printf("\n| %-40s | %9s | where the time goes (seconds) |\n", "one run, 12 MP RGB 8-bit", "total");
    std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(11, '-').c_str(),
                std::string(31, '-').c_str());
    Breakdown("PNG, 0.1%, 4 rays", Glyra({}, sparse.png, out));
    Breakdown("PNG, nothing drawn", Glyra(nothing, sparse.png, out));
    Breakdown("JPEG, 0.1%, 4 rays", Glyra({}, sparse.jpeg, outJpeg));
    Breakdown("PNG, 1%, 8 rays", Glyra({"--line-type", "4"}, dense.png, dense.folder + "/out.png"));
    RemoveScenes(sparse);
    RemoveScenes(dense);
}
