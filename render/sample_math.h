// The two numeric conventions every part that touches samples shares.
#pragma once

#include <cstdint>

// The double nearest to 1/255: 8-bit samples and thresholds to the 0..1 scale.
constexpr double kOneOver255 = 0.00392156862745098;

// Rounding to an integer with halves away from zero, as the line walk, the
// export and the preview all round.
inline int64_t RoundHalfAwayFromZero(double x) { return x >= 0 ? int64_t(x + 0.5) : int64_t(x - 0.5); }
