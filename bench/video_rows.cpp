#include "bench/video_rows.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/synthetic_scene.h"
#include "core/sample_math.h"

namespace {

constexpr int kDistinctFrames = 5;  // moving points: each frame its own scene
constexpr int kLoops = 10;          // ffmpeg reads the frames this many times over
constexpr int kTimedFrames = 30;    // frames timed in this process, after two to warm up

using Frame = std::vector<uint8_t>;

std::vector<Frame> MakeFrames(int32_t width, int32_t height, double share) {
    std::vector<Frame> frames;
    for (int f = 0; f < kDistinctFrames; ++f) {
        const auto planes = MakeScenePlanes(SceneShape{width, height, 3, 8, share, uint32_t(11 + f)});
        Frame frame(size_t(width) * size_t(height) * 4);
        for (size_t i = 0; i < planes[0].size(); ++i) {
            for (int p = 0; p < 3; ++p) frame[i * 4 + size_t(p)] = ExportSample8(planes[size_t(p)][i]);
            frame[i * 4 + 3] = 255;
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

// The module's entry points, looked up as a host looks them up.
struct Frei0rModule {
    void* library = nullptr;
    int (*init)() = nullptr;
    void* (*construct)(unsigned, unsigned) = nullptr;
    void (*update)(void*, double, const uint32_t*, uint32_t*) = nullptr;
    void (*destruct)(void*) = nullptr;
};

bool OpenModule(Frei0rModule* module) {
    module->library = dlopen(GLYRA_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!module->library) return false;
    module->init = reinterpret_cast<int (*)()>(dlsym(module->library, "f0r_init"));
    module->construct = reinterpret_cast<void* (*)(unsigned, unsigned)>(dlsym(module->library, "f0r_construct"));
    module->update =
        reinterpret_cast<void (*)(void*, double, const uint32_t*, uint32_t*)>(dlsym(module->library, "f0r_update"));
    module->destruct = reinterpret_cast<void (*)(void*)>(dlsym(module->library, "f0r_destruct"));
    return module->init && module->construct && module->update && module->destruct && module->init();
}

// Frames per second of f0r_update alone, one instance, frame after frame.
double InProcessFramesPerSecond(const Frei0rModule& module, const std::vector<Frame>& frames, int32_t width,
                                int32_t height) {
    void* instance = module.construct(unsigned(width), unsigned(height));
    if (!instance) return 0;
    Frame out(frames[0].size());
    auto update = [&](int n) {
        const Frame& in = frames[size_t(n) % frames.size()];
        module.update(instance, n / 25.0, reinterpret_cast<const uint32_t*>(in.data()),
                      reinterpret_cast<uint32_t*>(out.data()));
    };
    update(0);
    update(1);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kTimedFrames; ++n) update(n);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    module.destruct(instance);
    return kTimedFrames / seconds;
}

// Seconds ffmpeg takes over the raw frames, with the filter or without.
double FfmpegSeconds(const std::string& rawFile, int32_t width, int32_t height, bool filtered, bool* ok) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> arguments = {"ffmpeg", "-v", "error", "-nostdin", "-f", "rawvideo", "-pix_fmt",
                                          "rgba", "-s", size, "-framerate", "25", "-stream_loop",
                                          std::to_string(kLoops - 1), "-i", rawFile};
    if (filtered) arguments.insert(arguments.end(), {"-vf", "frei0r=filter_name=glyra"});
    arguments.insert(arguments.end(), {"-f", "null", "-"});
    const CommandOutcome outcome = RunCommand(arguments, {{"FREI0R_PATH", GLYRA_FREI0R_DIR}});
    *ok = outcome.ok;
    return outcome.seconds;
}

}  // namespace

void RunVideoRows() {
    const int32_t width = 1920, height = 1080;
    std::printf("\n| %-34s | %14s | %14s | %14s | %s |\n", "video frames (default parameters)", "in process",
                "through ffmpeg", "ffmpeg alone", "filter's time per frame");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(16, '-').c_str(),
                std::string(16, '-').c_str(), std::string(16, '-').c_str(), std::string(25, '-').c_str());
    Frei0rModule module;
    if (!OpenModule(&module)) {
        std::printf("| (the frei0r module %s could not be loaded) |\n", GLYRA_FREI0R_MODULE);
        return;
    }
    const std::string folder = "/tmp/glyra-bench-video-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    const std::string rawFile = folder + "/frames.rgba";
    for (double share : {0.001, 0.01}) {
        const std::vector<Frame> frames = MakeFrames(width, height, share);
        const double inProcess = InProcessFramesPerSecond(module, frames, width, height);
        if (FILE* raw = std::fopen(rawFile.c_str(), "wb")) {
            for (const Frame& frame : frames) std::fwrite(frame.data(), 1, frame.size(), raw);
            std::fclose(raw);
        }
        bool plainOk = false, filteredOk = false;
        const double plain = FfmpegSeconds(rawFile, width, height, false, &plainOk);
        const double filtered = FfmpegSeconds(rawFile, width, height, true, &filteredOk);
        const int frameCount = kDistinctFrames * kLoops;
        char name[64], through[32] = "(failed)", alone[32] = "(failed)", perFrame[48] = "-";
        std::snprintf(name, sizeof name, "1920x1080 RGBA, %g%%, 4 rays", share * 100);
        if (filteredOk) std::snprintf(through, sizeof through, "%.1f fps", frameCount / filtered);
        if (plainOk) std::snprintf(alone, sizeof alone, "%.0f fps", frameCount / plain);
        if (filteredOk && plainOk)
            std::snprintf(perFrame, sizeof perFrame, "%.1f ms", (filtered - plain) / frameCount * 1000);
        std::printf("| %-34s | %10.1f fps | %14s | %14s | %-23s |\n", name, inProcess, through, alone, perFrame);
        std::fflush(stdout);
    }
    std::remove(rawFile.c_str());
    rmdir(folder.c_str());
}
