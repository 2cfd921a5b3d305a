// Where a dialog goes on the desktop: centred horizontally, a third of the
// free height from the top.
#pragma once

#include <cstdint>

struct ScreenRect {
    int32_t left, top, right, bottom;
};

struct ScreenPoint {
    int32_t x, y;
};

ScreenPoint CenteredPosition(const ScreenRect& desktop, const ScreenRect& window);
