// Paints the bundled sample: a harbour at night with street lamps, lit
// windows, stars and their reflections, as point lights for the star filter.
// Deterministic, so the committed file can be made again bit for bit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/image_file.h"

namespace {

struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double Unit() { return (Next() & 0xFFFFFF) / double(0x1000000); }
};

struct Canvas {
    int32_t width, height;
    std::vector<double> rgb;
    double* At(int32_t x, int32_t y) { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
    void Add(int32_t x, int32_t y, double r, double g, double b) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        double* p = At(x, y);
        p[0] += r;
        p[1] += g;
        p[2] += b;
    }
    void Set(int32_t x, int32_t y, double r, double g, double b) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        double* p = At(x, y);
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    // A light: a bright core and a soft glow around it.
    void Light(double cx, double cy, double radius, double r, double g, double b) {
        const int32_t reach = int32_t(radius * 4) + 2;
        for (int32_t y = int32_t(cy) - reach; y <= int32_t(cy) + reach; ++y)
            for (int32_t x = int32_t(cx) - reach; x <= int32_t(cx) + reach; ++x) {
                const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                const double core = std::exp(-d2 / (radius * radius));
                const double glow = 0.15 * std::exp(-d2 / (9 * radius * radius));
                Add(x, y, r * (core + glow), g * (core + glow), b * (core + glow));
            }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "night-harbour.png";
    Canvas canvas{960, 540, std::vector<double>(960 * 540 * 3, 0.0)};
    Random random{0x9E3779B9u};
    const int32_t horizon = 350;

    // Sky from deep blue to a faint glow at the horizon; dark water below.
    for (int32_t y = 0; y < canvas.height; ++y)
        for (int32_t x = 0; x < canvas.width; ++x) {
            const double t = y < horizon ? double(y) / horizon : 1.0 - double(y - horizon) / (canvas.height - horizon);
            if (y < horizon)
                canvas.Set(x, y, 0.02 + 0.10 * t * t, 0.03 + 0.07 * t * t, 0.10 + 0.12 * t);
            else
                canvas.Set(x, y, 0.01 + 0.03 * t, 0.02 + 0.04 * t, 0.05 + 0.08 * t);
        }
    // Stars.
    for (int i = 0; i < 140; ++i) {
        const double x = random.Unit() * canvas.width, y = random.Unit() * (horizon - 120);
        const double level = 0.3 + 0.7 * std::pow(random.Unit(), 3);
        canvas.Light(x, y, 0.6, level, level, level * 1.05);
    }
    // Skyline: buildings with lit windows.
    int32_t x = 0;
    while (x < canvas.width) {
        const int32_t width = 40 + int32_t(random.Next() % 70);
        const int32_t top = horizon - 40 - int32_t(random.Next() % 160);
        for (int32_t yy = top; yy < horizon; ++yy)
            for (int32_t xx = x; xx < x + width && xx < canvas.width; ++xx) canvas.Set(xx, yy, 0.03, 0.03, 0.05);
        for (int32_t wy = top + 8; wy < horizon - 8; wy += 12)
            for (int32_t wx = x + 5; wx < x + width - 6; wx += 9)
                if (random.Unit() < 0.35) {
                    const double warm = 0.5 + 0.35 * random.Unit();  // below the default threshold
                    for (int32_t dy = 0; dy < 5; ++dy)
                        for (int32_t dx = 0; dx < 4; ++dx) canvas.Set(wx + dx, wy + dy, warm, warm * 0.78, warm * 0.45);
                }
        x += width + 2;
    }
    // Street lamps along the quay, and their broken reflections in the water.
    for (int i = 0; i < 11; ++i) {
        const double lx = 40 + i * 88 + random.Unit() * 10, ly = horizon - 18;
        for (int32_t yy = int32_t(ly); yy < horizon; ++yy) canvas.Set(int32_t(lx), yy, 0.05, 0.05, 0.05);
        canvas.Light(lx, ly, 2.2, 1.6, 1.45, 1.1);
        for (int32_t yy = horizon + 4; yy < canvas.height; yy += 3) {
            const double fade = std::exp(-(yy - horizon) / 70.0) * (0.4 + 0.6 * random.Unit());
            const double wobble = std::sin(yy * 0.7 + i) * 2.5;
            for (int32_t dx = -2; dx <= 2; ++dx) canvas.Add(int32_t(lx + wobble) + dx, yy, 0.5 * fade, 0.42 * fade, 0.25 * fade);
        }
    }
    // A lighthouse beacon and two boats' lanterns.
    canvas.Light(880, 150, 3.0, 2.0, 2.0, 2.2);
    canvas.Light(300, 420, 1.6, 1.4, 0.35, 0.3);
    canvas.Light(620, 455, 1.6, 0.4, 1.3, 0.5);

    ImageFile image;
    image.width = canvas.width;
    image.height = canvas.height;
    image.depth = 8;
    image.channels = 3;
    image.pixels = PixelBlock(canvas.rgb.size());
    for (size_t i = 0; i < canvas.rgb.size(); ++i)
        image.SetSample(i, uint16_t(std::lround(std::fmin(1.0, std::fmax(0.0, canvas.rgb[i])) * 255)));
    std::string error;
    Failure failure;
    WriteOptions writing;
    writing.pngCompression = 9;
    if (!StartImageLibrary(argv[0], &error) || !WriteImage(path, image, writing, &failure)) {
        std::fprintf(stderr, "make_night_scene: %s%s\n", error.c_str(), failure.message.c_str());
        return 1;
    }
    return 0;
}
