#include "tests/test_support.h"

#include <iconv.h>

#include "host_services/filter_globals.h"

HostImage SmallImage(int32_t width, int32_t height, int depth, int colorPlanes, bool hasTransparency) {
    HostImage image = MakeHostImage(width, height, depth, colorPlanes, hasTransparency);
    for (size_t i = 0; i < image.SampleCount(); ++i) image.SetSample(i, uint16_t((i * 37) % (image.FullScale() + 1)));
    return image;
}

FilterGlobals* GlobalsOf(const TestHost& host) { return reinterpret_cast<FilterGlobals*>(host.DataSlot()); }

std::string Cp932(const std::string& utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* outAt = &out[0];
    iconv(converter, &in, &inLeft, &outAt, &outLeft);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}
