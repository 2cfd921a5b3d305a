#include "tests/test_support.h"

#include "host/filter_globals.h"

HostImage SmallImage(int32_t width, int32_t height, int depth, int colorPlanes, bool hasTransparency) {
    HostImage image = MakeHostImage(width, height, depth, colorPlanes, hasTransparency);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = uint16_t((i * 37) % (image.FullScale() + 1));
    return image;
}

FilterGlobals* GlobalsOf(const TestHost& host) { return reinterpret_cast<FilterGlobals*>(host.DataSlot()); }
