#include "render/tail_cut.h"

#include <algorithm>
#include <cmath>

int32_t KeptPointCount(const RayList* list, double tailBudget) {
    double tail = 0.0;
    int32_t kept = list->last + 1;
    // Sums from the far end; the first point whose addition would exceed the
    // budget (or is not finite) must stay, and so must everything before it.
    while (kept > 1) {
        const double next = tail + std::fabs(list->points[kept - 1].weight);
        if (!(next <= tailBudget)) break;
        tail = next;
        --kept;
    }
    return kept;
}

double LineTailBudget(int lines, double largestValue, double gain) {
    const double spread = 2.0 * std::max(lines, 1) * std::max(largestValue, 1.0) * std::max(std::fabs(gain), 1.0);
    if (!std::isfinite(spread)) return 0.0;
    return kSkippedLightBound / spread;
}
