#include "pipeline/proxy_scale.h"

#include <cmath>

int32_t fullWidthReference = 0;

double ProxyScale(FilterGlobals* globals) {
    const int32_t width = globals->filterRecord->wholeSize.h;
    const int32_t reference = fullWidthReference;
    if (reference == width) return 1.0;
    if (std::ceil(reference * 0.25) == width) return 0.25;
    if (std::ceil(reference * 0.5) == width) return 0.5;
    fullWidthReference = width;
    return 1.0;
}
