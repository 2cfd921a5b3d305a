#include "passes/proxy_scale.h"

#include <cmath>

double ProxyScale(int32_t wholeWidth, FullWidthReference* reference) {
    const int32_t full = reference->width;
    if (full == wholeWidth) return 1.0;
    if (std::ceil(full * 0.25) == wholeWidth) return 0.25;
    if (std::ceil(full * 0.5) == wholeWidth) return 0.5;
    reference->width = wholeWidth;
    return 1.0;
}
