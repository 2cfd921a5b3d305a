#include "ui/center_on_desktop.h"

ScreenPoint CenteredPosition(const ScreenRect& desktop, const ScreenRect& window) {
    const int32_t width = window.right - window.left, height = window.bottom - window.top;
    return ScreenPoint{(desktop.left + desktop.right - width) / 2, (desktop.top + desktop.bottom - height) / 3};
}
