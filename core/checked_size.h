// Size arithmetic that refuses to wrap: a size that cannot be expressed in the
// build's pointer width cannot be allocated either.
#pragma once

#include <cstddef>
#include <limits>

inline bool CheckedMultiply(size_t a, size_t b, size_t* product) {
    if (a != 0 && b > std::numeric_limits<size_t>::max() / a) return false;
    *product = a * b;
    return true;
}
